"""Writes the 3-D view of the bundled example's HOMO into the built site, as ``water_homo.html``.

The page is what ``tesvarin view examples/water.chk`` writes; the start page links to it.
"""

from __future__ import annotations

from pathlib import Path

from sphinx.application import Sphinx

NAME = "water_homo.html"


def write_view(app: Sphinx, exception: Exception | None) -> None:
    if exception is not None or app.builder.format != "html":
        return
    import tesvarin

    root = Path(app.confdir).parent
    tesvarin.load(root / "examples" / "water.chk").view("homo").write(Path(app.outdir) / NAME)


def setup(app: Sphinx) -> dict[str, object]:
    app.connect("build-finished", write_view)
    return {"parallel_read_safe": True, "parallel_write_safe": True}
