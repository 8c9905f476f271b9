"""The ``tesvarin`` command: look inside a checkpoint, or convert it to fchk or gjf."""

from __future__ import annotations

import argparse
import os
import sys
from collections import Counter
from pathlib import Path

from Tesvarin_ import ChkReader_


def formula(names: list[str]) -> str:
    """Hill order: C first, then H, then the rest alphabetically; counts of one are left out."""
    counts = Counter(names)
    order = ["C", "H"] if "C" in counts else []
    order += sorted(k for k in counts if k not in order)
    return "".join(k + (str(counts[k]) if counts[k] > 1 else "") for k in order)


def summary(reader: ChkReader_, path: str) -> str:
    params = reader.params
    mol = params.mol
    rows = [
        ("File", path),
        ("Title", params.title),
        ("Route", params.route),
        ("Method", params.method),
        ("Basis set", params.baset),
        ("Job type", params.jobtype),
        ("Version", params.gauver),
        ("Atoms", f"{mol.natoms} ({formula(mol.names)})"),
        ("Charge", str(mol.totchg)),
        ("Multiplicity", str(mol.multiplicity)),
        ("Electrons", f"{mol.ne} ({mol.nae} alpha, {mol.nbe} beta)"),
        ("Basis functions", f"{mol.nbasis} ({mol.nbsuse} independent)"),
        ("SCF energy", f"{params.scfene:.10f} Hartree"),
        ("Total energy", f"{params.totene:.10f} Hartree"),
        ("Virial ratio", f"{params.viratio:.10f}"),
    ]
    return "\n".join(f"{label + ':':<17}{value}" for label, value in rows)


def _parser() -> argparse.ArgumentParser:
    parser = argparse.ArgumentParser(prog="tesvarin", description="Read a Gaussian binary checkpoint (.chk).")
    commands = parser.add_subparsers(dest="command", required=True)
    show = commands.add_parser("summary", help="print the job description and energies")
    show.add_argument("chk")
    for name, suffix in (("fchk", ".fchk"), ("gjf", ".gjf")):
        convert = commands.add_parser(name, help=f"write a {suffix} file (default: beside the checkpoint)")
        convert.add_argument("chk")
        convert.add_argument("out", nargs="?")
    return parser


def main(argv: list[str] | None = None) -> int:
    args = _parser().parse_args(argv)
    try:
        reader = ChkReader_(args.chk)
        if args.command == "summary":
            print(summary(reader, args.chk))
            return 0
        out = args.out or str(Path(args.chk).with_suffix("." + args.command))
        (reader.write_fchk if args.command == "fchk" else reader.write_gjf)(out)
        print(out)
        return 0
    except (RuntimeError, ValueError, MemoryError) as error:
        # The reader's messages carry the source location on later lines; the first says what failed.
        first = str(error).splitlines()[0] if str(error) else type(error).__name__
        print(f"tesvarin: {args.chk}: {first}", file=sys.stderr)
        return 1
    except BrokenPipeError:
        # The reader of our output went away (e.g. `| head`); that is not a failure of ours.
        os.dup2(os.open(os.devnull, os.O_WRONLY), sys.stdout.fileno())
        return 0


if __name__ == "__main__":
    sys.exit(main())
