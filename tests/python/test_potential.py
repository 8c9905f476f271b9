"""The electrostatic potential: against gbasis on IOData's reading of our own fchk (as the orbital
and density tests do), against cubegen's point lists in ../shared/realchk4, and its physics (the
nuclear part exact, the far field the net charge over r)."""

import numpy as np
import pytest
import tesvarin

from tests.python.real_files import SHARED
from tests.python.test_cube import REAL, high_l, loadable, points_near, reference

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


@pytest.fixture(params=REAL or [None], ids=lambda p: f"{p.parent.name}/{p.stem}" if p else "none")
def real(request):
    if request.param is None:
        pytest.skip("no real checkpoints in ../shared/realchk*")
    cp = loadable(request.param)
    if cp is None:
        pytest.skip("a checkpoint without orbitals or that the reader refuses")
    return cp


def test_real_files_equal_gbasis(real, tmp_path):
    check_against_gbasis(real, reference(real, tmp_path), points_near(real.coordinates, 12, 2.0))


def read_point_list(path):
    lines = path.read_text().splitlines()
    natoms, npoints = int(lines[2].split()[0]), int(lines[3].split()[0])
    values = np.array([line.split() for line in lines[6 + natoms :]], dtype=float)
    assert values.shape == (npoints, 4)
    return values


@pytest.mark.parametrize("name", sorted(LISTS))
def test_point_lists_equal_cubegen(name):
    path = POINT_LISTS / f"{name}.potential.cube"
    if not path.exists() or not LISTS[name].exists():
        pytest.skip(f"{path.name} or its checkpoint is not in ../shared")
    listed = read_point_list(path)
    ours = tesvarin.load(LISTS[name]).potential(listed[:, :3] / BOHR, "mp2")
    assert np.abs(ours - listed[:, 3]).max() < 2e-6
