"""Optional dependencies: imported where used, and when missing, said with the extra that brings them.

The command that installs an extra is the one that works where tesvarin came from: the package is
not on an index, so from a clone (or a wheel built from one) the extra is named on the clone's
folder; otherwise the extra's own packages, as the package's metadata lists them.
"""

from __future__ import annotations

import importlib
import json
import os
import re
from importlib import metadata
from pathlib import Path
from types import ModuleType
from urllib.parse import unquote, urlparse


def require(module: str, extra: str, what: str) -> ModuleType:
    """Imports an optional dependency, or says which extra brings it."""
    try:
        return importlib.import_module(module)
    except ImportError as error:
        raise ImportError(missing(what, module.split(".")[0], extra)) from error


def _clone() -> Path | None:
    """The source folder tesvarin runs from or was installed from, when it is still there."""
    here = Path(__file__).resolve().parents[2]  # python/tesvarin/_optional.py in a clone
    if (here / "pyproject.toml").is_file() and (here / "python" / "tesvarin").is_dir():
        return here
    try:
        origin = json.loads(metadata.distribution("tesvarin").read_text("direct_url.json") or "{}")
    except (metadata.PackageNotFoundError, ValueError):
        return None
    url = urlparse(origin.get("url", ""))
    if "dir_info" not in origin or url.scheme != "file":
        return None
    folder = Path(unquote(url.path))
    return folder if (folder / "pyproject.toml").is_file() else None


def _packages(extra: str) -> list[str]:
    """The requirements the metadata lists for `extra`, as names pip takes."""
    try:
        requires = metadata.requires("tesvarin") or []
    except metadata.PackageNotFoundError:
        return []
    marker = re.compile(r"""extra\s*==\s*["']""" + re.escape(extra) + """["']""")
    return [r.split(";")[0].strip() for r in requires if marker.search(r)]


def install_command(extra: str, module: str) -> str:
    """`pip install ...` that brings `extra` (whose import name is `module`) where the user is."""
    clone = _clone()
    if clone is not None:
        where = "." if Path(os.getcwd()).resolve() == clone else str(clone)
        return f'pip install "{where}[{extra}]"'
    return "pip install " + " ".join(
        f'"{p}"' if "[" in p or "<" in p or ">" in p else p for p in _packages(extra) or [module]
    )


def missing(what: str, module: str, extra: str) -> str:
    """The message for `what` without its optional dependency `module`."""
    return f"{what} needs {module}: {install_command(extra, module)}"
