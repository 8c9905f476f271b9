"""Orbitals and densities on points and grids, and cube files.

The reference is gbasis (screening off) on IOData's reading of our own fchk: its function order
and normalisation are the ones the evaluator must reproduce. The fchk's text keeps nine digits,
so the exact doubles (`Checkpoint.to_iodata`, which equals that reading to those digits) are
evaluated. IOData puts every shell on its atom; the evaluator uses the shell centres the
checkpoint stores (1e-6 Bohr away in two real files), so the reference's atoms are moved there.
Rounding is judged against sum |terms|, the scale a sum of signed terms is computed to.
"""

import subprocess
import sys
from pathlib import Path

import numpy as np
import pytest
import tesvarin

from tests.python.chk_builder import (
    ALPHA_MO,
    BETA_MO,
    DENSITIES,
    ORBENE,
    Atom,
    Shell,
    basis_section,
    densities,
    molecule,
    reals,
)
from tests.python.real_files import SHARED

pytestmark = pytest.mark.filterwarnings("ignore:Section 997:RuntimeWarning")  # the builder's short molecule

iodata = pytest.importorskip("iodata")
gbasis_eval = pytest.importorskip("gbasis.evals.eval")
gbasis_density = pytest.importorskip("gbasis.evals.density")
from gbasis.wrappers import from_iodata  # noqa: E402

RNG = np.random.default_rng(2024)


def reference(cp, tmp_path):
    """gbasis's basis for `cp`, after checking that IOData reads our fchk with that very basis."""
    fchk = tmp_path / "ref.fchk"
    try:
        cp.reader.write_fchk(str(fchk), complete=True)
    except RuntimeError:
        cp.reader.write_fchk(str(fchk))
    loaded, exact = iodata.load_one(str(fchk)).obasis, cp.to_iodata()
    assert loaded.conventions == exact.obasis.conventions
    for a, b in zip(loaded.shells, exact.obasis.shells, strict=True):
        assert (a.icenter, list(a.angmoms), list(a.kinds)) == (b.icenter, list(b.angmoms), list(b.kinds))
        assert np.allclose(a.exponents, b.exponents, rtol=1e-8) and np.allclose(a.coeffs, b.coeffs, rtol=1e-8)
    first_shell = [list(cp.shell_atoms).index(a) for a in range(len(exact.atcoords))]
    exact.atcoords = np.asarray(cp.shell_coordinates)[first_shell]
    return from_iodata(exact)


def points_near(coordinates, n=2000, spread=1.5):
    return coordinates[RNG.integers(0, len(coordinates), n)] + RNG.normal(scale=spread, size=(n, 3))


def assert_close(ours, theirs, scale, rtol=1e-10):
    """Within rtol relative, or within rounding of the terms' magnitudes (1e-14 absolute at least)."""
    assert np.all(np.abs(ours - theirs) <= rtol * np.abs(theirs) + 1e-13 * scale + 1e-14)


def check_against_gbasis(cp, basis, pts):
    chi = gbasis_eval.evaluate_basis(basis, pts, screen_basis=False)
    for spin, coefficients in (("a", cp.alpha_mo_coefficients), ("b", cp.beta_mo_coefficients)):
        if coefficients is None:
            continue
        picked = sorted({0, len(coefficients) - 1, *RNG.integers(0, len(coefficients), 4).tolist()})
        ours = cp.evaluate(pts, ",".join(f"{spin}{i + 1}" for i in picked), tolerance=0)
        c = coefficients[picked]
        assert_close(ours, (c @ chi).T, (np.abs(c) @ np.abs(chi)).T)
    for kind, matrix in cp.total_densities.items():
        spin = cp.spin_densities.get(kind)
        for part, m in (("density", matrix), ("spin", spin), ("alpha", None if spin is None else (matrix + spin) / 2)):
            if m is None:
                continue
            ours = cp.evaluate(pts, f"{part}:{kind}", tolerance=0)
            theirs = np.einsum("ip,ij,jp->p", chi, m, chi)
            assert_close(ours, theirs, np.einsum("ip,ij,jp->p", np.abs(chi), np.abs(m), np.abs(chi)))


