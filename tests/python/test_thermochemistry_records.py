"""Thermochemistry from built checkpoints: which record it takes, and what a damaged or missing one costs."""

import csv
import io
import json
import math
import re
from pathlib import Path

import numpy as np
import pytest
import tesvarin
import Tesvarin_
from tesvarin.cli import main
from tesvarin.thermo import QuasiHarmonic
from tesvarin.thermo.report import flat, record

from tests.python.chk_builder import (
    FORCE_CONST,
    GEN,
    VERSION,
    VIBRATIONS,
    Atom,
    complete_water,
    gen,
    halves,
    ints,
    molecule,
    padded,
    reals,
    vibrations_section,
)

XYZ = np.array([[0.0, 0.0, 0.2], [0.0, 1.4, -0.9], [0.0, -1.4, -0.9]])


def packed_hessian():
    """Springs between every pair of atoms (invariant under translation and rotation), packed row by row."""
    h = np.zeros((9, 9))
    for a in range(3):
        for b in range(a):
            d = XYZ[a] - XYZ[b]
            block = 0.3 * np.outer(d, d) / (d @ d)
            for i, j, sign in ((a, a, 1), (b, b, 1), (a, b, -1), (b, a, -1)):
                h[3 * i : 3 * i + 3, 3 * j : 3 * j + 3] += sign * block
    return reals(*[h[r, c] for r in range(9) for c in range(r + 1)])


def water(*, force_constants=True, vibrations=b"stored", conditions=(0.0, 0.0)):
    """`conditions`: the temperature (K) and pressure (atm) the job stored, words 48 and 49 of 501."""
    chk = complete_water()  # real atomic weights 1.5 on every atom
    chk.replace(GEN, gen({0: 2.0, 22: 1e-9, 31: -74.9, 42: -74.96, 48: conditions[0], 49: conditions[1]}))
    if vibrations != b"stored":
        chk.replace(VIBRATIONS, vibrations) if vibrations else chk.without(VIBRATIONS)
    if force_constants:
        chk.add(FORCE_CONST, packed_hessian())
        chk.sections.sort(key=lambda s: s[0])
    return chk


def test_the_stored_frequencies_unless_other_masses_ask_for_the_force_constants(chk):
    cp = tesvarin.load(chk(water()))
    t = cp.thermochemistry()
    assert list(t.frequencies_cm1) == [60.0, 3700.0] and t.imaginary_count == 1  # -100 left out
    assert list(t.masses_amu) == [1.5, 1.5, 1.5]
    heavy = cp.thermochemistry(masses=[3.0, 3.0, 3.0])
    # every mass doubled: every frequency of the force constants divided by sqrt(2)
    assert heavy.frequencies_cm1 * np.sqrt(2) == pytest.approx(cp.harmonic_analysis()["frequencies"], rel=1e-12)
    with pytest.raises(ValueError, match="Expected 3 masses, one per atom, found 2"):
        cp.thermochemistry(masses=[1.0, 2.0])


def test_a_damaged_harmonic_analysis_leaves_the_force_constants(chk):
    damaged = halves(3, 0) + halves(3, 3) + ints(8) + reals(1.0, 2.0)  # far shorter than its counts say
    with pytest.warns(tesvarin.ChkWarning, match="765"):
        cp = tesvarin.load(chk(water(vibrations=damaged)))
    t = cp.thermochemistry()
    assert t.frequencies_cm1 == pytest.approx(cp.harmonic_analysis()["frequencies"], rel=1e-12)
    with pytest.raises(ValueError, match="765"):
        cp.raman_activities


