"""UV-Vis and ECD spectra of the excited states, in the conventions of the program's own spectra.

Each state is a band over wavenumber (cm^-1) whose area is its stick intensity:

- UV-Vis, molar absorptivity epsilon (L mol^-1 cm^-1): stick A_i = 2.3153e8 f_i L mol^-1 cm^-2,
  the integrated absorption of oscillator strength f_i (f = 4.319e-9 * integral of epsilon over
  wavenumber). With Gaussian bands of 1/e half-width sigma (cm^-1) this is the program's
  epsilon(v) = 1.3062974e8 sum_i f_i / sigma exp(-((v - v_i) / sigma)^2).
- ECD, Delta-epsilon (L mol^-1 cm^-1): stick B_i = v_i R_i / 22.96 L mol^-1 cm^-2 with R_i in
  1e-40 erg esu cm / Gauss (R = 2.296e-39 * integral of Delta-epsilon / v, taken at the band's
  centre v_i); for Gaussian bands the program's Delta-epsilon(v) = 1 / (2.296e-39 sqrt(pi) sigma)
  sum_i v_i R_i exp(-((v - v_i) / sigma)^2), R in cgs.

Reference: "UV/Visible and ECD spectra", Gaussian white paper (Stephens and Harada,
Chirality 22, 229 (2010) for the ECD form). The program's default width sigma = 0.4 eV is a full
width at half maximum of 2 sqrt(ln 2) 0.4 = 0.666 eV, the default here.

The values at a point do not depend on the unit of the axis: a spectrum in nm holds the same
epsilon at the wavelength of each wavenumber (no Jacobian), so the bands' areas hold over energy.
"""

from __future__ import annotations

import math
from collections.abc import Sequence
from typing import Literal

import numpy as np
import Tesvarin_.thermo

from tesvarin._arrays import FloatArray, frozen
from tesvarin.excited.states import ExcitedStates, constants_of

__all__ = ["DEFAULT_FWHM_EV", "UNITS", "electronic_spectrum", "sticks"]

DEFAULT_FWHM_EV = 2 * math.sqrt(math.log(2)) * 0.4
"""The program's default band, 1/e half-width 0.4 eV, as a full width at half maximum (0.666 eV)."""
UNITS = ("nm", "ev", "cm-1")
UV_VIS_AREA = 1.3062974e8 * math.sqrt(math.pi)  # L mol^-1 cm^-2 per unit oscillator strength
ECD_AREA = 1.0 / 22.96  # L mol^-1 cm^-2 per cm^-1 times 1e-40 erg esu cm / Gauss


def sticks(states: ExcitedStates, kind: str, version: str, form: str = "velocity") -> tuple[FloatArray, FloatArray]:
    """(wavenumber of each state in cm^-1, its band area in L mol^-1 cm^-2) for "uv-vis" or "ecd"; an ECD
    takes the rotatory strengths of the velocity `form` (independent of the origin) or the length form."""
    wavenumbers = states.excitation_energies_ev * constants_of(version).ev_cm1
    if kind == "uv-vis":
        return wavenumbers, UV_VIS_AREA * states.oscillator_strengths
    if form not in ("velocity", "length"):
        raise ValueError(f'form must be "velocity" or "length", got {form!r}')
    rotatory = (
        states.rotatory_strengths_velocity_1e40_cgs if form == "velocity" else states.rotatory_strengths_length_1e40_cgs
    )
    return wavenumbers, ECD_AREA * wavenumbers * rotatory


def _to_cm1(x: FloatArray, unit: str, ev_cm1: float) -> FloatArray:
    if unit == "nm":
        with np.errstate(divide="ignore"):
            return 1e7 / x
    return x * ev_cm1 if unit == "ev" else x


def electronic_spectrum(
    states: ExcitedStates,
    version: str,
    kind: Literal["uv-vis", "ecd"] = "uv-vis",
    fwhm_ev: float = DEFAULT_FWHM_EV,
    shape: Literal["gaussian", "lorentzian"] = "gaussian",
    unit: Literal["nm", "ev", "cm-1"] = "nm",
    grid: Sequence[float] | FloatArray | None = None,
    form: Literal["velocity", "length"] = "velocity",
) -> tuple[FloatArray, FloatArray]:
    """(grid in `unit`, epsilon or Delta-epsilon in L mol^-1 cm^-1) of the states with a real,
    positive excitation energy. The default grid runs in steps of fwhm/20 (in energy) from 5 widths
    below the lowest state to 5 past the highest (40 for Lorentzian bands, to hold 99% of their area),
    never below a tenth of the lowest energy, ascending in `unit`."""
    if kind not in ("uv-vis", "ecd"):
        raise ValueError(f'kind must be "uv-vis" or "ecd", got {kind!r}')
    if unit not in UNITS:
        raise ValueError(f"unit must be one of {', '.join(UNITS)}, got {unit!r}")
    if shape not in ("gaussian", "lorentzian"):
        raise ValueError(f'shape must be "gaussian" or "lorentzian", got {shape!r}')
    if not (math.isfinite(fwhm_ev) and fwhm_ev > 0):
        raise ValueError(f"fwhm_ev must be a positive number of eV, got {fwhm_ev!r}")
    ev_cm1 = constants_of(version).ev_cm1
    centres, areas = sticks(states, kind, version, form)
    keep = np.isfinite(centres) & (centres > 0) & np.isfinite(areas)
    centres, areas = centres[keep], areas[keep]
    if grid is None:
        if len(centres) == 0:
            raise ValueError("no excited state has a positive excitation energy")
        width = fwhm_ev * ev_cm1
        reach = (5 if shape == "gaussian" else 40) * width
        low = max(centres.min() - reach, centres.min() / 10)
        energies = np.arange(low, centres.max() + reach + width / 20, width / 20)
        x = energies / ev_cm1 if unit == "ev" else 1e7 / energies[::-1] if unit == "nm" else energies
    else:
        x = np.asarray(grid, dtype=np.float64)
    y = Tesvarin_.thermo.broaden(
        list(map(float, centres)),
        list(map(float, areas)),
        list(map(float, _to_cm1(x, unit, ev_cm1))),
        fwhm_ev * ev_cm1,
        shape,
    )
    return frozen(x, np.float64), frozen(y, np.float64)
