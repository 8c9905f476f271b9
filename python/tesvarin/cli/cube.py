"""``tesvarin cube``: an orbital or a density of each checkpoint on a grid, as a Gaussian cube file."""

from __future__ import annotations

import argparse
import sys
import time
from collections.abc import Callable

from Tesvarin_ import ChkReader_

from tesvarin.grid.cube_file import write_file
from tesvarin.grid.evaluation import DEFAULT_MARGIN, GRIDS, cube

__all__ = ["add_options", "write_cube"]

# A progress line is shown on a terminal once the work has taken this long.
PROGRESS_AFTER = 0.5


def add_options(parser: argparse.ArgumentParser) -> None:
    """The cube subcommand's own options."""
    what = parser.add_mutually_exclusive_group()
    what.add_argument(
        "--mo",
        metavar="LIST",
        help="orbitals, comma-separated: homo, lumo, homo-1, lumo+2, 12, 10-15, with an a or b "
        "prefix for alpha or beta (a12, b12, bhomo); several go into one file, orbital fastest",
    )
    what.add_argument(
        "--density",
        metavar="KIND",
        help="the total density from the stored matrix of KIND: scf, mp2, cc, ci, mp3, mp4, psi(1), "
        "'ci rho(1)', '2nd order', or 'orbitals' for the occupied orbitals (default: the SCF "
        "matrix when stored, else the orbitals)",
    )
    what.add_argument("--spin", metavar="KIND", help="the spin density (alpha minus beta), KIND as for --density")
    parser.add_argument(
        "--grid",
        default="medium",
        metavar="GRID",
        help=f"coarse, medium or fine ({', '.join(f'{p:g}' for p in GRIDS.values())} points per "
        "Bohr) or a number of points per side (default: medium)",
    )
    parser.add_argument(
        "--margin",
        type=float,
        default=DEFAULT_MARGIN,
        metavar="BOHR",
        help=f"space around the atoms on every side, Bohr (default: {DEFAULT_MARGIN:g})",
    )
    parser.add_argument(
        "--threads", type=int, default=0, metavar="N", help="threads to evaluate on (default: every core)"
    )


def _what(args: argparse.Namespace) -> str:
    if args.mo is not None:
        return str(args.mo)
    if args.spin is not None:
        return "spin" + (f":{args.spin}" if args.spin else "")
    return "density" + (f":{args.density}" if args.density else "")


def _progress(label: str) -> Callable[[float], None] | None:
    """A percentage on standard error, only on a terminal and only for work that takes a while."""
    if not sys.stderr.isatty():
        return None
    start = time.monotonic()
    shown = False

    def show(fraction: float) -> None:
        nonlocal shown
        if time.monotonic() - start < PROGRESS_AFTER and not shown:
            return
        shown = True
        end = "\n" if fraction >= 1.0 else ""
        print(f"\r{label}: {100 * fraction:3.0f}%", end=end, file=sys.stderr, flush=True)

    return show


def write_cube(reader: ChkReader_, path: str, args: argparse.Namespace) -> None:
    """Evaluates what the options ask for and writes the cube file at `path`."""
    grid: str | int = args.grid
    if isinstance(grid, str) and grid.lower() not in GRIDS:
        try:
            grid = int(grid)
        except ValueError:
            raise RuntimeError(f"--grid {args.grid}: coarse, medium, fine or a number of points per side") from None
    if args.threads < 0:
        raise RuntimeError("--threads must be 0 (every core) or more")
    try:
        result = cube(reader, _what(args), grid, args.margin, threads=args.threads, progress=_progress("cube"))
    except ValueError as error:
        raise RuntimeError(str(error)) from None
    write_file(result, path)
