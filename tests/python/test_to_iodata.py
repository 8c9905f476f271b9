"""Checkpoint.to_iodata against iodata.load_one on formchk's file, and through IOData's Molden writer."""

from contextlib import nullcontext

import attrs
import numpy as np
import pytest
import Tesvarin_
import tesvarin

from test_load import E16, OPEN_SHELL, label
from test_realchk import WITH_FCHK

iodata = pytest.importorskip("iodata", reason="IOData is the optional extra: pip install tesvarin[iodata]")
from iodata.overlap import compute_overlap  # noqa: E402

# What IOData reads from the entries of the complete fchk; the rest comes from the basic sections.
FURTHER = {"atcharges", "atfrozen", "atgradient", "atmasses", "bonds", "extra", "moments"}
complete = pytest.mark.skipif(not hasattr(Tesvarin_.ChkReader_, "fchk_entries"),
                              reason="this build has no ChkReader_.fchk_entries, the source of the further quantities")


def differences(ours, ref, where=""):
    """Every place where our IOData value differs from IOData's reading of formchk's text."""
    if isinstance(ref, dict) or isinstance(ours, dict):
        if set(ours) != set(ref):
            return [f"{where} keys {sorted(ours, key=str)} != {sorted(ref, key=str)}"]
        return [d for k in ref for d in differences(ours[k], ref[k], f"{where}[{k}]")]
    if isinstance(ref, (iodata.basis.MolecularBasis, iodata.orbitals.MolecularOrbitals, iodata.basis.Shell)):
        found = [] if type(ours) is type(ref) else [f"{where} is {type(ours)}"]
        return found + [d for f in attrs.fields(type(ref)) if f.name not in ("shells", "conventions")
                        for d in differences(getattr(ours, f.name), getattr(ref, f.name), f"{where}.{f.name}")] + (
            [d for i, (s, t) in enumerate(zip(ours.shells, ref.shells, strict=True))
             for d in differences(s, t, f"{where}.shells[{i}]")] if hasattr(ref, "shells") else [])
    if isinstance(ref, np.ndarray) or isinstance(ours, np.ndarray):
        ours, ref = np.asarray(ours), np.asarray(ref)
        if ours.shape != ref.shape:
            return [f"{where} shape {ours.shape} != {ref.shape}"]
        if ref.dtype.kind != "f":
            return [] if np.array_equal(ours, ref) else [f"{where} differs"]
        scale = iodata.utils.amu if where == "atmasses" else 1.0  # the fchk shows amu
        printed = E16(ours / scale) * scale
        return [] if np.allclose(printed, ref, rtol=1e-12, atol=0) else [f"{where} differs beyond the 9 digits"]
    if isinstance(ref, float):  # the energy: printed with 16 digits
        return [] if ours == pytest.approx(ref, rel=1e-15) else [f"{where} {ours} != {ref}"]
    return [] if ours == ref else [f"{where} {ours!r} != {ref!r}"]


def filled(data, names):
    return {n for n in names if getattr(data, n) is not None and not (isinstance(getattr(data, n), dict)
                                                                       and not getattr(data, n))}


def compare(path, names):
    ours = tesvarin.load(path).to_iodata()
    ref = iodata.load_one(str(path.with_suffix(".fchk")))
    assert filled(ours, names) == filled(ref, names)
    assert [d for n in sorted(filled(ref, names)) for d in differences(getattr(ours, n), getattr(ref, n), n)] == []


BASIC = {f.name for f in attrs.fields(iodata.IOData)} - FURTHER


@pytest.mark.parametrize("path", WITH_FCHK, ids=label)
def test_to_iodata_equals_iodata_on_formchks_file(path):
    compare(path, BASIC)


@complete
@pytest.mark.parametrize("path", WITH_FCHK, ids=label)
def test_to_iodata_further_quantities_equal_iodata_on_formchks_file(path):
    compare(path, FURTHER)


def orthonormality_error(data):
    """max |C^T S C - 1| over the spin blocks, S from IOData's own overlap integrals."""
    overlap = compute_overlap(data.obasis, data.atcoords)
    blocks = [data.mo.coeffsa] if data.mo.kind == "restricted" else [data.mo.coeffsa, data.mo.coeffsb]
    return max(np.abs(c.T @ overlap @ c - np.eye(c.shape[1])).max() for c in blocks)


@pytest.mark.parametrize("path", WITH_FCHK + OPEN_SHELL, ids=label)
def test_molden_written_by_iodata_reads_back_with_orthonormal_orbitals(path, tmp_path):
    cp = tesvarin.load(path)
    data = cp.to_iodata()
    with pytest.warns(iodata.utils.PrepareDumpWarning) if -1 in cp.shell_types else nullcontext():
        iodata.dump_one(data, str(tmp_path / "out.molden"), allow_changes=True)  # sp shells split in two
    back = iodata.load_one(str(tmp_path / "out.molden"))
    # A few Density=MP2 files store orbitals orthonormal only to 1e-5, in formchk's file as well.
    fchk = path.with_suffix(".fchk")
    limit = max(1e-6, 1.01 * orthonormality_error(iodata.load_one(str(fchk)))) if fchk.is_file() else 1e-6
    assert orthonormality_error(back) <= limit
    assert back.mo.occs.sum() == pytest.approx(data.mo.occs.sum())


def test_without_iodata_the_message_names_the_extra(tmp_path, monkeypatch):
    from chk_builder import water
    cp = tesvarin.load(water().write(tmp_path / "w.chk"))
    monkeypatch.setitem(__import__("sys").modules, "iodata", None)
    with pytest.raises(ImportError, match=r"pip install tesvarin\[iodata\]"):
        cp.to_iodata()