def test_real_files_equal_iodata_and_gbasis(real, tmp_path):
    check_against_gbasis(real, reference(real, tmp_path), points_near(real.coordinates))


def nfunctions(shell, cart):
    if shell.type == 1:
        return 3 if shell.cons == 1 else 4
    return (shell.type + 1) * (shell.type + 2) // 2 if cart else 2 * shell.type + 1


def high_l(chk, cart, open_shell, top=9):
    """Shells S to L = top (an SP and a P among them) on two atoms, random orbitals and densities."""
    atoms = [Atom(8, (0.1, -0.2, 0.3)), Atom(1, (0.4, 1.5, -0.9))]
    shells = [
        Shell(0, 1, [40.0, 6.0, 1.2], coefs=[0.2, 0.5, 0.6], centre=atoms[0].xyz),
        Shell(1, 1, [3.0, 0.7], coefs=[0.3, 0.8], coefp=[0.4, 0.7], centre=atoms[0].xyz),
        Shell(1, 2, [0.9], coefp=[1.0], cons=1, centre=atoms[1].xyz),
    ]
    shells += [
        Shell(lq, 1 + lq % 2, [2.0 + lq, 0.6], coefd=[0.5, 0.7], centre=atoms[lq % 2].xyz) for lq in range(2, top + 1)
    ]
    n = sum(nfunctions(s, cart) for s in shells)
    spins = 2 if open_shell else 1
    data = molecule(
        atoms,
        basis_section(shells, cartd=int(cart), cartf=int(cart)),
        ilsw={0: int(open_shell)},
        nbasis=n,
        mult=2 if open_shell else 1,
        charge=0 if open_shell else -1,
    )
    data.add(ORBENE, reals(*np.sort(RNG.normal(size=spins * n))))
    data.add(ALPHA_MO, reals(*RNG.normal(scale=0.3, size=n * n)))
    if open_shell:
        data.add(BETA_MO, reals(*RNG.normal(scale=0.3, size=n * n)))
    tri = [a @ a.T for a in RNG.normal(size=(spins, n, n))]
    tri = [m[np.tril_indices(n)] for m in tri]
    data.add(DENSITIES, densities(0b101, *np.concatenate(tri + tri)))
    return tesvarin.load(chk(data))


@pytest.mark.parametrize("cart", [True, False], ids=["cartesian", "pure"])
@pytest.mark.parametrize("open_shell", [False, True], ids=["closed", "open"])
def test_high_angular_momentum_equals_iodata_and_gbasis(chk, tmp_path, cart, open_shell):
    cp = high_l(chk, cart, open_shell)
    check_against_gbasis(cp, reference(cp, tmp_path), points_near(cp.coordinates, 1000, 1.0))


def test_gradient_and_laplacian_equal_gbasis(chk, tmp_path):
    cp = high_l(chk, False, True)
    basis, pts = reference(cp, tmp_path), points_near(cp.coordinates, 500, 1.0)
    ours = cp.evaluate(pts, "density:scf", derivatives=2, tolerance=0)
    matrix = np.asarray(cp.total_densities["SCF"])
    gradient = gbasis_density.evaluate_density_gradient(matrix, basis, pts, screen_basis=False)
    laplacian = gbasis_density.evaluate_density_laplacian(matrix, basis, pts, screen_basis=False)
    scale = np.abs(ours).max(axis=0)
    assert np.allclose(ours[:, 1:4], gradient, rtol=1e-10, atol=1e-12 * scale[1:4].max())
    assert np.allclose(ours[:, 4], laplacian, rtol=1e-10, atol=1e-12 * scale[4])


def test_screening_stays_within_its_bound(real, tmp_path):
    cp = real
    eps = 1e-9
    pts = points_near(cp.coordinates, 1000, 3.0)
    chi = np.abs(gbasis_eval.evaluate_basis(reference(cp, tmp_path), pts, screen_basis=False))
    c = cp.alpha_mo_coefficients[: cp.n_alpha + 2]
    error = np.abs(cp.evaluate(pts, f"1-{len(c)}", tolerance=eps) - cp.evaluate(pts, f"1-{len(c)}", tolerance=0))
    assert np.all(error <= eps * np.abs(c).sum(axis=1) + 1e-14)
    for kind, m in cp.total_densities.items():
        error = np.abs(
            cp.evaluate(pts, f"density:{kind}", tolerance=eps) - cp.evaluate(pts, f"density:{kind}", tolerance=0)
        )
        largest = np.abs(np.linalg.eigvalsh(m)).max()
        bound = eps * (2 * np.abs(m) @ chi + eps * np.abs(m).sum()).sum(axis=0) + 1e-14 * largest * (chi**2).sum(axis=0)
        assert np.all(error <= bound + 1e-14)


