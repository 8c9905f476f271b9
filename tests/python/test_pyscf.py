"""The wavefunction in PySCF, the basis's overlap, natural orbitals, and the files of other programs.

PySCF is the independent judge: its own integrals give the SCF energy of the density built from our
orbitals, its MP2 the correlation energy of the job, its overlap the orthonormality of the orbitals in
its order and normalisation of functions. Builder files up to L = 5 carry orbitals made orthonormal in
our overlap (itself held against gbasis), so any wrong order, sign or norm of a function shows.
"""

import re
import subprocess
import sys

import numpy as np
import pytest
import tesvarin
import Tesvarin_

from tests.python.chk_builder import (
    ALPHA_MO,
    BETA_MO,
    CORE_POTENTIALS,
    ORBENE,
    Atom,
    Shell,
    basis_section,
    molecule,
    reals,
    water,
)
from tests.python.chk_builder.further import complete_water, core_potentials_section
from tests.python.real_files import SHARED

pytestmark = pytest.mark.filterwarnings("ignore:.*Section 997")  # the builder's short molecule

pyscf = pytest.importorskip("pyscf")
iodata = pytest.importorskip("iodata")
from gbasis.evals.density import evaluate_density  # noqa: E402
from gbasis.integrals.overlap import overlap_integral  # noqa: E402
from gbasis.wrappers import from_iodata  # noqa: E402
from pyscf import mp  # noqa: E402
from pyscf.data.elements import chemcore  # noqa: E402
from pyscf.tools import molden  # noqa: E402

RNG = np.random.default_rng(40)
REAL = {p.stem: p for p in sorted(SHARED.glob("realchk*/*/*.chk"))}
# One energy costs PySCF a few seconds per 100 functions; beyond 120 only the one file of its family runs.
BUDGET = 120
ONLY_OF_ITS_FAMILY = {"c2f2o2_m062x_freq"}  # Cartesian d with pure f


def real(stem):
    if stem not in REAL:
        pytest.skip(f"{stem}.chk is not in ../shared")
    return tesvarin.load(REAL[stem])


def nfunctions(l, cart):
    return (l + 1) * (l + 2) // 2 if cart else 2 * l + 1


def orthonormal(chk, cart, spin="closed", top=5):
    """O and H with shells S to L = top (an SP among them), and orbitals orthonormal in the overlap."""
    atoms = [Atom(8, (0.1, -0.2, 0.3)), Atom(1, (0.4, 1.5, -0.9))]
    shells = [
        Shell(0, 1, [40.0, 6.0, 1.2], coefs=[0.2, 0.5, 0.6], centre=atoms[0].xyz),
        Shell(1, 1, [3.0, 0.7], coefs=[0.3, 0.8], coefp=[0.4, 0.7], centre=atoms[0].xyz),
        Shell(0, 2, [0.9], coefs=[1.0], centre=atoms[1].xyz),
    ]
    shells += [
        Shell(l, 1 + l % 2, [2.0 + l, 0.6], coefd=[0.5, 0.7], centre=atoms[l % 2].xyz) for l in range(2, top + 1)
    ]
    n = 1 + 4 + 1 + sum(nfunctions(l, cart) for l in range(2, top + 1))
    open_shell = spin != "closed"

    def build(*orbitals):
        data = molecule(
            atoms,
            basis_section(shells, cartd=int(cart), cartf=int(cart)),
            ilsw={0: int(spin == "unrestricted")},
            nbasis=n,
            mult=2 if open_shell else 1,
            charge=0 if open_shell else -1,
        )
        data.add(ORBENE, reals(*np.sort(RNG.normal(size=len(orbitals) * n))))
        for label, c in zip((ALPHA_MO, BETA_MO), orbitals, strict=False):
            data.add(label, reals(*c.ravel()))
        return tesvarin.load(chk(data))

    s = build(np.eye(n)).overlap()
    values, vectors = np.linalg.eigh(s)
    half = vectors / np.sqrt(values) @ vectors.T  # S^(-1/2)
    sets = 2 if spin == "unrestricted" else 1
    return build(*[(half @ np.linalg.qr(RNG.normal(size=(n, n)))[0]).T for _ in range(sets)])


