"""Checkpoint.to_iodata against iodata.load_one on formchk's file, and through IOData's Molden writer."""

import warnings
from contextlib import nullcontext
from pathlib import Path

import attrs
import numpy as np
import pytest
import tesvarin

from tests.python.chk_builder import (
    ALPHA_MO,
    DENSITIES,
    ORBENE,
    Atom,
    complete_water,
    densities,
    molecule,
    on_atoms,
    reals,
)
from tests.python.real_files import WITH_FCHK, numbers, read_fchk, scalar, twin
from tests.python.test_load import OPEN_SHELL, label

iodata = pytest.importorskip("iodata", reason="IOData is the optional extra: pip install tesvarin[iodata]")
from iodata.overlap import compute_overlap  # noqa: E402

E16 = np.vectorize(lambda v: float("%.8E" % v))  # a value as formchk's 9 digits show it

# What IOData reads from the entries of the complete fchk; the rest comes from the basic sections.
FURTHER = {"atcharges", "atfrozen", "atgradient", "atmasses", "bonds", "extra", "moments"}


def differences(ours, ref, where):
    """Every place where our IOData value differs from IOData's reading of formchk's text."""
    ours, ref = (attrs.asdict(v) if attrs.has(type(v)) else v for v in (ours, ref))  # basis, shells, orbitals
    if isinstance(ref, (dict, list)):
        keys = list(ref) if isinstance(ref, dict) else list(range(len(ref)))
        if type(ours) is not type(ref) or keys != (list(ours) if isinstance(ours, dict) else list(range(len(ours)))):
            return [f"{where}: {ours!r:.60} != {ref!r:.60}"]
        return [d for k in keys for d in differences(ours[k], ref[k], f"{where}[{k}]")]
    if isinstance(ref, np.ndarray) and ref.dtype.kind == "f":
        scale = iodata.utils.amu if where == "atmasses" else 1.0  # the fchk shows amu
        same = np.shape(ours) == ref.shape and np.allclose(E16(ours / scale) * scale, ref, rtol=1e-12, atol=0)
    elif isinstance(ref, float):  # the energy, printed with 16 digits
        same = ours == pytest.approx(ref, rel=1e-15)
    else:
        same = np.shape(ours) == np.shape(ref) and np.array_equal(ours, ref)
    return [] if same else [f"{where} differs"]


def filled(data, names):
    return {
        n
        for n in names
        if getattr(data, n) is not None and not (isinstance(getattr(data, n), dict) and not getattr(data, n))
    }


def compare(path, names):
    ours = tesvarin.load(path).to_iodata()
    ref = iodata.load_one(str(twin(path)), fmt="fchk")
    assert filled(ours, names) == filled(ref, names)
    assert [d for n in sorted(filled(ref, names)) for d in differences(getattr(ours, n), getattr(ref, n), n)] == []


BASIC = {f.name for f in attrs.fields(iodata.IOData)} - FURTHER


@pytest.mark.parametrize("path", WITH_FCHK, ids=label)
def test_to_iodata_equals_iodata_on_formchks_file(path):
    compare(path, BASIC)


@pytest.mark.parametrize("path", WITH_FCHK, ids=label)
def test_to_iodata_further_quantities_equal_iodata_on_formchks_file(path):
    compare(path, FURTHER)


def orthonormality_error(data):
    """max |C^T S C - 1| over the spin blocks, S from IOData's own overlap integrals."""
    overlap = compute_overlap(data.obasis, data.atcoords)
    blocks = [data.mo.coeffsa] if data.mo.kind == "restricted" else [data.mo.coeffsa, data.mo.coeffsb]
    return max(np.abs(c.T @ overlap @ c - np.eye(c.shape[1])).max() for c in blocks)


