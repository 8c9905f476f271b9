"""The 3-D view of a checkpoint: the molecule with an orbital's two isosurfaces or a density's surface.

The page is one HTML file made by plotly with its JavaScript inlined, so it opens with no network;
plotly's isosurface trace draws the surfaces from the grid's values in the browser, which the user
can turn and zoom. Lengths on the page are in Angstrom.
"""

from __future__ import annotations

import html
import os
from dataclasses import dataclass
from typing import TYPE_CHECKING, Any

import numpy as np

from tesvarin._arrays import BOHR_TO_ANGSTROM, FloatArray
from tesvarin._optional import missing
from tesvarin.grid.evaluation import DEFAULT_MARGIN, grid_size
from tesvarin.grid.memory import too_large
from tesvarin.safe_write import write_replacing

if TYPE_CHECKING:
    from tesvarin.checkpoint import Checkpoint
    from tesvarin.grid.evaluation import Cube, GridLike

__all__ = ["DEFAULT_GRID", "DENSITY_ISOVALUE", "ORBITAL_ISOVALUE", "View", "view"]

DEFAULT_GRID = "coarse"
"""3 points per Bohr: smooth surfaces for a picture, and a page of a few megabytes."""
ORBITAL_ISOVALUE = 0.02
"""(e/Bohr^3)^(1/2): the lobes drawn by most viewers by default."""
DENSITY_ISOVALUE = 0.001
"""e/Bohr^3: close to the molecule's van der Waals surface."""
# The grid's values, their coordinates and the JSON around them: what the page holds per grid point
# in memory while it is made, in doubles.
VALUES_PER_POINT = 4
POSITIVE, NEGATIVE, DENSITY = "#1f5fbf", "#d62728", "#7f9fbf"
# CPK-like colours and drawn radii (Angstrom) of the common elements; the rest are pink and 0.35.
ELEMENTS = {
    1: ("#f2f2f2", 0.25),
    5: ("#ffb5b5", 0.35),
    6: ("#505050", 0.35),
    7: ("#3050f8", 0.35),
    8: ("#ff0d0d", 0.35),
    9: ("#90e050", 0.3),
    15: ("#ff8000", 0.4),
    16: ("#e0c000", 0.4),
    17: ("#1ff01f", 0.4),
    35: ("#a62929", 0.45),
}


@dataclass(frozen=True, eq=False)
class View:
    """An interactive picture of a checkpoint; `html` is the whole self-contained page."""

    figure: Any
    """The `plotly.graph_objects.Figure`."""
    title: str
    """What the page shows, as its heading says."""

    @property
    def html(self) -> str:
        """The page: one HTML document with plotly's JavaScript inlined (no network needed)."""
        text: str = self.figure.to_html(
            include_plotlyjs=True,
            full_html=True,
            config={"displaylogo": False},
            div_id="tesvarin-view",
            default_height="96vh",
        )
        return text.replace("<head>", f"<head><title>{_escape(self.title)}</title>", 1)

    def write(self, path: str | os.PathLike[str], *, replace: bool = True) -> None:
        """Writes the page: to a temporary file beside `path`, renamed into place once complete. Without
        `replace` an existing file is kept and FileExistsError raised."""
        page = self.html

        def write(temporary: str) -> None:
            with open(temporary, "w", encoding="utf-8") as out:
                out.write(page)

        write_replacing(os.fspath(path), write, replace=replace)

    def _repr_html_(self) -> str:
        text: str = self.figure.to_html(include_plotlyjs=True, full_html=False, config={"displaylogo": False})
        return text


def _escape(text: str) -> str:
    return html.escape(text, quote=True)


def _what(orbital: str | int | None, density: str | None) -> tuple[str, bool]:
    """The grid's `what` text and whether it names an orbital."""
    if orbital is not None and density is not None:
        raise ValueError("a view shows an orbital or a density, not both")
    if density is None:
        return str("homo" if orbital is None else orbital), True
    head = density.strip().lower().partition(":")[0]
    if head in ("density", "spin", "alpha", "beta", "difference"):
        return density, False
    return f"density:{density}", False