@pytest.mark.parametrize("derivatives", [0, 1])
def test_screening_bound_holds_per_primitive_and_for_derivatives(chk, derivatives):
    """An s function of eight nearly equal tight primitives and one diffuse one. Past the tight ones'
    radius all eight are left out together, each below eps / 9, and their gradient (2 a r times their
    value) has radii of its own: the function moves by at most eps, the density and its gradient by
    the bound of the evaluator's header (with D = [[1]]: 2 eps (|chi| + |d chi|) + eps^2)."""
    eps = 1e-9
    exponents = [4.0 + 0.005 * k for k in range(8)] + [0.1]
    data = molecule([Atom(1)], [Shell(0, 1, exponents, [1.0] * 9)], nbasis=1, charge=-1)
    cp = tesvarin.load(chk(data.add(ORBENE, reals(0.0)).add(ALPHA_MO, reals(1.0)).add(DENSITIES, densities(1, 1.0))))
    pts = np.outer(np.linspace(1.5, 3.5, 4001), [1 / 3, 2 / 3, 2 / 3])
    chi = cp.evaluate(pts, "1", tolerance=0).ravel()
    assert np.all(np.abs(cp.evaluate(pts, "1", tolerance=eps).ravel() - chi) <= eps)
    exact = cp.evaluate(pts, "density:scf", derivatives=derivatives, tolerance=0).reshape(len(pts), -1)
    error = np.abs(cp.evaluate(pts, "density:scf", derivatives=derivatives, tolerance=eps).reshape(exact.shape) - exact)
    d_chi = np.abs(exact[:, 1:] / (2 * chi[:, None]))  # rho = chi^2
    assert np.all(error[:, 0] <= 2 * eps * chi + eps**2 + 1e-15 * exact[:, 0])
    assert np.all(error[:, 1:] <= 2 * eps * (d_chi + chi[:, None]) + eps**2 + 1e-15 * np.abs(exact[:, 1:]))
    assert error.max() > 0  # the tight primitives were left out somewhere


def test_scf_density_is_the_sum_of_occupied_orbitals(real):
    cp = real
    if "SCF" not in cp.total_densities:
        pytest.skip("no SCF density stored")
    if cp.trajectory_momenta is not None:
        return check_propagated_density(cp)
    pts = points_near(cp.coordinates)
    matrix = cp.evaluate(pts, "density:scf", tolerance=0)
    occupied = cp.evaluate(pts, "density:orbitals", tolerance=0)
    assert np.allclose(matrix, occupied, rtol=1e-10, atol=1e-14)
    if cp.beta_mo_coefficients is None and cp.n_alpha == cp.n_beta:
        squares = cp.evaluate(pts, f"1-{cp.n_alpha}", tolerance=0) ** 2
        assert np.allclose(occupied, 2 * squares.sum(axis=1), rtol=1e-10, atol=1e-14)


def check_propagated_density(cp):
    """ADMP propagates the density matrix instead of converging an SCF at each step: the stored SCF
    density is the last step's, idempotent at these coordinates, while the stored orbitals are the
    first step's SCF, orthonormal only at the trajectory's first geometry."""
    pytest.importorskip("iodata")
    from iodata.overlap import compute_overlap

    obasis, c = cp.to_iodata().obasis, cp.alpha_mo_coefficients.T
    first, last = cp.trajectory_coordinates[0], cp.trajectory_coordinates[-1]
    np.testing.assert_array_equal(last, cp.coordinates)
    unit = np.eye(c.shape[1])
    assert np.allclose(c.T @ compute_overlap(obasis, first) @ c, unit, atol=1e-6)
    assert not np.allclose(c.T @ compute_overlap(obasis, last) @ c, unit, atol=1e-3)
    p, s = cp.total_densities["SCF"], compute_overlap(obasis, last)
    assert abs(np.trace(p @ s) - cp.n_electrons) < 1e-6
    np.testing.assert_allclose(p @ s @ p, 2 * p, atol=1e-6)  # closed shell: P S P = 2 P


