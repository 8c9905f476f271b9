"""The export's table schema: every column, its Arrow type and what fills it, and the choice of columns.

The schema is stable: the columns below, in this order, with these types, whatever the files hold.
Arrays are flattened row-major into list columns; each column's description gives the shape to
reshape to. Units are atomic (Bohr, Hartree, e) as in `tesvarin.Checkpoint`.
"""

from __future__ import annotations

from collections.abc import Callable, Iterable, Sequence
from dataclasses import dataclass
from typing import Any

import numpy as np

from tesvarin._optional import require
from tesvarin.checkpoint import Checkpoint, formula

pa = require("pyarrow", "export", "tesvarin's export")

SCHEMA_VERSION = "2"  # 2: the thermochemistry columns at the job's own temperature and pressure


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


def _modes(cp: Checkpoint) -> tuple[Any, Any]:
    """Frequencies and IR intensities: stored, or from the force constants and dipole derivatives when those
    were read (the files of Gaussian 09 store no harmonic analysis)."""
    if "hessian" in cp.sections or cp.frequencies is not None:
        try:
            frequencies, intensities = cp.sticks("ir")
            return _flat(frequencies), _flat(intensities)
        except ValueError:
            pass
    return _flat(cp.frequencies), None


def _excited(cp: Checkpoint, name: str) -> Any:
    states = cp.excited_states
    return None if states is None else _flat(getattr(states, name))


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
        "Harmonic frequencies, cm^-1, imaginary negative, (nmodes,) (stored, or from the force constants "
        "with the hessian group)",
        lambda cp: _modes(cp)[0],
    ),
    Column(
        "ir_intensities",
        "list<f64>",
        "default",
        "IR intensities, km/mol, (nmodes,) (stored, or from the force constants and dipole derivatives "
        "with the hessian group)",
        lambda cp: _modes(cp)[1],
    ),
    Column(
        "excitation_energies_ev",
        "list<f64>",
        "default",
        "Excitation energy of each excited state, eV, (nstates,); null for a ground-state job",
        lambda cp: _excited(cp, "excitation_energies_ev"),
    ),
    Column(
        "oscillator_strengths",
        "list<f64>",
        "default",
        "Oscillator strength (length form) of each excited state, (nstates,); null for a ground-state job",
        lambda cp: _excited(cp, "oscillator_strengths"),
    ),
    Column(
        "zero_point_energy",
        "f64",
        "default",
        "Zero-point energy, Hartree (thermochemistry at the temperature and pressure the job stored, 298.15 K "
        "and 1 atm when it stores none; from the stored frequencies, or from the force constants with the "
        "hessian group)",
    ),
    Column(
        "enthalpy",
        "f64",
        "default",
        "Energy plus thermal enthalpy correction at the job's temperature and pressure (298.15 K, 1 atm when "
        "the checkpoint stores none), Hartree",
    ),
    Column(
        "gibbs_free_energy",
        "f64",
        "default",
        "Energy plus thermal free-energy correction at the job's temperature and pressure (298.15 K, 1 atm "
        "when the checkpoint stores none), Hartree",
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


def arrow_type(kind: str) -> Any:
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
    fields = [pa.field(c.name, arrow_type(c.kind), metadata={"description": c.doc}) for c in columns]
    return pa.schema(fields, metadata={"tesvarin.schema": SCHEMA_VERSION})


def sections_for(columns: Sequence[Column]) -> frozenset[str]:
    """The large sections the columns need read (`tesvarin.load`'s `sections` beyond the small ones)."""
    return frozenset(SECTIONS[c.group] for c in columns if c.group in SECTIONS)
