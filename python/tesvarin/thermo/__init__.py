"""Thermochemistry and vibrational spectra of a checkpoint, shaped from the core's results.

Energies of the E/CV/S table are in kcal/mol, heat capacities and entropies in cal/(mol K),
corrections and sums in Hartree, temperatures in K, pressures in atm, frequencies in cm^-1,
as the program prints them; the unit is part of every field's name.
"""

from __future__ import annotations

import math
import os
from collections.abc import Mapping, Sequence
from dataclasses import dataclass
from types import MappingProxyType
from typing import TYPE_CHECKING, Any, Literal

import numpy as np
import Tesvarin_.thermo

from tesvarin._arrays import FloatArray, frozen

if TYPE_CHECKING:
    from tesvarin.checkpoint import Checkpoint

__all__ = [
    "DEFAULT_PRESSURE_ATM",
    "DEFAULT_TEMPERATURE_K",
    "Contribution",
    "PartitionFunction",
    "QuasiHarmonic",
    "QuasiHarmonicResult",
    "Thermochemistry",
    "harmonic_analysis",
    "job_conditions",
    "spectrum",
    "sticks",
    "stored_vibration",
    "substituted_masses",
    "thermochemistry",
]

# Section 501, the general array, holds the conditions the job ran at; 0 means the default.
_TEMPERATURE_WORD = 48  # temperature, K
_PRESSURE_WORD = 49  # pressure, atm
DEFAULT_TEMPERATURE_K = 298.15
DEFAULT_PRESSURE_ATM = 1.0

Source = Literal["given", "job", "default"]
Masses = Sequence[float] | Mapping[int, float]
"""Masses in amu: one per atom, or {atom index from 0: mass} replacing some of the file's."""


@dataclass(frozen=True)
class QuasiHarmonic:
    """Low-mode treatments; each one whose cut-off is None is off.

    The default is Grimme's quasi-RRHO entropy with a 100 cm^-1 cut-off (GoodVibes' default).
    """

    entropy_cutoff_cm1: float | None = 100.0
    """Grimme: each mode's entropy damped towards a free rotor's, weight 1 / (1 + (cutoff / nu)^alpha)."""
    enthalpy_cutoff_cm1: float | None = None
    """Head-Gordon: each mode's energy damped towards RT/2 with the same weight."""
    raise_cutoff_cm1: float | None = None
    """Truhlar: frequencies below the cut-off are raised to it for the entropy."""
    damping_exponent: float = 4.0
    """alpha of the damping weight."""
    average_inertia_kg_m2: float = 1e-44
    """Grimme's B_av, the limiting moment of inertia of the free rotor."""
    concentration_mol_l: float | None = None
    """Standard state of the translational entropy (1.0 for 1 M); None keeps the pressure's ideal gas."""

    def describe(self) -> str:
        """One line saying what is on, for the output."""
        parts = []
        if self.entropy_cutoff_cm1:
            parts.append(
                f"Grimme quasi-RRHO entropy (cut-off {self.entropy_cutoff_cm1:g} cm-1, alpha "
                f"{self.damping_exponent:g}, B_av {self.average_inertia_kg_m2:g} kg m2)"
            )
        if self.raise_cutoff_cm1:
            parts.append(f"Truhlar's raising of frequencies below {self.raise_cutoff_cm1:g} cm-1 for the entropy")
        if self.enthalpy_cutoff_cm1:
            parts.append(f"Head-Gordon quasi-harmonic enthalpy (cut-off {self.enthalpy_cutoff_cm1:g} cm-1)")
        if self.concentration_mol_l:
            parts.append(f"translational entropy at {self.concentration_mol_l:g} mol/L")
        return "; ".join(parts) or "none"


@dataclass(frozen=True)
class Contribution:
    """One row of the E/CV/S table."""

    energy_kcal_mol: float
    heat_capacity_cal_mol_k: float
    entropy_cal_mol_k: float