@pytest.mark.parametrize("name", ["realchk/g16-small/h2_sp_2blank.chk", "realchk2/g09-h-atom-ump2/h_ump2_ccpvqz.chk"])
def test_fine_grid_integrates_hydrogen_densities_to_the_electron_count(name):
    path = SHARED / name
    if not path.is_file():
        pytest.skip(f"{name} not in ../shared")
    cp = tesvarin.load(path)
    c = cp.cube("density", grid="fine", margin=8.0)
    assert abs(c.values.sum() * abs(np.linalg.det(c.axes)) - cp.n_electrons) < 1e-3


def water_with_orbitals(chk):
    cp = tesvarin.load(
        chk(
            molecule(
                [Atom(8, (0.0, 0.0, 0.2)), Atom(1, (0.0, 1.4, -0.9))],
                [
                    Shell(0, 1, [3.0, 0.5], [0.4, 0.7], centre=(0.0, 0.0, 0.2)),
                    Shell(1, 1, [1.1], [0.3], [0.6], centre=(0.0, 0.0, 0.2)),
                    Shell(0, 2, [1.0], [1.0], centre=(0.0, 1.4, -0.9)),
                ],
                nbasis=6,
                charge=-1,
            )
            .add(ORBENE, reals(*range(6)))
            .add(ALPHA_MO, reals(*RNG.normal(size=36)))
            .add(DENSITIES, densities(1, *RNG.normal(size=21)))
        )
    )
    return cp


def test_cube_layout_is_the_programs(chk, tmp_path):
    cp = water_with_orbitals(chk)
    grid = ((-1.0, -2.0, -3.0), np.diag([0.5, 0.25, 0.125]), (2, 3, 7))
    for what, orbitals in (("density", None), ("homo,lumo", (5, 6))):
        c = cp.cube(what, grid=grid)
        c.write(tmp_path / "t.cube")
        lines = (tmp_path / "t.cube").read_text().splitlines()
        natoms = 2 if orbitals is None else -2
        assert lines[2:8] == [
            f"{natoms:5d}{-1:12.6f}{-2:12.6f}{-3:12.6f}",
            f"{2:5d}{0.5:12.6f}{0:12.6f}{0:12.6f}",
            f"{3:5d}{0:12.6f}{0.25:12.6f}{0:12.6f}",
            f"{7:5d}{0:12.6f}{0:12.6f}{0.125:12.6f}",
            f"{8:5d}{8:12.6f}{0:12.6f}{0:12.6f}{0.2:12.6f}",
            f"{1:5d}{1:12.6f}{0:12.6f}{1.4:12.6f}{-0.9:12.6f}",
        ]
        body = lines[8:]
        if orbitals:
            assert body.pop(0) == f"{2:5d}{5:5d}{6:5d}"
        per_row = c.values.reshape(6, -1)  # one (x, y) row: 7 z values, times the orbitals
        expected = []
        for row in per_row:
            text = ["%13.5E" % v for v in row]
            expected += ["".join(text[i : i + 6]) for i in range(0, len(text), 6)]
        assert body == expected
        back = tesvarin.read_cube(tmp_path / "t.cube")
        assert back.orbitals == orbitals and np.allclose(back.values, c.values, rtol=1e-5, atol=1e-99)
        assert np.array_equal(back.atomic_numbers, [8, 1]) and np.allclose(back.axes, grid[1])


def test_iodata_reads_our_density_cubes(chk, tmp_path):
    cp = water_with_orbitals(chk)
    c = cp.cube("density", grid=9)
    c.write(tmp_path / "d.cube")
    loaded = iodata.load_one(str(tmp_path / "d.cube"))
    assert np.array_equal(loaded.atnums, cp.atomic_numbers)
    assert np.allclose(loaded.atcoords, cp.coordinates, atol=5e-7)
    assert np.allclose(loaded.cube.origin, c.origin, atol=5e-7) and np.allclose(loaded.cube.axes, c.axes, atol=5e-7)
    assert np.allclose(loaded.cube.data, c.values, rtol=5e-6, atol=0)


