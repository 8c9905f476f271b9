"""``tesvarin cube``: an orbital, a density or the electrostatic potential of each checkpoint on a grid, as a
Gaussian cube file, or the potential at a list of points in cubegen's list layout."""

from __future__ import annotations

import argparse
import math
import os
import sys
import time
from collections.abc import Callable
from typing import TYPE_CHECKING

from tesvarin._arrays import BOHR_TO_ANGSTROM
from tesvarin.grid.cube_file import write_file
from tesvarin.grid.evaluation import (
    DEFAULT_ACCURACY,
    DEFAULT_MARGIN,
    GRIDS,
    coefficient_cube,
    cube,
    grid_size,
    potential,
    potential_comment,
    title,
)
from tesvarin.grid.memory import too_large
from tesvarin.grid.point_list import read_points, write_point_list

if TYPE_CHECKING:
    from tesvarin.checkpoint import Checkpoint

__all__ = ["add_options", "write_cube"]

# A progress line is shown on a terminal once the work has taken this long.
PROGRESS_AFTER = 0.5


def grid_option(text: str) -> str | int:
    """--grid: a named grid or a number of points per side that fits in memory."""
    if text.lower() in GRIDS:
        return text.lower()
    try:
        points = int(text)
    except ValueError:
        raise argparse.ArgumentTypeError(f"coarse, medium, fine or a number of points per side, not {text!r}") from None
    if points < 2:
        raise argparse.ArgumentTypeError(f"a grid needs at least 2 points per side, not {points}")
    problem = too_large(points**3, 1)
    if problem:
        raise argparse.ArgumentTypeError(f"{points} per side: {problem}")
    return points


def _finite_non_negative(text: str, unit: str) -> float:
    try:
        value = float(text)
    except ValueError:
        value = math.nan
    if not math.isfinite(value) or value < 0:
        raise argparse.ArgumentTypeError(f"a finite number of {unit}, zero or more, not {text!r}")
    return value


def margin_option(text: str) -> float:
    return _finite_non_negative(text, "Bohr")


def accuracy_option(text: str) -> float:
    return _finite_non_negative(text, "Hartree/e")


def threads_option(text: str) -> int:
    try:
        value = int(text)
    except ValueError:
        value = -1
    if value < 0:
        raise argparse.ArgumentTypeError(f"0 (every core) or more, not {text!r}")
    return value


def _positive(text: str) -> int:
    try:
        value = int(text)
    except ValueError:
        value = 0
    if value < 1:
        raise argparse.ArgumentTypeError(f"a number from 1, not {text!r}")
    return value


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
    what.add_argument(
        "--potential",
        nargs="?",
        const="",
        metavar="KIND",
        help="the electrostatic potential (Hartree/e) of the nuclei and the total density of KIND, as for "
        "--density (default: scf)",
    )
    parser.add_argument(
        "--natural-orbital",
        type=_positive,
        metavar="N",
        help="the N-th natural orbital (from 1, largest occupation first) of the total density that --density "
        "names (default: scf)",
    )
    parser.add_argument(
        "--points",
        metavar="POINTS.txt",
        help="with --potential: the potential at the points of this file (x y z per line) instead of on a "
        "grid, written in cubegen's list layout (x y z V per point)",
    )
    parser.add_argument(
        "--points-unit",
        choices=("angstrom", "bohr"),
        default="angstrom",
        help="the unit of the coordinates in --points, kept in the output (default: angstrom, as cubegen)",
    )
    parser.add_argument(
        "--grid",
        type=grid_option,
        default="medium",
        metavar="GRID",
        help=f"coarse, medium or fine ({', '.join(f'{p:g}' for p in GRIDS.values())} points per "
        "Bohr) or a number of points per side (default: medium)",
    )
    parser.add_argument(
        "--margin",
        type=margin_option,
        default=DEFAULT_MARGIN,
        metavar="BOHR",
        help=f"space around the atoms on every side, Bohr (default: {DEFAULT_MARGIN:g})",
    )
    parser.add_argument(
        "--accuracy",
        type=accuracy_option,
        default=DEFAULT_ACCURACY,
        metavar="HARTREE",
        help=f"with --potential: what the far field may move a value by, Hartree/e (default {DEFAULT_ACCURACY:g}; "
        "0 sums every charge distribution exactly)",
    )
    parser.add_argument(
        "--threads", type=threads_option, default=0, metavar="N", help="threads to evaluate on (default: every core)"
    )


