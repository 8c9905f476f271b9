"""The command line as a new user meets it: one row per complaint, with the exit status and the first
line of standard error; then the gjf as a job that runs, and the closed pipe."""

import re
import subprocess
import sys
from pathlib import Path

import pytest
import tesvarin

from tests.python.chk_builder import FORCE_CONST, INFO, LABEL, VIBRATIONS, complete_water, info_record, label_record
from tests.python.chk_builder import water as basic_water
from tests.python.chk_builder.further import electric_section
from tests.python.chk_builder.labels import ELECTRIC
from tests.python.real_files import SHARED
from tests.python.test_thermochemistry_records import packed_hessian

ROOT = Path(__file__).resolve().parents[2]
CHAINED = "#N Geom=AllCheck Guess=TCheck SCRF=Check GenChk RHF/6-31G(d,p) Freq"
CHARGES = (-0.8, 0.4, 0.4)


def apt(charges=CHARGES):
    """Dipole derivatives of point charges: each atom's 3x3 block is its charge times the identity."""
    return [q if r == k else 0.0 for q in charges for r in range(3) for k in range(3)]


def freq09(route=CHAINED, itype=6, ipf=0):
    """A frequency job as the 09 program stores it: force constants and dipole derivatives, no version
    text and no stored harmonic analysis."""
    chk = complete_water(layout=-12347).without(VIBRATIONS)
    chk.replace(LABEL, label_record("h2o freq", route))
    chk.replace(INFO, info_record(itype=itype, ipf=ipf))
    chk.replace(ELECTRIC, electric_section(3, 1 | 2, {1: [0.0, 0.0, 0.8], 4: apt()}))
    chk.add(FORCE_CONST, packed_hessian())
    chk.sections.sort(key=lambda s: s[0])
    return chk


@pytest.fixture
def folder(tmp_path):
    complete_water().without(VIBRATIONS).write(tmp_path / "a.chk")
    freq09().write(tmp_path / "f.chk")
    complete_water(layout=-12347).replace(INFO, info_record(itype=2, ipf=2)).write(tmp_path / "popt.chk")
    (tmp_path / "cut.chk").write_bytes(basic_water().build()[:4096])
    return tmp_path


def run(folder, *args, **options):
    return subprocess.run(
        [sys.executable, "-m", "tesvarin", *args], capture_output=True, text=True, cwd=folder, **options
    )


MISSING_PLOT = (
    "import sys; sys.modules['matplotlib'] = None; from tesvarin.cli import main; sys.exit(main(sys.argv[1:]))"
)
NO_VIBRATIONS = "holds no IR intensities (no stored vibrations, no force constants)"
LACKS = "1 row lacks the thermochemistry columns: the files hold force constants but no stored frequencies"


