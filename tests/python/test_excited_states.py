"""Excited states of CIS and TD jobs: the states' table, UV-Vis and ECD spectra, state densities, their columns.

The real files' outputs print every state's numbers; each is reproduced at the printed precision.
"""

import json
import math
import re

import numpy as np
import pytest
import tesvarin
from tesvarin.cli.main import main
from tesvarin.excited.states import CODATA

from tests.python import gaussian_log
from tests.python.chk_builder import EXCITED, GEN, MOL, Atom, excited_section, gen, mol_section, water
from tests.python.real_files import SHARED

REAL = sorted(SHARED.glob("realchk3/g09a01-tddft*/*.chk"))
needs_real = pytest.mark.skipif(not REAL, reason=f"the excited-state checkpoints of {SHARED}/realchk3 are absent")

# Sixteen values per state: total energy, <0|r|n>, <0|del|n>, <0|r x del|n>, six more.
SINGLET = [
    [-74.70, 0.0, 0.0, 0.5, 0.0, 0.0, -0.1, 0.2, 0.3, 0.4, *[0.5 + k for k in range(6)]],
    [-74.55, 0.3, -0.2, 0.0, -0.06, 0.04, 0.0, 0.0, 0.0, 0.7, *[-1.0] * 6],
]


def close(ours, printed, decimals):
    """`ours` rounds to `printed` at its decimals (allowing for the last bit of a stored double)."""
    return abs(ours - printed) <= 0.5 * 10.0**-decimals * (1 + 1e-9) + 1e-12


# --- the real files: every number the output prints per state ------------------------------------


@needs_real
@pytest.mark.parametrize("path", REAL, ids=lambda p: p.stem)
def test_every_printed_number_of_every_state(path):
    states = tesvarin.load(path).excited_states
    log = gaussian_log.excited_states(path.with_suffix(".log"))
    assert len(states) == len(log["summary"]) > 0
    ours = {
        "summary": np.column_stack(
            (states.excitation_energies_ev, states.wavelengths_nm, states.oscillator_strengths, states.s_squared)
        ),
        "electric": np.column_stack(
            (
                states.transition_dipoles_length_au,
                (states.transition_dipoles_length_au**2).sum(axis=1),
                states.oscillator_strengths,
            )
        ),
        "velocity": np.column_stack(
            (
                states.transition_dipoles_velocity_au,
                (states.transition_dipoles_velocity_au**2).sum(axis=1),
                states.oscillator_strengths_velocity,
            )
        ),
        "magnetic": states.magnetic_transition_dipoles_au,
        "R(length)": states.rotatory_strengths_length_1e40_cgs[:, None],
        "R(velocity)": states.rotatory_strengths_velocity_1e40_cgs[:, None],
    }
    columns = {"R(length)": [3], "R(velocity)": [3]}  # the mean of the tensor's diagonal; XX, YY, ZZ are not stored
    checked = 0
    for table, rows in log.items():
        assert set(rows) == set(range(1, len(states) + 1)), table
        for state, printed in rows.items():
            picked = [printed[c] for c in columns.get(table, range(len(printed)))]
            for value, (number, decimals) in zip(ours[table][state - 1], picked, strict=True):
                assert close(value, number, decimals), (table, state, value, number)
                checked += 1
    assert checked == len(states) * (4 + 5 + 5 + 3 + 1 + 1)


@needs_real
@pytest.mark.parametrize("path", REAL, ids=lambda p: p.stem)
def test_the_followed_state_and_its_densities(path, tmp_path):
    """The root as the route asks; both CI matrices hold the electron count (trace with the overlap);
    the relaxed one ("CI") gives the excited-state dipole of the output's archive, the unrelaxed one does not."""
    gbasis = pytest.importorskip("gbasis.integrals.overlap")
    moment = pytest.importorskip("gbasis.integrals.moment")
    pytest.importorskip("iodata")
    from tests.python.test_cube import reference

    cp = tesvarin.load(path)
    route = path.with_suffix(".com").read_text()
    assert cp.excited_states.root == int(re.search(r"root=(\d+)", route, re.I)[1])
    basis = reference(cp, tmp_path)
    overlap = gbasis.overlap_integral(basis)
    dipole_ints = moment.moment_integral(basis, np.zeros(3), np.eye(3, dtype=int))  # (nbasis, nbasis, 3)
    text = path.with_suffix(".log").read_text()
    archive = re.sub(r"\s+", "", text[text.rindex("1\\1\\") :])
    expected = [float(v) for v in re.search(r"\\Dipole=([^\\]+)", archive)[1].split(",")]
    nuclear = cp.nuclear_charges @ cp.coordinates
    dipoles = {}
    for kind in ("CI", "CI Rho(1)", "SCF"):
        density = cp.total_densities[kind]
        assert np.trace(density @ overlap) == pytest.approx(cp.n_electrons, abs=1e-6)
        dipoles[kind] = nuclear - np.einsum("ij,ijk->k", density, dipole_ints)
    assert np.allclose(dipoles["CI"], expected, atol=2e-6)  # the archive's 7 decimals
    assert not np.allclose(dipoles["CI Rho(1)"], expected, atol=1e-2)
    assert not np.allclose(dipoles["SCF"], expected, atol=1e-2)