@dataclass(frozen=True)
class PartitionFunction:
    """One row of the Q table: the partition function through its natural logarithm (it may overflow)."""

    ln_q: float

    @property
    def log10_q(self) -> float:
        return self.ln_q / math.log(10.0)

    @property
    def q(self) -> float:
        """Q itself (inf or 0.0 beyond the float range)."""
        try:
            return math.exp(self.ln_q)
        except OverflowError:
            return math.inf


@dataclass(frozen=True)
class QuasiHarmonicResult:
    """The quasi-harmonic values that replace the harmonic ones."""

    options: QuasiHarmonic
    entropy_cal_mol_k: float
    """Total entropy."""
    vibrational_entropy_cal_mol_k: float
    translational_entropy_cal_mol_k: float
    vibrational_energy_kcal_mol: float
    """Including the zero-point energy."""
    enthalpy_correction_hartree: float
    gibbs_correction_hartree: float
    enthalpy_hartree: float
    """Electronic energy plus the enthalpy correction."""
    gibbs_hartree: float
    """Electronic energy plus the Gibbs correction."""


@dataclass(frozen=True, eq=False)
class Thermochemistry:
    """Ideal gas, rigid rotor, harmonic oscillator thermochemistry as the program prints it; read-only."""

    temperature_k: float
    pressure_atm: float
    temperature_source: Source
    """"given" (an argument), "job" (the job's, stored in the checkpoint) or "default" (298.15 K: the
    checkpoint stores none)."""
    pressure_source: Source
    """As `temperature_source`; the default is 1 atm."""
    frequency_scale: float
    masses_amu: FloatArray
    """The masses used, one per atom."""
    molecular_mass_amu: float
    moments_of_inertia_amu_bohr2: FloatArray
    """Principal moments, ascending, (3,)."""
    principal_axes: FloatArray
    """Column k is the axis of moment k, (3, 3)."""
    rotor: str
    """"atom", "asymmetric", "prolate", "oblate" or "spherical" (a linear molecule is a prolate top)."""
    linear: bool
    symmetry_number: int
    rotational_temperatures_k: FloatArray
    """One for a linear molecule, three otherwise, none for an atom."""
    rotational_constants_ghz: FloatArray
    imaginary_count: int
    """Imaginary modes, left out of everything."""
    frequencies_cm1: FloatArray
    """The real modes used, scaled."""
    vibrational_temperatures_k: FloatArray
    electronic_energy_hartree: float
    """The job's total energy (the highest level of theory it computed)."""
    zero_point_energy_hartree: float
    thermal_energy_correction_hartree: float
    thermal_enthalpy_correction_hartree: float
    thermal_gibbs_correction_hartree: float
    contributions: Mapping[str, Contribution]
    """"Total", "Electronic", "Translational", "Rotational", "Vibrational", then "Vibration 1", ... for
    each mode below 900 K, as in the program's table."""
    partition_functions: Mapping[str, PartitionFunction]
    """"Total Bot", "Total V=0", "Vib (Bot)", "Vib (Bot) 1", ..., "Vib (V=0)", "Vib (V=0) 1", ...,
    "Electronic", "Translational", "Rotational"; Bot counts energies from the bottom of the well."""
    quasi_harmonic: QuasiHarmonicResult | None
    """None unless asked for."""
    hartree_j: float
    """The Hartree in J of the program's constants (J/mol = Hartree * hartree_j * avogadro)."""
    avogadro: float

    @property
    def zero_point_energy_kcal_mol(self) -> float:
        return self.zero_point_energy_hartree * self.hartree_j * self.avogadro / 4184.0

    @property
    def zero_point_energy_j_mol(self) -> float:
        return self.zero_point_energy_hartree * self.hartree_j * self.avogadro

    @property
    def sum_zero_point_hartree(self) -> float:
        """Electronic and zero-point energies."""
        return self.electronic_energy_hartree + self.zero_point_energy_hartree

    @property
    def sum_energy_hartree(self) -> float:
        """Electronic and thermal energies."""
        return self.electronic_energy_hartree + self.thermal_energy_correction_hartree

    @property
    def sum_enthalpy_hartree(self) -> float:
        """Electronic and thermal enthalpies."""
        return self.electronic_energy_hartree + self.thermal_enthalpy_correction_hartree

    @property
    def sum_gibbs_hartree(self) -> float:
        """Electronic and thermal free energies."""
        return self.electronic_energy_hartree + self.thermal_gibbs_correction_hartree