# argv; exit status; first line of standard error ("" for none), or its start before "..."; text that standard
# output holds ("!text": does not hold); a file and the text it holds.
@pytest.mark.parametrize(
    "argv, status, first, out, written",
    [
        # IR intensities of a file of the 09 program, from its force constants and dipole derivatives
        ("plot ir f.chk -o s.png", 0, "", "s.png", ("s.png", "")),
        ("plot ir a.chk -o s.png", 1, f"tesvarin: a.chk: {NO_VIBRATIONS}", "", None),
        ("plot --help", 0, "", "(default lorentzian)", None),
        ("plot --help", 0, "", "!--no-clobber", None),
        (
            "- plot ir f.chk -o s.png",
            1,
            f'tesvarin: f.chk: plotting needs matplotlib: pip install "{ROOT}[plot]"',
            "",
            None,
        ),
        # a job that runs: the old checkpoint read, a new one written, no checkpoint reads in the route
        (
            "gjf f.chk",
            0,
            "",
            "f.gjf",
            ("f.gjf", "%oldchk=f.chk\n%chk=f-new.chk\n#N SCRF=Check RHF/6-31G(d,p) Freq\n\nh2o freq\n"),
        ),
        (
            "gjf f.chk --chk run2.chk --route #p_b3lyp/gen_opt -o -",
            0,
            "",
            "%chk=run2.chk\n#p b3lyp/gen opt 6D 10F\n",
            None,
        ),
        (
            "gjf f.chk --chk f.chk -o x.gjf",
            1,
            "tesvarin: f.chk: --chk f.chk is the input; the job would write into it",
            "",
            None,
        ),
        # cube: option values are usage errors, said once; what the checkpoint lacks is blamed on it
        ("cube a.chk f.chk --grid huge", 2, "usage: tesvarin cube ...", "", None),
        ("cube a.chk f.chk --grid 0", 2, "usage: tesvarin cube ...", "", None),
        ("cube a.chk --grid 100000", 2, "usage: tesvarin cube ...", "", None),
        ("cube a.chk --margin -3", 2, "usage: tesvarin cube ...", "", None),
        ("cube a.chk --spin scf", 1, "tesvarin: a.chk: the checkpoint holds no SCF density...", "", None),
        ("cube a.chk --mo 9999", 1, "tesvarin: a.chk: the checkpoint holds no orbitals", "", None),
        # usage errors say the subcommand's usage; thermo writes a file
        ("export -n a.chk -o x.parquet", 2, "usage: tesvarin export ...", "", None),
        ("thermo f.chk --bogus", 2, "usage: tesvarin thermo ...", "", None),
        ("thermo f.chk -o t.txt", 0, "", "t.txt", ("t.txt", "- Thermochemistry -")),
        ("thermo --help", 0, "", "Python's masses= counts them from 0", None),
        ("export --help", 0, "", "qcschema: one QCSchema record per line", None),
        # a folder that -o names is made
        ("fchk a.chk -o new/dir/", 0, "", "new/dir/a.fchk", ("new/dir/a.fchk", "water test")),
        # the export says where the reasons are, and why columns are empty
        (
            "export a.chk cut.chk -o x.parquet",
            1,
            'tesvarin export: 1 file failed; the column "error" of x.parquet says why',
            "1 written, 1 failed",
            None,
        ),
        ("export f.chk -o y.parquet", 0, f"tesvarin export: {LACKS}...", "1 written, 0 failed", None),
        ("export f.chk --with hessian -o z.parquet", 0, "", "1 written, 0 failed", None),
        # a partial optimisation is an optimisation
        (
            "export --format qcschema popt.chk -o p.jsonl",
            0,
            "",
            "1 written",
            ("p.jsonl", '"qcschema_optimization_output"'),
        ),
        # the version of an 09 file: what its layout tells
        ("summary f.chk", 0, "", "Version:         09 (no version section); molecule layout -12347", None),
    ],
)
def test_what_a_user_meets(folder, argv, status, first, out, written):
    words = [w.replace("_", " ") if w.startswith("#") else w for w in argv.split()]
    if words[0] == "-":  # matplotlib not installed
        done = subprocess.run(
            [sys.executable, "-c", MISSING_PLOT, *words[1:]], capture_output=True, text=True, cwd=folder
        )
    else:
        done = run(folder, *words)
    line = (done.stderr.splitlines() or [""])[0]
    assert done.returncode == status, done.stderr
    assert line.startswith(first[:-3]) if first.endswith("...") else line == first, done.stderr
    if out.startswith("!"):
        assert out[1:] not in done.stdout
    else:
        assert out in done.stdout, done.stdout
    if written is not None:
        name, text = written
        assert (folder / name).is_file() and text in (folder / name).read_text(errors="replace")


def test_cube_advice_names_the_option_that_works(folder):
    done = run(folder, "cube", "a.chk", "--spin", "scf")
    assert "--spin orbitals" in done.stderr and "a.cube" not in done.stderr


def test_a_closed_pipe_ends_quietly(folder):
    done = subprocess.run(
        f"{sys.executable} -m tesvarin fchk a.chk -o - | head -1",
        shell=True,
        capture_output=True,
        text=True,
        cwd=folder,
    )
    assert done.stdout.startswith("water test") and done.stdout.count("\n") == 1 and done.stderr == ""