def test_what_is_missing_is_named(chk):
    stored_only = tesvarin.load(chk(water(force_constants=False)))
    assert stored_only.thermochemistry().frequencies_cm1.size == 2
    with pytest.raises(ValueError, match="no force constants, which other masses need"):
        stored_only.thermochemistry(masses={0: 18.0})
    with pytest.raises(ValueError, match="no force constants"):
        stored_only.harmonic_analysis()
    neither = tesvarin.load(chk(water(force_constants=False, vibrations=b"")))
    with pytest.raises(ValueError, match="neither frequencies nor force constants"):
        neither.thermochemistry()
    with pytest.raises(ValueError, match="holds no IR intensities"):
        neither.spectrum("ir")
    with pytest.raises(ValueError, match="temperature must be positive"):
        stored_only.thermochemistry(temperature=-5.0)


def test_vibration_blocks_by_name(chk):
    e2 = [-100.0, 1600.0, 3700.0]
    blocks = [1.1, 1.2, 1.3, 0.5, 0.6, 0.7, 10.0, 20.0, 30.0, 5.0, 6.0, 7.0, 0.1, 0.2, 0.3, 0.4, 0.5, 0.6]
    payload = vibrations_section([15.99, 1.008, 1.008], e2, [0.1] * 27, le2fix=7)
    at = len(payload) - 8 * 27 - 8 * 18  # E2 blocks 1..6 sit before the modes
    payload = payload[:at] + reals(*blocks) + payload[at + 8 * 18 :]
    cp = tesvarin.load(chk(water(vibrations=payload)))
    assert list(cp.raman_activities) == [5.0, 6.0, 7.0]
    assert list(cp.depolarization_ratios) == [0.1, 0.2, 0.3]
    assert list(cp.depolarization_ratios_unpolarized) == [0.4, 0.5, 0.6]
    plain = tesvarin.load(chk(water()))
    assert plain.raman_activities is None and plain.depolarization_ratios is None


@pytest.mark.parametrize(
    "stored, given, temperature, pressure, sources",
    [
        ((0.0, 0.0), {}, 298.15, 1.0, ("default", "default")),
        ((300.0, 1.0), {}, 300.0, 1.0, ("job", "job")),
        ((800.0, 0.0), {}, 800.0, 1.0, ("job", "default")),  # as an ADMP job at 800 K stores them
        ((300.0, 2.0), {"temperature": 310.0}, 310.0, 2.0, ("given", "job")),
        ((300.0, 2.0), {"pressure": 0.5}, 300.0, 0.5, ("job", "given")),
        ((-5.0, math.nan), {}, 298.15, 1.0, ("default", "default")),  # no temperature or pressure
    ],
)
def test_the_job_s_temperature_and_pressure_unless_given(chk, stored, given, temperature, pressure, sources):
    cp = tesvarin.load(chk(water(conditions=stored)))
    t = cp.thermochemistry(**given)
    assert (t.temperature_k, t.pressure_atm, t.temperature_source, t.pressure_source) == (
        temperature,
        pressure,
        *sources,
    )
    same = cp.thermochemistry(temperature=temperature, pressure=pressure)
    assert (t.sum_gibbs_hartree, t.contributions["Total"]) == (same.sum_gibbs_hartree, same.contributions["Total"])


def test_the_command_and_the_export_at_the_job_s_temperature(chk, capsys):
    path = chk(water(conditions=(300.0, 0.0)))
    at_300 = tesvarin.load(path).thermochemistry(temperature=300.0, pressure=1.0)
    assert main(["thermo", path]) == 0
    out = capsys.readouterr().out
    assert " Temperature   300.000 Kelvin.  Pressure   1.00000 Atm.\n" in out
    assert (
        " Temperature: the job's, stored in the checkpoint; pressure: the program's default, as the checkpoint "
        "stores none.\n" in out
    )
    assert f"Sum of electronic and thermal Free Energies={at_300.sum_gibbs_hartree:20.6f}\n" in out
    assert main(["thermo", path, "--json", "-T", "310", "-P", "2"]) == 0
    rec = json.loads(capsys.readouterr().out)
    assert (rec["temperature_k"], rec["temperature_source"], rec["pressure_atm"], rec["pressure_source"]) == (
        310.0,
        "given",
        2.0,
        "given",
    )
    export = pytest.importorskip("tesvarin.export", reason="the export needs pyarrow: pip install .[export]")
    columns = [export.BY_NAME[name] for name in ("zero_point_energy", "enthalpy", "gibbs_free_energy")]
    row = export.read_row(path, columns)
    assert (row["enthalpy"], row["gibbs_free_energy"]) == (at_300.sum_enthalpy_hartree, at_300.sum_gibbs_hartree)
    assert "the job's temperature and pressure" in export.BY_NAME["enthalpy"].doc


