"""Many checkpoints as one Arrow table: one row per file, written as Parquet in bounded row groups.

The schema is stable: the columns below, in this order, with these types, whatever the files hold.
A quantity a file does not store is null; a file that cannot be read is a row with its reason in
`error` and nulls elsewhere (the batch never stops for one file). The schema's metadata carries
``tesvarin.schema`` = ``SCHEMA_VERSION``; a change of a column's meaning or type raises it.

Arrays are flattened row-major into list columns; each column's description gives the shape to
reshape to. Units are atomic (Bohr, Hartree, e) as in `tesvarin.Checkpoint`.
"""

from __future__ import annotations

import hashlib
import importlib
import os
import warnings
from collections import deque
from collections.abc import Callable, Iterable, Iterator, Sequence
from concurrent.futures import Future, ThreadPoolExecutor
from dataclasses import dataclass
from types import ModuleType
from typing import Any

import numpy as np
from Tesvarin_ import ChkError, ChkWarning

from tesvarin._errors import first_line, os_reason
from tesvarin.checkpoint import Checkpoint
from tesvarin.loader import load
from tesvarin.summary import formula


def require(module: str, extra: str, what: str) -> ModuleType:
    """Imports an optional dependency, or says which extra brings it."""
    try:
        return importlib.import_module(module)
    except ImportError as error:
        raise ImportError(f'{what} needs {module.split(".")[0]}: pip install "tesvarin[{extra}]"') from error


pa = require("pyarrow", "export", "tesvarin's export")
pq = require("pyarrow.parquet", "export", "tesvarin's export")
pc = require("pyarrow.compute", "export", "tesvarin's export")

SCHEMA_VERSION = "1"
ROW_GROUP_ROWS = 1024  # rows per row group at most ...
ROW_GROUP_BYTES = 64 << 20  # ... and about this many bytes of array values at most


@dataclass(frozen=True)
class Column:
    name: str
    kind: str  # "str", "i64", "f64", "list<i64>", "list<f64>", "list<str>"
    group: str  # "file" (always written), "default", or the --with word that adds it
    doc: str
    get: Callable[[Checkpoint], Any] | None = None  # None: filled by the export itself


def _flat(values: Any) -> Any:
    """A stored array as a flat float64 array; None when absent (or complex, which Arrow lists cannot hold)."""
    if values is None or np.iscomplexobj(values):
        return None
    return np.ascontiguousarray(values, dtype=np.float64).ravel()


def _density(cp: Checkpoint) -> Any:
    return _flat(cp.total_densities.get("SCF"))


