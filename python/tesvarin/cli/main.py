"""The ``tesvarin`` command: look inside checkpoints, or convert them to fchk or gjf files.

Every positional argument is an input. An output goes beside its input unless -o names it, a
folder or standard output ("-"); it never replaces an input or any checkpoint, replaces another
file only with --force (--no-clobber keeps it and goes on), and is written through a temporary
file so that a failure leaves no partial file. One failing input does not stop the others.
"""

from __future__ import annotations

import argparse
import contextlib
import io
import json
import os
import signal
import sys
from importlib import metadata
from pathlib import Path
from typing import Any

from tesvarin._reasons import os_reason
from tesvarin.cli import charges, cube, export, gjf, plot, summary, thermo, view
from tesvarin.cli._inputs import check_input, said
from tesvarin.cli._targets import STDOUT, Failure, Outputs, Skipped, is_folder
from tesvarin.cli.convert import convert
from tesvarin.interop.formats import FORMATS

__all__ = ["main"]

EXIT_STATUS = (
    "exit status: 0 when every input succeeded (an output kept by --no-clobber counts as done), "
    "1 when any failed, 2 for a usage error, 130 when interrupted"
)
# The commands that write one file without --no-clobber.
EXIT_STATUS_ONE_FILE = (
    "exit status: 0 when every input succeeded, 1 when any failed, 2 for a usage error, 130 when interrupted"
)
INTERRUPTED = "tesvarin: interrupted"
INPUTS: dict[str, Any] = dict(nargs="+", metavar="FILE.chk", help="checkpoint files to read; every one is an input")


def _version() -> str:
    try:
        return metadata.version("tesvarin")
    except metadata.PackageNotFoundError:
        return "unknown"


def _output_options(parser: argparse.ArgumentParser, what: str) -> None:
    parser.add_argument("-o", "--output", metavar="PATH", help=what)
    keep = parser.add_mutually_exclusive_group()
    keep.add_argument(
        "-f", "--force", action="store_true", help="replace an existing output (never an input nor any checkpoint)"
    )
    keep.add_argument(
        "-n",
        "--no-clobber",
        action="store_true",
        help="keep an existing output, say so, and go on as if it had been written",
    )


def _converter(
    commands: argparse._SubParsersAction[argparse.ArgumentParser], name: str, what: str
) -> argparse.ArgumentParser:
    """A converting subcommand with its common arguments; its own options go on the parser returned."""
    parser: argparse.ArgumentParser = commands.add_parser(
        name,
        help=f"write {what} for each checkpoint",
        epilog=EXIT_STATUS,
        description=f"Write {what} beside each checkpoint, with the same stem. An existing file is kept unless "
        "--force is given; an input or any checkpoint is never replaced.",
    )
    parser.add_argument("inputs", **INPUTS)
    _output_options(
        parser,
        "write to PATH instead of beside the input (one input only); a folder (DIR/, or an "
        "existing directory) takes the output of each input; - writes to standard output",
    )
    return parser


def _parser() -> argparse.ArgumentParser:
    parser = argparse.ArgumentParser(
        prog="tesvarin",
        description="Read Gaussian binary checkpoints (.chk files of the 64-bit program).",
        epilog=EXIT_STATUS,
    )
    parser.add_argument("--version", action="version", version=f"%(prog)s {_version()}")
    commands = parser.add_subparsers(
        dest="command", required=True, metavar="{summary,fchk,gjf,cube,convert,thermo,charges,plot,view,export}"
    )

    show = commands.add_parser(
        "summary",
        help="print the job description and energies of each checkpoint",
        description="Print the job description and energies of each checkpoint.",
        epilog=EXIT_STATUS,
    )
    show.add_argument("inputs", **INPUTS)
    show.add_argument(
        "--json",
        action="store_true",
        help="print one JSON object per line and file: path, title, route, method, basis, jobtype, version, "
        "charge, multiplicity, formula, atoms (symbol, xyz in Angstrom), energies (scf, total, "
        "virial_ratio; Hartree); for a file that fails, path and error",
    )
    _output_options(show, "write the summaries of all inputs to the file PATH; - (the default) is standard output")

    fchk = _converter(commands, "fchk", "a formatted checkpoint (.fchk)")
    fchk.add_argument(
        "--basic",
        action="store_true",
        help="write only the basic entries (molecule, basis, orbitals, densities) instead of "
        "every entry formchk writes",
    )
    fchk.add_argument(
        "--strict",
        action="store_true",
        help="refuse a checkpoint with a damaged further section instead of leaving out its entries with a warning",
    )
    gjf.add_options(_converter(commands, "gjf", "a Gaussian input file (.gjf) of a job that starts from it"))
    cube.add_options(
        _converter(
            commands, "cube", "a Gaussian cube file (.cube) of a density, orbitals or the electrostatic potential"
        )
    )
    other = _converter(commands, "convert", "a Molden, WFN, WFX or XYZ file (--to), through IOData's writers,")
    other.add_argument("--to", required=True, choices=FORMATS, help="the format, also the output's extension")
    other.add_argument(
        "--natural-orbitals",
        metavar="KIND",
        help="write the natural orbitals of the stored density KIND (scf, mp2, cc, ci, ...) with their "
        "occupations instead of the job's orbitals",
    )
    thermo.add_parser(commands, INPUTS, EXIT_STATUS)
    charges.add_parser(commands, INPUTS, EXIT_STATUS)
    _output_options(
        commands.choices["thermo"],
        "write the results of all inputs to the file PATH; - (the default) is standard output",
    )
    plot.add_parser(commands, EXIT_STATUS_ONE_FILE)
    view.add_parser(commands, EXIT_STATUS_ONE_FILE)
    export.add_parser(commands, EXIT_STATUS_ONE_FILE)
    parser.set_defaults(subparsers=commands.choices)
    return parser