def documented_names():
    """The names of the documentation's table of the thermochemistry record, ROW expanded into its rows."""
    readme = (Path(__file__).parents[2] / "docs" / "thermochemistry.md").read_text()
    table = readme[readme.index("| name | value |") :].split("\n\n")[0]
    names = set()
    for line in table.splitlines()[2:]:
        name_cell, value_cell = line.split(" | ", 1)
        rows = re.findall(r"`(\w+)`", value_cell) if "ROW" in name_cell else [""]
        for name in re.findall(r"`(\w+)`", name_cell):
            names |= {name.replace("ROW", row) for row in rows}
    return names


def test_the_record_carries_every_number_under_the_documented_names(chk, capsys):
    cp = tesvarin.load(chk(water()))
    t = cp.thermochemistry(quasi_harmonic=QuasiHarmonic())
    rec = record("w.chk", t)
    assert set(rec) == documented_names()
    assert rec["vibration_entropy_cal_mol_k"] == [t.contributions["Vibration 1"].entropy_cal_mol_k]
    assert rec["ln_q_vib_v0_modes"] == [t.partition_functions["Vib (V=0) 1"].ln_q]
    assert rec["rotational_entropy_cal_mol_k"] == t.contributions["Rotational"].entropy_cal_mol_k
    assert rec["log10_q_total_bot"] == t.partition_functions["Total Bot"].log10_q
    assert rec["principal_axes"] == t.principal_axes.tolist() and len(rec["masses_amu"]) == 3
    # A Q beyond the range of a double is null; its logarithms stay.
    huge = tesvarin.thermo.PartitionFunction(2000.0)
    assert tesvarin.thermo.report._q(huge) is None and huge.log10_q == pytest.approx(868.589, abs=1e-3)


def test_csv_has_a_column_per_value_and_one_header_for_files_of_any_size(chk, capsys):
    one_low = chk(water())  # modes -100, 60 and 3700 cm-1: one below 900 K
    three_modes = vibrations_section([1.5] * 3, [50.0, 70.0, 3700.0], [0.1] * 27)
    two_low = chk(water(force_constants=False, vibrations=three_modes, conditions=(300.0, 1.0)))
    assert main(["thermo", one_low, two_low, "--json"]) == 0
    records = [json.loads(line) for line in capsys.readouterr().out.splitlines()]
    assert [len(r["vibration_entropy_cal_mol_k"]) for r in records] == [1, 2]
    assert main(["thermo", one_low, two_low, "--csv"]) == 0
    rows = list(csv.DictReader(io.StringIO(capsys.readouterr().out)))
    assert len(rows) == 2 and rows[1]["temperature_source"] == "job"
    for rec, row in zip(records, rows, strict=True):
        want = flat(rec)
        assert "principal_axes[3][2]" in want and "masses_amu[3]" in want
        assert {name for name, value in row.items() if value != ""} == set(want)
        for name, value in want.items():
            assert row[name] == str(value) if isinstance(value, str) else float(row[name]) == value, name
    assert flat({"a": [[1, 2], [3]], "b": []}) == {"a[1][1]": 1, "a[1][2]": 2, "a[2][1]": 3}


def stored(atoms, masses, freqs=(1000.0,)):
    """A checkpoint of `atoms` whose only thermochemical record is a stored analysis with these masses."""
    chk = molecule(atoms)
    return chk.add(VIBRATIONS, vibrations_section(masses, list(freqs), [0.0] * (3 * len(atoms) * len(freqs))))


