"""Harmonic analysis, thermochemistry and spectra against the program's own .log files, GoodVibes
and physical identities. The real files are read in place from ../shared/realchk and realchk2."""

from __future__ import annotations

import json
import math
import re
import subprocess
import sys
from pathlib import Path

import numpy as np
import pytest
import tesvarin
from tesvarin.cli import main
from tesvarin.thermo import QuasiHarmonic

from tests.python.gaussian_log import thermochemistry_section
from tests.python.real_files import SHARED

LOGS = sorted(
    p
    for p in SHARED.glob("realchk*/*/*.log")
    if p.with_suffix(".chk").is_file() and "- Thermochemistry -" in p.read_text(errors="replace")
)
pytestmark = pytest.mark.skipif(not LOGS, reason=f"no real checkpoint with a thermochemistry log under {SHARED}")
ids = [p.stem for p in LOGS]


def ours(t):
    """Our values under the names of gaussian_log.thermochemistry_section."""
    d = {
        "temperature": t.temperature_k,
        "pressure": t.pressure_atm,
        "molecular mass": t.molecular_mass_amu,
        "symmetry number": t.symmetry_number,
        "ZPE J/mol": t.zero_point_energy_j_mol,
        "ZPE kcal/mol": t.zero_point_energy_kcal_mol,
        "Zero-point correction": t.zero_point_energy_hartree,
        "Thermal correction to Energy": t.thermal_energy_correction_hartree,
        "Thermal correction to Enthalpy": t.thermal_enthalpy_correction_hartree,
        "Thermal correction to Gibbs Free Energy": t.thermal_gibbs_correction_hartree,
        "Sum of electronic and zero-point Energies": t.sum_zero_point_hartree,
        "Sum of electronic and thermal Energies": t.sum_energy_hartree,
        "Sum of electronic and thermal Enthalpies": t.sum_enthalpy_hartree,
        "Sum of electronic and thermal Free Energies": t.sum_gibbs_hartree,
    }
    for row, axis in zip(t.principal_axes, "XYZ", strict=True):
        d.update({f"axis {axis} {k}": v for k, v in enumerate(row)})
    for name, values in (
        ("mass", t.masses_amu),
        ("moment", t.moments_of_inertia_amu_bohr2),
        ("rotational temperature", t.rotational_temperatures_k),
        ("rotational constant", t.rotational_constants_ghz),
        ("vibrational temperature", t.vibrational_temperatures_k),
    ):
        d.update({f"{name} {k}": v for k, v in enumerate(values)})
    for name, c in t.contributions.items():
        d.update(
            {f"{name} E": c.energy_kcal_mol, f"{name} CV": c.heat_capacity_cal_mol_k, f"{name} S": c.entropy_cal_mol_k}
        )
    for name, q in t.partition_functions.items():
        d.update({f"{name} Q": q.q, f"{name} log10": q.log10_q, f"{name} ln": q.ln_q})
    return d


def misprinted(log, mine, moments):
    """(name, printed, ours) for each number of the log's section that `mine` does not reproduce."""
    printed = thermochemistry_section(log)
    assert len(printed) > 40
    wrong = []
    for name, (value, digits) in printed.items():
        ours = mine.get(name, math.nan)
        if name.startswith("axis "):  # an axis has no sign, and degenerate moments no axes of their own
            k = int(name.split()[2])
            if any(abs(moments[k] - m) < 1e-4 for j, m in enumerate(moments) if j != k):
                continue
            column = [mine[f"axis {a} {k}"] for a in "XYZ"]
            ours *= math.copysign(1.0, np.dot(column, [printed[f"axis {a} {k}"][0] for a in "XYZ"]))
        if name.endswith(" Q"):  # six significant digits of the mantissa
            ok = value == ours or abs(ours / value - 1) <= 0.5 * 10.0 ** (1 - digits) * 1.0001
        else:  # half a unit of the last printed digit; 1e-8 more for values that land on the rounding edge
            ok = abs(ours - value) <= 0.5 * 10.0**-digits + 1e-8
        if not ok:
            wrong.append((name, value, ours))
    return wrong


@pytest.mark.parametrize("log", LOGS, ids=ids)
def test_every_printed_number_of_the_log(log):
    t = tesvarin.load(log.with_suffix(".chk")).thermochemistry()
    assert not misprinted(log, ours(t), t.moments_of_inertia_amu_bohr2)