@needs_real
def test_difference_density_is_state_minus_ground():
    cp = tesvarin.load(REAL[0])
    points = cp.coordinates[[0, 1, 2]] + 0.3
    difference = cp.evaluate(points, "difference:ci")
    assert np.allclose(difference, cp.evaluate(points, "density:ci") - cp.evaluate(points, "density:scf"), atol=1e-14)
    assert np.abs(difference).max() > 1e-3
    gradient = cp.evaluate(points, "difference:ci rho(1)", derivatives=1)
    assert gradient.shape == (3, 4)
    done = []
    cube = cp.cube("difference:ci", grid=4, margin=2.0, progress=done.append)
    assert done == sorted(done) and done[-1] == pytest.approx(1.0) and done[0] <= 0.5  # two passes share it
    assert cube.comment == "CI density minus SCF density" and cube.values.shape == (4, 4, 4)
    grid = cube.origin + np.stack(np.meshgrid(*[np.arange(4)] * 3, indexing="ij"), axis=-1).reshape(-1, 3) @ cube.axes
    assert np.allclose(cube.values.ravel(), cp.evaluate(grid, "difference:ci"), atol=1e-12)


# --- builder files: each stored quantity's place ------------------------------------------------------


def with_states(states=SINGLET, mult=1, **section):
    chk = water()
    if mult != 1:
        atoms = [Atom(8, (0.0, 0.0, 0.2)), Atom(1, (0.0, 1.4, -0.9)), Atom(1, (0.0, -1.4, -0.9))]
        chk.replace(MOL, mol_section(atoms, nbasis=3, mult=mult, nae=6, nbe=4))
    return chk.replace(GEN, gen({0: 2.0, 22: 1e-9, 31: -74.9, 42: -74.96})).add(
        EXCITED, excited_section(states, **section)
    )


TABLE = [
    # name, builder, expected multiplicities, <S**2>, symmetries, root, further values per state
    ("two singlets", with_states(spin=[0, 0], symmetry=[3, 1], root=2), [1, 1], [0.0, 0.0], [3, 1], 2, 6),
    ("a singlet and a triplet", with_states(spin=[0, 1]), [1, 3], [0.0, 2.0], [0, 0], 1, 6),
    ("an open-shell reference", with_states(mult=3, spin=[0, 1]), [0, 0], [math.nan] * 2, [0, 0], 1, 6),
    ("twelve values per state", with_states([s[:12] for s in SINGLET], root=0), [1, 1], [0.0] * 2, [0, 0], 0, 2),
    ("a root past the states", with_states(root=7), [1, 1], [0.0] * 2, [0, 0], 0, 6),
]


@pytest.mark.parametrize(("name", "builder", "mult", "s2", "sym", "root", "further"), TABLE, ids=[r[0] for r in TABLE])
def test_each_stored_value_in_its_place(chk, name, builder, mult, s2, sym, root, further):
    cp = tesvarin.load(chk(builder))
    x, c = cp.excited_states, CODATA[2010]  # the builder's file is a Gaussian 16 one
    values = np.array(SINGLET)[:, : 10 + further]
    de = values[:, 0] - cp.scf_energy
    assert cp.scf_energy == -74.9 and len(x) == 2
    assert x.total_energies_hartree.tolist() == values[:, 0].tolist()
    assert np.allclose(x.excitation_energies_hartree, [0.2, 0.35])
    assert np.allclose(x.excitation_energies_ev, de * c.hartree_ev) and np.allclose(
        x.wavelengths_nm, c.ev_nm / (de * c.hartree_ev)
    )
    assert x.transition_dipoles_length_au.tolist() == values[:, 1:4].tolist()
    assert x.transition_dipoles_velocity_au.tolist() == values[:, 4:7].tolist()
    assert x.magnetic_transition_dipoles_au.tolist() == values[:, 7:10].tolist()
    assert x.further_values.tolist() == values[:, 10:].tolist()
    assert np.allclose(x.oscillator_strengths, [2 / 3 * 0.2 * 0.25, 2 / 3 * 0.35 * 0.13])
    assert np.allclose(x.oscillator_strengths_velocity, [2 / 3 / 0.2 * 0.01, 2 / 3 / 0.35 * 0.0052])
    # R = -K r.m (length), K v.m / dE (velocity): state 1 has r.m = 0.2, v.m = -0.04; state 2 r.m = 0, v.m = 0
    assert np.allclose(x.rotatory_strengths_length_1e40_cgs, [-c.rotatory * 0.2, 0.0])
    assert np.allclose(x.rotatory_strengths_velocity_1e40_cgs, [c.rotatory * -0.04 / 0.2, 0.0])
    assert c.rotatory == pytest.approx(235.72, abs=0.01)
    assert x.spin_multiplicities.tolist() == mult and np.allclose(x.s_squared, s2, equal_nan=True)
    assert x.symmetries.tolist() == sym and x.root == root
    with pytest.raises(ValueError, match="read-only"):
        x.oscillator_strengths[0] = 1.0


