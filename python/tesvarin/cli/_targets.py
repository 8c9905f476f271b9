"""Where the command line's outputs go: beside the input, at a named path, into a folder, or to
standard output; and the rules that keep every file safe (never an input, never a checkpoint,
never a file written earlier in the same run, an existing file only with --force).

Any subcommand that writes one file per input uses `Outputs.write`; its failures and skips are
`Failure` and `Skipped`, each naming the path it concerns.
"""

from __future__ import annotations

import contextlib
import os
import shutil
import stat
import sys
import tempfile
from collections.abc import Callable, Iterator
from pathlib import Path

from tesvarin._reasons import length_problem, os_reason
from tesvarin.safe_write import write_replacing

STDOUT = "-"
EXISTS = "exists; use --force to replace it"


class Failure(Exception):
    """One input's failure: the path it concerns and why, in words for the person at the terminal."""

    def __init__(self, path: str, reason: str) -> None:
        super().__init__(f"{path}: {reason}")
        self.path, self.reason = path, reason


class Skipped(Failure):
    """An output left as it was on request (--no-clobber): a notice, not a failure."""


def is_folder(output: str | None) -> bool:
    """-o names a folder when it ends in a slash or is an existing directory."""
    return output is not None and output != STDOUT and (output.endswith(os.sep) or os.path.isdir(output))


@contextlib.contextmanager
def stdout_to_stderr() -> Iterator[None]:
    """The reader prints its warnings on standard output; keep them out of what goes there."""
    sys.stdout.flush()
    saved = os.dup(1)
    os.dup2(2, 1)
    try:
        yield
    finally:
        os.dup2(saved, 1)
        os.close(saved)


class Outputs:
    """The targets of one run: never an input, never a checkpoint, never written twice."""

    def __init__(self, inputs: list[str], force: bool, no_clobber: bool = False) -> None:
        self.inputs = {os.path.realpath(p) for p in inputs}
        self.force, self.no_clobber = force, no_clobber
        self.written: dict[str, str] = {}  # real path of each output -> the input it came from

    def path_for(self, source: str, output: str | None, suffix: str) -> str:
        """The output of `source`: beside it, at -o, or in the folder -o names; "-" for standard output."""
        if output is None:
            return str(Path(source).with_suffix(suffix))
        if is_folder(output):
            return os.path.join(output, Path(source).with_suffix(suffix).name)
        return output

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
            raise Failure(out, os_reason(error)) from None
        if stat.S_ISDIR(mode):
            raise Failure(out, "is a directory")
        if not stat.S_ISREG(mode):
            raise Failure(out, "is not a regular file")
        try:
            is_checkpoint = length_problem(real) is None
        except OSError as error:
            raise Failure(out, f"can not be read to make sure it is no checkpoint ({os_reason(error)})") from None
        if is_checkpoint:
            raise Failure(out, "is a Gaussian checkpoint; it is never replaced")
        if self.no_clobber:
            raise Skipped(out, "exists; kept (--no-clobber)")
        if not self.force:
            raise Failure(out, EXISTS)
        return real

    def write(self, source: str, out: str, write: Callable[[str], None]) -> None:
        """Has `write(path)` write the output of `source` to `out` (checked by `target` first, or
        standard output), through a temporary file. OSError and the writer's own errors pass
        through; an output that appeared meanwhile is a Failure or, with --no-clobber, Skipped."""
        if out == STDOUT:
            self._to_stdout(write)
            return
        target = self.target(out)
        try:
            write_replacing(target, write, replace=self.force)
        except FileExistsError:
            raise (Skipped(out, "exists; kept (--no-clobber)") if self.no_clobber else Failure(out, EXISTS)) from None
        self.written[target] = source

    @staticmethod
    def _to_stdout(write: Callable[[str], None]) -> None:
        # The writers write paths; the whole file is made first, so a failure sends nothing.
        with tempfile.TemporaryDirectory(prefix="tesvarin-") as folder:
            path = os.path.join(folder, "out")
            with stdout_to_stderr():
                write(path)
            sys.stdout.flush()
            with open(path, "rb") as made:
                shutil.copyfileobj(made, sys.stdout.buffer)
            sys.stdout.buffer.flush()
