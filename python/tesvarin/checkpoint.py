"""`Checkpoint`: a whole checkpoint as NumPy arrays and plain Python values, in atomic units."""

from __future__ import annotations

import os
import sys
from collections import Counter
from collections.abc import Mapping
from dataclasses import dataclass
from typing import TYPE_CHECKING, Any

import numpy as np
from Tesvarin_ import ChkReader_

from tesvarin._arrays import BOHR_TO_ANGSTROM, FloatArray, IntArray, frozen
from tesvarin.unread import NOT_READ, SECTION_OF, SECTIONS, NotReadError

if TYPE_CHECKING:
    from iodata import IOData  # type: ignore[import-untyped]

    from tesvarin.charges import EspCharges
    from tesvarin.excited import ExcitedStates
    from tesvarin.grid.evaluation import Cube
    from tesvarin.nmr import SpinSpinCouplings
    from tesvarin.orbitals import NaturalOrbitals
    from tesvarin.thermo import Thermochemistry
    from tesvarin.view import View

__all__ = ["SECTIONS", "Checkpoint", "NotReadError"]


def formula(names: list[str]) -> str:
    """Hill order: C first, then H, then the rest alphabetically; counts of one are left out."""
    counts = Counter(names)
    order = [k for k in ("C", "H") if k in counts] if "C" in counts else []
    order += sorted(k for k in counts if k not in order)
    return "".join(k + (str(counts[k]) if counts[k] > 1 else "") for k in order)


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
    """Alpha (or restricted) MO coefficients, one orbital per row, float64 (nmo, nbasis). Of a semi-empirical
    job (PM3, AM1, ...; basis_name "ZDO") they are coefficients of valence functions the method takes as
    orthonormal (C C^T = 1), not of the overlapping Gaussian functions the basis fields describe."""
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
    "2nd Order"), each float64 (nbasis, nbasis), for the kinds present with real one-component values. Of a
    semi-empirical (ZDO) job in the orthonormal functions of its orbitals: the trace is the valence electron
    count."""
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
    apt_charges: FloatArray | None
    """Atomic polar tensor charges of a frequency job (development versions), e, float64 (natoms,)."""
    dipole_moment: FloatArray | None
    """Dipole moment, e Bohr, float64 (3,)."""
    quadrupole_moment: FloatArray | None
    """Quadrupole moment, e Bohr^2, symmetric float64 (3, 3)."""
    polarizability: FloatArray | None
    """Dipole polarizability, Bohr^3, symmetric float64 (3, 3)."""
    dipole_derivatives: FloatArray | None
    """Dipole derivatives d mu_k / d x_(3a+q), e, float64 (3 natoms, 3)."""
    frequencies: FloatArray | None
    """Harmonic vibrational frequencies, cm^-1 (imaginary ones negative), float64 (nmodes,). Those the job
    stored (the 16 program), else, for a frequency job that stored only its force constants (the 09 program),
    those of `harmonic_analysis` when the force constants were read; None for any other job."""
    reduced_masses: FloatArray | None
    """Reduced mass of each mode, amu, float64 (nmodes,); stored or computed as `frequencies`."""
    force_constants: FloatArray | None
    """Force constant of each mode, mDyne/Angstrom, float64 (nmodes,); stored or computed as `frequencies`."""
    ir_intensities: FloatArray | None
    """IR intensity of each mode, km/mol, float64 (nmodes,); stored or computed as `frequencies` (computed
    from the dipole derivatives; None without them)."""
    normal_modes: FloatArray | None
    """Cartesian displacements of each mode, float64 (nmodes, natoms, 3); stored or computed as `frequencies`."""
    trajectory_coordinates: FloatArray | None
    """Geometries of an optimisation, or the steps of a molecular-dynamics (ADMP, BOMD) trajectory
    in the input orientation, Bohr, float64 (ngeom, natoms, 3)."""
    trajectory_gradients: FloatArray | None
    """Gradients at those geometries, Hartree/Bohr, float64 (ngeom, natoms, 3)."""
    trajectory_energies: FloatArray | None
    """Energies at those geometries (of a trajectory: the potential energy), Hartree, float64 (ngeom,)."""
    trajectory_momenta: FloatArray | None
    """Mass-weighted velocities at the steps of a trajectory, sqrt(amu) Bohr/fs, float64 (ngeom,
    natoms, 3); None for an optimisation."""
    bonds: IntArray | None
    """Bonds as rows (atom i, atom j, order), 0-based with i < j, int64 (nbond, 3)."""
    frozen_atoms: np.ndarray[Any, np.dtype[np.bool_]] | None
    """True for the atoms held fixed in an optimisation, bool (natoms,)."""
    ecp_core_electrons: IntArray | None
    """Core electrons each atom's effective core potential replaces, 0 for an atom without one,
    int64 (natoms,); None when the potentials' section is damaged."""
    etran: Any
    """The excited-state record of a CIS or TD job (`Tesvarin_.records.ExcitedStates`: the ETran
    arrays as stored, state energies in Hartree, transition moments in atomic units), or None."""

    @property
    def restricted(self) -> bool:
        """True when alpha and beta electrons share one set of orbitals."""
        return self.beta_mo_coefficients is None

    @property
    def formula(self) -> str:
        """The molecular formula in Hill order ("CH4O", "H2O"); "" for a file without atoms."""
        return formula(list(self.symbols))

    @property
    def coordinates_angstrom(self) -> FloatArray:
        """Atomic positions, Angstrom (the factor 0.529177249 of the module), float64 (natoms, 3)."""
        angstrom: FloatArray = frozen(self.coordinates * BOHR_TO_ANGSTROM, np.float64)
        return angstrom

    # The computations over a checkpoint live in their areas; each method here calls its area's function
    # with this checkpoint first and the arguments as given, so the defaults are the function's own.

    @property
    def excited_states(self) -> ExcitedStates | None:
        """The states of a CIS or TD job, one row per state (`tesvarin.excited.ExcitedStates`: energies in
        Hartree, eV and nm, oscillator and rotatory strengths, transition moments, the state followed);
        None when the job computed no excited states."""
        from tesvarin.excited import excited_states

        return excited_states(self)

    @property
    def spin_spin_couplings(self) -> SpinSpinCouplings | None:
        """The nuclear spin-spin couplings of an NMR=SpinSpin job (`tesvarin.nmr.SpinSpinCouplings`): the
        reduced couplings K by contribution and in total, in the unit the program prints them in, and J in Hz
        from each pair's isotopes, as symmetric (natoms, natoms) arrays; None when the job computed none."""
        from tesvarin.nmr import spin_spin_couplings

        return spin_spin_couplings(self)

    @property
    def raman_activities(self) -> FloatArray | None:
        """Raman scattering activity of each mode, Angstrom^4/amu, float64 (nmodes,); None unless computed."""
        from tesvarin.thermo import stored_vibration

        return stored_vibration(self, "raman_activities")

    @property
    def depolarization_ratios(self) -> FloatArray | None:
        """Raman depolarisation ratio of each mode for plane-polarised incident light, (nmodes,); None unless
        computed."""
        from tesvarin.thermo import stored_vibration

        return stored_vibration(self, "depolarization_plane")

    @property
    def depolarization_ratios_unpolarized(self) -> FloatArray | None:
        """Raman depolarisation ratio of each mode for unpolarised incident light, (nmodes,); None unless computed."""
        from tesvarin.thermo import stored_vibration

        return stored_vibration(self, "depolarization_unpolarized")

    def harmonic_analysis(self, *args: Any, **kwargs: Any) -> dict[str, Any]:
        """Frequencies, reduced masses, force constants, modes and IR intensities from the stored force
        constants: `tesvarin.thermo.harmonic_analysis`, whose arguments it takes after the checkpoint."""
        from tesvarin.thermo import harmonic_analysis

        return harmonic_analysis(self, *args, **kwargs)

    def thermochemistry(self, *args: Any, **kwargs: Any) -> Thermochemistry:
        """Thermochemistry in the program's conventions, by default at the job's own temperature and pressure:
        `tesvarin.thermo.thermochemistry`, whose arguments it takes after the checkpoint."""
        from tesvarin.thermo import thermochemistry

        return thermochemistry(self, *args, **kwargs)

    def sticks(self, *args: Any, **kwargs: Any) -> tuple[FloatArray, FloatArray]:
        """(frequencies in cm^-1, intensities) of every mode, IR or Raman: `tesvarin.thermo.sticks`, whose
        arguments it takes after the checkpoint."""
        from tesvarin.thermo import sticks

        return sticks(self, *args, **kwargs)

    def spectrum(self, *args: Any, **kwargs: Any) -> tuple[FloatArray, FloatArray]:
        """The broadened IR, Raman, UV-Vis or ECD spectrum as (grid, intensity): `tesvarin.spectra.spectrum`,
        whose arguments it takes after the checkpoint."""
        from tesvarin.spectra import spectrum

        return spectrum(self, *args, **kwargs)

    def to_iodata(self) -> IOData:
        """An `iodata.IOData` with what IOData's fchk loader would give for formchk's file of this checkpoint.

        Needs IOData: ``pip install ".[iodata]"`` in a clone (the error says what works where you are).
        """
        from tesvarin.export.iodata import to_iodata

        return to_iodata(self)

    def to_pyscf(self, *args: Any, **kwargs: Any) -> tuple[Any, Any]:
        """(a `pyscf.gto.Mole`, an SCF object of the job's kind) holding its basis, orbitals and energy:
        `tesvarin.interop.pyscf.to_pyscf`, whose arguments (xc, natural) it takes after the checkpoint."""
        from tesvarin.interop.pyscf import to_pyscf

        return to_pyscf(self, *args, **kwargs)

    def overlap(self) -> FloatArray:
        """The overlap of the basis functions in their stored order, float64 (nbasis, nbasis)."""
        from tesvarin.orbitals import overlap

        return overlap(self)

    def natural_orbitals(self, *args: Any, **kwargs: Any) -> NaturalOrbitals:
        """Occupations (descending) and orbitals (rows) of a stored density: `tesvarin.orbitals.natural_orbitals`,
        whose arguments (density, spin) it takes after the checkpoint."""
        from tesvarin.orbitals import natural_orbitals

        return natural_orbitals(self, *args, **kwargs)

    def evaluate(self, *args: Any, **kwargs: Any) -> FloatArray:
        """Orbitals or a density at (n, 3) points in Bohr: `tesvarin.grid.evaluate`, whose arguments it takes
        after the checkpoint."""
        from tesvarin.grid.evaluation import evaluate

        return evaluate(self, *args, **kwargs)

    def potential(self, *args: Any, **kwargs: Any) -> FloatArray:
        """The electrostatic potential (Hartree/e) of the nuclei and a density at (n, 3) points in Bohr:
        `tesvarin.grid.potential`, whose arguments it takes after the checkpoint."""
        from tesvarin.grid.evaluation import potential

        return potential(self, *args, **kwargs)

    def cube(self, *args: Any, **kwargs: Any) -> Cube:
        """Orbitals, a density or the potential on a grid around the atoms (Bohr), with `write(path)` for a
        cube file: `tesvarin.grid.cube`, whose arguments it takes after the checkpoint."""
        from tesvarin.grid.evaluation import cube

        return cube(self, *args, **kwargs)

    def esp_charges(self, *args: Any, **kwargs: Any) -> EspCharges:
        """Atomic charges fitted to the potential at the program's Merz-Kollman or CHELPG points, plainly or
        in AMBER's two RESP stages: `tesvarin.charges.esp_charges`, whose arguments it takes after the
        checkpoint."""
        from tesvarin.charges import esp_charges

        return esp_charges(self, *args, **kwargs)

    def to_qcschema(self, *args: Any, **kwargs: Any) -> dict[str, Any]:
        """The QCSchema record of this calculation, as plain JSON-ready values: `tesvarin.export.qcschema.to_qcschema`,
        whose arguments it takes after the checkpoint."""
        from tesvarin.export.qcschema import to_qcschema

        return to_qcschema(self, *args, **kwargs)

    def view(self, *args: Any, **kwargs: Any) -> View:
        """The molecule with an orbital's two isosurfaces (the HOMO by default) or a density's surface, to turn
        and zoom in a notebook or as one self-contained HTML page: `tesvarin.view.view`, whose arguments it
        takes after the checkpoint."""
        from tesvarin.view import view

        return view(self, *args, **kwargs)

    def _repr_html_(self) -> str:
        """A compact table of the molecule, the job, its energies and what the file holds (for notebooks)."""
        from tesvarin.view import summary_html

        return summary_html(self)

    def __getattribute__(self, name: str) -> Any:
        value = object.__getattribute__(self, name)
        if value is NOT_READ:
            section = SECTION_OF[name]
            raise NotReadError(
                f"{name} was not read: this Checkpoint of {object.__getattribute__(self, 'path')} "
                f"was loaded without its {section}; add {section!r} to load's sections"
            )
        return value

    @property
    def sections(self) -> frozenset[str]:
        """The large sections read: all of "orbitals", "hessian", "densities" unless `load` was told otherwise."""
        unread = self.reader.unread.split(", ")
        return frozenset(section for section in SECTIONS if section not in unread)

    def _needs(self, *sections: str) -> None:
        """Raises NotReadError when a section a computation reads was left unread."""
        for section in sections:
            if section not in self.sections:
                raise NotReadError(
                    f"{os.path.basename(self.path)} was loaded without its {section}; add "
                    f"{section!r} to load's sections"
                )

    def __repr__(self) -> str:
        return (
            f"<tesvarin.Checkpoint {os.path.basename(self.path)!r}: {formula(list(self.symbols)) or 'no atoms'},"
            f" {self.method}/{self.basis_name} {self.job_type}, charge {self.charge}, multiplicity"
            f" {self.multiplicity}, {self.n_basis} basis functions, energy {self.energy:.8f} Hartree>"
        )


def __getattr__(name: str) -> Any:
    # `load` and `PathLike` lived here once: pickles of a Checkpoint made then name tesvarin.checkpoint.load.
    # They live in the loader, which builds Checkpoints (so this module does not import it) and which the
    # package has loaded by the time anything asks for them.
    if name in ("load", "PathLike"):
        return getattr(sys.modules["tesvarin.loader"], name)
    raise AttributeError(f"module {__name__!r} has no attribute {name!r}")