def test_threads_and_grid_or_points_give_the_same_values(chk):
    cp = water_with_orbitals(chk)
    c1 = cp.cube("homo,lumo", grid=11, threads=1, tolerance=0)
    c2 = cp.cube("homo,lumo", grid=11, threads=2, tolerance=0)
    assert np.array_equal(c1.values, c2.values)
    i, j, k = np.meshgrid(*(np.arange(n) for n in c1.counts), indexing="ij")
    pts = c1.origin + np.stack([i, j, k], -1).reshape(-1, 3) @ c1.axes
    assert np.allclose(cp.evaluate(pts, "homo,lumo", tolerance=0), c1.values.reshape(-1, 2), rtol=1e-13, atol=1e-16)
    assert np.array_equal(cp.evaluate(pts, "spin"), np.zeros(len(pts)))  # closed shell: no spin matrix stored


@pytest.mark.parametrize(
    "what, message",
    [
        ("homo+7", "orbitals are numbered 1 to 6"),
        ("0", "orbitals are numbered 1 to 6"),
        ("a3-b4", "a range stays within the alpha or the beta orbitals"),
        ("frontier", "'frontier' names no orbital"),
        ("density:mp2", "the checkpoint holds no MP2 density"),
        ("density:mp7", "unknown density kind 'mp7'"),
    ],
)
def test_what_that_cannot_be_evaluated_says_why(chk, what, message):
    cp = water_with_orbitals(chk)
    with pytest.raises((ValueError, RuntimeError), match=message.replace("(", r"\(")):
        cp.evaluate(np.zeros((1, 3)), what)


def test_bad_points_and_grids_are_refused(chk):
    cp = water_with_orbitals(chk)
    with pytest.raises(ValueError, match=r"\(n, 3\)"):
        cp.evaluate(np.zeros((4, 2)))
    with pytest.raises(RuntimeError, match="point 2 is not finite"):
        cp.evaluate(np.array([[0.0, 0, 0], [np.nan, 0, 0]]))
    with pytest.raises(RuntimeError, match="more than 2\\^40 points"):
        cp.cube(grid=((0, 0, 0), np.eye(3), (1 << 30, 1 << 30, 2)))
    with pytest.raises(ValueError, match="at least 2 points"):
        cp.cube(grid=1)


def test_command_line_writes_cubes_and_keeps_existing_files(chk, tmp_path):
    path = chk(
        molecule(
            [Atom(1, (0, 0, 0)), Atom(1, (0, 0, 1.4))],
            [Shell(0, 1, [1.0], [1.0]), Shell(0, 2, [1.0], [1.0], centre=(0, 0, 1.4))],
            nbasis=2,
        )
        .add(ORBENE, reals(-0.5, 0.3))
        .add(ALPHA_MO, reals(0.5, 0.5, 0.9, -0.9))
    )

    def run(*args):
        return subprocess.run([sys.executable, "-m", "tesvarin", "cube", path, *args], capture_output=True, text=True)

    out = str(tmp_path / "h2.cube")
    first = run("--mo", "homo,lumo", "--grid", "coarse", "-o", out)
    assert first.returncode == 0 and first.stdout == out + "\n"
    assert tesvarin.read_cube(out).orbitals == (1, 2)
    again = run("-o", out)
    assert again.returncode == 1 and "exists; use --force to replace it" in again.stderr
    assert (
        run("--density", "orbitals", "-o", out, "--force").returncode == 0 and tesvarin.read_cube(out).orbitals is None
    )
    bad = run("--mo", "b9", "-o", out, "--force")
    assert bad.returncode == 1 and "orbitals are numbered 1 to 2" in bad.stderr
    assert sorted(p.name for p in tmp_path.iterdir()) == ["h2.cube", Path(path).name]


