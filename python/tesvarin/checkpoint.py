"""`load`: a whole checkpoint as NumPy arrays and plain Python values, in atomic units."""

from __future__ import annotations

import os
import re
import warnings
from collections.abc import Mapping
from dataclasses import dataclass
from types import MappingProxyType
from typing import TYPE_CHECKING, Any, Union

import numpy as np

from Tesvarin_ import ChkFormatError, ChkReader_, Mol
from tesvarin import _arrays
from tesvarin._arrays import BOHR_TO_ANGSTROM, FloatArray, IntArray, frozen
from tesvarin.cube import DEFAULT_MARGIN, DEFAULT_TOLERANCE
from tesvarin.summary import formula

if TYPE_CHECKING:
    from iodata import IOData  # type: ignore[import-untyped]

    from tesvarin.cube import Cube, GridLike, Progress

PathLike = Union[str, bytes, bytearray, "os.PathLike[str]", "os.PathLike[bytes]"]


@dataclass(frozen=True, eq=False, repr=False)
class Checkpoint:
    """Everything a Gaussian checkpoint holds, read-only.

    Units are atomic throughout (Bohr, Hartree, elementary charge), except masses (amu),
    frequencies (cm^-1), force constants of the modes (mDyne/Angstrom) and IR intensities
    (km/mol), which are kept as the program stores them. Arrays are read-only NumPy arrays;
    quantities the file does not hold are None. Counts of atoms, shells, orbitals and basis
    functions are written natoms, nshell, nmo and nbasis below.
    """

    path: str
    """The checkpoint's path as given to `load`."""
    reader: ChkReader_
    """The parsed `Tesvarin_.ChkReader_`, for its writers and raw properties."""
    title: str
    """The job title. Text fields never raise: bytes that are not UTF-8 appear as \\xNN escapes."""
    route: str
    """The route line ("None" when the file has none)."""
    method: str
    """Wavefunction prefix and method, such as "RB3LYP"."""
    basis_name: str
    """The basis set, such as "6-31G(d)"."""
    job_type: str
    """The job type, such as "SP", "FOpt", "Freq"."""
    program_version: str
    """The program version text ("Unknown" before Gaussian 16)."""
    info: IntArray
    """The nine Info1-9 integers, int64 (9,)."""
    charge: int
    """Total charge of the molecule, e."""
    multiplicity: int
    """Spin multiplicity 2S+1."""
    n_electrons: int
    """Number of electrons."""
    n_alpha: int
    """Number of alpha electrons."""
    n_beta: int
    """Number of beta electrons."""
    n_basis: int
    """Number of basis functions."""
    n_independent: int
    """Number of linearly independent basis functions."""
    energy: float
    """Total energy, Hartree (formchk's "Total Energy")."""
    scf_energy: float
    """SCF energy, Hartree."""
    virial_ratio: float
    """Virial ratio -V/T."""
    atomic_numbers: IntArray
    """Atomic numbers, int64 (natoms,)."""
    symbols: tuple[str, ...]
    """Element symbols, one per atom."""
    nuclear_charges: FloatArray
    """Nuclear charges, e, float64 (natoms,)."""
    coordinates: FloatArray
    """Atomic positions, Bohr, float64 (natoms, 3)."""
    cell: FloatArray | None
    """Translation vectors of a periodic system, Bohr, float64 (ndim, 3); None for a molecule."""
    shell_types: IntArray
    """Gaussian shell-type codes: 0 s, 1 p, -1 sp, 2 Cartesian d, -2 pure d, ..., int64 (nshell,)."""
    primitives_per_shell: IntArray
    """Number of primitives of each shell, int64 (nshell,)."""
    shell_atoms: IntArray
    """Atom of each shell, 0-based, int64 (nshell,)."""
    primitive_exponents: FloatArray
    """Primitive exponents, Bohr^-2, float64 (nprim,)."""
    contraction_coefficients: FloatArray
    """Contraction coefficients (the s part of sp shells), for normalised primitives, float64 (nprim,)."""
    sp_contraction_coefficients: FloatArray | None
    """The p coefficients of sp shells, float64 (nprim,); None without sp shells."""
    shell_coordinates: FloatArray
    """Centre of each shell, Bohr, float64 (nshell, 3)."""
    orbital_labels: tuple[str, ...] | None
    """One label per basis function, "atom symbol function" as the program prints them, e.g. "1 O 2PX"."""
    alpha_orbital_energies: FloatArray | None
    """Alpha (or restricted) orbital energies, Hartree, float64 (nmo,)."""
    beta_orbital_energies: FloatArray | None
    """Beta orbital energies, Hartree, float64 (nmo,); None for a restricted wavefunction."""
    alpha_mo_coefficients: FloatArray | None
    """Alpha (or restricted) MO coefficients, one orbital per row, float64 (nmo, nbasis)."""
    beta_mo_coefficients: FloatArray | None
    """Beta MO coefficients, float64 (nmo, nbasis); None for a restricted wavefunction."""
    alpha_occupations: FloatArray | None
    """Occupation of each alpha orbital, 1 for the n_alpha lowest, else 0, float64 (nmo,)."""
    beta_occupations: FloatArray | None
    """Occupation of each beta orbital (of the alpha ones when restricted), 1 or 0, float64 (nmo,)."""
    orthonormal_basis: FloatArray | None
    """The orthonormal basis as stored, float64 (rows, nbasis)."""
    total_densities: Mapping[str, FloatArray]
    """Total density matrices by kind ("SCF", "Psi(1)", "MP2", "MP3", "MP4", "CI Rho(1)", "CI", "CC",
    "2nd Order"), each float64 (nbasis, nbasis), for the kinds present with real one-component values."""
    spin_densities: Mapping[str, FloatArray]
    """Spin (alpha minus beta) density matrices by kind, as `total_densities`; empty when closed-shell."""
    hessian: FloatArray | None
    """Cartesian force constants, Hartree/Bohr^2, float64 (3 natoms, 3 natoms)."""
    gradient: FloatArray | None
    """Cartesian energy gradient, Hartree/Bohr, float64 (natoms, 3)."""
    masses: FloatArray | None
    """Atomic masses, amu, float64 (natoms,)."""
    mulliken_charges: FloatArray | None
    """Mulliken charges, e, float64 (natoms,)."""
    npa_charges: FloatArray | None
    """Natural population analysis charges, e, float64 (natoms,)."""
    dipole_moment: FloatArray | None
    """Dipole moment, e Bohr, float64 (3,)."""
    quadrupole_moment: FloatArray | None
    """Quadrupole moment, e Bohr^2, symmetric float64 (3, 3)."""
    polarizability: FloatArray | None
    """Dipole polarizability, Bohr^3, symmetric float64 (3, 3)."""
    dipole_derivatives: FloatArray | None
    """Dipole derivatives d mu_k / d x_(3a+q), e, float64 (3 natoms, 3)."""
    frequencies: FloatArray | None
    """Harmonic vibrational frequencies, cm^-1 (imaginary ones negative), float64 (nmodes,)."""
    reduced_masses: FloatArray | None
    """Reduced mass of each mode, amu, float64 (nmodes,)."""
    force_constants: FloatArray | None
    """Force constant of each mode, mDyne/Angstrom, float64 (nmodes,)."""
    ir_intensities: FloatArray | None
    """IR intensity of each mode, km/mol, float64 (nmodes,)."""
    normal_modes: FloatArray | None
    """Cartesian displacements of each mode, float64 (nmodes, natoms, 3)."""
    trajectory_coordinates: FloatArray | None
    """Geometries of an optimisation, Bohr, float64 (ngeom, natoms, 3)."""
    trajectory_gradients: FloatArray | None
    """Gradients at those geometries, Hartree/Bohr, float64 (ngeom, natoms, 3)."""
    trajectory_energies: FloatArray | None
    """Energies at those geometries, Hartree, float64 (ngeom,)."""
    bonds: IntArray | None
    """Bonds as rows (atom i, atom j, order), 0-based with i < j, int64 (nbond, 3)."""
    frozen_atoms: np.ndarray[Any, np.dtype[np.bool_]] | None
    """True for the atoms held fixed in an optimisation, bool (natoms,)."""
    @property
    def restricted(self) -> bool:
        """True when alpha and beta electrons share one set of orbitals."""
        return self.beta_mo_coefficients is None

    @property
    def coordinates_angstrom(self) -> FloatArray:
        """Atomic positions, Angstrom (the factor 0.529177249 of the module), float64 (natoms, 3)."""
        angstrom: FloatArray = frozen(self.coordinates * BOHR_TO_ANGSTROM, np.float64)
        return angstrom

    def to_iodata(self) -> IOData:
        """An `iodata.IOData` with what IOData's fchk loader would give for formchk's file of this checkpoint.

        Needs IOData: ``pip install tesvarin[iodata]``.
        """
        from tesvarin._iodata import to_iodata

        return to_iodata(self)

    def evaluate(self, points: Any, what: str = "density", *, derivatives: int = 0,
                 tolerance: float = DEFAULT_TOLERANCE,
                 threads: int | None = None) -> FloatArray:
        """Orbitals or a density at (n, 3) points in Bohr; `what` and the screening as in `tesvarin.cube`."""
        from tesvarin.cube import evaluate

        return evaluate(self.reader, points, what, derivatives=derivatives, tolerance=tolerance, threads=threads)

    def cube(self, what: str = "density", grid: GridLike = "medium", margin: float = DEFAULT_MARGIN, *,
             tolerance: float = DEFAULT_TOLERANCE, threads: int | None = None,
             progress: Progress | None = None) -> Cube:
        """Orbitals or a density on a grid around the atoms (Bohr), with `write(path)` for a cube file."""
        from tesvarin.cube import cube

        return cube(self.reader, what, grid, margin, tolerance=tolerance, threads=threads, progress=progress)

    def __repr__(self) -> str:
        return (f"<tesvarin.Checkpoint {os.path.basename(self.path)!r}: {formula(list(self.symbols)) or 'no atoms'},"
                f" {self.method}/{self.basis_name} {self.job_type}, charge {self.charge}, multiplicity"
                f" {self.multiplicity}, {self.n_basis} basis functions, energy {self.energy:.8f} Hartree>")