TETRAHEDRON = [(1.0, 1.0, 1.0), (1.0, -1.0, -1.0), (-1.0, 1.0, -1.0), (-1.0, -1.0, 1.0)]
SQUARE = [(2.0, 0.0, 0.0), (-2.0, 0.0, 0.0), (0.0, 2.0, 0.0), (0.0, -2.0, 0.0)]
H, D = 1.00783, 2.01410
WATER_ATOMS = [Atom(8, (0.0, 0.0, 0.2)), Atom(1, (0.0, 1.4, -0.9)), Atom(1, (0.0, -1.4, -0.9))]


# Textbook rotational symmetry numbers: the proper rotations that map the nuclei, masses included.
@pytest.mark.parametrize(
    "atoms, masses, sigma",
    [
        ([Atom(6)] + [Atom(1, tuple(1.19 * c for c in v)) for v in TETRAHEDRON], [12.0] + [H] * 4, 12),
        ([Atom(6)] + [Atom(1, tuple(1.19 * c for c in v)) for v in TETRAHEDRON], [12.0, H, H, D, D], 2),  # CH2D2
        ([Atom(6)] + [Atom(1, tuple(1.19 * c for c in v)) for v in TETRAHEDRON], [12.0, H, D, D, D], 3),  # CHD3
        # a planar square: D4h, then D2h with two deuterons across it (the centre of mass stays put)
        ([Atom(6)] + [Atom(1, v) for v in SQUARE], [12.0] + [H] * 4, 8),
        ([Atom(6)] + [Atom(1, v) for v in SQUARE], [12.0, H, H, D, D], 4),
        ([Atom(8, (0, 0, -2.2)), Atom(6), Atom(8, (0, 0, 2.2))], [15.995, 12.0, 15.995], 2),  # CO2
        ([Atom(8, (0, 0, -2.2)), Atom(6), Atom(8, (0, 0, 2.2))], [15.995, 12.0, 17.999], 1),  # 16O-C-18O
        ([Atom(8, (0, 0, -2.2)), Atom(6), Atom(16, (0, 0, 2.9))], [15.995, 12.0, 31.972], 1),  # OCS
    ],
    ids=["CH4", "CH2D2", "CHD3", "square-H4", "square-trans-D2", "CO2", "CO2-18O", "OCS"],
)
def test_symmetry_number_counts_rotations_that_keep_element_and_mass(chk, atoms, masses, sigma):
    t = tesvarin.load(chk(stored(atoms, masses))).thermochemistry()
    assert (t.symmetry_number, t.linear) == (sigma, len(atoms) == 3)
    assert len(t.rotational_temperatures_k) == (1 if t.linear else 3)


@pytest.mark.parametrize("temperature, pressure", [(298.15, 1.0), (1000.0, 0.1), (10.0, 5.0)])
def test_translational_entropy_is_sackur_tetrode(chk, temperature, pressure):
    """An argon atom against S = R (ln[(2 pi m k T / h^2)^(3/2) k T / P] + 5/2), CODATA 2006 (a
    Gaussian 09 shaped file), and against the tabulated 154.846 J/(mol K) at 298.15 K and 1 bar
    (the table's average mass; 1 atm is R ln 1.01325 lower)."""
    h, k, na, amu = 6.62606896e-34, 1.3806504e-23, 6.02214179e23, 1.660538782e-27
    m = 39.9624 * amu
    s = (
        k
        * na
        * (math.log((2 * math.pi * m * k * temperature / h**2) ** 1.5 * k * temperature / (pressure * 101325)) + 2.5)
    )
    t = Tesvarin_.thermo.thermochemistry(
        Tesvarin_.ChkReader_(chk(stored([Atom(18)], [39.9624], freqs=()))), temperature=temperature, pressure=pressure
    )
    assert t["translational"]["entropy"] * 4.184 == pytest.approx(s, rel=1e-12)
    assert t["total"]["entropy"] == t["translational"]["entropy"]
    if temperature == 298.15 and pressure == 1.0:
        assert t["total"]["entropy"] * 4.184 == pytest.approx(154.846 - 8.314462 * math.log(1.01325), abs=0.01)


