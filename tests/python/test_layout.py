"""How the package is laid out: its import graph, read from the sources, has no circle (imports inside
functions included); Checkpoint's methods are its areas' functions, which take the calls they took."""

import ast
import inspect
import pickle
from pathlib import Path

import pytest
import tesvarin

PACKAGE = Path(__file__).resolve().parents[2] / "python" / "tesvarin"


def _modules(root):
    """{dotted name: (file, is a package)} of every module under `root`."""
    found = {}
    for path in root.rglob("*.py"):
        parts = list(path.relative_to(root.parent).with_suffix("").parts)
        package = parts[-1] == "__init__"
        found[".".join(parts[:-1] if package else parts)] = (path, package)
    return found


def _type_checking(node):
    return isinstance(node, ast.If) and "TYPE_CHECKING" in ast.unparse(node.test)


def import_graph(root):
    """{module: the package's modules it imports}, at module level or inside functions; an `if
    TYPE_CHECKING:` block (its else branch aside) imports nothing when the code runs."""
    modules = _modules(root)
    graph = {}
    for name, (path, package) in modules.items():
        here = name if package else name.rpartition(".")[0]
        found = set()
        stack = [ast.parse(path.read_text())]
        while stack:
            node = stack.pop()
            if _type_checking(node):
                stack += node.orelse
                continue
            if isinstance(node, ast.Import):
                found |= {alias.name for alias in node.names}
            elif isinstance(node, ast.ImportFrom):
                base = here.split(".")[: len(here.split(".")) - node.level + 1] if node.level else []
                source = ".".join(base + ([node.module] if node.module else []))
                # `from a import b` imports the module a.b when there is one, else a name of a.
                found |= {f"{source}.{a.name}" if f"{source}.{a.name}" in modules else source for a in node.names}
            stack += ast.iter_child_nodes(node)
        graph[name] = {m for m in found if m in modules and m != name}
    return graph


def circle(graph):
    """One import circle as [a, b, ..., a], or None."""
    state = {}

    def visit(module, path):
        state[module] = "open"
        for imported in sorted(graph[module]):
            if state.get(imported) == "open":
                return [*path[path.index(imported) :], imported]
            if imported not in state and (found := visit(imported, [*path, imported])):
                return found
        state[module] = "done"
        return None

    return next(filter(None, (visit(m, [m]) for m in sorted(graph) if m not in state)), None)


def test_the_package_has_no_import_circle():
    graph = import_graph(PACKAGE)
    assert {"tesvarin.checkpoint", "tesvarin.loader", "tesvarin.grid.evaluation"} <= graph.keys()
    assert circle(graph) is None


def test_the_record_imports_none_of_its_consumers_at_module_level():
    tree = ast.parse((PACKAGE / "checkpoint.py").read_text())
    imported = {n.module for n in tree.body if isinstance(n, ast.ImportFrom) and n.module.startswith("tesvarin")}
    assert imported <= {"tesvarin._arrays", "tesvarin.unread"}


def test_a_pickle_that_names_the_old_home_of_load_still_loads():
    # Pickles made when `load` lived in tesvarin.checkpoint name it there (protocol 0: GLOBAL, then REDUCE).
    example = Path(__file__).resolve().parents[2] / "examples" / "water.chk"
    old = f"ctesvarin.checkpoint\nload\n(V{example}\nNtR.".encode()
    assert pickle.loads(old).energy == tesvarin.load(example).energy


# Each method of Checkpoint: the area function it calls, and the arguments it takes after the checkpoint,
# positional (or keyword) then keyword-only.
METHODS = {
    "evaluate": ("tesvarin.grid.evaluate", "points what", "derivatives tolerance threads"),
    "potential": ("tesvarin.grid.potential", "points density field", "tolerance threads"),
    "cube": ("tesvarin.grid.cube", "what grid margin", "tolerance threads progress"),
    "harmonic_analysis": ("tesvarin.thermo.harmonic_analysis", "masses", ""),
    "thermochemistry": (
        "tesvarin.thermo.thermochemistry",
        "temperature pressure scale masses symmetry_number quasi_harmonic",
        "",
    ),
    "sticks": ("tesvarin.thermo.sticks", "kind", ""),
    "spectrum": ("tesvarin.spectra.spectrum", "kind fwhm shape grid", "fwhm_ev unit form"),
    "esp_charges": ("tesvarin.charges.esp_charges", "scheme density total_charge dipole resp", "radii point_density"),
    "to_qcschema": ("tesvarin.export.qcschema.to_qcschema", "wavefunction", ""),
    "view": ("tesvarin.view.view", "orbital density isovalue grid margin", "threads"),
}


@pytest.mark.parametrize(("method", "area", "positional", "keywords"), [(k, *v) for k, v in METHODS.items()])
def test_each_method_is_an_area_function_that_takes_the_calls_it_took(method, area, positional, keywords):
    module, _, name = area.rpartition(".")
    function = getattr(__import__(module, fromlist=[name]), name)
    assert f"`{area}`" in getattr(tesvarin.Checkpoint, method).__doc__
    first, *rest = inspect.signature(function).parameters.values()
    assert first.name == "cp"
    assert [p.name for p in rest if p.kind == p.POSITIONAL_OR_KEYWORD] == positional.split()
    assert set(keywords.split()) <= {p.name for p in rest if p.kind == p.KEYWORD_ONLY}


# Small packages, each a {file: source}, and whether their imports close a circle.
PACKAGES = {
    "inside a function": ({"a.py": "def f():\n    from pkg import b\n", "b.py": "import pkg.a\n"}, True),
    "relative, from the package": ({"a.py": "from . import b\n", "b.py": "from .a import x\n"}, True),
    "relative, one level up": (
        {"sub/__init__.py": "", "sub/c.py": "from ..a import x\n", "a.py": "import pkg.sub.c\n"},
        True,
    ),
    "a name, not a module": ({"__init__.py": "from pkg.a import x\n", "a.py": "from pkg import __version__\n"}, True),
    "under TYPE_CHECKING": ({"a.py": "if TYPE_CHECKING:\n    import pkg.b\n", "b.py": "import pkg.a\n"}, False),
    "its else branch runs": (
        {"a.py": "if TYPE_CHECKING:\n    pass\nelse:\n    import pkg.b\n", "b.py": "import pkg.a\n"},
        True,
    ),
    "one way only": ({"a.py": "import pkg.b\nimport numpy\n", "b.py": "from pkg import c\n", "c.py": ""}, False),
}


@pytest.mark.parametrize(("files", "closed"), PACKAGES.values(), ids=PACKAGES.keys())
def test_the_graph_finds_every_kind_of_import(tmp_path, files, closed):
    root = tmp_path / "pkg"
    for name, source in {"__init__.py": "", **files}.items():
        (root / name).parent.mkdir(parents=True, exist_ok=True)
        (root / name).write_text(source)
    assert (circle(import_graph(root)) is not None) == closed
