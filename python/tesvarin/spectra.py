"""The spectra of a checkpoint: vibrational (IR, Raman) from `tesvarin.thermo`, electronic (UV-Vis,
ECD) from `tesvarin.excited`."""

from __future__ import annotations

import os
from collections.abc import Sequence
from typing import TYPE_CHECKING, Literal

from tesvarin.excited import DEFAULT_FWHM_EV, electronic_spectrum, excited_states
from tesvarin.thermo import spectrum as broadened
from tesvarin.thermo import sticks

if TYPE_CHECKING:
    from tesvarin._arrays import FloatArray
    from tesvarin.checkpoint import Checkpoint

__all__ = ["spectrum"]


def spectrum(
    cp: Checkpoint,
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
    intensity) of the real modes of `tesvarin.thermo.sticks`; each peak's area equals its stick intensity. The
    default grid runs from 0 to 10 widths past the highest mode. Raises ValueError when the file holds no such
    intensities.

    "uv-vis" and "ecd": (grid in `unit`, molar absorptivity epsilon or Delta-epsilon in L mol^-1 cm^-1) of
    the excited states, bands of full width `fwhm_ev` at half maximum (default 0.666 eV, the program's
    sigma = 0.4 eV) and Gaussian unless `shape` says otherwise; each band's area over wavenumber is
    2.3153e8 f (uv-vis) or v R / 22.96 (ecd, R of the velocity or length `form` in 1e-40 cgs), so that
    with Gaussian bands epsilon(v) = 1.3062974e8 sum f_i / sigma exp(-((v - v_i) / sigma)^2) as in
    Gaussian's white paper "UV/Visible and ECD spectra" (`tesvarin.excited.bands`). Raises ValueError
    naming the file when it holds no excited states."""
    if kind in ("uv-vis", "ecd"):
        states = excited_states(cp)
        if states is None:
            raise ValueError(f"{os.path.basename(cp.path)} holds no excited states (not a CIS or TD job)")
        width = DEFAULT_FWHM_EV if fwhm_ev is None else fwhm_ev
        return electronic_spectrum(states, cp.program_version, kind, width, shape or "gaussian", unit, grid, form)
    if kind not in ("ir", "raman"):
        raise ValueError(f'kind must be "ir", "raman", "uv-vis" or "ecd", got {kind!r}')
    frequencies, intensities = sticks(cp, kind)
    real = frequencies > 0
    return broadened(frequencies[real], intensities[real], fwhm, shape or "lorentzian", grid)