def view(
    cp: Checkpoint,
    orbital: str | int | None = None,
    density: str | None = None,
    isovalue: float | None = None,
    grid: GridLike = DEFAULT_GRID,
    margin: float = DEFAULT_MARGIN,
    *,
    threads: int | None = None,
) -> View:
    """The molecule of `cp` with an orbital's isosurfaces at +/- `isovalue` (blue positive, red negative) or
    a density's surface at `isovalue` (and its negative one, for a spin or difference density that has
    one). `orbital` names one orbital as the cube does ("homo", "lumo+1", "b12", or its number counted from 1
    as the program prints it; the HOMO when neither is given); `density` a stored density ("scf", "mp2",
    "spin:scf", "difference:ci", ...). The grid and margin are the cube's (Bohr); a grid whose values would
    not fit in memory is refused before any is evaluated. ValueError says what the checkpoint lacks."""
    try:
        import plotly.graph_objects as go  # type: ignore[import-untyped,import-not-found,unused-ignore]
    except ImportError:
        raise RuntimeError(missing("the view", "plotly", "view")) from None
    what, is_orbital = _what(orbital, density)
    level = (ORBITAL_ISOVALUE if is_orbital else DENSITY_ISOVALUE) if isovalue is None else float(isovalue)
    if not np.isfinite(level) or level <= 0:
        raise ValueError(f"the isovalue must be a positive number, not {isovalue!r}")
    cp._needs("orbitals", "densities")
    points, count = grid_size(cp, what, grid, margin)
    if is_orbital and count != 1:
        raise ValueError(f"a view shows one orbital; {what!r} names {count}")
    problem = too_large(points, count * VALUES_PER_POINT)
    if problem:
        raise ValueError(f"{problem}; a coarser grid or a smaller margin needs less")
    result = cp.cube(what, grid, margin, threads=threads)
    traces = _surfaces(go, result, level, is_orbital) + _molecule(go, cp)
    title = _title(cp, result, what, level, is_orbital)
    figure = go.Figure(traces)
    hidden = {"visible": False}
    figure.update_layout(
        title={"text": _escape(title), "x": 0.01, "xanchor": "left"},
        showlegend=False,
        margin={"l": 0, "r": 0, "t": 40, "b": 0},
        paper_bgcolor="white",
        scene={
            "xaxis": hidden,
            "yaxis": hidden,
            "zaxis": hidden,
            "aspectmode": "data",
            "camera": {"eye": {"x": 0.9, "y": 0.9, "z": 0.6}},
        },
    )
    return View(figure, title)


def _title(cp: Checkpoint, result: Cube, what: str, level: float, is_orbital: bool) -> str:
    name = f"{os.path.basename(cp.path)}: {cp.formula} {cp.method}/{cp.basis_name}"
    if is_orbital:
        number = result.orbitals[0] if result.orbitals else 0
        return f"{name}, orbital {what} (number {number}), isovalue ±{level:g}"
    return f"{name}, {result.comment}, isovalue {level:g} e/Bohr³"


def _surfaces(go: Any, result: Cube, level: float, is_orbital: bool) -> list[Any]:
    """One isosurface trace per sign that the values reach."""
    values = np.asarray(result.values, dtype=np.float64)
    values = values[..., 0] if values.ndim == 4 else values
    nx, ny, nz = values.shape
    i, j, k = np.meshgrid(np.arange(nx), np.arange(ny), np.arange(nz), indexing="ij")
    steps = np.stack([i.ravel(), j.ravel(), k.ravel()], axis=1).astype(np.float64)
    xyz: FloatArray = (result.origin + steps @ result.axes) * BOHR_TO_ANGSTROM
    flat = values.ravel()
    signs = [(level, POSITIVE if is_orbital else DENSITY)]
    if is_orbital or flat.min() < -level:
        signs.append((-level, NEGATIVE))
    traces = []
    for value, colour in signs:
        traces.append(
            go.Isosurface(
                x=xyz[:, 0].astype(np.float32),
                y=xyz[:, 1].astype(np.float32),
                z=xyz[:, 2].astype(np.float32),
                value=flat.astype(np.float32),
                isomin=value,
                isomax=value,
                surface={"count": 1},
                caps={"x": {"show": False}, "y": {"show": False}, "z": {"show": False}},
                colorscale=[[0, colour], [1, colour]],
                showscale=False,
                opacity=0.6,
                hoverinfo="skip",
            )
        )
    return traces


def _bond_pairs(cp: Checkpoint) -> list[tuple[int, int]]:
    """The bonds the checkpoint stores, else those of the atoms' covalent radii."""
    if cp.bonds is not None and len(cp.bonds):
        return [(int(a), int(b)) for a, b, _ in cp.bonds]
    from tesvarin.charges import _bonds

    bonded = np.triu(_bonds(list(cp.atomic_numbers), cp.coordinates))
    return [(int(a), int(b)) for a, b in zip(*np.nonzero(bonded), strict=True)]


def _molecule(go: Any, cp: Checkpoint) -> list[Any]:
    """The bonds as grey lines and the atoms as balls coloured by element."""
    xyz = np.asarray(cp.coordinates, dtype=np.float64) * BOHR_TO_ANGSTROM
    traces = []
    pairs = _bond_pairs(cp)
    if pairs:
        line = np.full((3 * len(pairs), 3), np.nan)  # a break after each bond
        for n, (a, b) in enumerate(pairs):
            line[3 * n], line[3 * n + 1] = xyz[a], xyz[b]
        traces.append(
            go.Scatter3d(
                x=line[:, 0],
                y=line[:, 1],
                z=line[:, 2],
                mode="lines",
                line={"color": "#808080", "width": 8},
                hoverinfo="skip",
            )
        )
    style = [ELEMENTS.get(int(z), ("#ff1493", 0.35)) for z in cp.atomic_numbers]
    traces.append(
        go.Scatter3d(
            x=xyz[:, 0],
            y=xyz[:, 1],
            z=xyz[:, 2],
            mode="markers",
            marker={
                "color": [colour for colour, _ in style],
                "size": [40 * radius for _, radius in style],
                "line": {"color": "#303030", "width": 1},
            },
            text=[f"{symbol} {n + 1}" for n, symbol in enumerate(cp.symbols)],
            hoverinfo="text",
        )
    )
    return traces
