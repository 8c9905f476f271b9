"""The command line: it never loses a file, says why it failed, and serves scripts."""

import json
import os
import resource
import stat
import subprocess
import sys
from importlib import metadata
from pathlib import Path

import pytest
from tesvarin.checkpoint import formula
from tesvarin.safe_write import write_replacing

from tests.python.chk_builder import MOL, Atom, Shell, label_record, molecule
from tests.python.chk_builder import (
    complete_water as water,  # a version-16 shaped file, so the default complete fchk applies
)
from tests.python.chk_builder import water as basic_water


def version():
    """What --version names: the installed distribution's version, "unknown" from a build tree."""
    try:
        return metadata.version("tesvarin")
    except metadata.PackageNotFoundError:
        return "unknown"


def run(tmp_path, *args, **popen):
    return subprocess.run(
        [sys.executable, "-m", "tesvarin", *args], capture_output=True, text=True, cwd=tmp_path, **popen
    )


SIZE = len(water().build())


@pytest.fixture
def folder(tmp_path):
    """a.chk and b.chk, an old a.fchk, c.fchk that is a checkpoint under another name, and two bad inputs."""
    for name in ("a.chk", "b.chk", "c.fchk"):
        water().write(tmp_path / name)
    (tmp_path / "a.fchk").write_text("old")
    (tmp_path / "cut.chk").write_bytes(water().build()[:4096])
    water().without(MOL).write(tmp_path / "nomol.chk")
    return tmp_path


# argv, exit status, error lines, files whose bytes change (every other file keeps its bytes)
@pytest.mark.parametrize(
    "argv, status, errors, changed",
    [
        ("fchk b.chk", 0, [], {"b.fchk"}),
        ("gjf a.chk b.chk", 0, [], {"a.gjf", "b.gjf"}),
        ("fchk a.chk b.chk", 1, ["a.fchk: exists; use --force to replace it"], {"b.fchk"}),
        ("fchk --force a.chk b.chk", 0, [], {"a.fchk", "b.fchk"}),
        ("fchk -f b.chk b.chk", 1, ["b.fchk: was written from b.chk just now; it is not replaced"], {"b.fchk"}),
        ("fchk -f a.chk -o b.chk", 1, ["b.chk: is a Gaussian checkpoint; it is never replaced"], set()),
        ("gjf -f a.chk -o a.chk", 1, ["a.chk: is one of the inputs; it is never replaced"], set()),
        ("fchk -f c.fchk", 1, ["c.fchk: is one of the inputs; it is never replaced"], set()),
        ("fchk -f b.chk -o c.fchk", 1, ["c.fchk: is a Gaussian checkpoint; it is never replaced"], set()),
        (
            "gjf a.chk nothing.chk . b.chk",
            1,
            ["nothing.chk: No such file or directory", ".: is a directory"],
            {"a.gjf", "b.gjf"},
        ),
        ("gjf a.chk -o no/a.gjf", 1, ["no/a.gjf: No such file or directory"], set()),
        (
            "gjf cut.chk nomol.chk a.fchk",
            1,
            [
                f"cut.chk: truncated: the file is 4096 bytes, its directory needs {SIZE}",
                "nomol.chk: the job stopped before it wrote the molecule",
                "a.fchk: a formatted (text) checkpoint, not a binary one: tesvarin reads the .chk that formchk reads",
            ],
            set(),
        ),
    ],
)
def test_no_file_is_lost(folder, argv, status, errors, changed):
    before = {p.name: p.read_bytes() for p in folder.iterdir()}
    done = run(folder, *argv.split())
    assert (done.returncode, done.stderr.splitlines()) == (status, [f"tesvarin: {e}" for e in errors])
    after = {p.name: p.read_bytes() for p in folder.iterdir()}
    assert {n for n in after if before.get(n) != after[n]} == changed
    assert set(after) == set(before) | changed  # no temporary file left behind
    umask = os.umask(0o22)
    os.umask(umask)
    assert {stat.S_IMODE((folder / n).stat().st_mode) for n in changed} <= {0o666 & ~umask}  # not the temporary's