def from_record(rec):
    """The numbers of `tesvarin thermo --json`'s record under the names of gaussian_log.thermochemistry_section."""
    d = {
        "temperature": rec["temperature_k"],
        "pressure": rec["pressure_atm"],
        "molecular mass": rec["molecular_mass_amu"],
        "symmetry number": rec["symmetry_number"],
        "ZPE J/mol": rec["zero_point_energy_j_mol"],
        "ZPE kcal/mol": rec["zero_point_energy_kcal_mol"],
        "Zero-point correction": rec["zero_point_energy_hartree"],
        "Thermal correction to Energy": rec["thermal_energy_correction_hartree"],
        "Thermal correction to Enthalpy": rec["thermal_enthalpy_correction_hartree"],
        "Thermal correction to Gibbs Free Energy": rec["thermal_gibbs_correction_hartree"],
        "Sum of electronic and zero-point Energies": rec["sum_zero_point_hartree"],
        "Sum of electronic and thermal Energies": rec["sum_energy_hartree"],
        "Sum of electronic and thermal Enthalpies": rec["sum_enthalpy_hartree"],
        "Sum of electronic and thermal Free Energies": rec["sum_gibbs_hartree"],
    }
    for name, key in (
        ("mass", "masses_amu"),
        ("moment", "moments_of_inertia_amu_bohr2"),
        ("rotational temperature", "rotational_temperatures_k"),
        ("rotational constant", "rotational_constants_ghz"),
        ("vibrational temperature", "vibrational_temperatures_k"),
    ):
        d.update({f"{name} {k}": v for k, v in enumerate(rec[key])})
    for row, axis in zip(rec["principal_axes"], "XYZ", strict=True):
        d.update({f"axis {axis} {k}": v for k, v in enumerate(row)})
    for name in ("Total", "Electronic", "Translational", "Rotational", "Vibrational"):
        for column, unit in (
            ("E", "thermal_energy_kcal_mol"),
            ("CV", "heat_capacity_cal_mol_k"),
            ("S", "entropy_cal_mol_k"),
        ):
            d[f"{name} {column}"] = rec[f"{name.lower()}_{unit}"]
            d.update({f"Vibration {k + 1} {column}": v for k, v in enumerate(rec[f"vibration_{unit}"])})
    rows = {"Total Bot": "total_bot", "Total V=0": "total_v0", "Vib (Bot)": "vib_bot", "Vib (V=0)": "vib_v0"}
    rows.update({name: name.lower() for name in ("Electronic", "Translational", "Rotational")})
    for name, row in rows.items():
        for column, prefix in (("Q", "q"), ("log10", "log10_q"), ("ln", "ln_q")):
            d[f"{name} {column}"] = rec[f"{prefix}_{row}"]
            if row.startswith("vib"):
                d.update({f"{name} {k + 1} {column}": v for k, v in enumerate(rec[f"{prefix}_{row}_modes"])})
    return d


def test_the_command_s_json_reproduces_every_printed_number_with_no_option():
    """`tesvarin thermo --json` on every frequency checkpoint with a log, at the job's own temperature."""
    done = subprocess.run(
        [sys.executable, "-m", "tesvarin", "thermo", "--json", *(str(log.with_suffix(".chk")) for log in LOGS)],
        capture_output=True,
        text=True,
    )
    assert done.returncode == 0, done.stderr
    records = [json.loads(line) for line in done.stdout.splitlines()]
    assert [r["path"] for r in records] == [str(log.with_suffix(".chk")) for log in LOGS]
    wrong = {
        log.stem: bad
        for log, rec in zip(LOGS, records, strict=True)
        if (bad := misprinted(log, from_record(rec), rec["moments_of_inertia_amu_bohr2"]))
    }
    assert not wrong


def log_frequencies(log):
    text = log.read_text(errors="replace")
    last = text[text.rindex("Harmonic frequencies") :] if "Harmonic frequencies" in text else ""
    fields = {
        key: [float(v) for line in re.findall(rf"^ {key}\s+--(.*)$", last, re.M) for v in line.split()]
        for key in ("Frequencies", "Red. masses", "Frc consts", "IR Inten", "Raman Activ", "Depolar \\(P\\)")
    }
    return fields


CHECKPOINTS = sorted(p for folder in ("realchk", "realchk2") for p in (SHARED / folder).glob("*/*.chk"))


