"""Formatted checkpoints written from real files load in IOData and cclib, and their physics holds."""

from __future__ import annotations

import contextlib
import io
import warnings
from pathlib import Path

import numpy as np
import pytest
import Tesvarin_

from tests.python.real_files import BOHR, NEWER, REAL, WITH_FCHK, key

iodata = pytest.importorskip("iodata")
cclib = pytest.importorskip("cclib")
from cclib.parser.utils import convertor  # noqa: E402
from iodata.overlap import compute_overlap  # noqa: E402

EXAMPLE = Path(__file__).resolve().parents[2] / "examples" / "water.chk"
CASES = [pytest.param(p, id=key(p)) for p in WITH_FCHK + NEWER] + [pytest.param(EXAMPLE, id="bundled-example")]


@pytest.fixture
def written(request, tmp_path):
    """(path of the fchk we wrote, the parsed ChkParams it came from)."""
    chk = request.param
    if chk != EXAMPLE and not REAL.is_dir():
        pytest.skip(f"real checkpoint folder {REAL} is absent")
    out, reader = tmp_path / f"{chk.stem}.fchk", Tesvarin_.ChkReader_(str(chk))
    reader.write_fchk(str(out))
    request.node.trajectory = reader.further.trajectory is not None
    return out, reader.params


def load_iodata(path: Path):
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        return iodata.load_one(str(path))


@pytest.mark.parametrize("written", CASES, indirect=True)
def test_loads_in_iodata_and_cclib(written):
    fchk, p = written
    m = p.mol
    mol = load_iodata(fchk)
    with contextlib.redirect_stdout(io.StringIO()), contextlib.redirect_stderr(io.StringIO()):
        data = cclib.io.ccread(str(fchk))
    assert mol.atnums.tolist() == m.atomicnums == data.atomnos.tolist()
    np.testing.assert_allclose(mol.atcoords * BOHR, m.coords, atol=1e-7)
    np.testing.assert_allclose(data.atomcoords[-1], m.coords, atol=1e-5)
    assert (mol.obasis.nbasis, mol.mo.nelec, mol.charge) == (m.nbasis, m.ne, m.totchg)
    assert (mol.mo.occsa.sum(), mol.mo.occsb.sum(), data.mult) == (m.nae, m.nbe, m.multiplicity)
    homos = [m.nae - 1] + ([m.nbe - 1] if m.boene else [])
    assert (data.nbasis, data.nmo, data.homos.tolist(), data.charge) == (m.nbasis, m.nbsuse, homos, m.totchg)
    assert mol.mo.kind == ("unrestricted" if m.boene else "restricted")
    assert mol.energy == pytest.approx(p.totene, rel=1e-15)
    assert convertor(data.scfenergies[-1], "eV", "hartree") == pytest.approx(p.scfene, rel=1e-9)
    np.testing.assert_allclose(mol.mo.energies, m.aoene + m.boene, rtol=1e-7, atol=1e-12)
    for ours, theirs in zip([m.aoene, m.boene], data.moenergies, strict=False):
        np.testing.assert_allclose(convertor(theirs, "eV", "hartree"), ours, rtol=1e-6, atol=1e-9)


@pytest.mark.parametrize("written", CASES, indirect=True)
def test_mos_orthonormal_and_density_traces_to_electron_count(written, request):
    mol, m = load_iodata(written[0]), written[1].mol
    overlap = compute_overlap(mol.obasis, mol.atcoords)
    # A trajectory's orbitals are its first step's SCF, orthonormal at the first geometry only
    # (test_cube checks them there); its density is the last step's.
    orbitals_here = not request.node.trajectory
    for coeffs in ([mol.mo.coeffsa] if orbitals_here else []) + (
        [mol.mo.coeffsb] if mol.mo.kind == "unrestricted" else []
    ):
        # nbasis x nbsuse: fewer independent functions than basis functions is allowed
        assert coeffs.shape[0] == overlap.shape[0] and coeffs.shape[1] <= coeffs.shape[0]
        np.testing.assert_allclose(coeffs.T @ overlap @ coeffs, np.eye(coeffs.shape[1]), atol=1e-5)
    stored = {
        "scf": m.totdens[0],
        "scf_spin": m.spindens[0],
        # IOData reads the first post-SCF kind stored: MP2, or the CI densities of a CIS or TD job.
        "post_scf_ao": next((d for d in m.totdens[1:] if d), []),
        "post_scf_spin_ao": next((d for d in m.spindens[1:] if d), []),
    }
    rdms = getattr(mol, "one_rdms", {})
    assert set(rdms) == {kind for kind, values in stored.items() if values}
    for kind, density in rdms.items():
        expected = mol.mo.spinpol if kind.endswith(("spin", "spin_ao")) else mol.mo.nelec
        assert np.trace(overlap @ density) == pytest.approx(expected, abs=1e-5), kind
