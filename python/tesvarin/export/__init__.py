"""Many checkpoints as one Arrow table: one row per file, written as Parquet in bounded row groups.

The schema is stable: the columns below, in this order, with these types, whatever the files hold.
A quantity a file does not store is null; a file that cannot be read is a row with its reason in
`error` and nulls elsewhere (the batch never stops for one file). The schema's metadata carries
``tesvarin.schema`` = ``SCHEMA_VERSION``; a change of a column's meaning or type raises it.

Arrays are flattened row-major into list columns; each column's description gives the shape to
reshape to. Units are atomic (Bohr, Hartree, e) as in `tesvarin.Checkpoint`.
"""

from tesvarin._optional import require
from tesvarin.export.parquet import Counts, exported, is_current, pc, pq, same_columns, write_parquet
from tesvarin.export.rows import (
    ROW_GROUP_BYTES,
    ROW_GROUP_ROWS,
    batches,
    failure_reason,
    find_checkpoints,
    read_row,
    read_rows,
    read_tables,
    table,
)
from tesvarin.export.schema import (
    BY_NAME,
    COLUMNS,
    GROUPS,
    SCHEMA_VERSION,
    SECTIONS,
    THERMOCHEMISTRY,
    Column,
    pa,
    schema,
    sections_for,
    select,
)

__all__ = [
    "BY_NAME",
    "COLUMNS",
    "GROUPS",
    "ROW_GROUP_BYTES",
    "ROW_GROUP_ROWS",
    "SCHEMA_VERSION",
    "SECTIONS",
    "THERMOCHEMISTRY",
    "Column",
    "Counts",
    "batches",
    "exported",
    "failure_reason",
    "find_checkpoints",
    "is_current",
    "pa",
    "pc",
    "pq",
    "read_row",
    "read_rows",
    "read_tables",
    "require",
    "same_columns",
    "schema",
    "sections_for",
    "select",
    "table",
    "write_parquet",
]
