"""``tesvarin fchk``, ``gjf`` and ``cube``: one file written from each checkpoint, beside it or where -o says."""

from __future__ import annotations

import argparse
import contextlib
import os
import sys
import warnings

from Tesvarin_ import ChkFormatError, ChkReader_, ChkWarning

from tesvarin._errors import os_reason, reason
from tesvarin.cli import cube
from tesvarin.cli._inputs import check_input, parse
from tesvarin.cli._targets import STDOUT, Failure, Outputs, stdout_to_stderr

__all__ = ["WRITERS", "convert"]


# One function per converting subcommand performs its write; options of that subcommand
# arrive in `args`.
def write_fchk(reader: ChkReader_, path: str, args: argparse.Namespace) -> None:
    reader.write_fchk(os.fsencode(path), complete=not args.basic, strict=args.strict)


def write_gjf(reader: ChkReader_, path: str, args: argparse.Namespace) -> None:
    reader.write_gjf(os.fsencode(path))


WRITERS = {"fchk": write_fchk, "gjf": write_gjf, "cube": cube.write_cube}


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
