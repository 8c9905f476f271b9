"""``tesvarin export``: many checkpoints into one Parquet table or one QCSchema record per line.

The output is written under a temporary name beside it and renamed into place once complete, so
an interrupt leaves no partial output (and an earlier output as it was).
"""

from __future__ import annotations

import argparse
import json
import os
import sys
import warnings
from collections.abc import Callable, Iterator
from typing import Any

from tesvarin.batch import _Progress

__all__ = ["add_parser", "run"]

DESCRIPTION = """\
Write one row per checkpoint (files, and the *.chk files under each directory, searched
recursively) into one Parquet file with a fixed schema, or with --format qcschema one QCSchema
record per line. A file that cannot be read is a row with its reason in the column `error`; the
others are still written. Ends with a line "N written, N failed"."""


def add_parser(commands: argparse._SubParsersAction[argparse.ArgumentParser], epilog: str) -> None:
    parser = commands.add_parser(
        "export",
        help="many checkpoints into one Parquet table or QCSchema JSON lines",
        description=DESCRIPTION,
        epilog=epilog,
    )
    parser.add_argument("inputs", nargs="*", metavar="PATH", help="checkpoint files and directories")
    parser.add_argument("--from-list", metavar="FILE", help="read further paths from FILE, one per line")
    parser.add_argument(
        "-o",
        "--output",
        metavar="OUT",
        required=True,
        help="OUT.parquet, OUT.jsonl with --format qcschema, or DIR/ for a partitioned Parquet "
        "dataset (one file per chunk)",
    )
    parser.add_argument(
        "--format",
        choices=("parquet", "qcschema"),
        default="parquet",
        help="parquet: one row per file in a fixed schema (default); qcschema: one QCSchema record per line",
    )
    parser.add_argument(
        "--columns",
        metavar="A,B,...",
        help="write only these columns (path, size, mtime_ns, error and warnings always come)",
    )
    parser.add_argument(
        "--with",
        dest="with_",
        metavar="GROUP,...",
        default="",
        help="add large columns: hash, hessian, orbitals, densities, trajectory",
    )
    parser.add_argument(
        "--resume",
        action="store_true",
        help="keep an existing OUT.parquet and add only the files "
        "it holds no row for with their present size and modification time",
    )
    parser.add_argument("-f", "--force", action="store_true", help="replace an existing output")
    parser.add_argument(
        "-j",
        "--jobs",
        "--threads",
        dest="threads",
        type=int,
        default=1,
        metavar="N",
        help="read N files at once: this process and N - 1 worker processes (default 1)",
    )
    engine = parser.add_mutually_exclusive_group()
    engine.add_argument("--dask", action="store_true", help="run on a local Dask cluster (needs the dask extra)")
    engine.add_argument(
        "--scheduler",
        metavar="ADDRESS",
        help="run on the Dask cluster at ADDRESS; every worker must see the files (and DIR/)",
    )
    parser.add_argument("--workers", type=int, default=None, metavar="N", help="worker processes of --dask")
    parser.add_argument("--chunk-size", type=int, default=64, metavar="N", help="files per Dask task (default 64)")


class UsageError(Exception):
    pass


def _paths(args: argparse.Namespace) -> list[str]:
    from tesvarin.export import find_checkpoints

    inputs = list(args.inputs)
    if args.from_list is not None:
        with open(args.from_list, encoding="utf-8", errors="surrogateescape") as f:
            inputs += [line.rstrip("\n") for line in f if line.strip()]
    if not inputs:
        raise UsageError("no input: give paths or --from-list FILE")
    return list(find_checkpoints(inputs))


class _Notes:
    """What the rows of a local export lack, said once at the end."""

    def __init__(self) -> None:
        self.without_thermochemistry = 0


NOTES = _Notes()


def _progress(total: int, rows: Iterator[Any], flag: str | None = None) -> Iterator[Any]:
    bar = _Progress(total, sys.stderr if sys.stderr.isatty() and total else None)
    for row in rows:
        bar.step()
        if flag is not None and row.get(flag):
            NOTES.without_thermochemistry += 1
        yield row


def _table_progress(total: int, tables: Iterator[Any]) -> Iterator[Any]:
    bar = _Progress(total, sys.stderr if sys.stderr.isatty() and total else None)
    for part in tables:
        for _ in range(part.num_rows):
            bar.step()
        yield part


Counts = tuple[int, int]  # written, failed
Deliver = Callable[[Callable[[str], None]], None]  # writes the output through a temporary file


