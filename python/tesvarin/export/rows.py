"""Running the export: one row per checkpoint, read on threads, gathered into Arrow tables of bounded size.

A file that cannot be read is a row with its reason in `error` and nulls elsewhere (the batch never
stops for one file).
"""

from __future__ import annotations

import hashlib
import itertools
import math
import multiprocessing
import os
import warnings
from collections import deque
from collections.abc import Iterable, Iterator, Sequence, Sized
from concurrent.futures import Future, ProcessPoolExecutor, ThreadPoolExecutor
from typing import Any

import numpy as np
import Tesvarin_
from Tesvarin_ import ChkError, ChkWarning

from tesvarin._optional import require
from tesvarin._reasons import first_line, os_reason
from tesvarin.checkpoint import Checkpoint
from tesvarin.export.schema import BY_NAME, THERMOCHEMISTRY, Column, arrow_type, schema, sections_for
from tesvarin.loader import load
from tesvarin.safe_write import interrupts_held

pa = require("pyarrow", "export", "tesvarin's export")

# A row's mark (not a column) that its thermochemistry columns wait for the force constants (--with hessian).
NEEDS_HESSIAN = "_needs_hessian"
ROW_GROUP_ROWS = 1024  # rows per row group at most ...
ROW_GROUP_BYTES = 64 << 20  # ... and about this many bytes of array values at most


def failure_reason(error: BaseException, path: str) -> str:
    """Why the file at `path` could not be read, in the command line's words, without the path."""
    if isinstance(error, OSError) and not isinstance(error, ChkError):
        return os_reason(error)
    text = first_line(error)
    return text.removeprefix(f"{path}: ")


def _sha256(path: str) -> str:
    digest = hashlib.sha256()
    with open(path, "rb") as f:
        while block := f.read(1 << 20):
            digest.update(block)
    return digest.hexdigest()


def _thermochemistry(cp: Checkpoint) -> dict[str, Any]:
    """ZPE, H and G at the job's temperature and pressure (298.15 K and 1 atm when the checkpoint stores
    none), as the program prints them; null for a job without frequencies."""
    try:
        t = cp.thermochemistry()
    except (ValueError, RuntimeError):  # no real modes, or masses the analysis refuses: the row stays
        return dict.fromkeys(THERMOCHEMISTRY)
    e = t.electronic_energy_hartree
    return {
        "zero_point_energy": t.zero_point_energy_hartree,
        "enthalpy": e + t.thermal_enthalpy_correction_hartree,
        "gibbs_free_energy": e + t.thermal_gibbs_correction_hartree,
    }


def read_row(path: str, columns: Sequence[Column]) -> dict[str, Any]:
    """One file's row: every column in `columns`, null where the file holds nothing; a failure is its `error`."""
    row: dict[str, Any] = {**dict.fromkeys(c.name for c in columns), "path": os.path.abspath(path)}
    names = {c.name for c in columns}
    try:
        info = os.stat(path)
        row["size"], row["mtime_ns"] = info.st_size, info.st_mtime_ns
        cp = load(path, sections=sections_for(columns))
        if "sha256" in names:
            row["sha256"] = _sha256(path)
        row["warnings"] = list(cp.reader.further.damage)
        for column in columns:
            if column.get is not None:
                row[column.name] = column.get(cp)
        # From the stored frequencies; a file with force constants only (the 09 program) runs the
        # analysis on them when the columns read them (--with hessian), since they can be most of a file.
        if names & set(THERMOCHEMISTRY):
            # An atom of a frequency job stores masses only: it has thermochemistry without modes.
            atom = len(cp.symbols) == 1 and Tesvarin_.thermo.vibration_blocks(cp.reader) is not None
            if cp.frequencies is not None or "hessian" in cp.sections or atom:
                row.update(_thermochemistry(cp))
            elif cp.job_type == "Freq" or "freq" in cp.route.lower():
                row[NEEDS_HESSIAN] = True
    except Exception as error:  # whatever fails is this file's error row, never the end of the table
        kept = {"path", "size", "mtime_ns"}
        row = {key: value if key in kept else None for key, value in row.items()}
        row["error"] = failure_reason(error, path)
    return row