def _contribution(row: Mapping[str, float]) -> Contribution:
    return Contribution(row["energy"], row["cv"], row["entropy"])


def job_conditions(cp: Checkpoint) -> tuple[float | None, float | None]:
    """The temperature (K) and pressure (atm) the job ran at, each None when the checkpoint stores
    none (0, as the 16 C.01 frequency jobs write, or no positive number)."""
    general = cp.reader.params.genarr  # the general array, which Checkpoint does not name

    def stored(word: int) -> float | None:
        value = general[word] if word < len(general) else 0.0
        return value if math.isfinite(value) and value > 0.0 else None

    return stored(_TEMPERATURE_WORD), stored(_PRESSURE_WORD)


def _condition(given: float | None, stored: float | None, default: float) -> tuple[float, Source]:
    if given is not None:
        return given, "given"
    return (stored, "job") if stored is not None else (default, "default")


def stored_vibration(cp: Checkpoint, name: str) -> FloatArray | None:
    """One block of the harmonic analysis the job stored ("frequencies", "raman_activities", ...), None
    when the file stores none."""
    blocks = Tesvarin_.thermo.vibration_blocks(cp.reader)
    value = None if blocks is None else blocks[name]
    return None if value is None else frozen(value, np.float64)


def substituted_masses(cp: Checkpoint, masses: Masses | None) -> list[float]:
    """The masses (amu) a computation runs with: none given (empty), one per atom, or the file's with
    {atom index from 0: mass} put in."""
    if masses is None:
        return []
    if isinstance(masses, Mapping):
        blocks = Tesvarin_.thermo.vibration_blocks(cp.reader)
        own = list(cp.masses) if cp.masses is not None else list(blocks["masses"]) if blocks else []
        if len(own) != len(cp.symbols):
            raise ValueError(f"{os.path.basename(cp.path)} holds no atomic masses to substitute in")
        for atom, mass in masses.items():
            if not 0 <= atom < len(own):
                raise ValueError(f"atom {atom} is not one of the {len(own)} atoms (they count from 0)")
            own[atom] = float(mass)
        return own
    return [float(m) for m in masses]


def harmonic_analysis(cp: Checkpoint, masses: Masses | None = None) -> dict[str, Any]:
    """Frequencies (cm^-1, imaginary negative), reduced_masses (amu), force_constants (mDyne/A), modes
    (nmodes, natoms, 3) and ir_intensities (km/mol; None without stored dipole derivatives) from the stored
    force constants, with the file's masses or `masses` (amu): one per atom, or {atom index from 0: mass}
    replacing some of the file's."""
    cp._needs("hessian")
    return {
        key: frozen(value, np.float64) if isinstance(value, np.ndarray) else value
        for key, value in Tesvarin_.thermo.harmonic_analysis(cp.reader, substituted_masses(cp, masses)).items()
    }