def frequency_files():
    """Every real checkpoint with force constants; `stored` tells whether it keeps its harmonic analysis."""
    import Tesvarin_.thermo

    found = []
    for path in CHECKPOINTS:
        try:
            reader = Tesvarin_.ChkReader_(str(path))
        except (RuntimeError, ValueError):
            continue
        if reader.params.mol.hessian.size:
            found.append(pytest.param(path, id=path.stem))
    return found


@pytest.mark.parametrize("chk", frequency_files())
def test_harmonic_analysis_reproduces_the_stored_and_printed_analysis(chk):
    import Tesvarin_.thermo

    cp = tesvarin.load(chk)
    h = cp.harmonic_analysis()
    stored = Tesvarin_.thermo.vibration_blocks(cp.reader)
    log = chk.with_suffix(".log")
    printed = log_frequencies(log) if log.is_file() else None
    if printed and printed["Frequencies"]:
        assert h["frequencies"] == pytest.approx(printed["Frequencies"], abs=5e-5)
        assert h["reduced_masses"] == pytest.approx(printed["Red. masses"], abs=5e-5)
        assert h["force_constants"] == pytest.approx(printed["Frc consts"], abs=5e-5)
    if stored is None:  # Gaussian 09 keeps none; an IRC end point holds force constants only
        assert h["modes"].shape == (3 * len(cp.symbols) - 6, len(cp.symbols), 3)
        return
    if stored["frequencies"] is None:  # an atom
        assert len(cp.symbols) == 1 and h["modes"].shape == (0, 1, 3)
        return
    assert np.abs(h["frequencies"] - stored["frequencies"]).max() < 0.01
    overlaps = np.abs(np.einsum("kai,kai->k", h["modes"], stored["modes"]))
    assert overlaps == pytest.approx(1.0, abs=1e-5)  # the same modes up to sign
    assert h["reduced_masses"] == pytest.approx(stored["reduced_masses"], rel=1e-6)
    assert h["force_constants"] == pytest.approx(stored["force_constants"], rel=1e-6)
    if printed:
        assert stored["ir_intensities"] == pytest.approx(printed["IR Inten"], abs=5e-5)
        if printed["Raman Activ"]:
            assert cp.raman_activities == pytest.approx(printed["Raman Activ"], abs=5e-5)
            assert cp.depolarization_ratios == pytest.approx(printed["Depolar \\(P\\)"], abs=5e-5)
        else:
            assert cp.raman_activities is None


@pytest.mark.parametrize("name, sigma", [("c6h6_b3lyp_optfreq", 12), ("c6h3f3_mp2_optfreq", 6)])
def test_symmetry_number_of_benzene_and_trifluorobenzene(name, sigma):
    path = SHARED / "realchk2/g16b-ccpvdz-freq" / f"{name}.chk"
    if not path.is_file():
        pytest.skip(f"{path} is absent")
    t = tesvarin.load(path).thermochemistry()
    assert (t.symmetry_number, t.rotor) == (sigma, "oblate")
    # sigma enters only as -R ln(sigma) in the rotational entropy
    plain = tesvarin.load(path).thermochemistry(symmetry_number=1)
    gap = plain.contributions["Rotational"].entropy_cal_mol_k - t.contributions["Rotational"].entropy_cal_mol_k
    assert gap == pytest.approx(8.314462618 / 4.184 * math.log(sigma), rel=1e-5)


DEUTERIUM = 2.01410178


def test_deuteration_obeys_the_teller_redlich_product_rule():
    """prod(nu_D / nu_H) = prod_a (m_H / m_D)^(3/2) * (M_D / M_H)^(3/2) * sqrt(I_D1 I_D2 I_D3 / (I_H1 I_H2 I_H3))."""
    cp = tesvarin.load(SHARED / "realchk/g09-freq/h20.chk")
    heavy = {k: DEUTERIUM for k, s in enumerate(cp.symbols) if s == "H"}
    light_t, heavy_t = cp.thermochemistry(), cp.thermochemistry(masses=heavy)
    ratio = np.prod(cp.harmonic_analysis(heavy)["frequencies"] / cp.harmonic_analysis()["frequencies"])
    m_h, m_d = light_t.masses_amu, heavy_t.masses_amu
    expected = (
        np.prod((m_h / m_d) ** 1.5)
        * (m_d.sum() / m_h.sum()) ** 1.5
        * math.sqrt(np.prod(heavy_t.moments_of_inertia_amu_bohr2) / np.prod(light_t.moments_of_inertia_amu_bohr2))
    )
    # Exact at a stationary point; the stored geometry's residual forces (1e-4 Hartree/Bohr) leave 4e-6.
    assert ratio == pytest.approx(expected, rel=2e-5)
    assert ratio != pytest.approx(expected * 1.001, rel=2e-5)