def run(args: argparse.Namespace) -> int:
    from tesvarin.cli._targets import STDOUT, Failure, Outputs, is_folder

    NOTES.without_thermochemistry = 0
    try:
        paths = _paths(args)
        if is_folder(args.output):
            counts = _dataset(args, paths)
        else:
            if args.output == STDOUT and args.resume:
                raise UsageError("--resume needs an output file, not -")
            outputs = Outputs(paths, args.force or args.resume)
            produce = _qcschema if args.format == "qcschema" else _parquet
            counts = produce(args, paths, lambda write: outputs.write("export", args.output, write))
    except UsageError as error:
        print(f"tesvarin export: {error}", file=sys.stderr)
        return 2
    except ImportError as error:  # an optional dependency missing: the message names the extra
        print(f"tesvarin export: {error}", file=sys.stderr)
        return 1
    except Failure as failure:
        print(f"tesvarin: {failure}", file=sys.stderr, flush=True)
        return 1
    except OSError as error:
        print(f"tesvarin: {args.output}: {error.strerror or error}", file=sys.stderr, flush=True)
        return 1
    # With the data on standard output, the closing line goes to standard error.
    closing = sys.stderr if args.output == STDOUT else sys.stdout
    if args.output != STDOUT:
        print(args.output)
    if NOTES.without_thermochemistry:
        n = NOTES.without_thermochemistry
        print(
            f"tesvarin export: {n} {'row lacks' if n == 1 else 'rows lack'} the thermochemistry columns: "
            "the files hold force constants but no stored frequencies (Gaussian 09); --with hessian computes them",
            file=sys.stderr,
            flush=True,
        )
    if args.format == "parquet" and counts[1]:
        # The QCSchema route says each failure as it comes; a table keeps them in a column.
        files = "file" if counts[1] == 1 else "files"
        print(
            f'tesvarin export: {counts[1]} {files} failed; the column "error" of {args.output} says why',
            file=sys.stderr,
            flush=True,
        )
    print(f"{counts[0]} written, {counts[1]} failed", file=closing, flush=True)
    return 1 if counts[1] else 0


def _columns(args: argparse.Namespace) -> list[Any]:
    from tesvarin import export

    chosen = None if args.columns is None else [c.strip() for c in args.columns.split(",") if c.strip()]
    groups = [g.strip() for g in args.with_.split(",") if g.strip()]
    try:
        return export.select(chosen, groups)
    except ValueError as error:
        raise UsageError(str(error)) from None


def _tables(args: argparse.Namespace, paths: list[str], columns: list[Any]) -> Iterator[Any]:
    from tesvarin import export

    if args.dask or args.scheduler:
        from tesvarin.dask import tables

        return tables(
            paths,
            columns,
            scheduler=args.scheduler,
            workers=args.workers,
            chunk_size=args.chunk_size,
            progress=sys.stderr.isatty(),
        )
    if args.threads > 1:
        return _table_progress(len(paths), export.read_tables(paths, columns, processes=args.threads))
    from tesvarin.export.rows import NEEDS_HESSIAN

    return export.batches(_progress(len(paths), export.read_rows(paths, columns), NEEDS_HESSIAN), columns)


def _parquet(args: argparse.Namespace, paths: list[str], deliver: Deliver) -> Counts:
    from tesvarin import export

    columns = _columns(args)
    keep_from, drop = None, frozenset[str]()
    if args.resume and os.path.exists(args.output):
        if not export.same_columns(args.output, columns):
            raise UsageError(
                f"{args.output} is no table of this export's columns; --resume takes a file "
                "written by tesvarin export with the same --columns and --with"
            )
        done = export.exported(args.output)
        paths = [p for p in paths if not export.is_current(p, done)]
        keep_from, drop = args.output, frozenset(os.path.abspath(p) for p in paths) & done.keys()
    counts = export.Counts()

    def write(temporary: str) -> None:
        nonlocal counts
        counts = export.write_parquet(temporary, _tables(args, paths, columns), columns, keep_from=keep_from, drop=drop)

    deliver(write)
    return counts.written, counts.failed


def _dataset(args: argparse.Namespace, paths: list[str]) -> Counts:
    """-o DIR/: one Parquet file per chunk, written where the chunk was read; DIR appears once all are."""
    from tesvarin.dask import write_dataset

    if args.format != "parquet" or args.resume:
        raise UsageError("-o DIR/ writes Parquet only, and cannot --resume")
    target = args.output.rstrip(os.sep) or os.sep
    if os.path.lexists(target) and not (os.path.isdir(target) and args.force):
        raise UsageError(f"{args.output} exists; use --force to replace it")
    return write_dataset(
        paths,
        _columns(args),
        target,
        scheduler=args.scheduler,
        workers=args.workers,
        chunk_size=args.chunk_size,
        local=not (args.dask or args.scheduler),
    )


def _qcschema(args: argparse.Namespace, paths: list[str], deliver: Deliver) -> Counts:
    from Tesvarin_ import ChkWarning

    from tesvarin.export import failure_reason
    from tesvarin.loader import load

    if args.resume or args.dask or args.scheduler or args.columns or args.with_:
        raise UsageError("--format qcschema takes none of --resume, --dask, --scheduler, --columns, --with")
    written = failed = 0

    def write(temporary: str) -> None:
        nonlocal written, failed
        with open(temporary, "w", encoding="utf-8") as out, warnings.catch_warnings():
            warnings.simplefilter("ignore", ChkWarning)
            for path in _progress(len(paths), iter(paths)):
                try:
                    record = load(path).to_qcschema()
                except Exception as error:  # whatever fails is this file's message
                    print(f"tesvarin: {path}: {failure_reason(error, path)}", file=sys.stderr, flush=True)
                    failed += 1
                    continue
                out.write(json.dumps(record, allow_nan=False) + "\n")
                written += 1

    deliver(write)
    return written, failed