def _list_array(values: list[Any], kind: str) -> Any:
    """A list column from flat NumPy arrays (or None) without a Python loop over the elements."""
    dtype = np.int64 if kind == "list<i64>" else np.float64
    arrays = [np.asarray(v, dtype=dtype).ravel() if v is not None else np.empty(0, dtype) for v in values]
    offsets = np.zeros(len(arrays) + 1, dtype=np.int32 if sum(a.size for a in arrays) < 2**31 else np.int64)
    np.cumsum([a.size for a in arrays], out=offsets[1:])
    flat = np.concatenate(arrays) if arrays else np.empty(0, dtype)
    mask = pa.array([v is None for v in values], type=pa.bool_())
    array_type = pa.ListArray if offsets.dtype == np.int32 else pa.LargeListArray
    result = array_type.from_arrays(pa.array(offsets), pa.array(flat), mask=mask)
    return result if offsets.dtype == np.int32 else result.cast(arrow_type(kind))


def table(rows: Sequence[dict[str, Any]], columns: Sequence[Column]) -> Any:
    """The Arrow table of `rows` in the schema of `columns`."""
    arrays = []
    for column in columns:
        values = [row.get(column.name) for row in rows]
        if column.kind in ("list<i64>", "list<f64>"):
            arrays.append(_list_array(values, column.kind))
        else:
            arrays.append(pa.array(values, type=arrow_type(column.kind)))
    return pa.Table.from_arrays(arrays, schema=schema(columns))


def _row_bytes(row: dict[str, Any]) -> int:
    return sum(v.nbytes for v in row.values() if isinstance(v, np.ndarray))


def batches(rows: Iterable[dict[str, Any]], columns: Sequence[Column]) -> Iterator[Any]:
    """Tables of at most ROW_GROUP_ROWS rows and about ROW_GROUP_BYTES bytes each, as the rows come."""
    pending: list[dict[str, Any]] = []
    held = 0
    for row in rows:
        pending.append(row)
        held += _row_bytes(row)
        if len(pending) >= ROW_GROUP_ROWS or held >= ROW_GROUP_BYTES:
            yield table(pending, columns)
            pending, held = [], 0
    if pending:
        yield table(pending, columns)


def read_rows(paths: Iterable[str], columns: Sequence[Column], threads: int = 1) -> Iterator[dict[str, Any]]:
    """`read_row` of each path, in input order, on `threads` threads with a bounded window of files in flight."""
    with warnings.catch_warnings():
        # A damaged section is the row's `warnings`, not a message on the terminal.
        warnings.simplefilter("ignore", ChkWarning)
        if threads <= 1:
            for path in paths:
                yield read_row(path, columns)
            return
        pending: deque[Future[dict[str, Any]]] = deque()
        source = iter(paths)
        with ThreadPoolExecutor(max_workers=threads) as pool:
            try:
                for path in source:
                    pending.append(pool.submit(read_row, path, columns))
                    if len(pending) >= 4 * threads:
                        yield pending.popleft().result()
                while pending:
                    yield pending.popleft().result()
            finally:
                for future in pending:
                    future.cancel()


def chunk_table(paths: list[str], names: list[str]) -> Any:
    """The table of one chunk of files, in the schema of the columns `names` (what a worker runs)."""
    columns = [BY_NAME[name] for name in names]
    return table(list(read_rows(paths, columns)), columns)


def _chunk_stream(paths: list[str], names: list[str]) -> Any:
    """`chunk_table` as an Arrow IPC stream: a tenth of the cost of pickling the table, both ways."""
    part = chunk_table(paths, names)
    sink = pa.BufferOutputStream()
    with pa.ipc.new_stream(sink, part.schema) as stream:
        stream.write_table(part)
    return sink.getvalue()


CHUNK_FILES = 64  # files per task of a worker process at most: each task costs the parent about a millisecond
MIN_CHUNK_FILES = 4  # ... and at least, unless the list ends