def _what(args: argparse.Namespace) -> str:
    if args.potential is not None:
        return "potential" + (f":{args.potential}" if args.potential else "")
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


def write_cube(cp: Checkpoint, path: str, args: argparse.Namespace) -> None:
    """Evaluates what the options ask for and writes the cube file at `path`. ValueError says what the
    checkpoint lacks or what its grid would need."""
    if args.threads < 0:
        raise ValueError("--threads must be 0 (every core) or more")
    if args.points is not None:
        _write_point_list(cp, path, args)
        return
    if args.natural_orbital is not None:
        _write_natural_orbital(cp, path, args)
        return
    what = _what(args)
    try:
        points, per_point = grid_size(cp, what, args.grid, args.margin)
        problem = too_large(points, per_point)
        if problem:
            raise ValueError(f"{problem}; a coarser --grid or a smaller --margin needs less")
        result = cube(
            cp, what, args.grid, args.margin, accuracy=args.accuracy, threads=args.threads, progress=_progress("cube")
        )
    except MemoryError:
        raise ValueError("the grid's values do not fit in the memory free now; a coarser --grid needs less") from None
    except ValueError as error:
        raise ValueError(_with_advice(str(error), args)) from None
    write_file(result, path)


def _write_natural_orbital(cp: Checkpoint, path: str, args: argparse.Namespace) -> None:
    """The natural orbital of --natural-orbital of the density of --density."""
    from tesvarin.orbitals import natural_orbitals

    if args.mo is not None or args.spin is not None or args.potential is not None:
        raise ValueError("--natural-orbital takes the density from --density, not --mo, --spin or --potential")
    kind = args.density or "scf"
    try:
        found = natural_orbitals(cp, kind)
    except ValueError as error:  # said once: the command names the file
        raise ValueError(str(error).removeprefix(os.path.basename(cp.path) + " ")) from None
    n = args.natural_orbital
    if n > len(found.occupations):
        raise ValueError(f"--natural-orbital {n}: the {kind.upper()} density has {len(found.occupations)}")
    problem = too_large(grid_size(cp, "density:orbitals", args.grid, args.margin)[0], 1)
    if problem:
        raise ValueError(f"{problem}; a coarser --grid or a smaller --margin needs less")
    comment = f"Natural orbital {n} of the {kind.upper()} density, occupation {found.occupations[n - 1]:.6f}"
    result = coefficient_cube(
        cp,
        found.coefficients[n - 1 : n],
        (n,),
        comment,
        args.grid,
        args.margin,
        threads=args.threads,
        progress=_progress("cube"),
    )
    write_file(result, path)


def _write_point_list(cp: Checkpoint, path: str, args: argparse.Namespace) -> None:
    """The potential at the points of --points, in cubegen's list layout."""
    if args.potential is None:
        raise RuntimeError("--points lists the potential only: add --potential [KIND]")
    try:
        points = read_points(args.points, args.points_unit)
    except OSError as error:
        raise RuntimeError(f"--points {args.points}: {error.strerror or error}") from None
    except ValueError as error:
        raise RuntimeError(str(error)) from None
    to_bohr = 1.0 / BOHR_TO_ANGSTROM if args.points_unit == "angstrom" else 1.0
    kind = args.potential or "scf"
    try:
        values = potential(cp, points * to_bohr, kind, accuracy=args.accuracy, threads=args.threads)
        comment = potential_comment(cp, kind)
    except ValueError as error:
        raise RuntimeError(str(error)) from None
    write_point_list(
        path,
        f"{title(cp)} potential={kind.upper()}",
        comment,
        cp.atomic_numbers,
        cp.nuclear_charges,
        cp.coordinates,
        points,
        values,
    )


def _with_advice(message: str, args: argparse.Namespace) -> str:
    """What the checkpoint lacks, with the option that asks for what it has instead."""
    if args.spin is not None and "density" in message:
        return f"{message}; --spin orbitals takes the spin density from the orbitals"
    if args.density is not None and "density" in message:
        return f"{message}; --density orbitals takes it from the occupied orbitals"
    return message
