"""
Harmonic analysis, thermochemistry and line broadening over a reader
"""
from __future__ import annotations
import Tesvarin_
import collections.abc
import numpy
import numpy.typing
import typing
__all__: list[str] = ['broaden', 'harmonic_analysis', 'thermochemistry', 'vibration_blocks']
def broaden(positions: collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex], intensities: collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex], grid: collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex], fwhm: typing.SupportsFloat | typing.SupportsIndex, shape: str = 'lorentzian') -> numpy.typing.NDArray[numpy.float64]:
    """
    Each stick as a peak of full width `fwhm` at half maximum whose area is its intensity, summed on `grid`.
    """
def harmonic_analysis(reader: Tesvarin_.ChkReader_, masses: collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex] = []) -> dict[str, typing.Any]:
    """
    Harmonic analysis of the stored force constants with `masses` (amu, one per atom; the file's own when empty): frequencies (cm^-1, imaginary negative), reduced_masses (amu), force_constants (mDyne/A), modes (nmodes, natoms, 3) of unit length, ir_intensities (km/mol, from the stored dipole derivatives; None without them), linear.
    """
def thermochemistry(reader: Tesvarin_.ChkReader_, masses: collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex] = [], temperature: typing.SupportsFloat | typing.SupportsIndex = 298.15, pressure: typing.SupportsFloat | typing.SupportsIndex = 1.0, scale: typing.SupportsFloat | typing.SupportsIndex = 1.0, symmetry_number: typing.SupportsInt | typing.SupportsIndex = 0, entropy_cutoff: typing.SupportsFloat | typing.SupportsIndex = 0.0, enthalpy_cutoff: typing.SupportsFloat | typing.SupportsIndex = 0.0, damping_exponent: typing.SupportsFloat | typing.SupportsIndex = 4.0, average_inertia: typing.SupportsFloat | typing.SupportsIndex = 1e-44, raise_cutoff: typing.SupportsFloat | typing.SupportsIndex = 0.0, concentration: typing.SupportsFloat | typing.SupportsIndex = 0.0) -> dict[str, typing.Any]:
    """
    Thermochemistry of the checkpoint in the program's conventions, as a dict (energies in kcal/mol, CV and S in cal/(mol K), corrections in Hartree, ln Q); tesvarin.thermo shapes it.
    """
def vibration_blocks(reader: Tesvarin_.ChkReader_) -> dict[str, typing.Any] | None:
    """
    The stored harmonic analysis by name (None without one); a block the job did not compute is None.
    """