@pytest.mark.parametrize("path", WITH_FCHK, ids=label)
def test_what_iodata_does_not_read_is_formchks_entries_reshaped(path):
    cp = tesvarin.load(path)
    _, entries = read_fchk(twin(path))
    opt = "Opt point       1 "
    steps = [
        (cp.trajectory_coordinates, opt + "Geometries", 1),
        (cp.trajectory_gradients, opt + "Gradient at each geome", 1),
        (cp.trajectory_energies, opt + "Results for each geome", 2),
    ]
    if cp.trajectory_momenta is not None:  # 16 C.01's trajectory: potential energies less the reference
        traj, reference = "Traj num       1 ", scalar(entries, "Trajectory Reference Energy")
        steps = [
            (cp.trajectory_coordinates, traj + "Geometries", 1),
            (cp.trajectory_momenta, traj + "Momentum at each geomet", 1),
        ]
        results = numbers(entries, traj + "Results for each geomet")[4::16]
        assert E16(cp.trajectory_energies - reference).tolist() == results.tolist()
    # The 09 program stores no analysis (its formchk writes none): its frequencies are computed, not entries.
    stored = cp.reader.further.vibrations is not None
    vib = (
        None
        if cp.frequencies is None or not stored
        else np.concatenate([cp.frequencies, cp.reduced_masses, cp.force_constants, cp.ir_intensities])
    )
    for value, name, step in [
        (vib, "Vib-E2", 1),
        (cp.normal_modes if stored else None, "Vib-Modes", 1),
        (cp.dipole_derivatives, "Dipole Derivatives", 1),
        *steps,
    ]:
        assert (value is None) == (name not in entries), name
        if value is not None:
            assert E16(value.ravel()).tolist() == numbers(entries, name)[::step][: value.size].tolist(), name
            assert value.ndim < 3 or value.shape[1:] == (len(cp.atomic_numbers), 3), name
    assert cp.normal_modes is None or len(cp.normal_modes) == len(cp.frequencies)


@pytest.mark.parametrize("path", WITH_FCHK + OPEN_SHELL, ids=label)
def test_molden_written_by_iodata_reads_back_with_orthonormal_orbitals(path, tmp_path):
    cp = tesvarin.load(path)
    if cp.trajectory_momenta is not None:
        pytest.skip("an ADMP trajectory's orbitals are its first step's, orthonormal at that geometry only")
    data = cp.to_iodata()
    with pytest.warns(iodata.utils.PrepareDumpWarning) if -1 in cp.shell_types else nullcontext():
        iodata.dump_one(data, str(tmp_path / "out.molden"), allow_changes=True)  # sp shells split in two
    back = iodata.load_one(str(tmp_path / "out.molden"))
    # A few Density=MP2 files store orbitals orthonormal only to 1e-5, in formchk's file as well.
    fchk = twin(path)
    limit = max(1e-6, 1.01 * orthonormality_error(iodata.load_one(str(fchk), fmt="fchk"))) if fchk else 1e-6
    assert orthonormality_error(back) <= limit
    assert back.mo.occs.sum() == pytest.approx(data.mo.occs.sum())


H3 = [Atom(1, (0.0, 0.0, 0.0)), Atom(1, (0.0, 0.0, 1.6)), Atom(1, (0.0, 1.5, 0.8))]


def h3(ilsw, *density_kinds):
    """The H3 radical (2 alpha, 1 beta electrons) with restricted orbitals and densities of the given kinds."""
    chk = molecule(H3, on_atoms(H3), ilsw=ilsw, mult=2, nbasis=3)
    chk.add(ORBENE, reals(-0.6, -0.2, 0.4)).add(ALPHA_MO, reals(*np.eye(3).ravel()))
    mask = sum(1 << k for k in density_kinds)
    triangle = [1.0, 0.1, 0.5, 0.0, 0.1, 0.3]
    return chk.add(DENSITIES, densities(mask, *[v * (k + 1) for k in density_kinds for v in triangle]))


# Builder files against IOData on the complete fchk written from them: occupations, which density
# IOData keeps, and every further quantity (masses in electron masses, fixed atoms, bonds, moments).
@pytest.mark.parametrize(
    "builder, names",
    [
        pytest.param(lambda: h3({0: 0}, 0), BASIC | {"one_rdms"}, id="restricted open shell"),
        pytest.param(lambda: h3({0: 0, 21: 3}, 0, 6, 7), BASIC | {"one_rdms"}, id="SCF, CI and CC densities"),
        pytest.param(lambda: h3({0: 0}, 2, 6), BASIC | {"one_rdms"}, id="MP2 and CI densities"),
        pytest.param(
            lambda: complete_water().add(ORBENE, reals(-1.0, -0.5, 0.3)).add(ALPHA_MO, reals(*np.eye(3).ravel())),
            FURTHER,
            id="every further section",
        ),
    ],
)
def test_to_iodata_equals_iodata_on_the_fchk_written(chk, tmp_path, builder, names):
    path = Path(chk(builder()))
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", tesvarin.ChkWarning)  # h3's molecule section has no per-atom blocks
        tesvarin.ChkReader_(path).write_fchk(path.with_suffix(".fchk"), complete=True)
        compare(path, names)
        cp = tesvarin.load(path)
    if names is not FURTHER:  # the water's three orbitals cannot hold its electrons
        assert (cp.alpha_occupations.sum(), cp.beta_occupations.sum()) == (cp.n_alpha, cp.n_beta)