# The whole schema, in column order. Counts in the shapes: natoms atoms, nmo orbitals, nbasis
# basis functions, nmodes normal modes, ngeom optimisation geometries.
COLUMNS: tuple[Column, ...] = (
    Column("path", "str", "file", "Absolute path of the checkpoint"),
    Column("size", "i64", "file", "File size, bytes"),
    Column("mtime_ns", "i64", "file", "Modification time, ns since the epoch"),
    Column("error", "str", "file", "Why the file could not be read; null when it was"),
    Column("warnings", "list<str>", "file", "One message per damaged section whose quantities are null"),
    Column("sha256", "str", "hash", "SHA-256 of the file's bytes, hex (reads the whole file)"),
    Column("program_version", "str", "default", "Program version text", lambda cp: cp.program_version),
    Column("title", "str", "default", "Job title", lambda cp: cp.title),
    Column("route", "str", "default", "Route line", lambda cp: cp.route),
    Column("method", "str", "default", "Method with its wavefunction prefix, e.g. RB3LYP", lambda cp: cp.method),
    Column("basis", "str", "default", "Basis set name", lambda cp: cp.basis_name),
    Column("job_type", "str", "default", "Job type, e.g. SP, FOpt, Freq", lambda cp: cp.job_type),
    Column("charge", "i64", "default", "Total charge, e", lambda cp: cp.charge),
    Column("multiplicity", "i64", "default", "Spin multiplicity", lambda cp: cp.multiplicity),
    Column("formula", "str", "default", "Formula in Hill order", lambda cp: formula(list(cp.symbols))),
    Column("n_atoms", "i64", "default", "Number of atoms", lambda cp: len(cp.atomic_numbers)),
    Column("n_basis", "i64", "default", "Number of basis functions", lambda cp: cp.n_basis),
    Column("n_independent", "i64", "default", "Number of independent basis functions", lambda cp: cp.n_independent),
    Column("n_electrons", "i64", "default", "Number of electrons", lambda cp: cp.n_electrons),
    Column("n_alpha", "i64", "default", "Number of alpha electrons", lambda cp: cp.n_alpha),
    Column("n_beta", "i64", "default", "Number of beta electrons", lambda cp: cp.n_beta),
    Column("energy", "f64", "default", "Total energy, Hartree", lambda cp: cp.energy),
    Column("scf_energy", "f64", "default", "SCF energy, Hartree", lambda cp: cp.scf_energy),
    Column("virial_ratio", "f64", "default", "Virial ratio -V/T", lambda cp: cp.virial_ratio),
    Column(
        "atomic_numbers",
        "list<i64>",
        "default",
        "Atomic numbers, (natoms,)",
        lambda cp: np.asarray(cp.atomic_numbers, dtype=np.int64),
    ),
    Column("coordinates", "list<f64>", "default", "Positions, Bohr, (natoms, 3)", lambda cp: _flat(cp.coordinates)),
    Column(
        "gradient",
        "list<f64>",
        "default",
        "Cartesian gradient, Hartree/Bohr, (natoms, 3)",
        lambda cp: _flat(cp.gradient),
    ),
    Column("dipole_moment", "list<f64>", "default", "Dipole moment, e Bohr, (3,)", lambda cp: _flat(cp.dipole_moment)),
    Column(
        "quadrupole_moment",
        "list<f64>",
        "default",
        "Quadrupole moment, e Bohr^2, (3, 3)",
        lambda cp: _flat(cp.quadrupole_moment),
    ),
    Column(
        "mulliken_charges",
        "list<f64>",
        "default",
        "Mulliken charges, e, (natoms,)",
        lambda cp: _flat(cp.mulliken_charges),
    ),
    Column("npa_charges", "list<f64>", "default", "NPA charges, e, (natoms,)", lambda cp: _flat(cp.npa_charges)),
    Column(
        "frequencies",
        "list<f64>",
        "default",
        "Harmonic frequencies, cm^-1, imaginary negative, (nmodes,)",
        lambda cp: _flat(cp.frequencies),
    ),
    Column(
        "zero_point_energy",
        "f64",
        "default",
        "Zero-point energy, Hartree (298.15 K, 1 atm thermochemistry; "
        "from the stored frequencies, or from the force constants with the hessian group)",
    ),
    Column("enthalpy", "f64", "default", "Energy plus thermal enthalpy correction at 298.15 K, 1 atm, Hartree"),
    Column(
        "gibbs_free_energy", "f64", "default", "Energy plus thermal free-energy correction at 298.15 K, 1 atm, Hartree"
    ),
    Column(
        "hessian",
        "list<f64>",
        "hessian",
        "Cartesian force constants, Hartree/Bohr^2, (3 natoms, 3 natoms)",
        lambda cp: _flat(cp.hessian),
    ),
    Column(
        "alpha_orbital_energies",
        "list<f64>",
        "orbitals",
        "Alpha orbital energies, Hartree, (nmo,)",
        lambda cp: _flat(cp.alpha_orbital_energies),
    ),
    Column(
        "beta_orbital_energies",
        "list<f64>",
        "orbitals",
        "Beta orbital energies, Hartree, (nmo,); null when restricted",
        lambda cp: _flat(cp.beta_orbital_energies),
    ),
    Column(
        "alpha_mo_coefficients",
        "list<f64>",
        "orbitals",
        "Alpha MO coefficients, one orbital per row, (nmo, nbasis); null when complex",
        lambda cp: _flat(cp.alpha_mo_coefficients),
    ),
    Column(
        "beta_mo_coefficients",
        "list<f64>",
        "orbitals",
        "Beta MO coefficients, (nmo, nbasis); null when restricted or complex",
        lambda cp: _flat(cp.beta_mo_coefficients),
    ),
    Column("scf_density", "list<f64>", "densities", "Total SCF density, (nbasis, nbasis)", _density),
    Column(
        "trajectory_energies",
        "list<f64>",
        "trajectory",
        "Energies of the optimisation's geometries, Hartree, (ngeom,)",
        lambda cp: _flat(cp.trajectory_energies),
    ),
    Column(
        "trajectory_coordinates",
        "list<f64>",
        "trajectory",
        "The optimisation's geometries, Bohr, (ngeom, natoms, 3)",
        lambda cp: _flat(cp.trajectory_coordinates),
    ),
)
BY_NAME = {column.name: column for column in COLUMNS}
GROUPS = tuple(dict.fromkeys(c.group for c in COLUMNS if c.group not in ("file", "default")))
THERMOCHEMISTRY = ("zero_point_energy", "enthalpy", "gibbs_free_energy")
# The sections of the file a column group needs beyond the molecule, job and further sections.
SECTIONS = {"hessian": "hessian", "orbitals": "orbitals", "densities": "densities"}


