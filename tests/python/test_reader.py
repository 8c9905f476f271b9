"""Paths as open() takes them, exceptions that are also the matching built-in, no descriptor kept."""

import errno
import os
import shutil
import subprocess
import sys
import textwrap
from pathlib import Path

import pytest
import Tesvarin_

from tests.python.chk_builder import water

BLOB = "Error: Can not open/write file: "


@pytest.mark.parametrize("name", ["str", "bytes", "bytearray", "Path", "not utf-8"])
def test_every_entry_point_takes_str_bytes_and_pathlike(tmp_path, name):
    folder = tmp_path / os.fsdecode(b"d\xff") if name == "not utf-8" else tmp_path  # no UTF-8 str spells it
    folder.mkdir(exist_ok=True)
    as_path = {"str": str, "Path": Path, "bytearray": lambda p: bytearray(os.fsencode(p))}.get(name, os.fsencode)
    reader = Tesvarin_.ChkReader_(as_path(water().write(folder / "w.chk")))
    reader.write_fchk(as_path(folder / "w.fchk"))
    reader.write_gjf(as_path(folder / "w.gjf"))
    assert (folder / "w.fchk").read_text().startswith("water test") and (folder / "w.gjf").is_file()


@pytest.mark.parametrize("call", ["ChkReader_", "write_fchk", "write_gjf"])
@pytest.mark.parametrize("path", ["a\0b.chk", b"a\0b.chk"])
def test_a_path_with_a_nul_is_refused_not_cut(tmp_path, monkeypatch, call, path):
    monkeypatch.chdir(tmp_path)
    Path("a").write_bytes(water().build())  # what the path would name if it were cut at the NUL
    with pytest.raises(ValueError, match="embedded null byte"):
        if call == "ChkReader_":
            Tesvarin_.ChkReader_(path)
        else:
            getattr(Tesvarin_.ChkReader_("a"), call)(path)
    assert sorted(os.listdir()) == ["a"]


def permission_case(tmp_path):
    """A path this user may not open: a mode-000 file, or for root a file the kernel refuses to write."""
    if os.geteuid() != 0:
        (tmp_path / "locked.chk").touch(mode=0)
        return "read", str(tmp_path / "locked.chk")
    try:
        open("/sys/kernel/notes", "w").close()
    except PermissionError:
        return "write", "/sys/kernel/notes"
    except OSError:
        pass
    pytest.skip("running as root with no file the kernel refuses to open")


def immutable_case(tmp_path):
    """A file that nobody, root included, may write: the kernel says EPERM."""
    target = tmp_path / "immutable.fchk"
    target.touch()
    if shutil.which("chattr") is None or subprocess.run(["chattr", "+i", str(target)], capture_output=True).returncode:
        pytest.skip("no immutable files here (chattr needs root and a file system that has the attribute)")
    return "write", str(target)


@pytest.fixture(autouse=True)
def mutable_again(tmp_path):
    yield
    if (tmp_path / "immutable.fchk").exists():
        subprocess.run(["chattr", "-i", str(tmp_path / "immutable.fchk")], capture_output=True)


@pytest.mark.parametrize(
    "case, builtin, code",
    [
        ("missing", FileNotFoundError, errno.ENOENT),
        ("directory", IsADirectoryError, errno.EISDIR),
        ("write into missing folder", FileNotFoundError, errno.ENOENT),
        ("permission", PermissionError, errno.EACCES),
        ("immutable", PermissionError, errno.EPERM),
    ],
)
def test_open_failures_are_runtime_errors_and_the_matching_builtin(tmp_path, case, builtin, code):
    action, path = {
        "missing": ("read", str(tmp_path / "missing.chk")),
        "directory": ("read", str(tmp_path)),
        "write into missing folder": ("write", str(tmp_path / "no" / "x.fchk")),
    }.get(case) or (immutable_case(tmp_path) if case == "immutable" else permission_case(tmp_path))
    with pytest.raises(builtin) as info:
        if action == "read":
            Tesvarin_.ChkReader_(path)
        else:
            Tesvarin_.ChkReader_(water().write(tmp_path / "w.chk")).write_fchk(path)
    error = info.value
    assert isinstance(error, RuntimeError) and isinstance(error, Tesvarin_.ChkError)
    assert (error.errno, error.strerror, error.filename) == (code, os.strerror(code), path)
    expected = BLOB + path if action == "read" else "Error: Can not write file: " + path
    assert str(error).startswith(expected + "\n\nSource File:\t")
    assert str(error).split("\nFunction:\t")[1] in (
        "FileSerializer::FileSerializer(const char*, const char*, bool)",
        "void Tesvarin::write_fchk(const string&) const",
    )


def test_a_file_that_is_not_a_checkpoint_is_a_value_error(tmp_path):
    junk = tmp_path / "junk.chk"
    junk.write_bytes(b"\0" * 64)
    with pytest.raises(ValueError) as info:
        Tesvarin_.ChkReader_(junk)
    assert isinstance(info.value, Tesvarin_.ChkFormatError) and isinstance(info.value, RuntimeError)
    assert str(info.value).startswith("Error: Not a valid .chk file") and "\nFunction:\t" in str(info.value)


def test_readers_hold_no_descriptor_after_the_parse(tmp_path):
    chk = water().write(tmp_path / "w.chk")
    script = textwrap.dedent(f"""
        import resource, Tesvarin_
        resource.setrlimit(resource.RLIMIT_NOFILE, (64, resource.getrlimit(resource.RLIMIT_NOFILE)[1]))
        readers = [Tesvarin_.ChkReader_({chk!r}) for _ in range(300)]
        print(len(readers), readers[-1].params.mol.natoms)
    """)
    done = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True)
    assert done.returncode == 0, done.stderr
    assert done.stdout.split() == ["300", "3"]


@pytest.mark.parametrize("first", ["Tesvarin_", "tesvarin", "tesvarin._exceptions"])
def test_one_set_of_exception_classes_whatever_is_imported_first(tmp_path, first):
    script = textwrap.dedent(f"""
        import {first}
        import pickle, Tesvarin_, tesvarin, tesvarin._exceptions
        for cls in tesvarin._exceptions.CLASSES:
            assert getattr(Tesvarin_, cls.__name__) is getattr(tesvarin, cls.__name__) is cls, cls
            assert cls.__module__ == "Tesvarin_", cls
        again = pickle.loads(pickle.dumps(Tesvarin_.ChkPermissionError("text", 13, "f.chk")))
        print(type(again).__name__, str(again), again.errno, again.filename)
    """)
    done = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, cwd=tmp_path)
    assert done.returncode == 0, done.stderr
    assert done.stdout.split() == ["ChkPermissionError", "text", "13", "f.chk"]