def thermochemistry(
    cp: Checkpoint,
    temperature: float | None = None,
    pressure: float | None = None,
    scale: float = 1.0,
    masses: Masses | None = None,
    symmetry_number: int | None = None,
    quasi_harmonic: QuasiHarmonic | None = None,
) -> Thermochemistry:
    """Thermochemistry in the program's conventions at `temperature` (K) and `pressure` (atm), by default
    the job's own as the checkpoint stores them (298.15 K and 1 atm when it stores none), with every
    frequency times `scale`, the file's masses or `masses` (amu; as for `harmonic_analysis`; new masses
    need the force constants), the symmetry number found (or given) and, when asked for, quasi-harmonic
    corrections (`QuasiHarmonic`). Raises ValueError when the file has no frequencies."""
    # The analysis runs on the force constants; an atom has no modes and needs none.
    if (cp.frequencies is None and len(cp.symbols) > 1) or masses is not None:
        cp._needs("hessian")
    qh = quasi_harmonic or QuasiHarmonic(entropy_cutoff_cm1=None)
    stored_temperature, stored_pressure = job_conditions(cp)
    temperature, temperature_source = _condition(temperature, stored_temperature, DEFAULT_TEMPERATURE_K)
    pressure, pressure_source = _condition(pressure, stored_pressure, DEFAULT_PRESSURE_ATM)
    raw = Tesvarin_.thermo.thermochemistry(
        cp.reader,
        substituted_masses(cp, masses),
        temperature=temperature,
        pressure=pressure,
        scale=scale,
        symmetry_number=symmetry_number or 0,
        entropy_cutoff=qh.entropy_cutoff_cm1 or 0.0,
        enthalpy_cutoff=qh.enthalpy_cutoff_cm1 or 0.0,
        damping_exponent=qh.damping_exponent,
        average_inertia=qh.average_inertia_kg_m2,
        raise_cutoff=qh.raise_cutoff_cm1 or 0.0,
        concentration=qh.concentration_mol_l or 0.0,
    )
    return _shape(raw, quasi_harmonic, temperature_source, pressure_source)


def sticks(cp: Checkpoint, kind: Literal["ir", "raman"] = "ir") -> tuple[FloatArray, FloatArray]:
    """(frequencies in cm^-1, intensities) of every mode: IR intensities (km/mol) or Raman activities
    (Angstrom^4/amu). Those the job stored, else for IR |d mu/d Q|^2 from the force constants and the dipole
    derivatives (as the program prints them; the files of Gaussian 09 store no harmonic analysis). Raises
    ValueError, naming the file, when it holds no such intensities."""
    if kind not in ("ir", "raman"):
        raise ValueError(f'kind must be "ir" or "raman", got {kind!r}')
    frequencies = stored_vibration(cp, "frequencies")
    stored = stored_vibration(cp, "ir_intensities" if kind == "ir" else "raman_activities")
    if frequencies is not None and stored is not None:
        return frequencies, stored
    if len(cp.symbols) == 1 and (frequencies is not None or Tesvarin_.thermo.vibration_blocks(cp.reader) is not None):
        return frozen(np.empty(0), np.float64), frozen(np.empty(0), np.float64)  # an atom's job: no modes
    if kind == "ir" and cp.dipole_derivatives is not None:
        cp._needs("hessian")
        if cp.hessian is not None:
            analysis = harmonic_analysis(cp)
            if analysis["ir_intensities"] is not None:
                return analysis["frequencies"], analysis["ir_intensities"]
    if kind == "raman":
        raise ValueError(f"{cp.path}: holds no Raman activities (a job with Freq=Raman computes them)")
    missing = "force constants" if cp.hessian is None else "dipole derivatives"
    raise ValueError(f"{cp.path}: holds no IR intensities (no stored vibrations, no {missing})")