@pytest.mark.parametrize("source", ["fifo", "/dev/zero"])
def test_inputs_that_are_no_regular_file_are_refused_without_waiting(tmp_path, source):
    if source == "fifo":
        source = str(tmp_path / "pipe.chk")
        os.mkfifo(source)  # no writer: a blocking open would wait for ever
    done = run(tmp_path, "fchk", source, "-o", "out.fchk", timeout=60)
    reason = "not a 64-bit Gaussian checkpoint (not a regular file)"
    assert (done.returncode, done.stderr) == (1, f"tesvarin: {source}: {reason}\n")


@pytest.mark.parametrize("command", ["fchk", "gjf"])
def test_write_stopped_by_the_file_size_limit_keeps_the_old_output(tmp_path, command):
    molecule([Atom(6, (float(i), 0.0, 0.0)) for i in range(2000)]).write(tmp_path / "big.chk")
    (tmp_path / f"big.{command}").write_text("previous")
    limit = lambda: resource.setrlimit(resource.RLIMIT_FSIZE, (32768, 32768))  # noqa: E731
    basic = ["--basic"] if command == "fchk" else []  # the builder's molecule has no further sections
    done = run(tmp_path, command, "--force", *basic, "big.chk", preexec_fn=limit)
    assert done.returncode == 1
    assert done.stderr == f"tesvarin: big.{command}: File too large (file size limit, ulimit -f)\n"
    assert (tmp_path / f"big.{command}").read_text() == "previous"
    assert sorted(os.listdir(tmp_path)) == ["big.chk", f"big.{command}"]


def test_file_name_that_is_not_utf8_is_used_as_its_bytes(tmp_path):
    water().write(tmp_path / os.fsdecode(b"caf\xe9.chk"))
    done = subprocess.run([sys.executable, "-m", "tesvarin", "gjf", b"caf\xe9.chk"], capture_output=True, cwd=tmp_path)
    assert (done.returncode, done.stdout) == (0, b"caf\xe9.gjf\n")
    assert (
        (tmp_path / os.fsdecode(b"caf\xe9.gjf")).read_bytes().startswith(b"%oldchk=caf\xe9.chk\n%chk=caf\xe9-new.chk\n")
    )


@pytest.mark.parametrize("fault", [KeyboardInterrupt, RuntimeError])
def test_interrupted_write_leaves_the_target_and_no_temporary_file(tmp_path, fault):
    (tmp_path / "out").write_text("old")

    def write(path):
        Path(path).write_text("partial")
        raise fault

    with pytest.raises(fault):
        write_replacing(str(tmp_path / "out"), write, replace=True)
    assert os.listdir(tmp_path) == ["out"] and (tmp_path / "out").read_text() == "old"


def test_summary_json_one_line_per_file_and_latin1_text_shown_replaced(tmp_path):
    water().write(tmp_path / "w.chk")
    molecule([Atom(1), Atom(17, (0.0, 0.0, 2.4))], label=label_record("Caf\xe9".encode("latin-1"))).write(
        tmp_path / "l.chk"
    )
    shifted = [Shell(0, 1, [1.0], coefs=[1.0], centre=(0.0, 0.0, 0.5))]  # the reader warns on standard output
    molecule([Atom(1)], shifted, nbasis=1, mult=2).write(tmp_path / "warns.chk")
    assert "Title:           Caf\ufffd" in run(tmp_path, "summary", "l.chk").stdout
    done = run(tmp_path, "summary", "--json", "w.chk", "gone.chk", "l.chk", "warns.chk")
    lines = [json.loads(line) for line in done.stdout.splitlines()]
    assert done.returncode == 1 and [line["path"] for line in lines] == ["w.chk", "gone.chk", "l.chk", "warns.chk"]
    assert (lines[0]["energies"], lines[0]["jobtype"]) == ({"scf": -74.9, "total": -74.96, "virial_ratio": 2.0}, "SP")
    assert lines[0]["atoms"][1] == {"symbol": "H", "xyz": pytest.approx([0.0, 1.4 * 0.529177249, -0.9 * 0.529177249])}
    assert lines[1] == {"path": "gone.chk", "error": "No such file or directory"}
    assert (lines[2]["title"], lines[2]["formula"], lines[2]["charge"]) == ("Caf\ufffd", "ClH", 0)


