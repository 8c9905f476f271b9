"""The ``tesvarin`` command: look inside checkpoints, or convert them to fchk or gjf files.

Every positional argument is an input. An output goes beside its input unless -o names it; it
never replaces an input or any checkpoint, replaces another file only with --force, and is
written through a temporary file so that a failure leaves no partial file. One failing input
does not stop the others.
"""

from __future__ import annotations

import argparse
import contextlib
import errno
import io
import json
import os
import signal
import stat
import sys
from importlib import metadata
from pathlib import Path
from typing import Any, Iterator

from Tesvarin_ import ChkReader_

from tesvarin import cube_command
from tesvarin.chk_length import length_problem
from tesvarin.safe_write import write_replacing
from tesvarin.summary import as_json, as_text

__all__ = ["main"]

EXISTS = "exists; use --force to replace it"
EXIT_STATUS = "exit status: 0 when every input succeeded, 1 when any failed, 2 for a usage error"
INPUTS: dict[str, Any] = dict(nargs="+", metavar="FILE.chk", help="checkpoint files to read; every one is an input")


class Failure(Exception):
    """One input's failure: the path it concerns and why, in words for the person at the terminal."""

    def __init__(self, path: str, reason: str) -> None:
        super().__init__(f"{path}: {reason}")
        self.path, self.reason = path, reason


def _reason(error: OSError) -> str:
    return "is a directory" if error.errno == errno.EISDIR else error.strerror or str(error)


def _first_line(error: Exception) -> str:
    # The reader's messages carry the source location on later lines; the first says what failed.
    text = str(error)
    return text.splitlines()[0].removeprefix("Error: ") if text else type(error).__name__


def check_input(path: str) -> None:
    """Refuses, before any parse, an input that cannot be read or fails the checkpoint length test."""
    try:
        problem = length_problem(path)
    except OSError as error:
        raise Failure(path, _reason(error)) from None
    if problem:
        raise Failure(path, problem)


# Paths go to the module as bytes, so that a file name that is not UTF-8 reaches the file
# system as the bytes it came in as (and the gjf's %chk line repeats them).
def parse(path: str) -> ChkReader_:
    try:
        return ChkReader_(os.fsencode(path))
    except (RuntimeError, ValueError, MemoryError) as error:
        raise Failure(path, _first_line(error)) from None


class Outputs:
    """The targets of one run: never an input, never a checkpoint, never written twice."""

    def __init__(self, inputs: list[str], force: bool) -> None:
        self.inputs = {os.path.realpath(p) for p in inputs}
        self.force = force
        self.written: dict[str, str] = {}  # real path of each output -> the input it came from

    def target(self, out: str) -> str:
        """The real path to write `out` at (through symbolic links), or Failure saying why not."""
        real = os.path.realpath(out)
        if real in self.inputs:
            raise Failure(out, "is one of the inputs; it is never replaced")
        if real in self.written:
            raise Failure(out, f"was written from {self.written[real]} just now; it is not replaced")
        try:
            mode = os.stat(real).st_mode
        except FileNotFoundError:
            return real
        except OSError as error:
            raise Failure(out, _reason(error)) from None
        if stat.S_ISDIR(mode):
            raise Failure(out, "is a directory")
        if not stat.S_ISREG(mode):
            raise Failure(out, "is not a regular file")
        try:
            is_checkpoint = length_problem(real) is None
        except OSError as error:
            raise Failure(out, f"can not be read to make sure it is no checkpoint ({_reason(error)})") from None
        if is_checkpoint:
            raise Failure(out, "is a Gaussian checkpoint; it is never replaced")
        if not self.force:
            raise Failure(out, EXISTS)
        return real


# One function per converting subcommand performs its write; options of that subcommand
# arrive in `args`.
def write_fchk(reader: ChkReader_, path: str, args: argparse.Namespace) -> None:
    reader.write_fchk(os.fsencode(path), complete=not args.basic)


def write_gjf(reader: ChkReader_, path: str, args: argparse.Namespace) -> None:
    reader.write_gjf(os.fsencode(path))


WRITERS = {"fchk": write_fchk, "gjf": write_gjf, "cube": cube_command.write_cube}


def convert(args: argparse.Namespace, path: str, outputs: Outputs) -> None:
    check_input(path)
    out = args.output if args.output is not None else str(Path(path).with_suffix("." + args.command))
    target = outputs.target(out)
    reader = parse(path)
    try:
        write_replacing(target, lambda temporary: WRITERS[args.command](reader, temporary, args), replace=args.force)
    except FileExistsError:
        raise Failure(out, EXISTS) from None
    except OSError as error:
        raise Failure(out, _reason(error)) from None
    except RuntimeError as error:
        message = _first_line(error)
        if message.startswith("Can not write file"):
            message = "could not be written"
        elif args.command == "fchk" and not args.basic:
            # The complete file needs every further section intact; the basic one does not.
            message += "; --basic writes the basic file"
        raise Failure(out, message) from None
    outputs.written[target] = path
    print(out)


