"""``tesvarin charges FILE.chk --scheme mk [--resp] [--json]``: atomic charges fitted to the potential.

Prints each fit as the program's log does (or one JSON object per file); ``--gesp`` also writes
the ESP file antechamber reads, beside the checkpoint unless -o names it, under the usual rules:
no file replaced without --force, the file written through a temporary one.
"""

from __future__ import annotations

import argparse
import json
from pathlib import Path
from typing import Any

from tesvarin._reasons import os_reason
from tesvarin.cli._inputs import check_input, load_saying_warnings, said
from tesvarin.cli._targets import Failure, Outputs
from tesvarin.cli.cube import accuracy_option
from tesvarin.grid.evaluation import DEFAULT_ACCURACY

__all__ = ["add_parser", "run"]

SCHEME_NAMES = {"mk": "Merz-Kollman", "chelpg": "CHELPG"}


def add_parser(
    commands: argparse._SubParsersAction[argparse.ArgumentParser], inputs: dict[str, Any], epilog: str
) -> None:
    p = commands.add_parser(
        "charges",
        help="fit atomic charges to the electrostatic potential of each checkpoint",
        epilog=epilog,
        description="Fit atomic charges to the electrostatic potential of a stored density at the program's "
        "Merz-Kollman or CHELPG points, with the total charge held (and the dipole, with --dipole), or in "
        "AMBER's two RESP stages (--resp). Prints the fit as the program's log does, or JSON.",
    )
    p.add_argument("inputs", **inputs)
    p.add_argument("--scheme", choices=("mk", "chelpg"), default="mk", help="the fitting points (default mk)")
    p.add_argument(
        "--density", default="scf", metavar="KIND", help="the density whose potential is fitted (default scf)"
    )
    p.add_argument(
        "--point-density",
        type=float,
        default=1.0,
        metavar="N",
        help="Merz-Kollman points per Angstrom^2 (default 1, as the program; AMBER's RESP protocol uses 6)",
    )
    p.add_argument(
        "--accuracy",
        type=accuracy_option,
        default=DEFAULT_ACCURACY,
        metavar="HARTREE",
        help=f"what the potential's far field may move a value by, Hartree/e (default {DEFAULT_ACCURACY:g}; "
        "0 sums every charge distribution exactly)",
    )
    p.add_argument("--charge", type=float, metavar="Q", help="the total charge held (default: the molecule's)")
    p.add_argument("--dipole", action="store_true", help="also hold the dipole of the charges at that of the density")
    p.add_argument(
        "--resp",
        action="store_true",
        help="AMBER's two-stage RESP fit (a = 0.0005 then 0.001, b = 0.1; methyl and methylene hydrogens "
        "equivalenced in stage 2)",
    )
    p.add_argument(
        "--json", action="store_true", help="one JSON object per line and file; for a failure, path and error"
    )
    p.add_argument("--gesp", action="store_true", help="also write the ESP file (.gesp) that antechamber reads")
    p.add_argument("-o", "--output", metavar="PATH", help="the ESP file's path (one input) or folder (DIR/)")
    keep = p.add_mutually_exclusive_group()
    keep.add_argument("-f", "--force", action="store_true", help="replace an existing ESP file (never an input)")
    keep.add_argument("-n", "--no-clobber", action="store_true", help="keep an existing ESP file, say so, and go on")


def text(path: str, fit: Any) -> str:
    """The report of one fit: what was fitted, then the log's lines, then RESP's parameters."""
    kind = "RESP" if fit.resp is not None else "ESP"
    held = f"total charge {fit.total_charge:g}" + (" and dipole" if fit.dipole_constraint is not None else "")
    lines = [
        f"{path}: {kind} charges of the {fit.density.upper()} density at {SCHEME_NAMES[fit.scheme]} points, "
        f"{held} held",
    ]
    if fit.grid_steps is not None:
        x, y, z = fit.grid_steps
        lines.append(f" NStep X,Y,Z= {x:4d}   {y:4d}   {z:4d}   Total possible points= {x * y * z:11d}")
    lines.append(fit.log_text())
    if fit.resp is not None:
        r = fit.resp
        lines.append(
            f" RESP: b={r.restraint_b:g}; stage 1 a={r.restraint_a[0]:g} on atoms {_atoms(r.restrained)} "
            f"(hydrogens free); stage 2 a={r.restraint_a[1]:g}"
        )
        if r.stage1_equivalences:
            lines.append(f" RESP stage 1 equivalences: {_runs(r.stage1_equivalences)}")
        if r.groups:
            groups = "; ".join(f"C{c + 1} with H {_atoms(hs)}" for c, hs in r.groups)
            lines.append(f" RESP stage 2 refits {groups}; equivalences: {_runs(r.equivalences)}")
        else:
            lines.append(" RESP stage 2: no methyl or methylene groups; the stage-1 charges stand")
    return "\n".join(lines)


def _write(path: str, text: str) -> None:
    Path(path).write_text(text, encoding="ascii")


def _runs(runs: tuple[tuple[int, ...], ...]) -> str:
    return " ".join("(" + _atoms(run) + ")" for run in runs) or "none"


def _atoms(atoms: tuple[int, ...]) -> str:
    return ",".join(str(a + 1) for a in atoms) or "none"


def run(args: argparse.Namespace, path: str, outputs: Outputs, separate: bool) -> None:
    """One file; Failure with the reason in words when it cannot be fitted or written."""

    check_input(path)
    out = outputs.path_for(path, args.output, ".gesp") if args.gesp else None
    if out is not None:
        outputs.target(out)  # refused, or kept, before the work
    try:
        cp = load_saying_warnings(path)
        fit = cp.esp_charges(
            args.scheme,
            args.density,
            args.charge,
            args.dipole,
            args.resp,
            point_density=args.point_density,
            accuracy=args.accuracy,
        )
    except (RuntimeError, ValueError, MemoryError) as error:
        raise Failure(path, said(error, path)) from None
    if out is not None:
        try:
            outputs.write(path, out, lambda temporary: _write(temporary, fit.gesp()))
        except OSError as error:
            raise Failure(out, os_reason(error)) from None
    if args.json:
        record = {"path": path, **fit.as_dict()}
        if out is not None:
            record["gesp"] = out
        print(json.dumps(record), flush=True)
    else:
        print(("\n" if separate else "") + text(path, fit), flush=True)
        if out is not None:
            print(out, flush=True)
