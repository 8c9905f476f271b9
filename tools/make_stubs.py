"""Regenerates the type stubs python/stubs/Tesvarin_/*.pyi from the built module.

Every class, property, signature and docstring in the stubs comes from `Tesvarin_` itself, through
pybind11-stubgen (pinned in the `test` extra): a docstring is written once, in its binding, and
the types come from the bindings' signatures (python/annotations.hpp names what a plain Python
object stands for). Run from the project root after `pip install .`:

    python -m tools.make_stubs            rewrite python/stubs/Tesvarin_
    python -m tools.make_stubs --check    exit 1 if the committed stubs differ from a fresh generation

Two fixed edits follow the tool's output:
- The exception classes are Python classes (python/tesvarin/_exceptions.py), which the tool reads
  by their values: a class attribute the class annotates gets its annotation instead of its value
  (`detail = None` becomes `detail: str | None`), and one annotated without a value is added after
  the class's docstring (`text: str`).
- The tool writes a submodule's import of the module before `from __future__ import annotations`,
  where Python allows no import; the future import goes first.
"""

import argparse
import inspect
import subprocess
import sys
import tempfile
from pathlib import Path

MODULE = "Tesvarin_"
STUBS = Path(__file__).resolve().parents[1] / "python" / "stubs" / MODULE
FUTURE = "from __future__ import annotations\n"


def annotated_attributes(text, module):
    """`text` with each class attribute that its class annotates written with its annotation."""
    lines = text.splitlines(keepends=True)
    for name, cls in vars(module).items():
        annotations = inspect.get_annotations(cls) if isinstance(cls, type) else {}
        if not annotations:
            continue
        start = next((i for i, line in enumerate(lines) if line.startswith((f"class {name}(", f"class {name}:"))), None)
        if start is None:
            continue
        end = next((i for i in range(start + 1, len(lines)) if not lines[i].startswith((" ", "\n"))), len(lines))
        body = lines[start + 1 : end]
        # The docstring: its opening line, then up to the line that closes it.
        after_doc = body.index('    """\n', 1) + 1 if body and body[0] == '    """\n' else 0
        for attribute, annotation in annotations.items():
            declared = f"    {attribute}: {annotation}\n"
            valued = [i for i, line in enumerate(body) if line.startswith(f"    {attribute} = ")]
            if valued:
                body[valued[0]] = declared
            else:
                body.insert(after_doc, declared)
        lines[start + 1 : end] = body
    return "".join(lines)


def future_first(text):
    if FUTURE not in text:
        return text
    text = text.replace(FUTURE, "", 1)
    docstring_end = text.index('"""\n', text.index('"""') + 3) + 4 if text.startswith('"""') else 0
    return text[:docstring_end] + FUTURE + text[docstring_end:]


def generate():
    """{file name: text} of the stubs, as pybind11-stubgen writes them with the edits above."""
    import importlib

    module = importlib.import_module(MODULE)
    with tempfile.TemporaryDirectory() as out:
        subprocess.run(
            [sys.executable, "-m", "pybind11_stubgen", MODULE, "--exit-code", "--output-dir", out],
            check=True,
            capture_output=True,
            text=True,
        )
        stubs = {}
        for path in sorted((Path(out) / MODULE).glob("*.pyi")):
            namespace = module if path.stem == "__init__" else getattr(module, path.stem)
            stubs[path.name] = future_first(annotated_attributes(path.read_text(), namespace))
        return stubs


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--check", action="store_true", help="compare with the committed stubs; write nothing")
    check = parser.parse_args().check
    fresh = generate()
    committed = {path.name: path.read_text() for path in sorted(STUBS.glob("*.pyi"))}
    if check:
        stale = sorted(name for name in fresh.keys() | committed.keys() if fresh.get(name) != committed.get(name))
        for name in stale:
            print(f"python/stubs/{MODULE}/{name} differs from a fresh generation", file=sys.stderr)
        return 1 if stale else 0
    for name in committed.keys() - fresh.keys():
        (STUBS / name).unlink()
    for name, text in fresh.items():
        (STUBS / name).write_text(text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
