"""The export on a Dask cluster: files split into chunks, each chunk read on a worker.

Every worker must see the files at the same paths (a shared file system). A task holds one
chunk's rows at most; its result is an Arrow table in the export's schema, or with
`write_dataset` one Parquet file that the worker writes itself. Needs ``pip install "tesvarin[dask]"``.

    import tesvarin.dask
    frame = tesvarin.dask.read_checkpoints(paths, columns=["energy", "formula"])   # a dask.dataframe
"""

from __future__ import annotations

import contextlib
import os
import re
import shutil
import sys
import tempfile
from collections import deque
from collections.abc import Iterable, Iterator, Sequence
from typing import Any

from tesvarin import export
from tesvarin.batch import _Progress
from tesvarin.export import BY_NAME, Column, require

__all__ = ["read_checkpoints", "tables", "write_dataset"]

_PART = re.compile(r"part-\d{5,}\.parquet\Z")


def chunks(paths: Sequence[str], size: int) -> list[list[str]]:
    if size < 1:
        raise ValueError(f"chunk size must be at least 1, not {size}")
    return [list(paths[i : i + size]) for i in range(0, len(paths), size)]


def chunk_table(paths: list[str], names: list[str]) -> Any:
    """The export's table of one chunk of files (what a worker runs)."""
    columns = [BY_NAME[name] for name in names]
    return export.table(list(export.read_rows(paths, columns)), columns)


def chunk_frame(paths: list[str], names: list[str]) -> Any:
    """One chunk as a pandas frame whose columns keep their Arrow types."""
    pd = require("pandas", "dask", "tesvarin.dask")
    return chunk_table(paths, names).to_pandas(types_mapper=pd.ArrowDtype)


def chunk_file(paths: list[str], names: list[str], target: str) -> tuple[int, int]:
    """Writes one chunk's table to `target` (through a temporary name); returns (written, failed)."""
    part = chunk_table(paths, names)
    temporary = f"{target}.tmp"
    export.pq.write_table(part, temporary, compression="zstd")
    os.replace(temporary, target)
    failed = part.num_rows - part.column("error").null_count
    return part.num_rows - failed, failed


@contextlib.contextmanager
def client(scheduler: Any = None, workers: int | None = None) -> Iterator[Any]:
    """A client of the cluster at `scheduler` (an address, or a `distributed.Client` to use as it is),
    or of a new local cluster of `workers` processes."""
    distributed = require("distributed", "dask", "The export on Dask")
    if isinstance(scheduler, distributed.Client):
        yield scheduler
        return
    if scheduler:
        with distributed.Client(scheduler) as connected:
            yield connected
        return
    with (
        distributed.LocalCluster(
            n_workers=workers or os.cpu_count() or 1, threads_per_worker=1, processes=True, dashboard_address=":0"
        ) as cluster,
        distributed.Client(cluster) as connected,
    ):
        yield connected


def _in_order(futures: Iterable[Any], window: int) -> Iterator[Any]:
    """The results of `futures` in their order, with at most `window` submitted and not yet collected."""
    pending: deque[Any] = deque()
    for future in futures:
        pending.append(future)
        if len(pending) >= window:
            yield pending.popleft().result()
    while pending:
        yield pending.popleft().result()


def tables(
    paths: Sequence[str],
    columns: Sequence[Column],
    *,
    scheduler: Any = None,
    workers: int | None = None,
    chunk_size: int = 64,
    progress: bool = False,
) -> Iterator[Any]:
    """The export's tables, one per chunk of `chunk_size` files, in the order of `paths`."""
    names = [c.name for c in columns]
    parts = chunks(paths, chunk_size)
    bar = _Progress(len(paths), sys.stderr if progress and paths else None)
    with client(scheduler, workers) as c:
        window = 2 * max(len(c.scheduler_info().get("workers", {})), 1)
        submitted = (c.submit(chunk_table, part, names, pure=False) for part in parts)
        for table in _in_order(submitted, window):
            for _ in range(table.num_rows):
                bar.step()
            yield table


def write_dataset(
    paths: Sequence[str],
    columns: Sequence[Column],
    folder: str,
    *,
    scheduler: str | None = None,
    workers: int | None = None,
    chunk_size: int = 64,
    local: bool = False,
) -> tuple[int, int]:
    """A partitioned Parquet dataset at `folder`: part-00000.parquet, ... one per chunk, in the order of
    `paths`, each written by the process that read the chunk. `folder` appears once every part is
    written; an existing one is replaced only when it holds nothing but such parts. Returns
    (written, failed)."""
    names = [c.name for c in columns]
    parts = chunks(paths, chunk_size)
    old = sorted(os.listdir(folder)) if os.path.isdir(folder) else []
    if any(not _PART.match(name) for name in old):
        raise FileExistsError(f"{folder} holds files other than part-NNNNN.parquet; it is not replaced")
    building = tempfile.mkdtemp(dir=os.path.dirname(os.path.abspath(folder)), prefix=f".{os.path.basename(folder)}.")
    try:
        targets = [os.path.join(building, f"part-{k:05d}.parquet") for k in range(len(parts))]
        if local:
            counts = [chunk_file(part, names, target) for part, target in zip(parts, targets, strict=True)]
        else:
            with client(scheduler, workers) as c:
                counts = c.gather(c.map(chunk_file, parts, [names] * len(parts), targets, pure=False))
        if os.path.isdir(folder):
            shutil.rmtree(folder)  # only part files, checked above
        os.rename(building, folder)
    finally:
        shutil.rmtree(building, ignore_errors=True)
    return sum(w for w, _ in counts), sum(f for _, f in counts)


def read_checkpoints(
    paths: Iterable[str], columns: Sequence[str] | None = None, with_: Iterable[str] = (), chunk_size: int = 64
) -> Any:
    """A `dask.dataframe` of the export's rows (`tesvarin.export` schema, Arrow-typed columns), one
    partition per chunk of `chunk_size` files; directories are searched for ``*.chk`` as by the export."""
    dd = require("dask.dataframe", "dask", "tesvarin.dask")
    pd = require("pandas", "dask", "tesvarin.dask")
    selected = export.select(columns, with_)
    names = [c.name for c in selected]
    meta = export.table([], selected).to_pandas(types_mapper=pd.ArrowDtype)
    parts = chunks(list(export.find_checkpoints(paths)), chunk_size)
    if not parts:
        return dd.from_pandas(meta, npartitions=1)
    return dd.from_map(chunk_frame, parts, names=names, meta=meta, enforce_metadata=False)