@pytest.mark.parametrize(("what", "points"), [("density", 40), ("potential", 30)])
def test_progress_is_reported_and_an_exception_in_it_stops_the_work(chk, what, points):
    cp = water_with_orbitals(chk)
    seen = []
    cp.cube(what, grid=points, progress=seen.append)
    assert seen and seen[-1] == 1.0 and seen == sorted(seen)

    def interrupt(fraction):
        raise KeyboardInterrupt

    with pytest.raises(KeyboardInterrupt):
        cp.cube(what, grid=points, progress=interrupt)


def open_shell_water(chk):
    """The water of water_with_orbitals as a doublet: 5 alpha and 4 beta electrons in 6 orbitals each."""
    data = molecule(
        [Atom(8, (0.0, 0.0, 0.2)), Atom(1, (0.0, 1.4, -0.9))],
        [
            Shell(0, 1, [3.0, 0.5], [0.4, 0.7], centre=(0.0, 0.0, 0.2)),
            Shell(1, 1, [1.1], [0.3], [0.6], centre=(0.0, 0.0, 0.2)),
            Shell(0, 2, [1.0], [1.0], centre=(0.0, 1.4, -0.9)),
        ],
        ilsw={0: 1},
        nbasis=6,
        mult=2,
    )
    data.add(ORBENE, reals(*range(12))).add(ALPHA_MO, reals(*RNG.normal(size=36)))
    return tesvarin.load(chk(data.add(BETA_MO, reals(*RNG.normal(size=36)))))


def test_open_shell_cubes_name_beta_orbitals_after_the_alpha_ones_and_spin_is_alpha_minus_beta(chk):
    cp = open_shell_water(chk)
    assert (cp.n_alpha, cp.n_beta) == (5, 4)
    c = cp.cube("bhomo,b6,a1,homo", grid=3)
    assert c.orbitals == (6 + 4, 6 + 6, 1, 5)  # beta i is nmo + i; bhomo is the 4th beta orbital
    pts = RNG.normal(size=(20, 3))
    alpha = cp.evaluate(pts, "1-5", tolerance=0) ** 2
    beta = cp.evaluate(pts, "b1-b4", tolerance=0) ** 2
    assert np.allclose(cp.evaluate(pts, "spin:orbitals", tolerance=0), alpha.sum(1) - beta.sum(1), rtol=1e-12)
    assert np.allclose(cp.evaluate(pts, "density:orbitals", tolerance=0), alpha.sum(1) + beta.sum(1), rtol=1e-12)


@pytest.mark.parametrize("grid", ["coarse", "medium", 7])
def test_a_grid_is_centred_on_the_molecule_and_reaches_the_margin(chk, grid):
    cp = water_with_orbitals(chk)
    c = cp.cube("density", grid=grid, margin=2.5)
    low, high = cp.coordinates.min(axis=0) - 2.5, cp.coordinates.max(axis=0) + 2.5
    far_corner = c.origin + (np.array(c.counts) - 1) @ c.axes
    assert np.allclose((c.origin + far_corner) / 2, (low + high) / 2, atol=1e-12)
    assert (c.origin <= low + 1e-12).all() and (far_corner >= high - 1e-12).all()


@pytest.mark.parametrize("copies", [1, 11])
def test_a_basis_larger_than_a_slab_sums_every_slab(chk, copies):
    """`copies` identical L = 13 shells (105 functions each; 11 of them are more than the 1024 functions
    the evaluator takes at a time) with identical coefficients: the orbital is `copies` times one shell's."""
    shells = [Shell(13, 1, [1.0], coefd=[1.0]) for _ in range(copies)]
    coefficients = np.tile(np.linspace(-1.0, 1.0, 105), copies)
    data = molecule([Atom(1)], shells, nbasis=105 * copies, nbsuse=1, charge=-1)
    cp = tesvarin.load(chk(data.add(ORBENE, reals(0.0)).add(ALPHA_MO, reals(*coefficients))))
    pts = np.array([[0.3, -0.5, 0.7], [1.0, 1.0, 1.0], [0.0, 0.0, 2.0]])
    single = np.array([-6.51645740e-04, 8.36558038e01])  # one shell: what the row of one copy gives
    values = cp.evaluate(pts, "1", tolerance=0, threads=2).ravel() / copies
    assert values[:2] == pytest.approx(single, rel=1e-8)