@pytest.mark.parametrize("cart", [False, True], ids=["pure", "cartesian"])
@pytest.mark.parametrize("top", [2, 4, 5], ids=["d", "g", "h"])
def test_overlap_equals_gbasis(chk, cart, top):
    cp = orthonormal(chk, cart, top=top)
    data = cp.to_iodata()
    first = [list(cp.shell_atoms).index(atom) for atom in range(2)]
    data.atcoords = np.asarray(cp.shell_coordinates)[first]  # gbasis puts a shell on its atom
    reference = overlap_integral(from_iodata(data))
    assert np.abs(cp.overlap() - reference).max() < 1e-12


@pytest.mark.parametrize(
    ("cart", "spin", "kind", "occupied"),
    [
        (False, "closed", "RHF", {2.0: 5}),
        (True, "closed", "RHF", {2.0: 5}),
        (False, "restricted", "ROHF", {2.0: 4, 1.0: 1}),
        (True, "unrestricted", "UHF", None),
    ],
    ids=["pure-rhf", "cartesian-rhf", "pure-rohf", "cartesian-uhf"],
)
def test_orbitals_are_orthonormal_in_pyscfs_own_overlap_up_to_g(chk, cart, spin, kind, occupied):
    cp = orthonormal(chk, cart, spin, top=4)
    mol, mf = cp.to_pyscf()
    assert type(mf).__name__ == kind and mol.cart == cart and mol.spin == cp.n_alpha - cp.n_beta
    s = mol.intor("int1e_ovlp")
    for c in [mf.mo_coeff] if kind != "UHF" else mf.mo_coeff:
        assert np.abs(c.T @ s @ c - np.eye(c.shape[1])).max() < 1e-10
    if occupied:
        assert {o: int(np.sum(mf.mo_occ == o)) for o in occupied} == occupied
    # the density PySCF makes is ours, moved into its functions
    dm = mf.make_rdm1()
    assert np.einsum("ij,ji->", dm.sum(axis=0) if dm.ndim == 3 else dm, s) == pytest.approx(cp.n_electrons, abs=1e-9)


def _skip_reason(cp):
    if cp.path.endswith("ts_guess_rerun.chk"):
        return "the rerun of ts_guess: the same molecule, basis and method (its twin runs)"
    if cp.job_type == "ADMP":
        return "a trajectory: the orbitals are those of a step, not of the geometry stored with them"
    if re.search(r"\bscrf\b", cp.route, re.I):
        return "a solvent model (SCRF) job: PySCF's energy lacks its reaction field"
    if cp.method.upper().endswith("XD"):
        return "a dispersion-corrected functional: PySCF's energy lacks the correction"
    if cp.n_basis > BUDGET and cp.path.split("/")[-1][:-4] not in ONLY_OF_ITS_FAMILY:
        return f"{cp.n_basis} basis functions: beyond this file's time budget (its family runs on a smaller file)"
    return None


def test_pyscf_energy_of_our_orbitals_equals_the_jobs(real):
    cp = real
    if re.search(r"(PM3|AMBER)$", cp.method):
        with pytest.raises(ValueError, match="not one of Hartree-Fock or density functional theory"):
            cp.to_pyscf()
        return
    reason = _skip_reason(cp)
    if reason:
        pytest.skip(reason)
    if "PBEPBE" in cp.method and "TD" in cp.method:
        pytest.xfail("09 A.01's PBEPBE energy is 5.6e-4 Hartree from libxc's PBE on the file's own density too")
    _, mf = cp.to_pyscf()
    energy = mf.energy_tot(mf.make_rdm1())
    hartree_fock = mf.__class__.__name__ in ("RHF", "UHF", "ROHF", "HF1e")
    assert energy == pytest.approx(cp.scf_energy, abs=1e-7 if hartree_fock else 1e-4)