def test_a_diatomic_frequency_scales_with_the_root_of_the_reduced_mass():
    cp = tesvarin.load(SHARED / "realchk2/g16c-kinbot-openshell/OH_doublet_um062x.chk")
    m_o, m_h = cp.masses
    od = cp.harmonic_analysis({1: DEUTERIUM})["frequencies"][0]
    oh = cp.harmonic_analysis()["frequencies"][0]
    assert od / oh == pytest.approx(
        math.sqrt((m_o * m_h / (m_o + m_h)) / (m_o * DEUTERIUM / (m_o + DEUTERIUM))), rel=1e-9
    )
    t = cp.thermochemistry(masses={1: DEUTERIUM}, temperature=500.0, pressure=2.0)
    assert t.linear and t.rotational_temperatures_k.shape == (1,)
    # Sackur-Tetrode: S_trans(P2) - S_trans(P1) = -R ln(P2/P1)
    at_1_atm = cp.thermochemistry(masses={1: DEUTERIUM}, temperature=500.0)
    gap = t.contributions["Translational"].entropy_cal_mol_k - at_1_atm.contributions["Translational"].entropy_cal_mol_k
    assert gap == pytest.approx(-8.314462618 / 4.184 * math.log(2.0), rel=1e-5)


GOODVIBES_FILES = [
    "realchk/g16-ts-freq/ts_guess",
    "realchk2/g16c-kinbot-closed/c2f2o2_m062x_freq",
    "realchk2/g16c-kinbot-closed/well7_rm062x_200bf",
    "realchk/g09-freq/h20h30+",
]
OPTIONS = [  # (GoodVibes keywords, our QuasiHarmonic)
    (dict(QS="grimme", QH=False), QuasiHarmonic(entropy_cutoff_cm1=100.0)),
    (
        dict(QS="grimme", QH=True, s_freq_cutoff=150.0, h_freq_cutoff=80.0),
        QuasiHarmonic(entropy_cutoff_cm1=150.0, enthalpy_cutoff_cm1=80.0),
    ),
    (
        dict(QS="truhlar", QH=False, concentration=1.0),
        QuasiHarmonic(entropy_cutoff_cm1=None, raise_cutoff_cm1=100.0, concentration_mol_l=1.0),
    ),
]


@pytest.mark.parametrize("options", OPTIONS, ids=["grimme", "grimme+head-gordon", "truhlar+1M"])
@pytest.mark.parametrize("name", GOODVIBES_FILES, ids=lambda n: n.rsplit("/", 1)[1])
def test_quasi_harmonic_corrections_equal_goodvibes(name, options, tmp_path, monkeypatch):
    goodvibes = pytest.importorskip("goodvibes.api")
    monkeypatch.chdir(tmp_path)  # GoodVibes may leave files in the working folder
    theirs_options, ours_options = options
    gv = goodvibes.compute_thermo(
        str(SHARED / f"{name}.log"), freq_scale_factor=1.0, zpe_scale_factor=1.0, temperature=298.15, **theirs_options
    )
    t = tesvarin.load(SHARED / f"{name}.chk").thermochemistry(quasi_harmonic=ours_options)
    qh = t.quasi_harmonic
    e = gv.scf_energy
    # Six decimals in Hartree, as GoodVibes prints them (its constants differ from the program's in the 7th).
    assert round(t.zero_point_energy_hartree, 6) == pytest.approx(round(gv.zpe, 6), abs=1.01e-6)
    assert round(qh.gibbs_correction_hartree, 6) == pytest.approx(round(gv.qh_gibbs_free_energy - e, 6), abs=1.01e-6)
    assert round(298.15 * qh.entropy_cal_mol_k * 4.184 / 2625499.6, 6) == pytest.approx(
        round(298.15 * gv.qh_entropy, 6), abs=1.01e-6
    )
    if theirs_options["QH"]:
        assert round(qh.enthalpy_correction_hartree, 6) == pytest.approx(round(gv.qh_enthalpy - e, 6), abs=1.01e-6)


