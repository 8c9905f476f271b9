"""Sphinx configuration of the Tesvarin documentation.

Build (from the project root, after ``pip install ".[docs]"`` or the test extras):

    python -m sphinx -W -n -b html docs docs/_build/html       # the pages, the API and the gallery
    python -m sphinx -W -n -b doctest docs docs/_build/doctest # every Python block of the pages, run

The gallery's examples (docs/examples) and the pages' commands run while the HTML is built, on the
bundled example and on checkpoints the test suite's builder makes (docs/samples.py): every figure is
made by the build.
"""

from __future__ import annotations

import re
import sys
from pathlib import Path

DOCS = Path(__file__).resolve().parent
ROOT = DOCS.parent
for folder in (ROOT, DOCS, DOCS / "_ext"):
    if str(folder) not in sys.path:
        sys.path.insert(0, str(folder))

import tesvarin  # noqa: E402

project = "Tesvarin"
author = "the Tesvarin developers"
copyright = "the Tesvarin developers"
release = version = tesvarin.__version__

extensions = [
    "sphinx.ext.autodoc",
    "sphinx.ext.doctest",
    "myst_parser",
    "sphinx_gallery.gen_gallery",
    "commands",
    "view_page",
]
source_suffix = {".md": "markdown", ".rst": "restructuredtext"}
exclude_patterns = ["_build", "examples", "gallery/*.ipynb", "gallery/*.py", "gallery/*.zip"]
myst_enable_extensions = ["colon_fence", "deflist"]
myst_heading_anchors = 3

html_theme = "furo"
html_title = f"Tesvarin {release}"
html_static_path: list[str] = []

# The API reference: signatures without types (the docstrings say units and shapes), members in
# the order of the source.
autodoc_typehints = "none"
autodoc_member_order = "bysource"
autodoc_default_options = {"members": True, "undoc-members": False}

# Every Python block of the pages runs in the folder of the sample checkpoints.
doctest_global_setup = """
import os
import numpy as np
import tesvarin
import samples
os.chdir(samples.folder())
"""
import doctest as _doctest  # noqa: E402

doctest_default_flags = _doctest.ELLIPSIS | _doctest.NORMALIZE_WHITESPACE | _doctest.DONT_ACCEPT_TRUE_FOR_1
trim_doctest_flags = True

sphinx_gallery_conf = {
    "examples_dirs": "examples",
    "gallery_dirs": "gallery",
    "filename_pattern": r"/plot_",
    "abort_on_example_error": True,
    "only_warn_on_example_error": False,
    "download_all_examples": False,
    "remove_config_comments": True,
    "matplotlib_animations": False,
    "image_scrapers": ("matplotlib",),
    "reference_url": {},
    "show_memory": False,
    "within_subsection_order": "FileNameSortKey",
}

# Names the docstrings use that have no page here (other projects' types; no network to link them).
nitpick_ignore_regex = [
    (r"py:.*", r"(numpy|np|npt|pyarrow|pa|iodata|dask|distributed|plotly|qcelemental|os|collections|typing)\..*"),
    (r"py:.*", r"(FloatArray|IntArray|GridLike|Progress|PathLike|Any|Mapping|Sequence|Callable|Iterable)"),
]


# The docstrings are plain prose for help() and the stubs: a name that ends in "_" (ChkReader_) or a
# formula with bars (|<0|r|n>|^2) means itself, not reStructuredText's reference or substitution.
_TRAILING_UNDERSCORE = re.compile(r"(\w)_(?=[\s.,;:)'\"]|$)")


def _plain(app: object, what: str, name: str, obj: object, options: object, lines: list[str]) -> None:
    for n, line in enumerate(lines):
        parts = line.split("``")
        for k in range(0, len(parts), 2):  # outside inline literals
            parts[k] = _TRAILING_UNDERSCORE.sub(r"\1\\_", parts[k]).replace("|", "\\|")
        lines[n] = "``".join(parts)


def setup(app: object) -> None:
    app.connect("autodoc-process-docstring", _plain)  # type: ignore[attr-defined]