def test_modes_below_900_kelvin_are_listed_by_their_vibrational_temperature(chk):
    """620 cm^-1 is 892 K and 700 cm^-1 is 1007 K: only the first is a low mode, whatever its wavenumber."""
    t = Tesvarin_.thermo.thermochemistry(
        Tesvarin_.ChkReader_(chk(stored(WATER_ATOMS, [16.0, 1.0, 1.0], [620.0, 700.0])))
    )
    assert t["vibrational_temperatures"][0] < 900 < t["vibrational_temperatures"][1]
    assert list(t["low_modes"]) == [0] and len(t["low_mode_contributions"]) == 1


@pytest.mark.parametrize(
    "layout, version, hartree",
    [(-12348, False, 4.35974434e-18), (-12347, False, 4.35974394e-18), (-12347, True, 4.35974434e-18)],
    ids=["16-layout", "09-layout", "09-layout-with-version"],
)
def test_the_layout_or_a_version_text_selects_codata_2010(chk, layout, version, hartree):
    """Gaussian 16 files (a version text, or the molecule layout -12348 and later) use CODATA 2010."""
    data = complete_water(layout)
    if not version:
        data.without(VERSION)
    elif not any(label == VERSION for label, _ in data.sections):
        data.add(VERSION, padded("ES64L-G16RevA.03", 48, b"\0"))
        data.sections.sort(key=lambda s: s[0])
    assert Tesvarin_.thermo.thermochemistry(Tesvarin_.ChkReader_(chk(data)))["hartree_j"] == hartree


@pytest.mark.parametrize(
    "argv, masses, quasi_harmonic",
    [
        (["--isotope", "1=16.9991"], {0: 16.9991}, None),  # atoms count from 1 on the command line, from 0 in Python
        (["--isotope", "H=2.014"], {1: 2.014, 2: 2.014}, None),
        (["--conc", "1"], None, {"entropy_cutoff_cm1": None, "concentration_mol_l": 1.0}),  # alone: 1 M only
        (["--qrrho", "100"], None, {"entropy_cutoff_cm1": 100.0}),
    ],
    ids=["atom-number", "element", "conc-alone", "qrrho"],
)
def test_command_line_options_reach_the_thermochemistry(chk, capsys, argv, masses, quasi_harmonic):
    from tesvarin.cli import main
    from tesvarin.thermo import QuasiHarmonic

    path = chk(water())
    assert main(["thermo", path, "--json", *argv]) == 0
    row = json.loads(capsys.readouterr().out)
    expected = tesvarin.load(path).thermochemistry(
        masses=masses, quasi_harmonic=QuasiHarmonic(**quasi_harmonic) if quasi_harmonic else None
    )
    assert row["entropy_cal_mol_k"] == pytest.approx(expected.contributions["Total"].entropy_cal_mol_k, rel=1e-12)
    assert row["sum_gibbs_hartree"] == pytest.approx(expected.sum_gibbs_hartree, rel=1e-12)
    qh = expected.quasi_harmonic
    assert row.get("qh_entropy_cal_mol_k") == (qh.entropy_cal_mol_k if qh else None)
    if argv[0] == "--conc":  # from 1 atm of ideal gas, 24.465 L/mol at 298.15 K, to 1 mol/L
        assert row["qh_entropy_cal_mol_k"] == pytest.approx(
            row["entropy_cal_mol_k"] - 1.98720 * math.log(24.4654), abs=1e-3
        )
    if masses:  # and heavier hydrogens lower every frequency of the force constants
        assert (
            expected.frequencies_cm1.max() < tesvarin.load(path).thermochemistry(masses={0: 1.5}).frequencies_cm1.max()
        )
