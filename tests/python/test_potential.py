"""The electrostatic potential: against gbasis on IOData's reading of our own fchk (as the orbital
and density tests do), against cubegen's point lists in ../shared/realchk4, and its physics (the
nuclear part exact, the far field the net charge over r)."""

import subprocess
import sys

import numpy as np
import pytest
import tesvarin
import Tesvarin_

from tests.python.chk_builder import ALPHA_MO, DENSITIES, ORBENE, Atom, Shell, basis_section, densities, molecule, reals
from tests.python.real_files import SHARED
from tests.python.test_cube import RNG, high_l, nfunctions, points_near, reference, water_with_orbitals

pytestmark = pytest.mark.filterwarnings("ignore:Section 997:RuntimeWarning")  # the builder's short molecule

gbasis_esp = pytest.importorskip("gbasis.evals.electrostatic_potential")

POINT_LISTS = SHARED / "realchk4" / "potential-points"
BOHR = 0.52917721092  # Angstrom per Bohr, as the program converts
# The list's checkpoint beside each point list.
LISTS = {
    "methanol-esp": SHARED / "realchk" / "g09-methanol" / "methanol-esp.chk",
    "methylamine-esp": SHARED / "realchk" / "g09-methylamine" / "methylamine-esp.chk",
}


def gbasis_potential(cp, basis, pts, matrix):
    return gbasis_esp.electrostatic_potential(
        basis, np.asarray(matrix), pts, np.asarray(cp.coordinates), np.asarray(cp.nuclear_charges, dtype=float)
    )


def check_against_gbasis(cp, basis, pts):
    """Every stored total density and the occupied orbitals' one, to 1e-9 relative."""
    matrices = {kind: np.asarray(m) for kind, m in cp.total_densities.items()}
    if not matrices:
        matrices["orbitals"] = None
    for kind, matrix in matrices.items():
        ours = cp.potential(pts, kind.lower(), tolerance=0)
        if matrix is None:
            alpha = np.asarray(cp.alpha_mo_coefficients)[: cp.n_alpha]
            beta = alpha if cp.beta_mo_coefficients is None else np.asarray(cp.beta_mo_coefficients)
            matrix = alpha.T @ alpha + beta[: cp.n_beta].T @ beta[: cp.n_beta]
        theirs = gbasis_potential(cp, basis, pts, matrix)
        assert np.all(np.abs(ours - theirs) <= 1e-9 * np.abs(theirs) + 1e-12), kind


@pytest.mark.parametrize("cart", [True, False], ids=["cartesian", "pure"])
@pytest.mark.parametrize("open_shell", [False, True], ids=["closed", "open"])
def test_builder_files_equal_gbasis(chk, tmp_path, cart, open_shell):
    cp = high_l(chk, cart, open_shell, top=5)
    check_against_gbasis(cp, reference(cp, tmp_path), points_near(cp.coordinates, 40, 1.5))