def _each(args: argparse.Namespace, outputs: Outputs) -> bool:
    """Runs the command on every input; True when all succeeded (or were kept by --no-clobber)."""
    failed, done = False, 0
    printer = thermo.Printer(args) if args.command == "thermo" else None
    for path in args.inputs:
        try:
            if printer is not None:
                check_input(path)
                try:
                    thermo.run(args, path, printer)
                except (RuntimeError, ValueError) as error:
                    raise Failure(path, said(error, path)) from None
            elif args.command == "plot":
                plot.run(args, path, outputs)
            elif args.command == "view":
                view.run(args, path, outputs)
            elif args.command == "charges":
                charges.run(args, path, outputs, done > 0)
            elif args.command == "summary":
                try:
                    summary.summarise(args, path, done > 0)
                except Failure:
                    raise
                except Exception as error:  # whatever else fails is this file's message, not the run's end
                    raise Failure(path, said(error, path)) from None
            else:
                convert(args, path, outputs)
            done += 1
        except Skipped as skipped:
            print(f"tesvarin: {skipped}", file=sys.stderr, flush=True)
        except Failure as failure:
            failed = True
            print(f"tesvarin: {failure}", file=sys.stderr, flush=True)
            if args.command in ("summary", "charges") and args.json:
                print(json.dumps({"path": path, "error": failure.reason}), flush=True)
            if printer is not None:
                printer.failure(path, failure.reason)
    if printer is not None:
        printer.close()
    return not failed


def _write_text(path: str, text: str) -> None:
    Path(path).write_text(text)


def _run(args: argparse.Namespace) -> int:
    if args.command == "export":
        return export.run(args)
    # Subcommands without output options have neither --force nor --no-clobber.
    outputs = Outputs(args.inputs, getattr(args, "force", False), getattr(args, "no_clobber", False))
    if args.command not in ("summary", "thermo") or args.output in (None, STDOUT):
        if is_folder(getattr(args, "output", None)):
            try:
                os.makedirs(args.output, exist_ok=True)  # -o newdir/ asks for the folder
            except OSError as error:
                print(f"tesvarin: {args.output}: {os_reason(error)}", file=sys.stderr)
                return 1
        return 0 if _each(args, outputs) else 1
    # The summaries (or thermochemistry) of all inputs go into one file, written once they are complete.
    text = io.StringIO()
    with contextlib.redirect_stdout(text):
        ok = _each(args, outputs)
    try:
        outputs.write(args.output, args.output, lambda path: _write_text(path, text.getvalue()))
    except Skipped as skipped:
        print(f"tesvarin: {skipped}", file=sys.stderr)
        return 0 if ok else 1
    except Failure as failure:
        print(f"tesvarin: {failure}", file=sys.stderr)
        return 1
    except OSError as error:
        print(f"tesvarin: {args.output}: {os_reason(error)}", file=sys.stderr)
        return 1
    print(args.output)
    return 0 if ok else 1


def _usage_problem(args: argparse.Namespace) -> str | None:
    """What the options ask that cannot be done, or None."""
    output, several = getattr(args, "output", None), len(args.inputs) > 1
    if args.command == "export":
        return None  # many inputs, one output: checked by the export itself
    if args.command == "charges" and output is not None and (not args.gesp or output == STDOUT):
        return "-o/--output names the ESP file (a path or DIR/), written with --gesp"
    if args.command in ("summary", "thermo"):
        return "-o/--output names one file (or - for standard output)" if is_folder(output) else None
    if output == STDOUT and several:
        return "-o - takes one input only; a folder (-o DIR/) takes several"
    if output is not None and several and not is_folder(output):
        return "-o/--output takes one input only; -o DIR/ writes each output into that folder"
    return None


def main(argv: list[str] | None = None) -> int:
    # A termination request unwinds like an interrupt, so a temporary file in progress is removed.
    previous = signal.signal(signal.SIGTERM, lambda signum, frame: sys.exit(128 + signum))
    try:
        parser = _parser()
        args, unknown = parser.parse_known_args(argv)
        if unknown:
            # Said with the subcommand's usage, as every other usage error of a subcommand.
            args.subparsers[args.command].error(f"unrecognized arguments: {' '.join(unknown)}")
        problem = _usage_problem(args)
        if problem:
            args.subparsers[args.command].error(problem)  # the subcommand's usage, exit status 2
        if isinstance(sys.stdout, io.TextIOWrapper):
            sys.stdout.reconfigure(errors="surrogateescape")  # file names are printed as the bytes they came as
        return _run(args)
    except KeyboardInterrupt:
        print(INTERRUPTED, file=sys.stderr, flush=True)
        return 128 + signal.SIGINT
    except BrokenPipeError:
        # The reader of our output went away (e.g. `| head`); that is not a failure of ours.
        os.dup2(os.open(os.devnull, os.O_WRONLY), sys.stdout.fileno())
        return 0
    finally:
        signal.signal(signal.SIGTERM, previous)


if __name__ == "__main__":
    sys.exit(main())