def load(path: PathLike) -> Checkpoint:
    """Parse the checkpoint at `path` (str, bytes or any os.PathLike) and return all it holds.

    Raises `Tesvarin_.ChkError` subclasses: also FileNotFoundError, PermissionError or
    IsADirectoryError when the file cannot be opened, ValueError when it is not a valid checkpoint.
    """
    return _from_reader(ChkReader_(path), path)


def _text(raw: bytes) -> str:
    return raw.decode("utf-8", "backslashreplace")


def _orbital_labels(mol: Mol) -> tuple[str, ...] | None:
    """Per-function labels from the per-atom lines: "1   O  1S         2S ..." in columns of 11."""
    labels: list[str] = []
    for line in (_text(raw) for raw in mol.orblabel_bytes):
        match = re.match(r"\s*(\d+)\s+(\S+)\s+", line)
        if match is None:
            return None
        rest = line[match.end():]
        labels += [f"{match[1]} {match[2]} {rest[i:i + 11].strip()}" for i in range(0, len(rest), 11)
                   if rest[i:i + 11].strip()]
    return tuple(labels) if len(labels) == mol.nbasis else None


def _occupations(count: int, nmo: int) -> FloatArray:
    occupations: FloatArray = np.zeros(nmo)
    occupations[:max(0, min(count, nmo))] = 1.0
    occupations.flags.writeable = False
    return occupations


