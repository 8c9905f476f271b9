"""The shipped type stubs agree with the module, and type-check a user's script."""

import ast
import inspect
import os
import subprocess
import sys
import types
from pathlib import Path

import numpy as np
import pytest
import Tesvarin_

# The installed stub package, or the source tree's stubs when the module runs from a build tree.
INSTALLED = Path(Tesvarin_.__file__).parent / "Tesvarin_-stubs"
SOURCE = Path(__file__).resolve().parents[2] / "python" / "stubs" / "Tesvarin_"
STUBS = INSTALLED if INSTALLED.is_dir() else SOURCE
SUBMODULES = sorted(name for name, v in vars(Tesvarin_).items() if isinstance(v, types.ModuleType))
MODULES = ["Tesvarin_", *(f"Tesvarin_.{name}" for name in SUBMODULES)]


def module(name):
    return Tesvarin_ if name == "Tesvarin_" else getattr(Tesvarin_, name.split(".")[1])


def stub_tree(name):
    return ast.parse((STUBS / ("__init__.pyi" if name == "Tesvarin_" else name.split(".")[1] + ".pyi")).read_text())


def stub_classes(name="Tesvarin_"):
    return {node.name: node for node in stub_tree(name).body if isinstance(node, ast.ClassDef)}


def is_error(name):
    return issubclass(getattr(Tesvarin_, name), BaseException)


def test_the_module_namespace_is_its_docstring_three_classes_the_errors_then_submodules():
    names = list(vars(Tesvarin_))
    public = [n for n in names if not n.startswith("__")]
    assert names.index("__doc__") < names.index("ChkParams")
    assert public[:3] == ["ChkParams", "Mol", "ChkReader_"]
    errors = [n for n in public[3:] if isinstance(getattr(Tesvarin_, n), type)]
    assert errors == public[3 : 3 + len(errors)] and all(is_error(n) for n in errors) and "ChkError" in errors
    rest = public[3 + len(errors) :]
    assert sorted(rest) == SUBMODULES and {"records", "thermo", "grid"} <= set(rest)
    for name in MODULES[1:]:
        sub = module(name)
        assert sub.__name__ == name and sub.__doc__ and sys.modules[name] is sub
        for value in vars(sub).values():
            if isinstance(value, type):
                assert value.__module__ == name, value


def test_committed_stubs_equal_a_fresh_generation_from_the_module():
    pytest.importorskip("pybind11_stubgen", reason="pybind11-stubgen is in the test extras: pip install .[test]")
    from tools import make_stubs

    fresh = make_stubs.generate()
    assert sorted(fresh) == sorted(p.name for p in SOURCE.glob("*.pyi"))
    for name, text in fresh.items():
        assert (SOURCE / name).read_text() == text, f"{name} is stale: python -m tools.make_stubs"


def test_stub_is_installed_as_a_stub_package():
    if not INSTALLED.is_dir():
        pytest.skip("Tesvarin_ runs from a build tree: its stubs are not installed beside it")
    assert sorted(p.name for p in INSTALLED.glob("*.pyi")) == sorted(p.name for p in SOURCE.glob("*.pyi"))
    assert (Path(Tesvarin_.__file__).parent / "tesvarin" / "py.typed").is_file()


@pytest.mark.parametrize("name", MODULES)
def test_stub_classes_properties_and_docstrings_match_the_module(name):
    mod = module(name)
    if name != "Tesvarin_":
        assert ast.get_docstring(stub_tree(name)) == mod.__doc__
    classes = {n: node for n, node in stub_classes(name).items() if not (name == "Tesvarin_" and is_error(n))}
    assert set(classes) == {
        n for n, v in vars(mod).items() if isinstance(v, type) and not (name == "Tesvarin_" and is_error(n))
    }
    for cname, node in classes.items():
        cls = getattr(mod, cname)
        props = [k for k, v in cls.__dict__.items() if isinstance(v, property)]
        stub_props = [
            f.name
            for f in node.body
            if isinstance(f, ast.FunctionDef)
            and any(isinstance(d, ast.Name) and d.id == "property" for d in f.decorator_list)
        ]
        # The generated stubs list a class's members by name.
        assert stub_props == sorted(props), cname
        for f in node.body:
            if isinstance(f, ast.FunctionDef) and f.name in props:
                assert ast.get_docstring(f) == cls.__dict__[f.name].__doc__, (cname, f.name)


def top_level(text):
    """The comma-separated parts of `text` outside brackets."""
    parts, depth, start = [], 0, 0
    for i, c in enumerate(text):
        depth += (c in "([{") - (c in ")]}")
        if c == "," and depth == 0:
            parts.append(text[start:i])
            start = i + 1
    return [p for p in [*parts, text[start:]] if p.strip()]


