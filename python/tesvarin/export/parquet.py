"""The export's Parquet file: writing the tables as they come, and what an earlier output holds for a resume."""

from __future__ import annotations

import os
from collections.abc import Iterable, Sequence
from dataclasses import dataclass
from typing import Any

from tesvarin._optional import require
from tesvarin.export.rows import ROW_GROUP_ROWS
from tesvarin.export.schema import Column, schema

pa = require("pyarrow", "export", "tesvarin's export")
pq = require("pyarrow.parquet", "export", "tesvarin's export")
pc = require("pyarrow.compute", "export", "tesvarin's export")


def exported(path: str) -> dict[str, tuple[int, int]]:
    """path -> (size, mtime_ns) of the files that an existing output holds a row for."""
    done = pq.read_table(path, columns=["path", "size", "mtime_ns"]).to_pydict()
    return {p: (s, m) for p, s, m in zip(done["path"], done["size"], done["mtime_ns"], strict=True)}


def is_current(path: str, done: dict[str, tuple[int, int]]) -> bool:
    """True when `done` holds a row for `path` with its present size and modification time."""
    try:
        info = os.stat(path)
    except OSError:
        return False
    return done.get(os.path.abspath(path)) == (info.st_size, info.st_mtime_ns)


@dataclass
class Counts:
    written: int = 0
    failed: int = 0

    def add(self, batch: Any) -> None:
        failed = batch.num_rows - batch.column("error").null_count
        self.written += batch.num_rows - failed
        self.failed += failed


def write_parquet(
    target: str,
    tables: Iterable[Any],
    columns: Sequence[Column],
    *,
    keep_from: str | None = None,
    drop: frozenset[str] = frozenset(),
) -> Counts:
    """Writes the tables to `target` (a new file) as they come, first the rows of `keep_from` (an earlier
    output in the same schema) whose path is not in `drop`. Returns the counts of the new rows."""
    counts = Counts()
    # Dictionary pages only for text: on the float arrays they cost four times the encoding and grow the file.
    text = [c.name for c in columns if c.kind in ("str", "list<str>")]
    with pq.ParquetWriter(target, schema(columns), compression="zstd", use_dictionary=text) as writer:
        if keep_from is not None:
            earlier = pq.ParquetFile(keep_from)
            for batch in earlier.iter_batches(batch_size=ROW_GROUP_ROWS):
                if drop:
                    batch = batch.filter(pc.invert(pc.is_in(batch.column("path"), pa.array(sorted(drop)))))
                writer.write_table(pa.Table.from_batches([batch], schema=schema(columns)))
        for part in tables:
            writer.write_table(part)
            counts.add(part)
    return counts


def same_columns(path: str, columns: Sequence[Column]) -> bool:
    """True when the Parquet file at `path` has the columns and types of `columns`; False for any other
    file, Parquet or not."""
    try:
        found = pq.read_schema(path)
    except (pa.ArrowException, OSError):
        return False
    return [(f.name, f.type) for f in found] == [(f.name, f.type) for f in schema(columns)]
