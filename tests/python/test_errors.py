"""What goes wrong in the first hour, in words: every failure of `tesvarin.load` and of the command
line names the file and says what it is, while the reader's full text stays on the exception."""

import os
import shutil
import struct
import subprocess
import sys

import pytest
import tesvarin
import Tesvarin_

from tests.python.chk_builder import MOL, water

SIZE = len(water().build())
FOR_THE_CHK = "tesvarin reads the binary .chk that the job wrote (its %chk line names it)"


def make(folder, case):
    """Writes the input of `case` into `folder`; returns its name."""
    if case == "missing":
        return "nope.chk"
    if case == "directory":
        (folder / "dir.chk").mkdir()
        return "dir.chk"
    name = {
        "fchk": "water.fchk",
        "log": "water.log",
        "gjf": "water.gjf",
        "empty": "empty.chk",
        "32-bit": "old.chk",
        "truncated": "cut.chk",
        "dead job": "dead.chk",
        "permission": "locked.chk",
        "trailing bytes": "long.chk",
    }[case]
    path = folder / name
    if case in ("fchk", "gjf"):
        reader = Tesvarin_.ChkReader_(water().write(folder / "source.chk"))
        getattr(reader, f"write_{case}")(str(path))
    elif case == "log":
        path.write_text(" Entering Gaussian System, Link 0=g16\n Input=water.gjf\n")
    elif case == "empty":
        path.touch()
    elif case == "32-bit":  # 4-byte integers: entries, then the length in 8-byte words
        path.write_bytes(struct.pack("<ii", 3, 128) + bytes(1016))
    elif case == "truncated":
        path.write_bytes(water().build()[:4096])
    elif case == "trailing bytes":
        path.write_bytes(water().build() + bytes(8))
    elif case == "dead job":
        water().without(MOL).write(path)
    elif case == "permission":
        water().write(path)
        path.chmod(0)
    return name


CASES = {
    "missing": (FileNotFoundError, "No such file or directory"),
    "directory": (IsADirectoryError, "is a directory"),
    "permission": (PermissionError, "Permission denied"),
    "fchk": (ValueError, "a formatted (text) checkpoint, not a binary one: tesvarin reads the .chk that formchk reads"),
    "log": (ValueError, f"a Gaussian output (log) file, not a checkpoint: {FOR_THE_CHK}"),
    "gjf": (ValueError, f"a Gaussian input file, not a checkpoint: {FOR_THE_CHK}"),
    "empty": (ValueError, "an empty file, not a checkpoint"),
    "32-bit": (
        ValueError,
        "a checkpoint of the 32-bit program (4-byte integers): tesvarin reads those of the 64-bit program",
    ),
    "truncated": (ValueError, f"truncated: the file is 4096 bytes, its directory needs {SIZE}"),
    "dead job": (ValueError, "the job stopped before it wrote the molecule"),
    "trailing bytes": (
        ValueError,
        f"not a checkpoint as written: the file is {SIZE + 8} bytes, its header says {SIZE}",
    ),
}


def without_override(argv):
    """`argv` run so that a mode-000 file cannot be opened: root runs it without its capability to
    override file permissions."""
    if os.geteuid() != 0:
        return argv
    if shutil.which("setpriv") is None:
        pytest.skip("running as root without setpriv to drop the permission override")
    return ["setpriv", "--bounding-set=-dac_override,-dac_read_search", *argv]


LOAD = """
import pickle, sys, tesvarin
try:
    tesvarin.load(sys.argv[1])
except tesvarin.ChkError as error:
    again = pickle.loads(pickle.dumps(error))
    print(type(error).__name__, str(error), error.detail.splitlines()[0], repr(error), type(again) is type(error)
          and again.detail == error.detail and str(again) == str(error), sep="\\n")
"""


@pytest.mark.parametrize("case", list(CASES))
def test_load_and_the_command_line_name_the_file_and_what_is_wrong(tmp_path, case):
    builtin, reason = CASES[case]
    name = make(tmp_path, case)
    run = without_override if case == "permission" else list
    loaded = subprocess.run(run([sys.executable, "-c", LOAD, name]), capture_output=True, text=True, cwd=tmp_path)
    kind, text, detail, shown, pickles = loaded.stdout.splitlines()[:5]
    assert text == f"{name}: {reason}"
    assert issubclass(getattr(tesvarin, kind), builtin) and pickles == "True"
    # The reader's own text, as it was, is the detail and is shown by repr().
    assert detail.startswith("Error: ") and "detail='Error: " in shown and text in shown
    done = subprocess.run(
        run([sys.executable, "-m", "tesvarin", "fchk", name]), capture_output=True, text=True, cwd=tmp_path
    )
    assert (done.returncode, done.stderr, done.stdout) == (1, f"tesvarin: {name}: {reason}\n", "")


def test_a_complete_writer_failure_names_the_input(tmp_path):
    water().write(tmp_path / "w.chk")  # the builder's water mixes the version-09 layout with a version text
    done = subprocess.run(
        [sys.executable, "-m", "tesvarin", "fchk", "--strict", "w.chk"], capture_output=True, text=True, cwd=tmp_path
    )
    assert done.returncode == 1 and done.stderr.startswith("tesvarin: w.chk: ")
    assert done.stderr.endswith("; --basic writes the basic file\n") and not (tmp_path / "w.fchk").exists()
