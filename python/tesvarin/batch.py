"""`load_many`: many checkpoints parsed on a thread pool, results in input order."""

from __future__ import annotations

import os
import sys
from collections.abc import Iterable
from concurrent.futures import FIRST_EXCEPTION, Future, ThreadPoolExecutor, wait
from typing import Literal, TextIO, overload

from tesvarin import _further
from tesvarin.checkpoint import Checkpoint
from tesvarin.loader import PathLike
from tesvarin.loader import quiet_load as load  # warnings are given here, on the caller's thread


class _Progress:
    """A one-line bar on a terminal: "[#####.....] 12/24"."""

    def __init__(self, total: int, stream: TextIO | None) -> None:
        self.total, self.done, self.stream = total, 0, stream

    def step(self, _: object = None) -> None:
        if self.stream is None:
            return
        self.done += 1
        filled = 30 * self.done // max(self.total, 1)
        self.stream.write(f"\r[{'#' * filled}{'.' * (30 - filled)}] {self.done}/{self.total}")
        if self.done == self.total:
            self.stream.write("\n")
        self.stream.flush()


@overload
def load_many(
    paths: Iterable[PathLike],
    threads: int | None = None,
    errors: Literal["raise"] = "raise",
    progress: bool | None = None,
) -> list[Checkpoint]: ...
@overload
def load_many(
    paths: Iterable[PathLike], threads: int | None = None, *, errors: Literal["return"], progress: bool | None = None
) -> list[Checkpoint | Exception]: ...
def load_many(
    paths: Iterable[PathLike],
    threads: int | None = None,
    errors: Literal["raise", "return"] = "raise",
    progress: bool | None = None,
) -> list[Checkpoint] | list[Checkpoint | Exception]:
    """`load` every path on a pool of `threads` threads (default: one per CPU), in input order.

    errors="raise" raises the first failure (with a note naming its path) and drops the rest;
    errors="return" puts each failure's exception in its path's slot. progress=True draws a bar
    on standard error, None (the default) only when standard error is a terminal.
    """
    if errors not in ("raise", "return"):
        raise ValueError(f'errors must be "raise" or "return", not {errors!r}')
    paths = list(paths)
    if threads is not None and threads < 1:
        raise ValueError(f"threads must be at least 1, not {threads}")
    show = sys.stderr.isatty() if progress is None else progress
    bar = _Progress(len(paths), sys.stderr if show and paths else None)
    with ThreadPoolExecutor(max_workers=threads or os.cpu_count() or 1) as pool:
        # Parsed quietly on the pool; each damaged section is warned of here, in input order, from the
        # caller's line and naming its file (a warning raised on a worker thread would name neither).
        futures: list[Future[Checkpoint]] = [pool.submit(load, path) for path in paths]
        for future in futures:
            future.add_done_callback(bar.step)
        if errors == "raise":
            _, pending = wait(futures, return_when=FIRST_EXCEPTION)
            for future in pending:
                future.cancel()
            for path, future in zip(paths, futures, strict=True):
                error = None if future.cancelled() or not future.done() else future.exception()
                if error is not None:
                    error.add_note(f"while loading {os.fsdecode(bytes(path) if isinstance(path, bytearray) else path)}")
                    raise error
            loaded = [future.result() for future in futures]
            _warn(loaded)
            return loaded
    results: list[Checkpoint | Exception] = []
    for future in futures:
        error = future.exception()
        if error is not None and not isinstance(error, Exception):
            raise error  # KeyboardInterrupt and the like are not a file's failure
        results.append(future.result() if error is None else error)
    _warn(results)
    return results


def _warn(results: list[Checkpoint] | list[Checkpoint | Exception]) -> None:
    """The damaged sections of each checkpoint loaded, in input order, from load_many's caller."""
    for result in results:
        if isinstance(result, Checkpoint):
            _further.warn_damage(result.reader.further, result.path, stacklevel=3)
