"""Reading one input of a command: the length test before any parse, the parse, the failure in words."""

from __future__ import annotations

import os
import sys
import warnings
from typing import TYPE_CHECKING

from Tesvarin_ import ChkReader_, ChkWarning

from tesvarin._reasons import length_problem, os_reason, reason
from tesvarin.cli._targets import Failure

if TYPE_CHECKING:
    from tesvarin.checkpoint import Checkpoint

__all__ = ["check_input", "load_saying_warnings", "parse", "said"]


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


def said(error: BaseException, path: str) -> str:
    """What went wrong with `path`, said once (the texts of tesvarin.load start with the path)."""
    return reason(error, path).removeprefix(f"{path}: ")


def load_saying_warnings(path: str) -> Checkpoint:
    """`tesvarin.load(path)`, each damaged section said on standard error as the other commands say it;
    the command goes on without that section."""
    import tesvarin

    with warnings.catch_warnings(record=True) as notes:
        warnings.simplefilter("always", ChkWarning)
        cp = tesvarin.load(path)
    for note in notes:
        text = str(note.message).removeprefix(f"{path}: ")  # load's warnings name the file already
        print(f"tesvarin: {path}: warning: {text}", file=sys.stderr, flush=True)
    return cp