def _arrow_type(kind: str) -> Any:
    plain = {"str": pa.string(), "i64": pa.int64(), "f64": pa.float64()}
    return pa.list_(plain[kind[5:-1]]) if kind.startswith("list<") else plain[kind]


def select(columns: Sequence[str] | None = None, with_: Iterable[str] = ()) -> list[Column]:
    """The columns to write, in schema order: the file columns, then `columns` (default: every default
    column) plus the groups named in `with_` ("hash", "hessian", "orbitals", "densities", "trajectory")."""
    with_ = list(with_)
    unknown = [g for g in with_ if g not in GROUPS]
    if unknown:
        raise ValueError(f"unknown --with {', '.join(unknown)}; choose from {', '.join(GROUPS)}")
    wanted = set(columns) if columns is not None else {c.name for c in COLUMNS if c.group == "default"}
    unknown = sorted(wanted - BY_NAME.keys())
    if unknown:
        raise ValueError(f"unknown column {', '.join(unknown)}; the columns are {', '.join(BY_NAME)}")
    wanted |= {c.name for c in COLUMNS if c.group in with_}
    return [c for c in COLUMNS if c.group == "file" or c.name in wanted]


def schema(columns: Sequence[Column]) -> Any:
    fields = [pa.field(c.name, _arrow_type(c.kind), metadata={"description": c.doc}) for c in columns]
    return pa.schema(fields, metadata={"tesvarin.schema": SCHEMA_VERSION})


def sections_for(columns: Sequence[Column]) -> frozenset[str]:
    """The large sections the columns need read (`tesvarin.load`'s `sections` beyond the small ones)."""
    return frozenset(SECTIONS[c.group] for c in columns if c.group in SECTIONS)


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
    """ZPE, H and G at 298.15 K and 1 atm, as the program prints them; null for a job without frequencies."""
    try:
        t = cp.thermochemistry(298.15, 1.0)
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
        if names & set(THERMOCHEMISTRY) and (cp.frequencies is not None or "hessian" in cp.sections):
            row.update(_thermochemistry(cp))
    except (RuntimeError, OSError, ValueError, MemoryError) as error:
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
    return result if offsets.dtype == np.int32 else result.cast(_arrow_type(kind))


def table(rows: Sequence[dict[str, Any]], columns: Sequence[Column]) -> Any:
    """The Arrow table of `rows` in the schema of `columns`."""
    arrays = []
    for column in columns:
        values = [row.get(column.name) for row in rows]
        if column.kind in ("list<i64>", "list<f64>"):
            arrays.append(_list_array(values, column.kind))
        else:
            arrays.append(pa.array(values, type=_arrow_type(column.kind)))
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


def find_checkpoints(inputs: Iterable[str]) -> Iterator[str]:
    """Each input that is a file, and the ``*.chk`` files under each input that is a directory, sorted."""
    for item in inputs:
        if not os.path.isdir(item):
            yield item
            continue
        for folder, subfolders, files in os.walk(item):
            subfolders.sort()
            yield from (os.path.join(folder, name) for name in sorted(files) if name.endswith(".chk"))


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
    with pq.ParquetWriter(target, schema(columns), compression="zstd") as writer:
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