@pytest.mark.parametrize(("l", "cart"), [(9, False), (9, True)], ids=["pure-9", "cartesian-9"])
def test_highest_angular_momenta_equal_gbasis(chk, tmp_path, l, cart):
    """L = 9, the largest that gbasis takes with the fchk conventions IOData reads (pure L = 10 it refuses),
    beside an S shell, at a few points (gbasis needs seconds a point for such pairs)."""
    atoms = [Atom(6, (0.1, -0.2, 0.3)), Atom(1, (0.4, 1.1, -0.6))]
    shells = [
        Shell(0, 1, [2.0, 0.4], [0.6, 0.5], centre=atoms[0].xyz),
        Shell(l, 2, [0.9], coefd=[1.0], centre=atoms[1].xyz),
    ]
    n = 1 + ((l + 1) * (l + 2) // 2 if cart else 2 * l + 1)
    data = molecule(atoms, basis_section(shells, cartd=int(cart), cartf=int(cart)), nbasis=n, charge=1)
    data.add(ORBENE, reals(*range(n))).add(ALPHA_MO, reals(*RNG.normal(scale=0.3, size=n * n)))
    matrix = RNG.normal(size=(n, n))
    data.add(DENSITIES, densities(1, *(matrix @ matrix.T)[np.tril_indices(n)]))
    cp = tesvarin.load(chk(data))
    check_against_gbasis(cp, reference(cp, tmp_path), points_near(cp.coordinates, 3, 1.0))


def test_real_files_equal_gbasis(real, tmp_path):
    check_against_gbasis(real, reference(real, tmp_path), points_near(real.coordinates, 12, 2.0))


def test_nuclear_part_is_exact_and_the_far_field_is_the_net_charge_over_r(real):
    pts = points_near(real.coordinates, 50, 2.0)
    nuclei = Tesvarin_.grid.evaluate_potential(real.reader, pts, -1, electrons=False)[:, 0]
    distances = np.linalg.norm(pts[:, None, :] - np.asarray(real.coordinates)[None], axis=2)
    assert np.allclose(nuclei, (np.asarray(real.nuclear_charges) / distances).sum(axis=1), rtol=1e-15, atol=0)
    centre = np.asarray(real.coordinates).mean(axis=0)
    directions = np.array([[1.0, 0, 0], [0, -1, 0], [0.6, 0.0, 0.8]])
    for r in (1e5, 1e6):
        far = real.potential(centre + r * directions) * r
        # The net charge, up to the dipole's mu / r (the SCF matrix, stored or from the orbitals, holds the
        # electron count; an ADMP file's orbitals are of another geometry and do not).
        assert np.allclose(far, real.charge, atol=10 / r)


def test_parts_add_up_and_carry_no_nuclei(chk):
    cp = high_l(chk, False, True, top=3)
    pts = points_near(cp.coordinates, 30, 1.5)
    total, alpha, beta, spin = (cp.potential(pts, d) for d in ("scf", "alpha:scf", "beta:scf", "spin"))
    nuclei = Tesvarin_.grid.evaluate_potential(cp.reader, pts, 0, electrons=False)[:, 0]
    assert np.allclose(alpha + beta + nuclei, total, rtol=1e-12, atol=1e-12)
    assert np.allclose(alpha - beta, spin, rtol=1e-12, atol=1e-12)
    assert np.allclose(cp.potential(pts, "total:scf"), total, rtol=0, atol=0)
    with_field = cp.potential(pts, field=True)
    assert with_field.shape == (30, 4) and np.allclose(with_field[:, 0], total, rtol=0, atol=2e-12)


def test_what_cannot_be_evaluated_says_why(chk):
    cp = water_with_orbitals(chk)
    with pytest.raises(ValueError, match="holds no MP2 density"):
        cp.potential(np.zeros((1, 3)), "mp2")
    with pytest.raises(ValueError, match="unknown density part 'half'"):
        cp.potential(np.zeros((1, 3)), "half:scf")
    with pytest.raises(ValueError, match=r"\(n, 3\)"):
        cp.potential(np.zeros(3))
    with pytest.raises(RuntimeError, match="point 1 is not finite"):
        cp.potential(np.array([[np.inf, 0, 0]]))
    with pytest.raises(ValueError, match="derivatives are its field"):
        cp.evaluate(np.zeros((1, 3)), "potential", derivatives=1)
    assert cp.potential(np.array([[0.0, 0.0, 0.2]]))[0] == np.inf  # on the oxygen nucleus


def test_potential_cube_holds_the_potential_at_its_points(chk, tmp_path):
    cp = water_with_orbitals(chk)
    cube = cp.cube("potential", grid=6)
    assert cube.comment == "Electrostatic potential from Total SCF Density"
    i, j, k = np.indices(cube.counts).reshape(3, -1)
    pts = cube.origin + np.outer(i, cube.axes[0]) + np.outer(j, cube.axes[1]) + np.outer(k, cube.axes[2])
    assert np.array_equal(cube.values.reshape(-1), cp.potential(pts))
    assert np.array_equal(cp.evaluate(pts, "potential:scf"), cp.potential(pts))
    cube.write(tmp_path / "v.cube")
    again = tesvarin.read_cube(tmp_path / "v.cube")
    assert np.allclose(again.values, cube.values, rtol=1e-5)


def read_point_list(path):
    lines = path.read_text().splitlines()
    natoms, npoints = int(lines[2].split()[0]), int(lines[3].split()[0])
    values = np.array([line.split() for line in lines[6 + natoms :]], dtype=float)
    assert values.shape == (npoints, 4)
    return values


def run(*args):
    return subprocess.run([sys.executable, "-m", "tesvarin", "cube", *map(str, args)], capture_output=True, text=True)


@pytest.mark.parametrize("name", sorted(LISTS))
def test_point_lists_equal_cubegen(name, tmp_path):
    """The potential at cubegen's points, and the command's list file in its layout."""
    path = POINT_LISTS / f"{name}.potential.cube"
    if not path.exists() or not LISTS[name].exists():
        pytest.skip(f"{path.name} or its checkpoint is not in ../shared")
    listed = read_point_list(path)
    ours = tesvarin.load(LISTS[name]).potential(listed[:, :3] / BOHR, "mp2")
    assert np.abs(ours - listed[:, 3]).max() < 2e-6
    points, out = tmp_path / "points.txt", tmp_path / "out.cube"
    theirs = path.read_text().splitlines()
    natoms = int(theirs[2].split()[0])
    rows = "".join(line.rsplit(" ", 1)[0] + "\n" for line in theirs[6 + natoms :])
    points.write_text("# x y z, Angstrom\n\n" + rows)
    done = run(LISTS[name], "--potential", "MP2", "--points", points, "-o", out)
    assert done.returncode == 0, done.stderr
    written = out.read_text().splitlines()
    assert written[: 6 + natoms] == theirs[: 6 + natoms]
    assert [line[:45] for line in written[6 + natoms :]] == [line[:45] for line in theirs[6 + natoms :]]
    assert np.abs(read_point_list(out)[:, 3] - listed[:, 3]).max() < 2e-6


def test_fitting_points_of_the_esp_file_equal_the_programs_potential():
    """The HLY job's .gesp lists the program's potential (SCF density) at 9002 points in Bohr, eight
    digits each; the job ran at the optimisation's last geometry, whose checkpoint holds that density."""
    folder = SHARED / "realchk4" / "g09d01-mp2-esp-fit-methane"
    gesp, path = folder / "methane_sp_hly.gesp", folder / "methane_mp2_optfreq.chk"
    if not gesp.exists() or not path.exists():
        pytest.skip("the methane ESP fit is not in ../shared/realchk4")
    lines = gesp.read_text().splitlines()
    start = next(i for i, line in enumerate(lines) if "ESP VALUES AND GRID POINT COORDINATES" in line)
    count = int(lines[start].split()[-1])
    rows = [line.replace("D", "E").split() for line in lines[start + 1 : start + 1 + count]]
    table = np.array(rows, dtype=float)
    assert table.shape == (9002, 4)
    assert np.abs(tesvarin.load(path).potential(table[:, 1:]) - table[:, 0]).max() < 2e-7


def test_point_list_command_keeps_units_and_files_and_says_why(chk, tmp_path):
    cp = water_with_orbitals(chk)
    path = cp.path
    bohr = np.array([[0.1, 0.2, 3.0], [-2.0, 0.5, 1.0]])
    (tmp_path / "b.txt").write_text("\n".join(" ".join(map(repr, p)) for p in bohr.tolist()))
    (tmp_path / "a.txt").write_text("\n".join(" ".join(map(repr, p)) for p in (bohr * BOHR).tolist()))
    out = tmp_path / "b.cube"
    assert run(path, "--potential", "--points", tmp_path / "b.txt", "--points-unit", "bohr", "-o", out).returncode == 0
    values = read_point_list(out)
    assert np.allclose(values[:, :3], bohr) and np.allclose(values[:, 3], cp.potential(bohr), rtol=1e-11)
    kept = run(path, "--potential", "--points", tmp_path / "a.txt", "-o", out)
    assert kept.returncode == 1 and "exists; use --force to replace it" in kept.stderr
    assert run(path, "--potential", "--points", tmp_path / "a.txt", "-o", out, "--force").returncode == 0
    assert np.allclose(read_point_list(out)[:, 3], values[:, 3], rtol=1e-7)
    (tmp_path / "bad.txt").write_text("1 2 3\n4 5\n")
    for args, message in (
        (("--potential", "--points", tmp_path / "bad.txt"), "bad.txt, line 2: expected x y z, found '4 5'"),
        (("--density", "scf", "--points", tmp_path / "a.txt"), "--points lists the potential only"),
        (("--potential", "--points", tmp_path / "none.txt"), "No such file"),
        (("--potential", "cc", "--points", tmp_path / "a.txt"), "holds no CC density"),
    ):
        failed = run(path, *args, "-o", tmp_path / "c.cube")
        assert failed.returncode == 1 and message in failed.stderr, failed.stderr
    assert not (tmp_path / "c.cube").exists()


def random_molecule(chk, rng, cart, top):
    """Three atoms, a shell of every L up to `top` on a random one, each with a tight and a diffuse
    primitive (exponents from 1e-1 to 1e4), random orbitals and a random stored density."""
    atoms = [Atom(z, tuple(float(x) for x in rng.uniform(-2.0, 2.0, 3))) for z in (8, 6, 1)]
    shells = [Shell(1, 1, [4.0, 0.3], coefs=[0.5, 0.6], coefp=[0.4, 0.7], centre=atoms[0].xyz)]  # an SP shell
    for l in range(top + 1):
        a = int(rng.integers(3))
        exponents = [float(10 ** rng.uniform(1, 4)), float(10 ** rng.uniform(-1, 0.5))]
        coefficients = {["coefs", "coefp", "coefd"][min(l, 2)]: list(rng.uniform(0.2, 1.0, 2))}
        shells.append(Shell(l, a + 1, exponents, cons=l, centre=atoms[a].xyz, **coefficients))
    n = sum(nfunctions(s, cart) for s in shells)
    data = molecule(atoms, basis_section(shells, cartd=int(cart), cartf=int(cart)), nbasis=n, charge=0)
    data.add(ORBENE, reals(*np.sort(rng.normal(size=n))))
    data.add(ALPHA_MO, reals(*rng.normal(scale=0.3, size=n * n)))
    m = rng.normal(size=(n, n))
    data.add(DENSITIES, densities(1, *(m @ m.T / n)[np.tril_indices(n)]))
    return tesvarin.load(chk(data))


@pytest.mark.parametrize("cart", [False, True], ids=["pure", "cartesian"])
@pytest.mark.parametrize("top", [2, 5, 9])
def test_far_field_stays_within_the_accuracy_asked(chk, cart, top):
    """On random files, at points from on the atoms out to 60 Bohr: every value within the accuracy of the
    exact sums, and the far field in use (the loosest accuracy moves some value past rounding)."""
    rng = np.random.default_rng(top + 10 * cart)
    cp = random_molecule(chk, rng, cart, top)
    directions = rng.normal(size=(10000, 3))
    far = directions / np.linalg.norm(directions, axis=1)[:, None] * rng.uniform(2.0, 60.0, (10000, 1))
    pts = np.concatenate([points_near(cp.coordinates, 10000, 1.0), far, cp.coordinates + 1e-3])
    # In runs of 128 a list's points share a box: in spatial order, most boxes lie off the atoms.
    pts = pts[np.lexsort((pts[:, 2], np.floor(pts[:, 1]), np.floor(pts[:, 0])))]
    exact = cp.potential(pts, accuracy=0)
    # What summing in another order may move a value by: rounding of the nuclei's and electrons' sums.
    parts = [Tesvarin_.grid.evaluate_potential(cp.reader, pts, 0, nuclei=n, electrons=not n)[:, 0] for n in (0, 1)]
    rounding = 1e-14 * (np.abs(parts[0]) + np.abs(parts[1]))
    moved = []
    for accuracy in (1e-3, 1e-6, 1e-9):
        difference = np.abs(cp.potential(pts, accuracy=accuracy) - exact)
        assert np.all(difference <= accuracy + rounding), accuracy
        moved.append(np.max(difference / rounding))
    # With L = 9 shells of exponent 1e4 the values near the atoms reach 1e10, whose rounding hides the far field.
    assert moved[0] > 100 or top == 9


def test_accuracy_reaches_the_cube_and_the_commands_and_is_refused_below_zero(chk, tmp_path):
    rng = np.random.default_rng(7)
    cp = random_molecule(chk, rng, False, 4)
    loose, exact = (cp.cube("potential", grid=24, accuracy=a).values for a in (1e-3, 0))
    assert 0 < np.abs(np.asarray(loose) - np.asarray(exact)).max() <= 1e-3
    for a in (-1e-9, float("nan")):
        with pytest.raises(ValueError, match="accuracy must be zero or positive"):
            cp.potential(np.zeros((1, 3)), accuracy=a)
    for command in (["cube", cp.path, "--potential", "-o", tmp_path / "v.cube"], ["charges", cp.path]):
        refused = subprocess.run(
            [sys.executable, "-m", "tesvarin", *command, "--accuracy", "-1"], capture_output=True, text=True
        )
        assert refused.returncode == 2 and "--accuracy: a finite number of Hartree/e, zero or more" in refused.stderr
        assert subprocess.run([sys.executable, "-m", "tesvarin", *command, "--accuracy", "0"]).returncode == 0
