"""``tesvarin fchk``, ``gjf`` and ``cube``: one file written from each checkpoint, beside it or where -o says."""

from __future__ import annotations

import argparse
import contextlib
import os
import sys
import warnings
from collections.abc import Callable
from typing import Any

from Tesvarin_ import ChkFormatError, ChkReader_, ChkWarning

from tesvarin._reasons import os_reason, reason
from tesvarin.cli import cube, gjf
from tesvarin.cli._inputs import check_input, parse
from tesvarin.cli._targets import STDOUT, Failure, Outputs, stdout_to_stderr
from tesvarin.loader import from_reader

__all__ = ["WRITERS", "convert"]


# One function per converting subcommand performs its write, from the reader (the cube: from the
# Checkpoint); options of that subcommand arrive in `args`.
def write_fchk(reader: ChkReader_, path: str, args: argparse.Namespace) -> None:
    reader.write_fchk(os.fsencode(path), complete=not args.basic, strict=args.strict)


def write_gjf(reader: ChkReader_, path: str, args: argparse.Namespace) -> None:
    with open(path, "w", encoding="utf-8", errors="surrogateescape") as out:
        oldchk, newchk = args.checkpoints
        out.write(gjf.job_text(reader, oldchk, newchk, route=args.route))


WRITERS: dict[str, Callable[[Any, str, argparse.Namespace], None]] = {
    "fchk": write_fchk,
    "gjf": write_gjf,
    "cube": cube.write_cube,
}


def _gjf_checkpoints(args: argparse.Namespace, path: str, out: str) -> None:
    """The job's %oldchk (the input) and %chk; a %chk that is the input, or any checkpoint, is refused."""
    args.checkpoints = gjf.checkpoint_names(path, out, args.chk)
    folder = "." if out == STDOUT else os.path.dirname(out) or "."
    new = os.path.join(folder, args.checkpoints[1])
    if os.path.realpath(new) == os.path.realpath(path):
        raise Failure(path, f"--chk {args.checkpoints[1]} is the input; the job would write into it")


def convert(args: argparse.Namespace, path: str, outputs: Outputs) -> None:
    check_input(path)
    out = outputs.path_for(path, args.output, "." + args.command)
    if out != STDOUT:
        outputs.target(out)  # refused, or kept, before the parse
    if args.command == "gjf":
        _gjf_checkpoints(args, path, out)
    with stdout_to_stderr() if out == STDOUT else contextlib.nullcontext():
        reader = parse(path)
    try:
        source = from_reader(reader, path) if args.command == "cube" else reader
        with warnings.catch_warnings(record=True) as notes:
            warnings.simplefilter("always", ChkWarning)
            outputs.write(path, out, lambda temporary: WRITERS[args.command](source, temporary, args))
        # A damaged section left out of the file: the file is written, the reason is said.
        for note in notes:
            print(f"tesvarin: {path}: warning: {note.message}", file=sys.stderr, flush=True)
    except BrokenPipeError:
        raise  # the reader of standard output went away: the command ends quietly
    except OSError as error:
        raise Failure(out, os_reason(error)) from None
    except ChkFormatError as error:
        # What the checkpoint holds stopped the writer: the input is at fault, not the output.
        message = reason(error, path)
        if args.command == "fchk" and not args.basic:
            # --strict refuses a damaged further section; the basic file does not need it.
            message += "; --basic writes the basic file"
        raise Failure(path, message) from None
    except ValueError as error:
        # What was asked of the checkpoint that it does not hold (a density, an orbital, memory for its grid).
        raise Failure(path, reason(error, path)) from None
    except RuntimeError as error:
        message = reason(error, path)
        raise Failure(out, "could not be written" if message.startswith("Can not write file") else message) from None
    if out != STDOUT:
        print(out)