@contextlib.contextmanager
def _stdout_to_stderr() -> Iterator[None]:
    """The reader prints its warnings on standard output; keep them out of the JSON lines."""
    sys.stdout.flush()
    saved = os.dup(1)
    os.dup2(2, 1)
    try:
        yield
    finally:
        os.dup2(saved, 1)
        os.close(saved)


def summarise(args: argparse.Namespace, path: str, separate: bool) -> None:
    """Prints one checkpoint's summary; text summaries after the first are set apart by an empty line."""
    check_input(path)
    if args.json:
        with _stdout_to_stderr():
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


def _converter(commands: "argparse._SubParsersAction[argparse.ArgumentParser]", name: str, what: str) -> argparse.ArgumentParser:
    """A converting subcommand with its common arguments; its own options go on the parser returned."""
    parser: argparse.ArgumentParser = commands.add_parser(
        name, help=f"write {what} for each checkpoint", epilog=EXIT_STATUS,
        description=f"Write {what} beside each checkpoint, with the same stem. An existing file is kept unless "
                    "--force is given; an input or any checkpoint is never replaced.")
    parser.add_argument("inputs", **INPUTS)
    parser.add_argument("-o", "--output", metavar="PATH",
                        help="write to PATH instead of beside the input (one input only)")
    parser.add_argument("-f", "--force", action="store_true",
                        help="replace an existing output (never an input nor any checkpoint)")
    return parser


def _parser() -> argparse.ArgumentParser:
    parser = argparse.ArgumentParser(
        prog="tesvarin", description="Read Gaussian binary checkpoints (.chk files of the 64-bit program).",
        epilog=EXIT_STATUS)
    parser.add_argument("--version", action="version", version=f"%(prog)s {_version()}")
    commands = parser.add_subparsers(dest="command", required=True, metavar="{summary,fchk,gjf,cube}")

    show = commands.add_parser(
        "summary", help="print the job description and energies of each checkpoint",
        description="Print the job description and energies of each checkpoint.", epilog=EXIT_STATUS)
    show.add_argument("inputs", **INPUTS)
    show.add_argument(
        "--json", action="store_true",
        help="print one JSON object per line and file: path, title, route, method, basis, jobtype, version, "
             "charge, multiplicity, formula, atoms (symbol, xyz in Angstrom), energies (scf, total, "
             "virial_ratio; Hartree); for a file that fails, path and error")

    fchk = _converter(commands, "fchk", "a formatted checkpoint (.fchk)")
    fchk.add_argument("--basic", action="store_true",
                      help="write only the basic entries (molecule, basis, orbitals, densities) instead of "
                           "every entry formchk writes")
    _converter(commands, "gjf", "a Gaussian input file (.gjf)")
    cube_command.add_options(_converter(commands, "cube", "a Gaussian cube file (.cube) of a density or orbitals"))
    return parser


def _run(args: argparse.Namespace) -> int:
    failed, done = False, 0
    outputs = Outputs(args.inputs, getattr(args, "force", False))
    for path in args.inputs:
        try:
            if args.command == "summary":
                summarise(args, path, done > 0)
            else:
                convert(args, path, outputs)
            done += 1
        except Failure as failure:
            failed = True
            print(f"tesvarin: {failure}", file=sys.stderr, flush=True)
            if args.command == "summary" and args.json:
                print(json.dumps({"path": path, "error": failure.reason}), flush=True)
    return 1 if failed else 0


def main(argv: list[str] | None = None) -> int:
    parser = _parser()
    args = parser.parse_args(argv)
    if isinstance(sys.stdout, io.TextIOWrapper):
        sys.stdout.reconfigure(errors="surrogateescape")  # file names are printed as the bytes they came as
    if getattr(args, "output", None) is not None and len(args.inputs) > 1:
        parser.error("-o/--output takes one input only; without it each output goes beside its input")
    # A termination request unwinds like an interrupt, so a temporary file in progress is removed.
    previous = signal.signal(signal.SIGTERM, lambda signum, frame: sys.exit(128 + signum))
    try:
        return _run(args)
    except KeyboardInterrupt:
        return 128 + signal.SIGINT
    except BrokenPipeError:
        # The reader of our output went away (e.g. `| head`); that is not a failure of ours.
        os.dup2(os.open(os.devnull, os.O_WRONLY), sys.stdout.fileno())
        return 0
    finally:
        signal.signal(signal.SIGTERM, previous)


if __name__ == "__main__":
    sys.exit(main())