def _from_reader(reader: ChkReader_, path: PathLike) -> Checkpoint:
    params = reader.params
    mol = params.mol
    texts = {key: _text(raw) for key, raw in params.rawtexts.items()}
    natoms = max(mol.natoms, 0)
    nbasis = mol.nbasis
    a = _arrays.array
    alpha_energies = a(mol, "alpha_orbital_energies")
    beta_energies = a(mol, "beta_orbital_energies")
    nmo = len(alpha_energies)
    beta_coefficients = _arrays.matrix(a(mol, "beta_mo_coefficients"), len(beta_energies))
    orthonormal = a(mol, "orthonormal_basis")
    sp = a(mol, "sp_contraction_coefficients")
    # Only what the arrays below need is kept: the entries repeat the orbitals and densities.
    further = _Further(_fchk_entries(reader), natoms)
    return Checkpoint(
        path=os.fsdecode(bytes(path) if isinstance(path, bytearray) else path),
        reader=reader,
        title=texts["title"],
        route=texts["route"],
        method=texts["method"],
        basis_name=texts["baset"],
        job_type=texts["jobtype"],
        program_version=texts["gauver"],
        info=frozen(params.info1_9, np.int64),
        charge=mol.totchg,
        multiplicity=mol.multiplicity,
        n_electrons=mol.ne,
        n_alpha=mol.nae,
        n_beta=mol.nbe,
        n_basis=nbasis,
        n_independent=mol.nbsuse,
        energy=params.totene,
        scf_energy=params.scfene,
        virial_ratio=params.viratio,
        atomic_numbers=a(mol, "atomic_numbers")[:natoms],
        symbols=tuple(mol.names),
        nuclear_charges=a(mol, "nuclear_charges")[:natoms],
        coordinates=a(mol, "coordinates_bohr").reshape(-1, 3)[:natoms],
        cell=frozen(mol.cell[:mol.ndim] / BOHR_TO_ANGSTROM, np.float64) if mol.ndim > 0 else None,
        shell_types=a(mol, "shell_types"),
        primitives_per_shell=a(mol, "primitives_per_shell"),
        shell_atoms=frozen(a(mol, "shell_to_atom") - 1, np.int64),
        primitive_exponents=a(mol, "primitive_exponents"),
        contraction_coefficients=a(mol, "contraction_coefficients"),
        sp_contraction_coefficients=sp if sp.size else None,
        shell_coordinates=a(mol, "shell_coordinates_bohr").reshape(-1, 3),
        orbital_labels=_orbital_labels(mol),
        alpha_orbital_energies=alpha_energies if nmo else None,
        beta_orbital_energies=beta_energies if len(beta_energies) else None,
        alpha_mo_coefficients=_arrays.matrix(a(mol, "alpha_mo_coefficients"), nmo),
        beta_mo_coefficients=beta_coefficients,
        alpha_occupations=_occupations(mol.nae, nmo) if nmo else None,
        beta_occupations=_occupations(mol.nbe, len(beta_energies) or nmo) if nmo else None,
        orthonormal_basis=_arrays.matrix(orthonormal, orthonormal.size // nbasis if nbasis > 0 else 0),
        total_densities=MappingProxyType(_arrays.densities(mol, spin=False)),
        spin_densities=MappingProxyType(_arrays.densities(mol, spin=True)),
        hessian=_arrays.hessian(mol),
        gradient=further.rows("Cartesian Gradient", 3),
        masses=further.get("Real atomic weights"),
        mulliken_charges=further.get("Mulliken Charges"),
        npa_charges=further.get("NPA Charges"),
        dipole_moment=further.get("Dipole Moment"),
        quadrupole_moment=further.symmetric("Quadrupole Moment", ((0, 3, 4), (3, 1, 5), (4, 5, 2))),
        polarizability=further.symmetric("Polarizability", ((0, 1, 3), (1, 2, 4), (3, 4, 5))),
        dipole_derivatives=further.rows("Dipole Derivatives", 3),
        **further.vibrations(),
        **further.trajectory(),
        bonds=further.bonds(),
        frozen_atoms=further.frozen_atoms(),
    )


def _fchk_entries(reader: ChkReader_) -> dict[str, Any]:
    """The complete fchk's entries where this build has them; a file they refuse keeps the rest."""
    if not hasattr(reader, "fchk_entries"):
        return {}
    try:
        return dict(reader.fchk_entries())
    except ChkFormatError as error:
        reason = str(error).splitlines()[0].removeprefix("Error: ")
        warnings.warn(f"{reason}: the further quantities are left None", RuntimeWarning, stacklevel=3)
        return {}


class _Further:
    """Shapes the complete fchk's flat entries into the arrays of a Checkpoint."""

    def __init__(self, entries: dict[str, Any], natoms: int) -> None:
        self.entries = entries
        self.natoms = natoms

    def get(self, label: str) -> Any:
        value = self.entries.get(label)
        if isinstance(value, np.ndarray):
            value = value.copy()
            value.flags.writeable = False
        return value

    def rows(self, label: str, width: int) -> Any:
        value = self.get(label)
        return None if value is None or value.size % width else value.reshape(-1, width)

    def symmetric(self, label: str, layout: tuple[tuple[int, ...], ...]) -> Any:
        value = self.get(label)
        return None if value is None or value.size != 6 else frozen(value[np.array(layout)], np.float64)

    def vibrations(self) -> dict[str, Any]:
        nmodes = self.entries.get("Number of Normal Modes")
        e2, modes = self.get("Vib-E2"), self.get("Vib-Modes")
        names = ("frequencies", "reduced_masses", "force_constants", "ir_intensities")
        found = dict.fromkeys((*names, "normal_modes"))
        if not nmodes or e2 is None or modes is None or e2.size < 4 * nmodes or modes.size % (3 * nmodes):
            return found
        # Vib-E2 holds LE2Fix blocks of one value per mode, in this order.
        found.update({name: e2[k * nmodes:(k + 1) * nmodes] for k, name in enumerate(names)})
        found["normal_modes"] = modes.reshape(nmodes, -1, 3)
        return found

    def trajectory(self) -> dict[str, Any]:
        """All points of an optimisation, in order; energies plus the reference energy, if any."""
        found: dict[str, Any] = dict.fromkeys(("trajectory_coordinates", "trajectory_gradients", "trajectory_energies"))
        counts = self.entries.get("Optimization Number of geometries")
        nres = self.entries.get("Optimization Num results per geometry")
        if counts is None or not nres or self.natoms == 0:
            return found
        parts: dict[str, list[Any]] = {"Geometries": [], "Gradient at each geome": [], "Results for each geome": []}
        for point in range(1, len(counts) + 1):
            for suffix, out in parts.items():
                value = self.entries.get(f"Opt point {point:7d} {suffix}")
                if value is None:
                    return found
                out.append(value)
        geometries = np.concatenate(parts["Geometries"])
        gradients = np.concatenate(parts["Gradient at each geome"])
        results = np.concatenate(parts["Results for each geome"])
        if geometries.size % (3 * self.natoms) or gradients.size != geometries.size or results.size % nres:
            return found
        energies = results.reshape(-1, nres)[:, 0] + self.entries.get("Optimization Reference Energy", 0.0)
        found["trajectory_coordinates"] = frozen(geometries.reshape(-1, self.natoms, 3), np.float64)
        found["trajectory_gradients"] = frozen(gradients.reshape(-1, self.natoms, 3), np.float64)
        found["trajectory_energies"] = frozen(energies, np.float64)
        return found

    def frozen_atoms(self) -> Any:
        micopt = self.entries.get("MicOpt")
        return None if micopt is None else frozen(micopt == -2, np.bool_)  # IOData's reading of MicOpt

    def bonds(self) -> Any:
        """IBond/RBond as (i, j, order) rows, each bond once, as IOData reads them."""
        mxbond, nbond, ibond = (self.entries.get(k) for k in ("MxBond", "NBond", "IBond"))
        n = self.natoms
        if not mxbond or mxbond < 1 or nbond is None or ibond is None or len(nbond) != n or len(ibond) != n * mxbond:
            return None
        rbond = self.entries.get("RBond")
        partner = ibond.reshape(n, mxbond).astype(np.int64) - 1
        order = (np.ones_like(partner) if rbond is None or len(rbond) != n * mxbond
                 else np.rint(rbond.reshape(n, mxbond)).astype(np.int64))
        i = np.arange(n)[:, None]
        valid = ((np.arange(mxbond)[None, :] < nbond[:, None]) & (partner >= 0) & (partner < n) & (partner > i)
                 & (order >= 1))
        rows, cols = np.nonzero(valid)
        return frozen(np.stack((rows, partner[rows, cols], order[rows, cols]), axis=1), np.int64) if len(rows) else None