def read_tables(paths: Iterable[str], columns: Sequence[Column], processes: int) -> Iterator[Any]:
    """The tables of `paths` in their order, each at most ROW_GROUP_ROWS rows and about ROW_GROUP_BYTES
    bytes, read by `processes` readers: this process and `processes` - 1 worker processes, in chunks of
    up to CHUNK_FILES files (fewer towards the end of a list of paths), at most 4 `processes` chunks read
    ahead.

    Building a row is mostly Python, which holds the interpreter lock, so threads hardly overlap; worker
    processes do, and each sends back one Arrow table per chunk as an IPC stream. This process writes the
    tables as they come and reads a chunk itself whenever the next one in order is not back yet. The
    workers start by forking where the system can (nothing to import again), else as fresh interpreters.
    """
    if processes <= 1:
        yield from batches(read_rows(paths, columns), columns)
        return
    names = [c.name for c in columns]
    source = iter(paths)
    left = len(paths) if isinstance(paths, Sized) else None

    def next_chunk() -> list[str]:
        # Chunks shrink as the list runs out (a quarter of each reader's share of what is left), so
        # that no reader is left with a long chunk while the others wait at the end.
        nonlocal left
        if left is None:
            return list(itertools.islice(source, CHUNK_FILES))
        size = min(CHUNK_FILES, max(MIN_CHUNK_FILES, math.ceil(left / (4 * processes))))
        chunk = list(itertools.islice(source, size))
        left -= len(chunk)
        return chunk

    parts = enumerate(iter(next_chunk, []))
    method = "fork" if "fork" in multiprocessing.get_all_start_methods() else "spawn"
    pool = ProcessPoolExecutor(max_workers=processes - 1, mp_context=multiprocessing.get_context(method))
    waiting: dict[int, list[str]] = {}  # chunks read ahead, by their place in the order
    sent: dict[int, Future[Any]] = {}
    ready: dict[int, Any] = {}
    head = ahead = 0  # the next chunk in order; the chunks taken from `paths`
    held: list[Any] = []
    rows = size = 0  # rows and bytes of the tables held
    try:
        while True:
            while ahead - head < 4 * processes and (part := next(parts, None)) is not None:
                waiting[part[0]] = part[1]
                ahead += 1
            while waiting and len(sent) < 2 * (processes - 1):  # each worker busy, one more chunk queued
                k = min(waiting)
                # The first submit forks the workers. An interrupt during a fork would be lost in a fork
                # handler of the standard library; held, it comes right after. The workers forked
                # meanwhile keep it held, so a Ctrl-C reaches this process alone, which stops them.
                with interrupts_held():
                    sent[k] = pool.submit(_chunk_stream, waiting.pop(k), names)
            if head in sent and (sent[head].done() or not waiting):
                ready[head] = pa.ipc.open_stream(sent.pop(head).result()).read_all()
            elif waiting:  # the next chunk in order is being read elsewhere, or by no one yet
                k = head if head in waiting else min(waiting)
                ready[k] = chunk_table(waiting.pop(k), names)
            elif head == ahead:
                break
            while head in ready:
                part, head = ready.pop(head), head + 1
                more = part.get_total_buffer_size()
                if held and (rows + part.num_rows > ROW_GROUP_ROWS or size + more > ROW_GROUP_BYTES):
                    yield pa.concat_tables(held)
                    held, rows, size = [], 0, 0
                held.append(part)
                rows, size = rows + part.num_rows, size + more
        if held:
            yield pa.concat_tables(held)
    finally:
        pool.shutdown(cancel_futures=True)


def find_checkpoints(inputs: Iterable[str]) -> Iterator[str]:
    """Each input that is a file, and the ``*.chk`` files under each input that is a directory, sorted."""
    for item in inputs:
        if not os.path.isdir(item):
            yield item
            continue
        for folder, subfolders, files in os.walk(item):
            subfolders.sort()
            yield from (os.path.join(folder, name) for name in sorted(files) if name.endswith(".chk"))
