"""The picture of a UV-Vis or ECD spectrum, with its sticks, as ``tesvarin plot uv|ecd`` draws it.

Needs matplotlib: ``pip install "tesvarin[plot]"``.
"""

from __future__ import annotations

import os
from typing import Any

from tesvarin.excited.bands import DEFAULT_FWHM_EV

__all__ = ["AXES", "draw"]

# kind -> (spectrum, curve axis, stick axis, stick values of the states)
AXES = {
    "uv": ("uv-vis", "ε (L mol$^{-1}$ cm$^{-1}$)", "Oscillator strength f", "UV-Vis spectrum"),
    "ecd": ("ecd", "Δε (L mol$^{-1}$ cm$^{-1}$)", "R (10$^{-40}$ erg esu cm G$^{-1}$)", "ECD spectrum"),
}
UNIT_LABEL = {"nm": "Wavelength (nm)", "ev": "Energy (eV)", "cm-1": "Wavenumber (cm$^{-1}$)"}


def draw(
    cp: Any,
    kind: str,
    path: str,
    fwhm_ev: float = DEFAULT_FWHM_EV,
    shape: str = "gaussian",
    unit: str = "nm",
    window: tuple[float, float] | None = None,
    fmt: str = "png",
) -> None:
    """Writes the UV-Vis ("uv") or ECD ("ecd") spectrum of `cp` to `path` in format `fmt`. Raises
    ValueError naming the file, before anything is drawn, when it holds no excited states."""
    name, curve_label, stick_label, title = AXES[kind]
    x, y = cp.spectrum(name, fwhm_ev=fwhm_ev, shape=shape, unit=unit)  # raises before any drawing
    try:
        import matplotlib
    except ImportError:
        raise RuntimeError('plotting needs matplotlib: pip install "tesvarin[plot]"') from None
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    import numpy as np

    states = cp.excited_states
    ev = states.excitation_energies_ev
    where = {"nm": states.wavelengths_nm, "ev": ev, "cm-1": 1e7 / states.wavelengths_nm}[unit]
    heights = states.oscillator_strengths if kind == "uv" else states.rotatory_strengths_velocity_1e40_cgs
    fig, curve_axis = plt.subplots(figsize=(8, 4.5), layout="constrained")
    stick_axis = curve_axis.twinx()
    stick_axis.vlines(where, 0, heights, color="C3", linewidth=1.2, alpha=0.8, label="states")
    curve_axis.plot(x, y, color="C0", linewidth=1.4, label=f"{shape}, FWHM {fwhm_ev:.3g} eV")
    if window is not None:
        curve_axis.set_xlim(*window)
    top = float(np.max(np.abs(y), initial=0.0)) * 1.08 or 1.0
    stick_top = float(np.max(np.abs(heights), initial=0.0)) * 1.08 or 1.0
    low = -1.0 if kind == "ecd" else 0.0  # an ECD spectrum has signs: zero in the middle
    curve_axis.set_ylim(low * top, top)
    stick_axis.set_ylim(low * stick_top, stick_top)
    curve_axis.set_xlabel(UNIT_LABEL[unit])
    curve_axis.set_ylabel(curve_label, color="C0")
    stick_axis.set_ylabel(stick_label, color="C3")
    if kind == "ecd":
        curve_axis.axhline(0.0, color="0.5", linewidth=0.6)
    followed = f", state {states.root} followed" if states.root else ""
    curve_axis.set_title(
        f"{title}: {os.path.basename(cp.path)}\n{cp.method}/{cp.basis_name}, {len(states)} states{followed}",
        fontsize=10,
    )
    lines = curve_axis.get_legend_handles_labels()
    more = stick_axis.get_legend_handles_labels()
    stick_axis.legend(lines[0] + more[0], lines[1] + more[1], loc="upper right")
    fig.savefig(path, format=fmt)
    plt.close(fig)