@pytest.mark.parametrize("nstates", [1, 3])
@pytest.mark.parametrize("width", [10, 16, 21])
def test_each_value_in_its_row_and_column(chk, nstates, width):
    """Value k of state s is 100 s + k (the energy a little above the ground state's -74.9)."""
    rows = [[-74.0 + s if k == 0 else 100.0 * s + k for k in range(width)] for s in range(nstates)]
    x = tesvarin.load(chk(with_states(rows))).excited_states
    table = np.array(rows)
    assert len(x) == nstates and x.total_energies_hartree.tolist() == table[:, 0].tolist()
    moments = (x.transition_dipoles_length_au, x.transition_dipoles_velocity_au, x.magnetic_transition_dipoles_au)
    assert np.hstack(moments).tolist() == table[:, 1:10].tolist()
    assert x.further_values.tolist() == table[:, 10:].tolist()


def test_few_values_per_state_leave_the_moments_nan(chk):
    x = tesvarin.load(chk(with_states([[-74.7], [-74.6]]))).excited_states
    assert np.allclose(x.excitation_energies_hartree, [0.2, 0.3])
    assert np.isnan(x.transition_dipoles_length_au).all() and np.isnan(x.oscillator_strengths).all()
    assert x.further_values.shape == (2, 0)


def test_a_file_without_excited_states(chk, tmp_path, capsys):
    path = chk(water())
    cp = tesvarin.load(path)
    assert cp.excited_states is None
    for kind in ("uv-vis", "ecd"):
        with pytest.raises(ValueError, match=rf"{re.escape(cp.path.rsplit('/', 1)[1])} holds no excited states"):
            cp.spectrum(kind)
    out = tmp_path / "uv.png"
    assert main(["plot", "uv", path, "-o", str(out)]) == 1
    assert f"{path}: holds no excited states" in capsys.readouterr().err and not out.exists()


# --- spectra: each band's area is its stick -----------------------------------------------------------

SPECTRA = [
    (kind, shape, unit)
    for kind in ("uv-vis", "ecd")
    for shape in ("gaussian", "lorentzian")
    for unit in ("nm", "ev", "cm-1")
]


@pytest.mark.parametrize(("kind", "shape", "unit"), SPECTRA)
def test_spectrum_area_over_energy_is_the_sum_of_sticks(chk, kind, shape, unit):
    """Each band's area over wavenumber is its stick, less the tails outside the grid: for Gaussian bands
    nothing (the sum of sticks to 1%); Lorentzian tails reach below zero energy, so their share outside is
    checked instead."""
    cp = tesvarin.load(chk(with_states()))
    x = cp.excited_states
    c = CODATA[2010]
    x_axis, y = cp.spectrum(kind, fwhm_ev=0.3, shape=shape, unit=unit)
    assert np.all(np.diff(x_axis) > 0)
    wavenumber = {"nm": 1e7 / x_axis, "ev": x_axis * c.ev_cm1, "cm-1": x_axis}[unit]
    area = np.trapezoid(y, wavenumber) * np.sign(wavenumber[-1] - wavenumber[0])
    v = x.excitation_energies_ev * c.ev_cm1
    if kind == "uv-vis":
        sticks = 1.3062974e8 * math.sqrt(math.pi) * x.oscillator_strengths
    else:
        sticks = v * x.rotatory_strengths_velocity_1e40_cgs / 22.96
    low, high = wavenumber.min(), wavenumber.max()
    half = 0.15 * c.ev_cm1
    if shape == "gaussian":
        assert area == pytest.approx(sticks.sum(), rel=0.01)
        inside = [
            0.5
            * (
                math.erf((high - vi) / (half / math.sqrt(math.log(2))))
                - math.erf((low - vi) / (half / math.sqrt(math.log(2))))
            )
            for vi in v
        ]
    else:
        inside = [(math.atan((high - vi) / half) - math.atan((low - vi) / half)) / math.pi for vi in v]
    assert area == pytest.approx(np.dot(sticks, inside), rel=1e-3)


