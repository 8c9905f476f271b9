"""tesvarin.load and load_many against the module's own properties (formchk's entries: test_to_iodata)."""

import dataclasses
import io
import sys
import threading
import time

import numpy as np
import pytest
import tesvarin
import Tesvarin_

from tests.python.chk_builder import DENSITIES, LABEL, MOL, Atom, densities, label_record, mol_section, water
from tests.python.real_files import GOOD, REAL2

OPEN_SHELL = sorted(REAL2.glob("*/*.chk"))
BOHR = 0.529177249
WATER_ATOMS = [Atom(8, (0.0, 0.0, 0.2)), Atom(1, (0.0, 1.4, -0.9)), Atom(1, (0.0, -1.4, -0.9))]


def label(path):
    return f"{path.parent.name}/{path.stem}"


@pytest.mark.parametrize("path", GOOD + OPEN_SHELL, ids=label)
def test_load_holds_orthonormal_orbitals_and_densities_of_the_electron_count(path):
    """Physics the arrays must obey whatever the reader did: C S C^T = 1 and tr(P S) = N, per spin."""
    from iodata.overlap import compute_overlap

    cp = tesvarin.load(path)
    assert np.shares_memory(cp.alpha_mo_coefficients, cp.reader.params.mol.alpha_mo_coefficients)  # zero-copy
    overlap = compute_overlap(cp.to_iodata().obasis, cp.coordinates)
    for c in (cp.alpha_mo_coefficients, cp.beta_mo_coefficients):
        if c is not None:
            np.testing.assert_allclose(c @ overlap @ c.T, np.eye(len(c)), atol=1e-5)
    assert cp.alpha_occupations.sum() == cp.n_alpha and cp.beta_occupations.sum() == cp.n_beta
    assert cp.restricted == (cp.beta_mo_coefficients is None)
    for name, density in cp.total_densities.items():
        np.testing.assert_array_equal(density, density.T)
        if name == "SCF":
            assert np.trace(density @ overlap) == pytest.approx(cp.n_electrons, rel=1e-6)
    if "SCF" in cp.spin_densities:
        spin = np.trace(cp.spin_densities["SCF"] @ overlap)
        assert spin == pytest.approx(cp.n_alpha - cp.n_beta, abs=1e-5)
    assert cp.orbital_labels is None or (len(cp.orbital_labels) == cp.n_basis and cp.orbital_labels[0].startswith("1 "))
    assert "\n" not in repr(cp) and cp.method in repr(cp)


def test_the_object_and_its_arrays_are_read_only(tmp_path):
    with pytest.warns(tesvarin.ChkWarning, match="Section 997 .molecule.: expected 20"):
        cp = tesvarin.load(water().write(tmp_path / "w.chk"))  # its per-atom blocks do not fit the layout
    assert cp.gradient is None and cp.masses is None
    with pytest.raises(dataclasses.FrozenInstanceError):
        cp.charge = 1
    for array in (cp.coordinates, cp.atomic_numbers, cp.shell_types, cp.shell_atoms):
        with pytest.raises(ValueError):
            array[0] = 0


def test_text_that_is_not_utf8_never_raises(tmp_path):
    path = water().replace(LABEL, label_record(b"caf\xe9 \xff", "#p HF")).write(tmp_path / "w.chk")
    with pytest.raises(UnicodeDecodeError):
        Tesvarin_.ChkReader_(path).params.title
    assert tesvarin.load(path).title == "caf\\xe9 \\xff"


@pytest.mark.parametrize("threads", [1, 3])
def test_load_many_keeps_input_order_and_reports_failures_in_place(tmp_path, threads, monkeypatch):
    good = [water().replace(LABEL, label_record(f"job {i}", "#p HF")).write(tmp_path / f"{i}.chk") for i in range(5)]
    missing = str(tmp_path / "missing.chk")
    paths = [*good[:2], missing, *good[2:]]
    results = tesvarin.load_many(paths, threads=threads, errors="return", progress=False)
    assert [r.title if isinstance(r, tesvarin.Checkpoint) else type(r) for r in results] == [
        "job 0",
        "job 1",
        tesvarin.ChkFileNotFoundError,
        "job 2",
        "job 3",
        "job 4",
    ]
    with pytest.raises(FileNotFoundError) as info:
        tesvarin.load_many(paths, threads=threads)
    assert info.value.__notes__ == [f"while loading {missing}"]
    bar = io.StringIO()
    monkeypatch.setattr("sys.stderr", bar)
    assert len(tesvarin.load_many(good, threads=threads, progress=True)) == 5
    assert bar.getvalue().endswith("] 5/5\n")
    with pytest.raises(ValueError, match="errors must be"):
        tesvarin.load_many(good, errors="ignore")  # type: ignore[call-overload]


def test_the_parse_lets_other_threads_run(tmp_path):
    """While a parse runs, another Python thread runs: the parse does not hold the interpreter lock.

    With a long switch interval a thread waiting for the lock gets it only when the holder lets it
    go, so the waiting thread counts during the parses exactly when a parse releases the lock."""
    nbasis = 1500  # a density triangle of 9 MB
    chk = water(basis=False).replace(MOL, mol_section(WATER_ATOMS, nbasis=nbasis))
    path = chk.add(DENSITIES, densities(1 | 4, *[0.5] * (nbasis * (nbasis + 1)))).write(tmp_path / "big.chk")
    count, go, stop = [0], threading.Event(), threading.Event()

    def spin():
        go.wait()
        count[0] += 1  # only once this thread holds the lock, which it then lets go again
        stop.wait()

    interval = sys.getswitchinterval()
    sys.setswitchinterval(10.0)  # longer than the parses below: no forced switch between them
    spinner = threading.Thread(target=spin)
    reader = None
    try:
        spinner.start()
        go.set()
        end = time.monotonic() + 2.0  # however busy the machine, some parse overlaps the waiting thread
        while count[0] == 0 and time.monotonic() < end:
            reader = Tesvarin_.ChkReader_(path)
        overlapped = count[0] > 0
    finally:
        stop.set()
        sys.setswitchinterval(interval)
        spinner.join()
    assert reader is not None and reader.params.mol.nbasis == nbasis and overlapped


def test_load_many_overlaps_its_loads(tmp_path, monkeypatch):
    """Two threads: two loads are under way at once (each would wait forever for the other if not)."""
    paths = [water().write(tmp_path / f"{i}.chk") for i in range(2)]
    both = threading.Barrier(2, timeout=30)

    def load(path):
        both.wait()
        return "loaded"

    monkeypatch.setattr("tesvarin.batch.load", load)
    assert tesvarin.load_many(paths, threads=2) == ["loaded", "loaded"]
    with pytest.raises(ValueError, match="threads must be at least 1"):
        tesvarin.load_many(paths, threads=0)
