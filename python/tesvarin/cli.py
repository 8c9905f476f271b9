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
import warnings
from importlib import metadata
from pathlib import Path
from typing import Any

from Tesvarin_ import ChkFormatError, ChkReader_, ChkWarning

from tesvarin import cube_command, export_cli, plot_cli, thermo_cli
from tesvarin._errors import os_reason, reason
from tesvarin._targets import STDOUT, Failure, Outputs, Skipped, is_folder, stdout_to_stderr
from tesvarin.chk_length import length_problem
from tesvarin.summary import as_json, as_text

__all__ = ["main"]

EXIT_STATUS = (
    "exit status: 0 when every input succeeded (an output kept by --no-clobber counts as done), "
    "1 when any failed, 2 for a usage error, 130 when interrupted"
)
INTERRUPTED = "tesvarin: interrupted"
INPUTS: dict[str, Any] = dict(nargs="+", metavar="FILE.chk", help="checkpoint files to read; every one is an input")


def check_input(path: str) -> None:
    """Refuses, before any parse, an input that cannot be read or fails the checkpoint length test."""
    try:
        problem = length_problem(path)
    except OSError as error:
        raise Failure(path, os_reason(error)) from None
    if problem:
        raise Failure(path, problem)


# Paths go to the module as bytes, so that a file name that is not UTF-8 reaches the file
# system as the bytes it came in as (and the gjf's %chk line repeats them).
def parse(path: str) -> ChkReader_:
    try:
        return ChkReader_(os.fsencode(path))
    except (RuntimeError, ValueError, MemoryError) as error:
        raise Failure(path, reason(error, path)) from None


# One function per converting subcommand performs its write; options of that subcommand
# arrive in `args`.
def write_fchk(reader: ChkReader_, path: str, args: argparse.Namespace) -> None:
    reader.write_fchk(os.fsencode(path), complete=not args.basic, strict=args.strict)


def write_gjf(reader: ChkReader_, path: str, args: argparse.Namespace) -> None:
    reader.write_gjf(os.fsencode(path))


WRITERS = {"fchk": write_fchk, "gjf": write_gjf, "cube": cube_command.write_cube}


def convert(args: argparse.Namespace, path: str, outputs: Outputs) -> None:
    check_input(path)
    out = outputs.path_for(path, args.output, "." + args.command)
    if out != STDOUT:
        outputs.target(out)  # refused, or kept, before the parse
    with stdout_to_stderr() if out == STDOUT else contextlib.nullcontext():
        reader = parse(path)
    try:
        with warnings.catch_warnings(record=True) as notes:
            warnings.simplefilter("always", ChkWarning)
            outputs.write(path, out, lambda temporary: WRITERS[args.command](reader, temporary, args))
        # A damaged section left out of the file: the file is written, the reason is said.
        for note in notes:
            print(f"tesvarin: {path}: warning: {note.message}", file=sys.stderr, flush=True)
    except OSError as error:
        raise Failure(out, os_reason(error)) from None
    except ChkFormatError as error:
        # What the checkpoint holds stopped the writer: the input is at fault, not the output.
        message = reason(error, path)
        if args.command == "fchk" and not args.basic:
            # --strict refuses a damaged further section; the basic file does not need it.
            message += "; --basic writes the basic file"
        raise Failure(path, message) from None
    except RuntimeError as error:
        message = reason(error, path)
        raise Failure(out, "could not be written" if message.startswith("Can not write file") else message) from None
    if out != STDOUT:
        print(out)


def _said(error: BaseException, path: str) -> str:
    """What went wrong with `path`, said once (the texts of tesvarin.load start with the path)."""
    return reason(error, path).removeprefix(f"{path}: ")


def plot(args: argparse.Namespace, path: str, outputs: Outputs) -> None:
    import tesvarin

    check_input(path)
    if os.path.splitext(args.output)[1].lower() not in plot_cli.FORMATS:
        raise Failure(args.output, f"the picture's name must end in {', '.join(plot_cli.FORMATS)}")
    outputs.target(args.output)  # refused, or kept, before the parse
    try:
        cp = tesvarin.load(path)
    except (RuntimeError, ValueError, MemoryError) as error:
        raise Failure(path, _said(error, path)) from None
    window = tuple(args.range) if args.range else None
    try:
        outputs.write(
            path,
            args.output,
            lambda temporary: plot_cli.draw(cp, args.kind, temporary, args.fwhm, args.shape, window, args.output),
        )
    except OSError as error:
        raise Failure(args.output, os_reason(error)) from None
    except (RuntimeError, ValueError) as error:
        raise Failure(path, _said(error, path)) from None
    print(args.output)


def summarise(args: argparse.Namespace, path: str, separate: bool) -> None:
    """Prints one checkpoint's summary; text summaries after the first are set apart by an empty line."""
    check_input(path)
    if args.json:
        with stdout_to_stderr():
            reader = parse(path)
        print(as_json(reader, path), flush=True)
    else:
        reader = parse(path)
        print(("\n" if separate else "") + as_text(reader, path), flush=True)


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
        dest="command", required=True, metavar="{summary,fchk,gjf,cube,thermo,plot,export}"
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
    _converter(commands, "gjf", "a Gaussian input file (.gjf)")
    cube_command.add_options(_converter(commands, "cube", "a Gaussian cube file (.cube) of a density or orbitals"))
    thermo_cli.add_parser(commands, INPUTS, EXIT_STATUS)
    plot_cli.add_parser(commands, EXIT_STATUS)
    export_cli.add_parser(commands, EXIT_STATUS)
    parser.set_defaults(subparsers=commands.choices)
    return parser


def _each(args: argparse.Namespace, outputs: Outputs) -> bool:
    """Runs the command on every input; True when all succeeded (or were kept by --no-clobber)."""
    failed, done = False, 0
    printer = thermo_cli.Printer(args) if args.command == "thermo" else None
    for path in args.inputs:
        try:
            if printer is not None:
                check_input(path)
                try:
                    thermo_cli.run(args, path, printer)
                except (RuntimeError, ValueError) as error:
                    raise Failure(path, _said(error, path)) from None
            elif args.command == "plot":
                plot(args, path, outputs)
            elif args.command == "summary":
                summarise(args, path, done > 0)
            else:
                convert(args, path, outputs)
            done += 1
        except Skipped as skipped:
            print(f"tesvarin: {skipped}", file=sys.stderr, flush=True)
        except Failure as failure:
            failed = True
            print(f"tesvarin: {failure}", file=sys.stderr, flush=True)
            if args.command == "summary" and args.json:
                print(json.dumps({"path": path, "error": failure.reason}), flush=True)
            if printer is not None:
                printer.failure(path, failure.reason)
    return not failed


def _write_text(path: str, text: str) -> None:
    Path(path).write_text(text)


def _run(args: argparse.Namespace) -> int:
    if args.command == "export":
        return export_cli.run(args)
    # Subcommands without output options have neither --force nor --no-clobber.
    outputs = Outputs(args.inputs, getattr(args, "force", False), getattr(args, "no_clobber", False))
    if args.command != "summary" or args.output in (None, STDOUT):
        return 0 if _each(args, outputs) else 1
    # The summaries of all inputs go into one file, written once they are complete.
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
    if args.command == "summary":
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
        args = _parser().parse_args(argv)
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