def test_spectrum_peaks_have_the_area_of_their_sticks():
    cp = tesvarin.load(SHARED / "realchk/g16-ts-freq/ts_guess.chk")
    for kind, sticks in (("ir", cp.ir_intensities), ("raman", cp.raman_activities)):
        for shape in ("lorentzian", "gaussian"):
            grid = np.arange(-20000.0, 30000.0, 0.5)
            x, y = cp.spectrum(kind, fwhm=8.0, shape=shape, grid=grid)
            # the imaginary mode of this transition state has no band
            real = sticks[cp.frequencies > 0].sum()
            assert np.trapezoid(y, x) == pytest.approx(real, rel=2e-3 if shape == "lorentzian" else 1e-9)
    # a lone peak's height at its centre: sqrt(4 ln2 / pi) / fwhm times the stick for a Gaussian
    x, y = tesvarin.thermo.spectrum(np.array([1000.0]), np.array([3.0]), fwhm=10.0, shape="gaussian", grid=[1000.0])
    assert y[0] == pytest.approx(3.0 * math.sqrt(4 * math.log(2) / math.pi) / 10.0)
    with pytest.raises(ValueError, match="holds no Raman"):
        tesvarin.load(SHARED / "realchk2/g16c-kinbot-openshell/OH_doublet_um062x.chk").spectrum("raman")


def test_files_without_a_frequency_job_say_so(capsys):
    water = SHARED / "realchk/g09-water/water.chk"
    with pytest.raises(ValueError, match="neither frequencies nor force constants"):
        tesvarin.load(water).thermochemistry()
    assert main(["thermo", str(water)]) == 1
    assert "neither frequencies nor force constants" in capsys.readouterr().err


def test_command_line_records_and_temperature_rows(capsys):
    h2o = str(SHARED / "realchk/g09-freq/h20.chk")
    assert main(["thermo", h2o, "-T", "200:400:100", "--json", "--qrrho", "100"]) == 0
    rows = [json.loads(line) for line in capsys.readouterr().out.splitlines()]
    assert [r["temperature_k"] for r in rows] == [200.0, 300.0, 400.0]
    assert all("Grimme" in r["quasi_harmonic"] for r in rows)
    # G = H - TS ties the columns together at every temperature
    for r in rows:
        assert r["sum_gibbs_hartree"] == pytest.approx(
            r["sum_enthalpy_hartree"] - r["temperature_k"] * r["entropy_cal_mol_k"] * 4.184 / 2625499.6, abs=1e-8
        )
    assert main(["thermo", h2o, "--csv", "--isotope", "H=2.014101778", "--scale", "0.96"]) == 0
    header, row = capsys.readouterr().out.splitlines()
    assert header.startswith("path,temperature_k") and ",0.96," in row
    assert main(["thermo", h2o]) == 0
    out = capsys.readouterr().out
    assert "Sum of electronic and thermal Free Energies=          -76.018009" in out
    assert main(["thermo", h2o, "--isotope", "9=2.0"]) == 1
    assert "there are 3 atoms" in capsys.readouterr().err


@pytest.mark.parametrize("suffix, magic", [(".png", b"\x89PNG"), (".svg", b"<?xml"), (".pdf", b"%PDF")])
def test_plot_writes_the_picture_or_says_what_is_missing(tmp_path, capsys, monkeypatch, suffix, magic):
    pytest.importorskip("matplotlib", reason="matplotlib is in the test extras")
    ts = str(SHARED / "realchk/g16-ts-freq/ts_guess.chk")
    out = tmp_path / f"spectrum{suffix}"
    assert main(["plot", "raman", ts, "-o", str(out), "--fwhm", "20"]) == 0
    assert out.read_bytes().startswith(magic) and capsys.readouterr().out.strip() == str(out)
    assert main(["plot", "ir", ts, "-o", str(out)]) == 1  # kept without --force
    assert "exists; use --force" in capsys.readouterr().err
    assert main(["plot", "ir", ts, "-o", str(tmp_path / "spectrum.jpg")]) == 1
    assert "must end in .png, .svg, .pdf" in capsys.readouterr().err
    monkeypatch.setitem(__import__("sys").modules, "matplotlib", None)
    assert main(["plot", "ir", ts, "-o", str(out), "--force"]) == 1
    # the package is on no index: the extra is named on the clone it runs from ("." when that is the folder)
    root = Path(__file__).resolve().parents[2]
    said = capsys.readouterr().err
    assert any(f'pip install "{where}[plot]"' in said for where in (".", root)) and out.read_bytes().startswith(magic)
