"""``tesvarin view FILE.chk [--orbital homo] -o view.html``: the molecule with an orbital's isosurfaces or a
density's surface, as one self-contained HTML page to turn and zoom in a browser.

Needs plotly, the view extra (``pip install ".[view]"`` in a clone).
"""

from __future__ import annotations

import argparse

from tesvarin._reasons import os_reason
from tesvarin.cli._inputs import check_input, load_saying_warnings, said
from tesvarin.cli._targets import STDOUT, Failure, Outputs
from tesvarin.cli.cube import grid_option, margin_option, threads_option
from tesvarin.grid.evaluation import DEFAULT_MARGIN
from tesvarin.view.scene import DEFAULT_GRID, DENSITY_ISOVALUE, ORBITAL_ISOVALUE

__all__ = ["add_parser", "run"]


def isovalue_option(text: str) -> float:
    try:
        value = float(text)
    except ValueError:
        value = -1.0
    if not 0 < value < float("inf"):
        raise argparse.ArgumentTypeError(f"a positive number, not {text!r}")
    return value


def add_parser(commands: argparse._SubParsersAction[argparse.ArgumentParser], epilog: str) -> None:
    p = commands.add_parser(
        "view",
        help="write an HTML page that shows an orbital or a density of a checkpoint in 3-D",
        epilog=epilog,
        description="Write one self-contained HTML page (plotly, its JavaScript inlined: no network needed) with the "
        "molecule and an orbital's two isosurfaces (blue positive, red negative) or a density's surface, to turn "
        "and zoom in a browser (needs plotly, the view extra). The page goes beside the input (FILE.html) unless "
        "-o names it. An existing file is kept unless --force is given; an input or any checkpoint is never "
        "replaced.",
    )
    p.add_argument("inputs", nargs=1, metavar="FILE.chk", help="the checkpoint")
    p.add_argument(
        "-o", "--output", metavar="PATH", help="the page (default: FILE.html beside the input; - for standard output)"
    )
    p.add_argument("-f", "--force", action="store_true", help="replace an existing output")
    what = p.add_mutually_exclusive_group()
    what.add_argument(
        "--orbital",
        metavar="NAME",
        help="one orbital: homo (the default), lumo, homo-1, lumo+2, 12 (counted from 1), b12, bhomo",
    )
    what.add_argument(
        "--density",
        metavar="KIND",
        help="a density instead: scf, mp2, cc, ci, ..., orbitals; or spin:KIND, difference:KIND",
    )
    p.add_argument(
        "--isovalue",
        type=isovalue_option,
        metavar="VALUE",
        help=f"where the surfaces lie (default: ±{ORBITAL_ISOVALUE:g} for an orbital, "
        f"{DENSITY_ISOVALUE:g} e/Bohr^3 for a density)",
    )
    p.add_argument(
        "--grid",
        type=grid_option,
        default=DEFAULT_GRID,
        metavar="GRID",
        help=f"coarse, medium, fine or a number of points per side, as for cube (default: {DEFAULT_GRID})",
    )
    p.add_argument(
        "--margin",
        type=margin_option,
        default=DEFAULT_MARGIN,
        metavar="BOHR",
        help=f"space around the atoms on every side, Bohr (default: {DEFAULT_MARGIN:g})",
    )
    p.add_argument(
        "--threads", type=threads_option, default=0, metavar="N", help="threads to evaluate on (default: every core)"
    )


def run(args: argparse.Namespace, path: str, outputs: Outputs) -> None:

    check_input(path)
    out = outputs.path_for(path, args.output, ".html")
    if out != STDOUT:
        outputs.target(out)  # refused, or kept, before the parse
    try:
        cp = load_saying_warnings(path)
        page = cp.view(args.orbital, args.density, args.isovalue, args.grid, args.margin, threads=args.threads)
    except (RuntimeError, ValueError, MemoryError) as error:
        raise Failure(path, said(error, path)) from None
    text = page.html

    def write(temporary: str) -> None:
        with open(temporary, "w", encoding="utf-8") as made:
            made.write(text)

    try:
        outputs.write(path, out, write)
    except BrokenPipeError:
        raise  # the reader of standard output went away: the command ends quietly
    except OSError as error:
        raise Failure(out, os_reason(error)) from None
    if out != STDOUT:
        print(out)