def _shape(
    raw: dict[str, Any], quasi_harmonic: QuasiHarmonic | None, temperature_source: Source, pressure_source: Source
) -> Thermochemistry:
    contributions = {
        name.capitalize(): _contribution(raw[name])
        for name in ("total", "electronic", "translational", "rotational", "vibrational")
    }
    contributions.update(
        {f"Vibration {k + 1}": _contribution(row) for k, row in enumerate(raw["low_mode_contributions"])}
    )
    low = raw["q_low_modes"]
    q: dict[str, PartitionFunction] = {
        "Total Bot": PartitionFunction(raw["q_total"][0]),
        "Total V=0": PartitionFunction(raw["q_total"][1]),
        "Vib (Bot)": PartitionFunction(raw["q_vibrational"][0]),
    }
    q.update({f"Vib (Bot) {k + 1}": PartitionFunction(b) for k, (b, _) in enumerate(low)})
    q["Vib (V=0)"] = PartitionFunction(raw["q_vibrational"][1])
    q.update({f"Vib (V=0) {k + 1}": PartitionFunction(z) for k, (_, z) in enumerate(low)})
    q.update(
        {name: PartitionFunction(raw[f"q_{name.lower()}"]) for name in ("Electronic", "Translational", "Rotational")}
    )
    energy = raw["electronic_energy"]
    qh = None
    if quasi_harmonic is not None:
        qh = QuasiHarmonicResult(
            options=quasi_harmonic,
            entropy_cal_mol_k=raw["qh_entropy"],
            vibrational_entropy_cal_mol_k=raw["qh_vibrational_entropy"],
            translational_entropy_cal_mol_k=raw["qh_translational_entropy"],
            vibrational_energy_kcal_mol=raw["qh_vibrational_energy"],
            enthalpy_correction_hartree=raw["qh_enthalpy"],
            gibbs_correction_hartree=raw["qh_gibbs"],
            enthalpy_hartree=energy + raw["qh_enthalpy"],
            gibbs_hartree=energy + raw["qh_gibbs"],
        )
    return Thermochemistry(
        temperature_k=raw["temperature"],
        pressure_atm=raw["pressure"],
        temperature_source=temperature_source,
        pressure_source=pressure_source,
        frequency_scale=raw["scale"],
        masses_amu=frozen(raw["masses"], np.float64),
        molecular_mass_amu=raw["molecular_mass"],
        moments_of_inertia_amu_bohr2=frozen(raw["moments"], np.float64),
        principal_axes=frozen(raw["axes"], np.float64),
        rotor=raw["rotor"],
        linear=len(raw["rotational_temperatures"]) == 1,
        symmetry_number=raw["symmetry_number"],
        rotational_temperatures_k=frozen(raw["rotational_temperatures"], np.float64),
        rotational_constants_ghz=frozen(raw["rotational_constants"], np.float64),
        imaginary_count=raw["imaginary_count"],
        frequencies_cm1=frozen(raw["frequencies"], np.float64),
        vibrational_temperatures_k=frozen(raw["vibrational_temperatures"], np.float64),
        electronic_energy_hartree=energy,
        zero_point_energy_hartree=raw["zero_point_energy"],
        thermal_energy_correction_hartree=raw["thermal_energy"],
        thermal_enthalpy_correction_hartree=raw["thermal_enthalpy"],
        thermal_gibbs_correction_hartree=raw["thermal_gibbs"],
        contributions=MappingProxyType(contributions),
        partition_functions=MappingProxyType(q),
        quasi_harmonic=qh,
        hartree_j=raw["hartree_j"],
        avogadro=raw["avogadro"],
    )


def spectrum(
    frequencies: FloatArray,
    intensities: FloatArray,
    fwhm: float = 10.0,
    shape: Literal["lorentzian", "gaussian"] = "lorentzian",
    grid: Sequence[float] | FloatArray | None = None,
) -> tuple[FloatArray, FloatArray]:
    """(grid in cm^-1, intensity per cm^-1): each stick a peak of area equal to its intensity.

    The default grid runs from 0 to the highest frequency plus 10 widths, in steps of fwhm/10 at most 1 cm^-1.
    """
    if grid is None:
        top = float(max(frequencies.max(initial=0.0), 0.0)) + 10 * fwhm
        step = min(1.0, fwhm / 10)
        grid = np.arange(0.0, top + step, step)
    x = np.asarray(grid, dtype=np.float64)
    y = Tesvarin_.thermo.broaden(
        list(map(float, frequencies)), list(map(float, intensities)), list(map(float, x)), fwhm, shape
    )
    return frozen(x, np.float64), frozen(y, np.float64)
