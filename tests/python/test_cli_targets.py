"""A command line that composes: --no-clobber, -o - for standard output, -o DIR/ for a folder,
the subcommand's usage on a usage error, one line and status 130 on an interrupt, and the
benchmark's synthetic checkpoints through the default fchk."""

import os
import runpy
import signal
import subprocess
import sys
from pathlib import Path

import pytest

from tests.python.chk_builder import complete_water as water

ROOT = Path(__file__).resolve().parents[2]


def run(folder, *args, **options):
    return subprocess.run([sys.executable, "-m", "tesvarin", *args], capture_output=True, cwd=folder, **options)


@pytest.fixture
def folder(tmp_path):
    """a.chk, b.chk and sub/b.chk, with an a.fchk from before."""
    (tmp_path / "sub").mkdir()
    for name in ("a.chk", "b.chk", "sub/b.chk"):
        water().write(tmp_path / name)
    (tmp_path / "a.fchk").write_text("old")
    return tmp_path


# argv, exit status, standard error, the files written (every other file keeps its bytes)
@pytest.mark.parametrize(
    "argv, status, errors, written",
    [
        ("fchk -n a.chk b.chk", 0, ["a.fchk: exists; kept (--no-clobber)"], {"b.fchk"}),
        ("fchk -n -o a.fchk b.chk", 0, ["a.fchk: exists; kept (--no-clobber)"], set()),
        ("fchk -n b.chk nothing.chk", 1, ["nothing.chk: No such file or directory"], {"b.fchk"}),
        ("gjf a.chk sub/b.chk -o out/", 0, [], {"out/a.gjf", "out/b.gjf"}),  # the folder -o names is made
        ("gjf a.chk sub/b.chk -o sub", 0, [], {"sub/a.gjf", "sub/b.gjf"}),
        (
            "gjf a.chk b.chk sub/b.chk -o sub/",
            1,
            ["sub/b.gjf: was written from b.chk just now; it is not replaced"],
            {"sub/a.gjf", "sub/b.gjf"},
        ),
        ("summary -n a.chk -o a.fchk", 0, ["a.fchk: exists; kept (--no-clobber)"], set()),
        ("summary --json a.chk b.chk -o s.json", 0, [], {"s.json"}),
    ],
)
def test_no_clobber_and_folders(folder, argv, status, errors, written):
    before = {p: p.read_bytes() for p in folder.rglob("*") if p.is_file()}
    done = run(folder, *argv.split(), text=True)
    assert (done.returncode, done.stderr.splitlines()) == (status, [f"tesvarin: {e}" for e in errors])
    after = {p: p.read_bytes() for p in folder.rglob("*") if p.is_file()}
    assert {str(p.relative_to(folder)) for p in after if before.get(p) != after[p]} == written
    assert done.stdout.splitlines() == [w for w in done.stdout.splitlines() if w in written]


@pytest.mark.parametrize(
    # the gjf's %chk names the new checkpoint after the output unless --chk says it
    "argv",
    [
        "fchk a.chk",
        "fchk --basic b.chk",
        "gjf --chk new.chk a.chk",
        "summary a.chk b.chk",
        "summary --json a.chk b.chk",
    ],
)
def test_dash_writes_to_standard_output_what_the_file_would_hold(folder, argv):
    done = run(folder, *argv.split(), "-o", "-")
    assert done.returncode == 0 and done.stderr == b""
    if argv.startswith("summary"):
        assert done.stdout == run(folder, *argv.split()).stdout
    else:
        assert run(folder, *argv.split(), "-f", "-o", "file").returncode == 0
        assert done.stdout == (folder / "file").read_bytes()
    assert sorted(os.listdir(folder)) == sorted(["a.chk", "a.fchk", "b.chk", "sub"] + ["file"] * (argv[0] != "s"))


@pytest.mark.parametrize(
    "argv, complaint",
    [
        ("fchk a.chk b.chk -o out.fchk", "-o/--output takes one input only"),
        ("gjf a.chk b.chk -o -", "-o - takes one input only"),
        ("summary a.chk -o out/", "-o/--output names one file"),
        ("fchk -f -n a.chk", "not allowed with argument"),
    ],
)
def test_usage_errors_print_the_subcommands_usage(folder, argv, complaint):
    done = run(folder, *argv.split(), text=True)
    command = argv.split()[0]
    assert done.returncode == 2 and done.stderr.startswith(f"usage: tesvarin {command} ")
    assert f"tesvarin {command}: error: " in done.stderr and complaint in done.stderr


def test_an_interrupt_while_writing_exits_130_with_one_line(tmp_path):
    from tests.python.chk_builder import Atom, molecule

    molecule([Atom(6, (float(i), 0.0, 0.0)) for i in range(20000)]).write(tmp_path / "big.chk")
    env = dict(os.environ, TMPDIR=str(tmp_path))
    process = subprocess.Popen(
        [sys.executable, "-m", "tesvarin_launch", "fchk", "--basic", "big.chk", "-o", "-"],
        stdout=subprocess.PIPE,
        stderr=subprocess.PIPE,
        cwd=tmp_path,
        env=env,
    )
    assert process.stdout.read(4096)  # the output has begun and the pipe is full: the command waits on it
    process.send_signal(signal.SIGINT)
    _, err = process.communicate(timeout=60)
    assert (process.returncode, err) == (130, b"tesvarin: interrupted\n")
    assert os.listdir(tmp_path) == ["big.chk"]  # no temporary file or folder left


def test_an_interrupt_while_the_module_loads_exits_130_with_one_line():
    code = (
        "import sys, tesvarin_launch\n"
        "class Interrupted:\n"
        "    def find_spec(self, name, *rest):\n"
        "        if name == 'tesvarin.cli':\n"
        "            raise KeyboardInterrupt\n"
        "sys.meta_path.insert(0, Interrupted())\n"
        "sys.exit(tesvarin_launch.main())\n"
    )
    done = subprocess.run([sys.executable, "-c", code, "--version"], capture_output=True, text=True)
    assert (done.returncode, done.stderr) == (130, "tesvarin: interrupted\n")


def test_the_benchmarks_synthetic_checkpoints_convert_completely(tmp_path):
    make_chk = runpy.run_path(str(ROOT / "bench" / "make_chk.py"))  # the generator's functions, not its main
    make_chk["open_shell"](tmp_path / "big.chk", 200_000)
    make_chk["many_shells"](tmp_path / "shells.chk", 50)
    done = run(tmp_path, "fchk", "big.chk", "shells.chk", text=True)
    assert (done.returncode, done.stderr) == (0, "")
    assert "Real atomic weights" in (tmp_path / "big.fchk").read_text()