def test_gaussian_bands_are_the_programs_formula(chk):
    """epsilon(v) = 1.3062974e8 sum f_i / sigma exp(-((v - v_i)/sigma)^2), sigma the 1/e half-width (0.4 eV)."""
    cp = tesvarin.load(chk(with_states()))
    x, c = cp.excited_states, CODATA[2010]
    grid = np.linspace(20000.0, 80000.0, 7)
    _, y = cp.spectrum("uv-vis", grid=grid, unit="cm-1")
    sigma = 0.4 * c.ev_cm1
    v = x.excitation_energies_ev * c.ev_cm1
    bands = np.exp(-(((grid[:, None] - v[None, :]) / sigma) ** 2))  # (grid, states)
    assert np.allclose(y, bands @ (1.3062974e8 * x.oscillator_strengths / sigma), rtol=1e-6)
    _, ecd = cp.spectrum("ecd", grid=grid, unit="cm-1", form="length")
    r = x.rotatory_strengths_length_1e40_cgs * 1e-40
    expected = bands @ (v * r) / (2.296e-39 * math.sqrt(math.pi) * sigma)
    assert np.allclose(ecd, expected, rtol=1e-6)


@pytest.mark.parametrize(
    ("arguments", "message"),
    [
        ({"unit": "hz"}, "unit must be one of nm, ev, cm-1"),
        ({"fwhm_ev": 0.0}, "fwhm_ev must be a positive number"),
        ({"shape": "voigt"}, 'shape must be "gaussian" or "lorentzian"'),
    ],
)
def test_spectrum_arguments_refused(chk, arguments, message):
    with pytest.raises(ValueError, match=message):
        tesvarin.load(chk(with_states())).spectrum("uv-vis", **arguments)


def test_plot_uv_and_ecd(chk, tmp_path):
    pytest.importorskip("matplotlib", reason="matplotlib is in the test extras")
    path = chk(with_states())
    for kind, unit in (("uv", "nm"), ("ecd", "ev")):
        out = tmp_path / f"{kind}.png"
        assert main(["plot", kind, path, "-o", str(out), "--unit", unit, "--fwhm-ev", "0.4"]) == 0
        assert out.read_bytes().startswith(b"\x89PNG")


# --- a folder of ground-state and excited-state files: one row each -------------------------------------


def test_summary_and_export_of_a_mixed_folder(tmp_path, capsys):
    pytest.importorskip("pyarrow", reason="pyarrow is in the export extra")
    import pyarrow.parquet as pq

    folder = tmp_path / "jobs"
    folder.mkdir()
    water().write(folder / "ground.chk")
    with_states(spin=[0, 1], root=2).write(folder / "excited.chk")
    files = sorted(str(p) for p in folder.glob("*.chk"))
    assert main(["summary", "--json", *files]) == 0
    records = {json.loads(line)["path"]: json.loads(line) for line in capsys.readouterr().out.splitlines()}
    assert len(records) == 2 and records[str(folder / "ground.chk")]["excited_states"] is None
    states = records[str(folder / "excited.chk")]["excited_states"]
    assert [s["state"] for s in states] == [1, 2] and [s["multiplicity"] for s in states] == [1, 3]
    assert [s["followed"] for s in states] == [False, True] and states[1]["s_squared"] == 2.0
    assert states[0]["energy_ev"] == pytest.approx(0.2 * CODATA[2010].hartree_ev)
    assert main(["summary", str(folder / "excited.chk")]) == 0
    assert re.search(r"State 2:\s+9\.5240 eV 130\.18 nm f=0\.0303  \(followed\)", capsys.readouterr().out)
    table = tmp_path / "jobs.parquet"
    assert main(["export", str(folder), "-o", str(table)]) == 0
    rows = {r["path"]: r for r in pq.read_table(table).to_pylist()}
    assert len(rows) == 2
    ground, excited = rows[str(folder / "ground.chk")], rows[str(folder / "excited.chk")]
    assert ground["excitation_energies_ev"] is None and ground["oscillator_strengths"] is None
    assert excited["excitation_energies_ev"] == pytest.approx(
        [0.2 * CODATA[2010].hartree_ev, 0.35 * CODATA[2010].hartree_ev]
    )
    assert len(excited["oscillator_strengths"]) == 2


def test_qcschema_carries_the_states(chk):
    record = tesvarin.load(chk(with_states())).to_qcschema()
    states = record["extras"]["tesvarin"]["excited_states"]
    assert np.allclose(states["excitation_energies"], [0.2, 0.35]) and states["root"] == 1
    assert "excited_states" not in tesvarin.load(chk(water())).to_qcschema()["extras"]["tesvarin"]