@pytest.mark.parametrize(
    "argv, status, words",
    [
        ("--version", 0, [f"tesvarin {version()}"]),
        ("summary --help", 0, ["FILE.chk", "--json", "exit status: 0"]),
        ("fchk --help", 0, ["FILE.chk", "--output PATH", "--force", "exit status: 0"]),
        ("gjf --help", 0, ["FILE.chk", "--output PATH", "--force", "exit status: 0"]),
        ("fchk a.chk b.chk -o x.fchk", 2, []),
        ("fchk", 2, []),
        ("summary -o x/ a.chk", 2, []),
        ("convert a.chk", 2, []),
        ("convert --help", 0, ["--to {molden,wfx,wfn,xyz}", "--natural-orbitals KIND", "exit status: 0"]),
        ("convert a.chk --to pdf", 2, []),
        ("cube a.chk --natural-orbital 0", 2, []),
    ],
)
def test_version_help_and_usage_errors(tmp_path, argv, status, words):
    done = run(tmp_path, *argv.split())
    assert done.returncode == status and all(w in done.stdout for w in words)


@pytest.mark.parametrize(
    "names, hill",
    [
        (["H", "C", "H", "H", "H"], "CH4"),
        (["H", "Cl"], "ClH"),
        (["O", "H", "H"], "H2O"),
        (["N", "C", "O", "C"], "C2NO"),
    ],
)
def test_formula_in_hill_order(names, hill):
    assert formula(names) == hill


@pytest.mark.parametrize("flags, complete", [([], True), (["--basic"], False)])
def test_fchk_is_complete_unless_basic_is_asked_for(tmp_path, flags, complete):
    water().write(tmp_path / "w.chk")
    assert run(tmp_path, "fchk", *flags, "w.chk").returncode == 0
    assert ("Mulliken Charges" in (tmp_path / "w.fchk").read_text()) == complete


def test_damaged_section_warns_unless_strict(tmp_path):
    """A damaged section is left out with a warning and exit 0; --strict refuses and points to --basic."""
    molecule([Atom(1), Atom(1, (0.0, 0.0, 1.4))]).write(tmp_path / "h2.chk")
    done = run(tmp_path, "fchk", "h2.chk")
    assert done.returncode == 0 and done.stdout == "h2.fchk\n"
    assert done.stderr.startswith("tesvarin: h2.chk: warning: Section 997 (molecule): expected 20 + nblocks*(N+3)")
    done = run(tmp_path, "fchk", "--strict", "-f", "h2.chk")
    assert done.returncode == 1 and done.stderr.endswith("; --basic writes the basic file\n")
    assert run(tmp_path, "fchk", "--basic", "-f", "h2.chk").returncode == 0


def run_cli(*args):
    return subprocess.run([sys.executable, "-m", "tesvarin", *args], capture_output=True, text=True)


def test_cli_converts_beside_the_input_and_reports_failures_on_one_line(tmp_path):
    chk = basic_water().write(tmp_path / "w.chk")
    done = run_cli("fchk", "--basic", chk)  # the builder's water mixes version-09 layout and 801
    assert done.returncode == 0 and (tmp_path / "w.fchk").read_text().startswith("water test")
    assert run_cli("gjf", chk, "-o", str(tmp_path / "x.gjf")).returncode == 0
    # a job that starts from the input and writes a checkpoint of its own beside the gjf
    assert (tmp_path / "x.gjf").read_text().startswith("%oldchk=w.chk\n%chk=x-new.chk\n#p HF/STO-3G\n\nwater test\n")
    summary = run_cli("summary", chk)
    assert "Total energy:    -74.9600000000 Hartree" in summary.stdout and "Atoms:           3 (H2O)" in summary.stdout
    failed = run_cli("fchk", str(tmp_path / "missing.chk"))
    assert failed.returncode != 0 and failed.stdout == ""
    assert failed.stderr.strip().count("\n") == 0 and failed.stderr.endswith("missing.chk: No such file or directory\n")
