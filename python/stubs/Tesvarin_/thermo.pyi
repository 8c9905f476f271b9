"""Harmonic analysis, thermochemistry and line broadening over a reader"""

from collections.abc import Sequence
from typing import Any

import numpy
import numpy.typing
from Tesvarin_ import ChkReader_

def harmonic_analysis(reader: ChkReader_, masses: Sequence[float] = ...) -> dict[str, Any]:
    """Harmonic analysis of the stored force constants with `masses` (amu, one per atom; the file's own when empty): frequencies (cm^-1, imaginary negative), reduced_masses (amu), force_constants (mDyne/A), modes (nmodes, natoms, 3) of unit length, ir_intensities (km/mol, from the stored dipole derivatives; None without them), linear."""

def thermochemistry(
    reader: ChkReader_,
    masses: Sequence[float] = ...,
    temperature: float = 298.15,
    pressure: float = 1.0,
    scale: float = 1.0,
    symmetry_number: int = 0,
    entropy_cutoff: float = 0.0,
    enthalpy_cutoff: float = 0.0,
    damping_exponent: float = 4.0,
    average_inertia: float = 1e-44,
    raise_cutoff: float = 0.0,
    concentration: float = 0.0,
) -> dict[str, Any]:
    """Thermochemistry of the checkpoint in the program's conventions, as a dict (energies in kcal/mol, CV and S in cal/(mol K), corrections in Hartree, ln Q); tesvarin.thermo shapes it."""

def vibration_blocks(reader: ChkReader_) -> dict[str, Any] | None:
    """The stored harmonic analysis by name (None without one); a block the job did not compute is None."""

def broaden(
    positions: Sequence[float],
    intensities: Sequence[float],
    grid: Sequence[float],
    fwhm: float,
    shape: str = "lorentzian",
) -> numpy.typing.NDArray[numpy.float64]:
    """Each stick as a peak of full width `fwhm` at half maximum whose area is its intensity, summed on `grid`."""
