"""`Checkpoint`: a whole checkpoint as NumPy arrays and plain Python values, in atomic units."""

from __future__ import annotations

import os
from collections import Counter
from collections.abc import Mapping, Sequence
from dataclasses import dataclass
from typing import TYPE_CHECKING, Any, Literal

import numpy as np
import Tesvarin_.thermo
from Tesvarin_ import ChkReader_

from tesvarin._arrays import BOHR_TO_ANGSTROM, FloatArray, IntArray, frozen
from tesvarin.grid.evaluation import DEFAULT_MARGIN, DEFAULT_TOLERANCE
from tesvarin.unread import NOT_READ, SECTION_OF, SECTIONS, NotReadError

if TYPE_CHECKING:
    from iodata import IOData  # type: ignore[import-untyped]

    from tesvarin.charges import EspCharges
    from tesvarin.excited import ExcitedStates
    from tesvarin.grid.evaluation import Cube, GridLike, Progress
    from tesvarin.thermo import QuasiHarmonic, Thermochemistry
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
    def coordinates_angstrom(self) -> FloatArray:
        """Atomic positions, Angstrom (the factor 0.529177249 of the module), float64 (natoms, 3)."""
        angstrom: FloatArray = frozen(self.coordinates * BOHR_TO_ANGSTROM, np.float64)
        return angstrom

    @property
    def excited_states(self) -> ExcitedStates | None:
        """The states of a CIS or TD job, one row per state (`tesvarin.excited.ExcitedStates`: energies in
        Hartree, eV and nm, oscillator and rotatory strengths, transition moments, the state followed);
        None when the job computed no excited states."""
        from tesvarin.excited import excited_states

        return excited_states(self.reader)

    def _stored_vibration(self, name: str) -> FloatArray | None:
        blocks = Tesvarin_.thermo.vibration_blocks(self.reader)
        value = None if blocks is None else blocks[name]
        return None if value is None else frozen(value, np.float64)

    @property
    def raman_activities(self) -> FloatArray | None:
        """Raman scattering activity of each mode, Angstrom^4/amu, float64 (nmodes,); None unless computed."""
        return self._stored_vibration("raman_activities")

    @property
    def depolarization_ratios(self) -> FloatArray | None:
        """Raman depolarisation ratio of each mode for plane-polarised incident light, (nmodes,); None unless
        computed."""
        return self._stored_vibration("depolarization_plane")

    @property
    def depolarization_ratios_unpolarized(self) -> FloatArray | None:
        """Raman depolarisation ratio of each mode for unpolarised incident light, (nmodes,); None unless computed."""
        return self._stored_vibration("depolarization_unpolarized")

    def harmonic_analysis(self, masses: Sequence[float] | Mapping[int, float] | None = None) -> dict[str, Any]:
        """Frequencies (cm^-1, imaginary negative), reduced_masses (amu), force_constants (mDyne/A), modes
        (nmodes, natoms, 3) and ir_intensities (km/mol; None without stored dipole derivatives) from the stored
        force constants, with the file's masses or `masses` (amu): one per atom, or {atom index from 0: mass}
        replacing some of the file's."""
        self._needs("hessian")
        return {
            key: frozen(value, np.float64) if isinstance(value, np.ndarray) else value
            for key, value in Tesvarin_.thermo.harmonic_analysis(self.reader, self._masses(masses)).items()
        }

    def thermochemistry(
        self,
        temperature: float | None = None,
        pressure: float | None = None,
        scale: float = 1.0,
        masses: Sequence[float] | Mapping[int, float] | None = None,
        symmetry_number: int | None = None,
        quasi_harmonic: QuasiHarmonic | None = None,
    ) -> Thermochemistry:
        """Thermochemistry in the program's conventions at `temperature` (K) and `pressure` (atm), by default
        the job's own as the checkpoint stores them (298.15 K and 1 atm when it stores none), with every
        frequency times `scale`, the file's masses or `masses` (amu; as for `harmonic_analysis`; new masses
        need the force constants), the symmetry number found (or given) and, when asked for, quasi-harmonic
        corrections (`tesvarin.thermo.QuasiHarmonic`). Raises ValueError when the file has no frequencies."""
        from tesvarin.thermo import thermochemistry

        if self.frequencies is None or masses is not None:  # the analysis runs on the force constants
            self._needs("hessian")
        return thermochemistry(
            self.reader, temperature, pressure, scale, self._masses(masses) or None, symmetry_number, quasi_harmonic
        )

    def sticks(self, kind: Literal["ir", "raman"] = "ir") -> tuple[FloatArray, FloatArray]:
        """(frequencies in cm^-1, intensities) of every mode: IR intensities (km/mol) or Raman activities
        (Angstrom^4/amu). Those the job stored, else for IR |d mu/d Q|^2 from the force constants and the dipole
        derivatives (as the program prints them; the files of Gaussian 09 store no harmonic analysis). Raises
        ValueError, naming the file, when it holds no such intensities."""
        if kind not in ("ir", "raman"):
            raise ValueError(f'kind must be "ir" or "raman", got {kind!r}')
        frequencies = self._stored_vibration("frequencies")
        stored = self._stored_vibration("ir_intensities" if kind == "ir" else "raman_activities")
        if frequencies is not None and stored is not None:
            return frequencies, stored
        if len(self.symbols) == 1 and (
            frequencies is not None or Tesvarin_.thermo.vibration_blocks(self.reader) is not None
        ):
            return frozen(np.empty(0), np.float64), frozen(np.empty(0), np.float64)  # an atom's job: no modes
        if kind == "ir" and self.dipole_derivatives is not None:
            self._needs("hessian")
            if self.hessian is not None:
                analysis = self.harmonic_analysis()
                if analysis["ir_intensities"] is not None:
                    return analysis["frequencies"], analysis["ir_intensities"]
        if kind == "raman":
            raise ValueError(f"{self.path}: holds no Raman activities (a job with Freq=Raman computes them)")
        missing = "force constants" if self.hessian is None else "dipole derivatives"
        raise ValueError(f"{self.path}: holds no IR intensities (no stored vibrations, no {missing})")

    def spectrum(
        self,
        kind: Literal["ir", "raman", "uv-vis", "ecd"] = "ir",
        fwhm: float = 10.0,
        shape: Literal["lorentzian", "gaussian"] | None = None,
        grid: Sequence[float] | FloatArray | None = None,
        *,
        fwhm_ev: float | None = None,
        unit: Literal["nm", "ev", "cm-1"] = "nm",
        form: Literal["velocity", "length"] = "velocity",
    ) -> tuple[FloatArray, FloatArray]:
        """The broadened IR (km/mol per cm^-1) or Raman (Angstrom^4/amu per cm^-1) spectrum as (grid in cm^-1,
        intensity) of the real modes of `sticks`; each peak's area equals its stick intensity. The default grid
        runs from 0 to 10 widths past the highest mode. Raises ValueError when the file holds no such intensities.

        "uv-vis" and "ecd": (grid in `unit`, molar absorptivity epsilon or Delta-epsilon in L mol^-1 cm^-1) of
        the excited states, bands of full width `fwhm_ev` at half maximum (default 0.666 eV, the program's
        sigma = 0.4 eV) and Gaussian unless `shape` says otherwise; each band's area over wavenumber is
        2.3153e8 f (uv-vis) or v R / 22.96 (ecd, R of the velocity or length `form` in 1e-40 cgs), so that
        with Gaussian bands epsilon(v) = 1.3062974e8 sum f_i / sigma exp(-((v - v_i) / sigma)^2) as in
        Gaussian's white paper "UV/Visible and ECD spectra" (`tesvarin.excited.bands`). Raises ValueError
        naming the file when it holds no excited states."""
        if kind in ("uv-vis", "ecd"):
            from tesvarin.excited import DEFAULT_FWHM_EV, electronic_spectrum

            states = self.excited_states
            if states is None:
                raise ValueError(f"{os.path.basename(self.path)} holds no excited states (not a CIS or TD job)")
            width = DEFAULT_FWHM_EV if fwhm_ev is None else fwhm_ev
            return electronic_spectrum(states, self.program_version, kind, width, shape or "gaussian", unit, grid, form)
        from tesvarin.thermo import spectrum

        if kind not in ("ir", "raman"):
            raise ValueError(f'kind must be "ir", "raman", "uv-vis" or "ecd", got {kind!r}')
        frequencies, sticks = self.sticks(kind)
        real = frequencies > 0
        return spectrum(frequencies[real], sticks[real], fwhm, shape or "lorentzian", grid)

    def _masses(self, masses: Sequence[float] | Mapping[int, float] | None) -> list[float]:
        if masses is None:
            return []
        if isinstance(masses, Mapping):
            blocks = Tesvarin_.thermo.vibration_blocks(self.reader)
            own = list(self.masses) if self.masses is not None else list(blocks["masses"]) if blocks else []
            if len(own) != len(self.symbols):
                raise ValueError(f"{os.path.basename(self.path)} holds no atomic masses to substitute in")
            for atom, mass in masses.items():
                if not 0 <= atom < len(own):
                    raise ValueError(f"atom {atom} is not one of the {len(own)} atoms (they count from 0)")
                own[atom] = float(mass)
            return own
        return [float(m) for m in masses]

    def to_iodata(self) -> IOData:
        """An `iodata.IOData` with what IOData's fchk loader would give for formchk's file of this checkpoint.

        Needs IOData: ``pip install ".[iodata]"`` in a clone (the error says what works where you are).
        """
        from tesvarin.export.iodata import to_iodata

        return to_iodata(self)

    def evaluate(
        self,
        points: Any,
        what: str = "density",
        *,
        derivatives: int = 0,
        tolerance: float = DEFAULT_TOLERANCE,
        threads: int | None = None,
    ) -> FloatArray:
        """Orbitals or a density at (n, 3) points in Bohr; `what` and the screening as in `tesvarin.grid.evaluation`."""
        from tesvarin.grid.evaluation import evaluate

        self._needs("orbitals", "densities")
        return evaluate(self.reader, points, what, derivatives=derivatives, tolerance=tolerance, threads=threads)

    def potential(
        self,
        points: Any,
        density: str = "scf",
        field: bool = False,
        *,
        tolerance: float = DEFAULT_TOLERANCE,
        threads: int | None = None,
    ) -> FloatArray:
        """The electrostatic potential (Hartree/e) of the nuclei and a density at (n, 3) points in Bohr: (n,),
        or (n, 4) with `field` (-grad V after the value); `density` as in `tesvarin.grid.evaluation.potential`."""
        from tesvarin.grid.evaluation import potential

        self._needs("orbitals", "densities")
        return potential(self.reader, points, density, field=field, tolerance=tolerance, threads=threads)

    def cube(
        self,
        what: str = "density",
        grid: GridLike = "medium",
        margin: float = DEFAULT_MARGIN,
        *,
        tolerance: float = DEFAULT_TOLERANCE,
        threads: int | None = None,
        progress: Progress | None = None,
    ) -> Cube:
        """Orbitals, a density or the potential on a grid around the atoms (Bohr), with `write(path)` for a
        cube file."""
        from tesvarin.grid.evaluation import cube

        self._needs("orbitals", "densities")
        return cube(self.reader, what, grid, margin, tolerance=tolerance, threads=threads, progress=progress)

    def esp_charges(
        self,
        scheme: Literal["mk", "chelpg"] = "mk",
        density: str = "scf",
        total_charge: float | None = None,
        dipole: bool | Sequence[float] = False,
        resp: bool = False,
        *,
        radii: Mapping[Any, float] | None = None,
        point_density: float = 1.0,
    ) -> EspCharges:
        """Atomic charges fitted to the potential of `density` at the program's Merz-Kollman ("mk") or
        CHELPG points, with the total charge (default: the molecule's) and, if asked, the dipole held;
        `resp` fits them in AMBER's two RESP stages; `radii` (Angstrom, by element) and `point_density` (MK dots
        per Angstrom^2) change the points. See `tesvarin.charges.esp_charges`."""
        from tesvarin.charges import esp_charges

        self._needs("orbitals", "densities")
        return esp_charges(self, scheme, density, total_charge, dipole, resp, radii=radii, point_density=point_density)

    def to_qcschema(self, wavefunction: bool = False) -> dict[str, Any]:
        """The QCSchema record of this calculation, as plain JSON-ready values (`tesvarin.export.qcschema`).

        An ``AtomicResult`` (schema_name "qcschema_output"), or for an optimisation (FOpt, POpt, ...) an
        ``OptimizationResult`` whose trajectory holds one gradient result per stored geometry.
        With `wavefunction`, the basis, orbitals and SCF densities in QCSchema's basis-function order.
        """
        from tesvarin.export.qcschema import to_qcschema

        return to_qcschema(self, wavefunction)

    def view(
        self,
        orbital: str | int | None = None,
        density: str | None = None,
        isovalue: float | None = None,
        grid: GridLike = "coarse",
        margin: float = DEFAULT_MARGIN,
        *,
        threads: int | None = None,
    ) -> View:
        """The molecule with an orbital's two isosurfaces (the HOMO by default) or a density's surface, to turn
        and zoom in a notebook or as one self-contained HTML page (`View.write`); see `tesvarin.view.view`."""
        from tesvarin.view import view

        self._needs("orbitals", "densities")
        return view(self, orbital, density, isovalue, grid, margin, threads=threads)

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

    def __reduce__(self) -> tuple[Any, ...]:
        # Pickled by path: the other side (a worker, a process pool) reads the file again, with the
        # same sections, so it must see the file at the same path. The reader holds no open file.
        from tesvarin.loader import load

        return (load, (self.path, None if self.reader.unread == "" else sorted(self.sections)))

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
    if name in ("load", "PathLike"):
        from tesvarin import loader

        return getattr(loader, name)
    raise AttributeError(f"module {__name__!r} has no attribute {name!r}")