@pytest.mark.parametrize(
    "stem", ["methanol-dma", "methylamine-opt", "methane_mp2_optfreq", "h_ump2_ccpvqz", "methanol-sp-6-1-2-3-201"]
)
def test_pyscf_mp2_correlation_equals_the_log(stem):
    cp = real(stem)
    log = REAL[stem].with_suffix(".log").read_text(errors="replace")
    correlation = float(re.findall(r"E2 =\s*(\S+)", log)[-1].replace("D", "E"))
    mol, mf = cp.to_pyscf()
    frozen = chemcore(mol) if cp.method.endswith("-FC") else 0
    assert mp.MP2(mf, frozen=frozen).kernel()[0] == pytest.approx(correlation, abs=1e-7)


@pytest.mark.parametrize("stem", ["water", "O_triplet_um062x", "formaldehyde_rhf_6311ppgdp_opt"])
def test_pyscfs_molden_loader_reads_our_molden_file(stem, tmp_path):
    cp = real(stem)
    out = tmp_path / f"{stem}.molden"
    subprocess.run([sys.executable, "-m", "tesvarin", "convert", cp.path, "--to", "molden", "-o", str(out)], check=True)
    _, _, coefficients, occupations, _, _ = molden.load(str(out))
    _, mf = cp.to_pyscf()
    dm = mf.make_rdm1(np.asarray(coefficients), np.asarray(occupations))
    tolerance = 1e-7 if type(mf).__name__.endswith("HF") else 1e-4
    assert mf.energy_tot(dm) == pytest.approx(cp.scf_energy, abs=tolerance)


@pytest.mark.parametrize(("fmt", "rtol"), [("wfx", 1e-8), ("wfn", 1e-7)])  # the digits each format keeps
@pytest.mark.parametrize("stem", ["water", "O_triplet_um062x", "c6h3f3_mp2_optfreq"])
def test_iodata_reads_back_our_wfx_and_wfn_with_our_density(stem, fmt, rtol, tmp_path):
    cp = real(stem)
    out = tmp_path / f"{stem}.{fmt}"
    subprocess.run([sys.executable, "-m", "tesvarin", "convert", cp.path, "--to", fmt, "-o", str(out)], check=True)
    data = iodata.load_one(str(out))
    points = cp.coordinates[RNG.integers(0, len(cp.coordinates), 300)] + RNG.normal(size=(300, 3))
    matrix = (data.mo.coeffs * data.mo.occs) @ data.mo.coeffs.T
    ours = cp.evaluate(points, "density:orbitals", tolerance=0)
    assert np.abs(evaluate_density(matrix, from_iodata(data), points) - ours).max() <= rtol * np.abs(ours).max()


DENSITY_FILES = [
    ("c6h3f3_mp2_optfreq", "mp2"),
    ("formamide_b3lyp_td1_force", "ci rho(1)"),
    ("formamide_b3lyp_td1_force", "ci"),
    ("O_triplet_um062x", None),
    ("h_ump2_ccpvqz", "mp2"),
]


@pytest.mark.parametrize(("stem", "kind"), DENSITY_FILES)
@pytest.mark.parametrize("spin", ["total", "alpha", "beta"])
def test_natural_orbitals_rebuild_the_density(stem, kind, spin):
    cp = real(stem)
    if kind is None:
        with pytest.raises(ValueError, match=f"{stem}.chk holds no SCF density; the densities it holds: none"):
            cp.natural_orbitals("scf", spin)
        return
    found = cp.natural_orbitals(kind, spin)
    n, c, s = found.occupations, found.coefficients, cp.overlap()
    name = next(k for k in cp.total_densities if k.lower() == kind)
    total, difference = cp.total_densities[name], cp.spin_densities.get(name, 0.0 * s)
    matrix = {"total": total, "alpha": (total + difference) / 2, "beta": (total - difference) / 2}[spin]
    electrons = {"total": cp.n_electrons, "alpha": cp.n_alpha, "beta": cp.n_beta}[spin]
    assert n.sum() == pytest.approx(electrons, abs=1e-8) and np.all(np.diff(n) <= 0)
    assert np.abs(c.T @ np.diag(n) @ c - matrix).max() < 1e-10
    assert np.abs(c @ s @ c.T - np.eye(len(n))).max() < 1e-10
    if kind in ("scf", "ci rho(1)") or cp.n_electrons == 1:
        # A relaxed density (the stored MP2 and CI ones) is no ensemble of determinants: its occupations may
        # leave [0, 2] by some 1e-3; an unrelaxed one stays inside.
        top = 2.0 if spin == "total" else 1.0
        assert n.min() >= -1e-8 and n.max() <= top + 1e-8


