"""Formatted checkpoints written from real files load in IOData and cclib, and their physics holds."""

from __future__ import annotations

import contextlib
import io
import warnings
from pathlib import Path

import numpy as np
import pytest
import Tesvarin_

from test_realchk import BOHR, REAL, WITH_FCHK, key

iodata = pytest.importorskip("iodata")
cclib = pytest.importorskip("cclib")
from cclib.parser.utils import convertor  # noqa: E402
from iodata.overlap import compute_overlap  # noqa: E402

EXAMPLE = Path(__file__).resolve().parents[2] / "examples" / "water.chk"
CASES = [pytest.param(p, id=key(p)) for p in WITH_FCHK] + [pytest.param(EXAMPLE, id="bundled-example")]


@pytest.fixture
def written(request, tmp_path):
    """(path of the fchk we wrote, the parsed Mol it came from)."""
    chk = request.param
    if chk != EXAMPLE and not REAL.is_dir():
        pytest.skip(f"real checkpoint folder {REAL} is absent")
    out, reader = tmp_path / f"{chk.stem}.fchk", Tesvarin_.ChkReader_(str(chk))
    reader.write_fchk(str(out))
    return out, reader.params.mol


def load_iodata(path: Path):
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        return iodata.load_one(str(path))


@pytest.mark.parametrize("written", CASES, indirect=True)
def test_loads_in_iodata_and_cclib(written):
    fchk, m = written
    mol = load_iodata(fchk)
    with contextlib.redirect_stdout(io.StringIO()), contextlib.redirect_stderr(io.StringIO()):
        data = cclib.io.ccread(str(fchk))
    assert mol.atnums.tolist() == m.atomicnums == data.atomnos.tolist()
    np.testing.assert_allclose(mol.atcoords * BOHR, m.coords, atol=1e-7)
    np.testing.assert_allclose(data.atomcoords[-1], m.coords, atol=1e-5)
    assert (mol.obasis.nbasis, mol.mo.nelec, mol.charge) == (m.nbasis, m.ne, m.totchg)
    assert (data.nbasis, data.nmo, data.homos.tolist(), data.charge) == (m.nbasis, m.nbsuse, [m.nae - 1], m.totchg)
    np.testing.assert_allclose(mol.mo.energies, m.aoene, rtol=1e-7, atol=1e-12)
    np.testing.assert_allclose(convertor(data.moenergies[0], "eV", "hartree"), m.aoene, rtol=1e-6, atol=1e-9)


@pytest.mark.parametrize("written", CASES, indirect=True)
def test_mos_orthonormal_and_density_traces_to_electron_count(written):
    mol = load_iodata(written[0])
    overlap = compute_overlap(mol.obasis, mol.atcoords)
    coeffs = mol.mo.coeffs  # nbasis x nbsuse: fewer independent functions than basis functions is allowed
    assert coeffs.shape[0] == overlap.shape[0] and coeffs.shape[1] <= coeffs.shape[0]
    np.testing.assert_allclose(coeffs.T @ overlap @ coeffs, np.eye(coeffs.shape[1]), atol=1e-5)
    assert np.trace(overlap @ mol.one_rdms["scf"]) == pytest.approx(mol.mo.nelec, abs=1e-5)
    if "post_scf_ao" in mol.one_rdms:
        assert np.trace(overlap @ mol.one_rdms["post_scf_ao"]) == pytest.approx(mol.mo.nelec, abs=1e-5)