def test_general_basis_is_written_after_the_geometry(folder):
    done = run(folder, "gjf", "f.chk", "--route", "#p hf/gen", "-o", "-")
    text = done.stdout
    # the basis of each centre by number, one S shell of two primitives each, ended by ****
    assert done.returncode == 0 and text.count("****") == 3 and text.endswith("****\n\n"), text
    blocks = re.findall(r"^(\d) 0\nS 2 1.00\n(.*)\n(.*)\n\*\*\*\*$", text, re.M)
    assert [b[0] for b in blocks] == ["1", "2", "3"]
    cp = tesvarin.load(folder / "f.chk")
    first = [float(v.replace("D", "E")) for v in blocks[0][1].split()]
    assert first == pytest.approx([cp.primitive_exponents[0], cp.contraction_coefficients[0]], rel=1e-10)


# ---- the real files --------------------------------------------------------------------------------------------

FREQ_WITH_LOG = [
    p
    for p in sorted(SHARED.glob("realchk*/*/*.chk"))
    if p.with_suffix(".log").is_file() and "Harmonic frequencies" in p.with_suffix(".log").read_text(errors="replace")
]


def _log_job(log: Path):
    """The title, charge, multiplicity and the last printed geometries (Angstrom) of the log."""
    text = log.read_text(errors="replace")
    charge, multiplicity = map(int, re.findall(r"Charge =\s*(-?\d+) Multiplicity =\s*(\d+)", text)[-1])
    geometries = []
    for block in re.findall(r"(?:Input|Standard) orientation:.*?-{20,}\n.*?-{20,}\n(.*?)\n -{20,}", text, re.S):
        geometries.append([[float(v) for v in line.split()[3:6]] for line in block.splitlines()])
    return text, charge, multiplicity, geometries


@pytest.mark.skipif(not FREQ_WITH_LOG, reason=f"no frequency checkpoints with logs under {SHARED}")
@pytest.mark.parametrize("chk", FREQ_WITH_LOG, ids=lambda p: p.stem)
def test_the_gjf_of_a_real_frequency_job_is_the_logs_job(tmp_path, chk):
    import numpy as np

    done = run(tmp_path, "gjf", str(chk), "-o", "job.gjf")
    assert done.returncode == 0, done.stderr
    lines = (tmp_path / "job.gjf").read_text().splitlines()
    assert lines[0] == f"%oldchk={chk}" and lines[1] == "%chk=job-new.chk"
    route = lines[2].lower()
    assert not re.search(r"allcheck|geom\W+check|tcheck|genchk|chkbas", route), route
    text, charge, multiplicity, geometries = _log_job(chk.with_suffix(".log"))
    title = lines[4]
    assert f"\n {title}\n" in text or title in text.replace("\n ", "")
    assert lines[6] == f"{charge} {multiplicity}"
    atoms = lines[7 : lines.index("", 7)]
    xyz = np.array([[float(v) for v in a.split()[1:]] for a in atoms])
    assert any(len(g) == len(xyz) and np.allclose(g, xyz, atol=6e-7) for g in geometries)


@pytest.mark.skipif(not FREQ_WITH_LOG, reason=f"no frequency checkpoints with logs under {SHARED}")
@pytest.mark.parametrize("chk", FREQ_WITH_LOG, ids=lambda p: p.stem)
def test_ir_of_every_real_frequency_job_is_the_logs(tmp_path, chk):
    import warnings

    import numpy as np
    import tesvarin

    with warnings.catch_warnings():
        warnings.simplefilter("ignore", tesvarin.ChkWarning)
        cp = tesvarin.load(chk)
    last = chk.with_suffix(".log").read_text(errors="replace").split("Harmonic frequencies (cm**-1)")[-1]
    printed = [v for line in re.findall(r"IR Inten\s+--(.*)", last) for v in line.split()]
    frequencies, intensities = cp.sticks("ir")
    assert [f"{v:.4f}" for v in intensities] == printed
    # The stored analysis, or that of the 09 program's force constants: the fields the log's table shows.
    printed_frequencies = [v for line in re.findall(r"Frequencies --(.*)", last) for v in line.split()]
    if not printed_frequencies:  # an atom: no modes, and no fields for them
        assert len(cp.symbols) == 1 and cp.frequencies is None
        return
    assert [f"{v:.4f}" for v in cp.frequencies] == printed_frequencies
    assert [f"{v:.4f}" for v in cp.ir_intensities] == printed
    assert cp.normal_modes.shape == (len(printed), len(cp.symbols), 3) and len(cp.reduced_masses) == len(printed)
    assert len(frequencies) == len(printed)
    if cp.ir_intensities is None:  # most 09 jobs store no harmonic analysis: from the force constants
        assert cp.hessian is not None and np.all(np.isfinite(cp.spectrum("ir")[1]))
    pytest.importorskip("matplotlib", reason="matplotlib is in the test extras")
    assert run(tmp_path, "plot", "ir", str(chk), "-o", "s.png").returncode == 0