@pytest.mark.parametrize("name", MODULES)
def test_stub_functions_arguments_and_docstrings_match_the_module(name):
    mod = module(name)
    functions = {n: v for n, v in vars(mod).items() if callable(v) and not isinstance(v, type)}
    stubs = {node.name: node for node in stub_tree(name).body if isinstance(node, ast.FunctionDef)}
    assert set(stubs) == set(functions)
    for fname, node in stubs.items():
        signature, _, doc = functions[fname].__doc__.partition("\n")
        args = [a.arg for a in node.args.args]
        args += ["*"] + [a.arg for a in node.args.kwonlyargs] if node.args.kwonlyargs else []
        params = [p.split(":")[0].strip() for p in top_level(signature.split("(", 1)[1].rsplit(") ->", 1)[0])]
        assert params == args, fname
        assert inspect.cleandoc(doc) == ast.get_docstring(node), fname


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
        env={**os.environ, "MYPYPATH": str(SOURCE.parent)} if STUBS == SOURCE else None,
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


DOC = '    """\n    Doc.\n    """\n'


@pytest.mark.parametrize(
    ("generated", "expected"),
    [
        ('"""Doc."""\nimport Tesvarin_\nfrom __future__ import annotations\nimport os\n',
         '"""Doc."""\nfrom __future__ import annotations\nimport Tesvarin_\nimport os\n'),
        ("import os\n", "import os\n"),
        (f"class ChkError(RuntimeError):\n{DOC}    detail = None\n    def f(self) -> str:\n",
         f"class ChkError(RuntimeError):\n{DOC}    detail: str | None\n    def f(self) -> str:\n"),
        (f"class ChkOSError(ChkError, OSError):\n{DOC}    def f(self) -> str:\nclass Other:\n",
         f"class ChkOSError(ChkError, OSError):\n{DOC}    text: str\n    def f(self) -> str:\nclass Other:\n"),
    ],
)  # fmt: skip
def test_the_generators_edits_put_the_future_import_first_and_annotate_the_exceptions(generated, expected):
    pytest.importorskip("pybind11_stubgen", reason="pybind11-stubgen is in the test extras: pip install .[test]")
    from tools import make_stubs

    assert make_stubs.future_first(make_stubs.annotated_attributes(generated, Tesvarin_)) == expected


EXAMPLE = Path(__file__).resolve().parents[2] / "examples" / "water.chk"


@pytest.mark.parametrize(
    ("call", "error", "text"),
    [
        (lambda r: Tesvarin_.ChkReader_(3), TypeError, "expected str, bytes or os.PathLike object, not int"),
        (lambda r: Tesvarin_.ChkReader_(None), RuntimeError, "the checkpoint path is None"),
        (lambda r: Tesvarin_.ChkReader_.partial(2.0), TypeError, "not float"),
        (lambda r: r.write_gjf([]), TypeError, "not list"),
        (lambda r: r.params.mol.total_density(1.5), TypeError, "density kind: an int 0..8"),
        (lambda r: r.params.mol.spin_density(None), TypeError, "density kind: an int 0..8"),
        (lambda r: Tesvarin_.charges.fit([[0, 0, 0]], [[1, 0, 0]], "x"), TypeError, "incompatible function arguments"),
    ],
)
def test_arguments_typed_for_the_stubs_are_still_checked_by_the_binding(call, error, text):
    with pytest.raises(error, match=text):
        call(Tesvarin_.ChkReader_(str(EXAMPLE)))


def test_typed_arguments_take_what_they_name():
    reader = Tesvarin_.ChkReader_(os.fsencode(EXAMPLE))
    assert Tesvarin_.ChkReader_(bytearray(os.fsencode(EXAMPLE))).params.mol.natoms == 3
    assert reader.params.mol.total_density("SCF") is not None
    points = [[3.0, 0.0, 0.0], [0.0, 3.0, 0.0], [0.0, 0.0, 3.0], [-3.0, 0.0, 0.0]]
    atoms = [[0.0, 0.0, 0.0]]
    as_list = Tesvarin_.charges.fit(atoms, points, [0.1, 0.1, 0.1, 0.1])
    as_array = Tesvarin_.charges.fit(atoms, points, np.full(4, 0.1))
    assert as_list["charges"].tolist() == as_array["charges"].tolist()
    # A progress function's value is ignored, as the stubs' Callable[[float], Any] says.
    values = Tesvarin_.grid.evaluate_density(reader, points, 0, progress=lambda fraction: "ignored")
    assert values.shape[0] == 4