def test_natural_orbital_cube_is_that_orbital_on_the_grid(tmp_path):
    cp = real("c6h3f3_mp2_optfreq")
    out = tmp_path / "no.cube"
    command = ["cube", cp.path, "--natural-orbital", "21", "--density", "mp2", "--grid", "12"]
    subprocess.run([sys.executable, "-m", "tesvarin", *command, "-o", str(out)], check=True)
    beyond = subprocess.run(
        [sys.executable, "-m", "tesvarin", *command[:3], "999", *command[4:], "-o", str(tmp_path / "no2.cube")],
        capture_output=True,
    )
    assert beyond.returncode == 1 and b"--natural-orbital 999: the MP2 density has 141" in beyond.stderr
    written = tesvarin.grid.read_cube(str(out))
    found = cp.natural_orbitals("mp2")
    assert f"occupation {found.occupations[20]:.6f}" in written.comment
    lattice = (written.origin.tolist(), written.axes.tolist(), list(written.counts))
    every = Tesvarin_.grid.grid_coefficients(cp.reader, *lattice, np.ascontiguousarray(found.coefficients))
    assert np.allclose(written.values[..., 0], every[..., 20], atol=1e-5, rtol=1e-5)  # the cube's digits
    # All of them, weighted by their occupations, are the MP2 density.
    density = Tesvarin_.grid.grid_density(cp.reader, *lattice, 2)
    assert np.allclose(np.einsum("xyzk,k->xyz", every**2, found.occupations), density, atol=1e-10, rtol=1e-10)


@pytest.mark.parametrize(
    ("make", "message"),
    [
        (
            lambda: complete_water().replace(CORE_POTENTIALS, core_potentials_section(3, [10.0, 0.0, 0.0], terms=3)),
            r"effective core potentials \(section 512\)",
        ),
    ],
    ids=["core potential"],
)
def test_files_pyscf_cannot_hold_are_refused(chk, make, message):
    with pytest.raises(ValueError, match=message):
        tesvarin.load(chk(make())).to_pyscf()


def test_an_unknown_or_dispersion_functional_warns_and_can_be_given(monkeypatch):
    cp = real("methanol-sp-2-1-002")  # wB97X-D
    with pytest.warns(UserWarning, match=r"no functional known to equal wB97XD \(its dispersion correction"):
        cp.to_pyscf()
    _, mf = cp.to_pyscf(xc="wb97x_d")
    assert mf.xc == "wb97x_d"
    monkeypatch.setitem(sys.modules, "pyscf", None)
    with pytest.raises(ImportError, match=r'to_pyscf needs pyscf: pip install ".*\[pyscf\]"'):
        cp.to_pyscf()


def test_natural_orbitals_go_to_pyscf_in_its_functions():
    cp = real("methane_mp2_optfreq")  # Cartesian d, SP shells
    mol, mf = cp.to_pyscf(natural="mp2")
    assert np.array_equal(mf.mo_occ, cp.natural_orbitals("mp2").occupations)
    s = mol.intor("int1e_ovlp")
    assert np.abs(mf.mo_coeff.T @ s @ mf.mo_coeff - np.eye(len(mf.mo_occ))).max() < 1e-10


@pytest.mark.parametrize(
    ("argv", "said"),
    [
        ("cube w.chk --natural-orbital 1 --density mp2", "holds no MP2 density; the densities it holds: none"),
        ("convert w.chk --to wfx --natural-orbitals cc", "holds no CC density; the densities it holds: none"),
    ],
)
def test_commands_say_what_the_file_lacks(tmp_path, argv, said):
    water().write(tmp_path / "w.chk")
    done = subprocess.run(
        [sys.executable, "-m", "tesvarin", *argv.split()], cwd=tmp_path, capture_output=True, text=True
    )
    assert done.returncode == 1 and done.stderr.strip().endswith(said), done.stderr
