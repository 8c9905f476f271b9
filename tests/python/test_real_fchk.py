"""Checkpoints written by the 64-bit program itself, written out again: the basic and complete fchk against
formchk's, byte for byte and as IOData and cclib read them, and the gjf (files from tests/python/real_files.py).
"""

from __future__ import annotations

import difflib
import itertools
import re
import warnings
from pathlib import Path

import numpy as np
import pytest
import tesvarin

from tests.python.real_files import (
    EVERY,
    REAL,
    REAL2,
    WITH_FCHK,
    e16,
    fmt,
    key,
    numbers,
    read_fchk,
    reader,
    scalar,
    twin,
    twin_bytes,
)

pytestmark = pytest.mark.skipif(not REAL.is_dir(), reason=f"real checkpoint folder {REAL} is absent")


@pytest.fixture(scope="module")
def written(tmp_path_factory):
    out = tmp_path_factory.mktemp("fchk")

    def write(chkfile: Path) -> Path:
        path = out / f"{chkfile.stem}.fchk"
        reader(chkfile).write_fchk(str(path))
        return path

    return write


@pytest.mark.parametrize("chkfile", WITH_FCHK, ids=key)
def test_written_fchk_matches_formchk_entry_for_entry(chkfile, written):
    head, ours = read_fchk(written(chkfile))
    ref_head, ref = read_fchk(twin(chkfile))
    assert head == ref_head
    assert set(ours) - set(ref) <= {"Full Title", "Route"}  # formchk of version 09 omits these two
    for label in set(ours) & set(ref):
        (tail, data), (ref_tail, ref_data) = ours[label], ref[label]
        assert tail == ref_tail, label
        if tail[3] == "C" and data:  # formchk pads the last 12-character piece with blanks
            assert data[:-1] == ref_data[:-1], label
            pieces = -(-len(data[-1]) // 12)
            assert ref_data[-1] == data[-1].ljust(12 * pieces), label
        else:
            assert data == ref_data, label


@pytest.mark.parametrize("chkfile", EVERY, ids=key)
def test_written_gjf_loads_in_iodata_with_the_same_geometry(chkfile, tmp_path):
    iodata = pytest.importorskip("iodata")
    m = reader(chkfile).params.mol
    reader(chkfile).write_gjf(str(tmp_path / "out.gjf"))
    loaded = iodata.load_one(str(tmp_path / "out.gjf"), fmt="gaussianinput")
    assert loaded.atnums.tolist() == m.atomicnums
    np.testing.assert_allclose(loaded.atcoords / iodata.utils.angstrom, m.coords, rtol=0, atol=1e-6)


@pytest.fixture(scope="module")
def complete(tmp_path_factory):
    out = tmp_path_factory.mktemp("complete")

    def write(chkfile: Path) -> Path:
        path = out / f"{chkfile.parent.name}-{chkfile.stem}.fchk"
        if not path.exists():
            reader(chkfile).write_fchk(str(path), complete=True)
        return path

    return write


@pytest.mark.parametrize("chkfile", WITH_FCHK, ids=key)
def test_complete_fchk_is_formchk_byte_for_byte(chkfile, complete):
    ours, ref = complete(chkfile).read_bytes(), twin_bytes(chkfile)
    if ours != ref:
        diff = difflib.unified_diff(
            ref.decode().splitlines(), ours.decode().splitlines(), "formchk", "tesvarin", lineterm=""
        )
        pytest.fail("complete fchk differs from formchk's:\n" + "\n".join(itertools.islice(diff, 40)))


# The warnings a real checkpoint gives on loading or writing, by file, each with its reason. None
# today: every section of every real file is read, and every version has its formchk column.
EXPECTED_WARNINGS: dict[str, list[str]] = {}


@pytest.mark.parametrize("chkfile", EVERY, ids=key)
def test_every_real_checkpoint_loads_and_writes_with_only_the_expected_warnings(chkfile, complete):
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        cp = tesvarin.load(chkfile)
        written = complete(chkfile)
    assert [str(w.message) for w in caught] == EXPECTED_WARNINGS.get(key(chkfile), [])
    assert cp.reader.further.damage == [] and written.stat().st_size > 0


@pytest.mark.parametrize("chkfile", WITH_FCHK, ids=key)
def test_complete_entries_are_the_written_values(chkfile):
    """fchk_entries gives each entry's exact value in file order, as the complete file prints it."""
    entries = reader(chkfile).fchk_entries()
    _, ref = read_fchk(twin(chkfile))
    assert list(entries) == list(ref)
    for label, value in entries.items():
        if isinstance(value, np.ndarray) and value.dtype == np.float64:
            assert fmt(value) == e16(ref, label), label
        elif isinstance(value, np.ndarray):
            assert value.dtype == np.int64 and value.tolist() == numbers(ref, label).tolist(), label
        elif isinstance(value, str):
            assert "".join(ref[label][1]) == value.ljust(-(-len(value) // 12) * 12), label
        else:
            assert type(value) is type(scalar(ref, label)) and abs(value - scalar(ref, label)) <= abs(value) * 1e-15


def same(a, b, where=""):
    """Deep equality of what a consumer read from two files: dicts, arrays, attrs records, scalars."""
    if isinstance(a, dict):
        assert a.keys() == b.keys(), where
        for k in a:
            same(a[k], b[k], f"{where}.{k}")
    elif isinstance(a, (list, tuple)):
        assert len(a) == len(b), where
        for k, (x, y) in enumerate(zip(a, b, strict=True)):
            same(x, y, f"{where}[{k}]")
    elif isinstance(a, np.ndarray):
        np.testing.assert_array_equal(a, b, err_msg=where)
    elif hasattr(a, "__attrs_attrs__"):
        for f in a.__attrs_attrs__:
            same(getattr(a, f.name), getattr(b, f.name), f"{where}.{f.name}")
    else:
        assert a == b, where


@pytest.mark.parametrize("chkfile", WITH_FCHK, ids=key)
def test_consumers_read_from_complete_fchk_what_they_read_from_formchk(chkfile, complete):
    iodata = pytest.importorskip("iodata")
    cclib = pytest.importorskip("cclib")
    ours, ref = complete(chkfile), twin(chkfile)
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        mine, theirs = iodata.load_one(str(ours)), iodata.load_one(str(ref), fmt="fchk")
        has_steps = "Opt point       1 Geometries" in read_fchk(ref)[1]
        steps = [list(iodata.load_many(str(p), fmt="fchk")) if has_steps else [] for p in (ours, ref)]
        cc_mine, cc_theirs = cclib.io.ccread(str(ours)), cclib.io.ccread(str(ref))
    for name in [
        "atgradient",
        "athessian",
        "atmasses",
        "atcharges",
        "moments",
        "extra",
        "bonds",
        "atfrozen",
        "energy",
        "atcoords",
        "atnums",
        "mo",
        "obasis",
        "one_rdms",
        "run_type",
        "lot",
        "title",
    ]:
        same(getattr(mine, name), getattr(theirs, name), name)
    assert mine.atmasses is not None and mine.atgradient is not None and "mulliken" in mine.atcharges
    assert len(steps[0]) == len(steps[1])
    for a, b in zip(*steps, strict=True):
        same(a.atcoords, b.atcoords), same(a.atgradient, b.atgradient), same(a.energy, b.energy)
    mine_cc = {k: v for k, v in vars(cc_mine).items() if k != "metadata"}
    assert mine_cc.keys() == {k for k in vars(cc_theirs) if k != "metadata"}
    for k, v in mine_cc.items():
        same(v, getattr(cc_theirs, k), k)


# Files with no formchk twin (16 B.01 and C.01, open shells, NMR, molecular mechanics, semi-empirical, ...):
# checked against their .log and physics.


@pytest.mark.skipif(not REAL2.is_dir(), reason=f"second real checkpoint folder {REAL2} is absent")
@pytest.mark.parametrize("chkfile", [p for p in EVERY if not twin(p)], ids=key)
def test_complete_fchk_of_files_without_a_twin(chkfile, complete):
    iodata = pytest.importorskip("iodata")
    cclib = pytest.importorskip("cclib")
    from iodata.overlap import compute_overlap

    entries = reader(chkfile).fchk_entries()
    path = complete(chkfile)
    if "Vib-AtMass" in entries:
        np.testing.assert_array_equal(entries["Real atomic weights"], entries["Vib-AtMass"])
    nmodes = entries.get("Number of Normal Modes", 0)
    freqs = entries["Vib-E2"][:nmodes] if nmodes else np.zeros(0)
    assert entries.get("NImag", 0) == np.count_nonzero(freqs < 0)
    log = chkfile.with_suffix(".log")
    if log.is_file() and nmodes:
        lines = re.findall(r"^ Frequencies --(.*)$", log.read_text(), re.M)
        printed = [float(v) for line in lines for v in line.split()]
        assert ["%.4f" % f for f in freqs] == ["%.4f" % f for f in printed[-nmodes:]]
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        data = iodata.load_one(str(path))
        # cclib wants as many functions as the shells give: an MM job's dummy shells give none
        cc = cclib.io.ccread(str(path)) if entries["Number of basis functions"] else None
    if nmodes:
        np.testing.assert_allclose(cc.vibfreqs, freqs, rtol=1e-8)
    # A semi-empirical (ZDO) job's orbitals are orthonormal in the unit metric; an MM job has none.
    zdo = reader(chkfile).params.baset == "ZDO"
    overlap = np.eye(data.obasis.nbasis) if zdo else compute_overlap(data.obasis, data.atcoords)
    for coeffs in [data.mo.coeffsa] + ([data.mo.coeffsb] if data.mo.kind == "unrestricted" else []):
        if data.mo.norba:
            np.testing.assert_allclose(coeffs.T @ overlap @ coeffs, np.eye(coeffs.shape[1]), atol=1e-5)
    assert (data.mo.kind == "unrestricted") == ("Beta MO coefficients" in entries)
