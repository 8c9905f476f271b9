"""The shipped type stubs agree with the module, and type-check a user's script."""

import ast
import os
import subprocess
import sys
from pathlib import Path

import pytest
import Tesvarin_

STUB = Path(Tesvarin_.__file__).parent / "Tesvarin_-stubs" / "__init__.pyi"


def stub_classes():
    tree = ast.parse(STUB.read_text())
    return {node.name: node for node in tree.body if isinstance(node, ast.ClassDef)}


def is_error(name):
    return issubclass(getattr(Tesvarin_, name), BaseException)


def test_stub_is_installed_as_a_stub_package():
    assert STUB.is_file()
    assert (Path(Tesvarin_.__file__).parent / "tesvarin" / "py.typed").is_file()


def test_stub_classes_properties_and_docstrings_match_the_module():
    classes = {name: node for name, node in stub_classes().items() if not is_error(name)}
    assert set(classes) == {name for name, v in vars(Tesvarin_).items() if isinstance(v, type) and not is_error(name)}
    for name, node in classes.items():
        cls = getattr(Tesvarin_, name)
        props = [k for k, v in cls.__dict__.items() if isinstance(v, property)]
        stub_props = [
            f.name
            for f in node.body
            if isinstance(f, ast.FunctionDef)
            and any(isinstance(d, ast.Name) and d.id == "property" for d in f.decorator_list)
        ]
        assert stub_props == props, name
        for f in node.body:
            if isinstance(f, ast.FunctionDef) and f.name in props:
                assert ast.get_docstring(f) == cls.__dict__[f.name].__doc__, (name, f.name)


def test_submodule_stubs_match_the_submodules():
    """Each submodule's classes, properties and docstrings, as its stub file gives them."""
    module = Tesvarin_.records
    tree = ast.parse((STUB.parent / "records.pyi").read_text())
    classes = {node.name: node for node in tree.body if isinstance(node, ast.ClassDef)}
    assert set(classes) == {name for name, v in vars(module).items() if isinstance(v, type)}
    for name, node in classes.items():
        cls = getattr(module, name)
        props = [k for k, v in cls.__dict__.items() if isinstance(v, property)]
        stub = {f.name: ast.get_docstring(f) for f in node.body if isinstance(f, ast.FunctionDef)}
        assert list(stub) == props and all(stub[k] == cls.__dict__[k].__doc__ for k in props), name


def test_stub_exceptions_have_the_module_bases():
    errors = {name: node for name, node in stub_classes().items() if is_error(name)}
    assert set(errors) == {name for name, v in vars(Tesvarin_).items() if isinstance(v, type) and is_error(name)}
    for name, node in errors.items():
        assert [ast.unparse(b) for b in node.bases] == [b.__name__ for b in getattr(Tesvarin_, name).__bases__]


@pytest.mark.parametrize("method", ["__init__", "write_gjf", "write_fchk", "fchk_entries"])
def test_stub_method_arguments_match_the_module(method):
    node = stub_classes()["ChkReader_"]
    stub = next(f for f in node.body if isinstance(f, ast.FunctionDef) and f.name == method)
    keyword_only = ["*"] + [a.arg for a in stub.args.kwonlyargs] if stub.args.kwonlyargs else []
    args = [a.arg for a in stub.args.args[1:]] + keyword_only
    signature = getattr(Tesvarin_.ChkReader_, method).__doc__.splitlines()[0]
    assert [p.split(":")[0].strip() for p in signature.split("(", 1)[1].split(")")[0].split(",")[1:]] == args


CASES = Path(__file__).with_name("typing_cases")


def mypy(script):
    pytest.importorskip("mypy", reason="mypy is in the test extras: pip install .[test]")
    done = subprocess.run(
        [sys.executable, "-m", "mypy", "--strict", "--no-incremental", "--cache-dir", os.devnull, str(CASES / script)],
        capture_output=True,
        text=True,
        cwd=CASES,
    )
    return done.returncode, done.stdout


def test_mypy_strict_accepts_a_user_script_and_reports_every_misuse():
    code, out = mypy("user.py")
    assert code == 0, out
    code, out = mypy("misuse.py")
    lines = (CASES / "misuse.py").read_text().splitlines()
    planted = {n for n, line in enumerate(lines, 1) if line.endswith("# misuse")}
    reported = {int(line.split(":")[1]) for line in out.splitlines() if ": error:" in line}
    assert code == 1 and reported == planted, out