@pytest.mark.parametrize("errors", ["raise", "return"])
def test_load_many_warns_from_the_callers_line_naming_each_checkpoint(tmp_path, errors):
    from tests.python.chk_builder import CHARGES, reals

    paths = [complete_water().replace(CHARGES, reals(1.0, 2.0)).write(tmp_path / f"{k}.chk") for k in range(3)]
    with pytest.warns(tesvarin.ChkWarning) as caught:
        loaded = tesvarin.load_many(paths, threads=2, errors=errors)
    assert all(cp.mulliken_charges is None for cp in loaded)
    assert [str(w.message).split(": ")[0] for w in caught] == paths
    assert all(w.filename == __file__ and "Section 605" in str(w.message) for w in caught)


def test_ir_intensity_is_the_squared_dipole_derivative_along_each_mode(tmp_path):
    """Point charges: d mu/d Q of a mode is sum_a q_a dx_a/dQ; N_A/(12 eps0 c^2) e^2/amu in km/mol from the
    CODATA 2006 constants of the 09 program, computed here another way than the code does."""
    import numpy as np

    cp = tesvarin.load(freq09().write(tmp_path / "f.chk"))
    analysis = cp.harmonic_analysis()
    avogadro, eps0, c, e, amu = 6.02214179e23, 8.854187817e-12, 299792458.0, 1.602176487e-19, 1.660538782e-27
    factor = avogadro / (12 * eps0 * c**2) * e**2 / amu / 1000.0
    dq = np.einsum("a,kai->ki", CHARGES, analysis["modes"]) / np.sqrt(analysis["reduced_masses"])[:, None]
    assert analysis["ir_intensities"] == pytest.approx(factor * (dq**2).sum(axis=1), rel=1e-7)
    assert cp.sticks("ir")[1] == pytest.approx(analysis["ir_intensities"], rel=1e-15)


def _frequency_jobs():
    import warnings

    import Tesvarin_

    found = []
    for path in sorted(SHARED.glob("realchk*/*/*.chk")):
        try:
            with warnings.catch_warnings():
                warnings.simplefilter("ignore")
                reader = Tesvarin_.ChkReader_(str(path))
        except (RuntimeError, ValueError):
            continue
        freq = reader.params.jobtype == "Freq" or "freq" in reader.params.route.lower()
        if freq and (reader.params.mol.hessian.size or Tesvarin_.thermo.vibration_blocks(reader) is not None):
            found.append(path)
    return found


FREQUENCY_JOBS = _frequency_jobs()


@pytest.mark.skipif(not FREQUENCY_JOBS, reason=f"no frequency checkpoints under {SHARED}")
@pytest.mark.parametrize("chk", FREQUENCY_JOBS, ids=lambda p: p.stem)
def test_plot_ir_draws_every_real_frequency_job(tmp_path, chk):
    pytest.importorskip("matplotlib", reason="matplotlib is in the test extras")
    done = run(tmp_path, "plot", "ir", str(chk), "-o", "s.svg")
    assert done.returncode == 0 and (tmp_path / "s.svg").read_bytes().startswith(b"<?xml"), done.stderr
