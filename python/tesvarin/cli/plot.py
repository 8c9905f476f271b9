"""``tesvarin plot ir|raman|uv|ecd FILE.chk -o spectrum.png``: the broadened spectrum with its sticks.

Needs matplotlib, the plot extra (``pip install ".[plot]"`` in a clone).
"""

from __future__ import annotations

import argparse
import os
from typing import Any

from tesvarin._optional import missing
from tesvarin._reasons import os_reason
from tesvarin.cli._inputs import check_input, said
from tesvarin.cli._targets import Failure, Outputs

__all__ = ["add_parser", "draw", "run"]

UNITS = {
    "ir": ("IR intensity (km/mol)", "Molar absorption (km/mol per cm$^{-1}$)", "IR spectrum"),
    "raman": ("Raman activity (Å$^4$/amu)", "Raman activity (Å$^4$/amu per cm$^{-1}$)", "Raman spectrum"),
}
FORMATS = (".png", ".svg", ".pdf")


def add_parser(commands: argparse._SubParsersAction[argparse.ArgumentParser], epilog: str) -> None:
    p = commands.add_parser(
        "plot",
        help="draw the IR or Raman spectrum of a checkpoint",
        epilog=epilog,
        description="Draw the broadened IR or Raman spectrum of a checkpoint, with its sticks, into a PNG, SVG or PDF "
        "file (needs matplotlib, the plot extra). The intensities are those the job stored, or for IR those of "
        "the stored force constants and dipole derivatives (the files of Gaussian 09). An existing file is kept "
        "unless --force is given; an input or any checkpoint is never replaced.",
    )
    p.add_argument("kind", choices=("ir", "raman", "uv", "ecd"), help="which spectrum (uv, ecd: of a CIS or TD job)")
    p.add_argument("inputs", nargs=1, metavar="FILE.chk", help="the checkpoint")
    p.add_argument("-o", "--output", required=True, metavar="PATH", help="the picture: .png, .svg or .pdf")
    p.add_argument("-f", "--force", action="store_true", help="replace an existing output")
    p.add_argument(
        "--fwhm", type=float, default=10.0, metavar="CM1", help="full width at half maximum, cm-1 (default 10)"
    )
    p.add_argument(
        "--shape",
        choices=("lorentzian", "gaussian"),
        help="line shape: ir, raman (default lorentzian); uv, ecd (default gaussian)",
    )
    p.add_argument(
        "--range", type=float, nargs=2, metavar=("FROM", "TO"), help="wavenumbers shown, cm-1 (uv, ecd: in --unit)"
    )
    p.add_argument(
        "--fwhm-ev", type=float, metavar="EV", help="uv, ecd: full width at half maximum, eV (default 0.666)"
    )
    p.add_argument("--unit", choices=("nm", "ev", "cm-1"), default="nm", help="uv, ecd: the axis (default nm)")


def draw(
    cp: Any,
    kind: str,
    path: str,
    fwhm: float = 10.0,
    shape: str = "lorentzian",
    window: tuple[float, float] | None = None,
    name: str | None = None,
) -> None:
    """Writes the spectrum of `cp` to `path` in the format that the suffix of `name` (default: `path`) says."""
    suffix = os.path.splitext(name or path)[1].lower()
    if suffix not in FORMATS:
        raise ValueError(f"the picture's name must end in {', '.join(FORMATS)}")
    try:
        import matplotlib
    except ImportError:
        raise RuntimeError(missing("plotting", "matplotlib", "plot")) from None
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    import numpy as np

    frequencies, sticks = cp.sticks(kind)
    x, y = cp.spectrum(kind, fwhm=fwhm, shape=shape)
    real = frequencies > 0
    stick_label, curve_label, title = UNITS[kind]
    fig, curve_axis = plt.subplots(figsize=(8, 4.5), layout="constrained")
    stick_axis = curve_axis.twinx()
    # The sticks (right axis) are drawn over the broadened curve (left axis).
    stick_axis.vlines(frequencies[real], 0, sticks[real], color="C3", linewidth=1.0, alpha=0.8, label="sticks")
    curve_axis.plot(x, y, color="C0", linewidth=1.4, label=f"{shape}, FWHM {fwhm:g} cm$^{{-1}}$")
    low, high = window if window is not None else (0.0, float(np.max(frequencies[real], initial=0.0)) + 10 * fwhm)
    curve_axis.set_xlim(high, low)  # wavenumbers decrease to the right, as spectra are drawn
    curve_axis.set_ylim(0, float(y.max(initial=0.0)) * 1.08 or 1.0)
    stick_axis.set_ylim(0, float(sticks[real].max(initial=0.0)) * 1.08 or 1.0)
    curve_axis.set_xlabel("Wavenumber (cm$^{-1}$)")
    curve_axis.set_ylabel(curve_label, color="C0")
    stick_axis.set_ylabel(stick_label, color="C3")
    curve_axis.set_title(f"{title}: {os.path.basename(cp.path)} ({cp.method}/{cp.basis_name})")
    lines = curve_axis.get_legend_handles_labels()
    more = stick_axis.get_legend_handles_labels()
    stick_axis.legend(lines[0] + more[0], lines[1] + more[1], loc="upper left")
    fig.savefig(path, format=suffix[1:])
    plt.close(fig)


def run(args: argparse.Namespace, path: str, outputs: Outputs) -> None:
    import tesvarin

    check_input(path)
    if os.path.splitext(args.output)[1].lower() not in FORMATS:
        raise Failure(args.output, f"the picture's name must end in {', '.join(FORMATS)}")
    outputs.target(args.output)  # refused, or kept, before the parse
    try:
        cp = tesvarin.load(path)
    except (RuntimeError, ValueError, MemoryError) as error:
        raise Failure(path, said(error, path)) from None
    window = tuple(args.range) if args.range else None
    electronic = _electronic(cp, args, window, path) if args.kind in ("uv", "ecd") else None
    try:
        outputs.write(
            path,
            args.output,
            electronic
            or (
                lambda temporary: draw(
                    cp, args.kind, temporary, args.fwhm, args.shape or "lorentzian", window, args.output
                )
            ),
        )
    except OSError as error:
        raise Failure(args.output, os_reason(error)) from None
    except (RuntimeError, ValueError) as error:
        raise Failure(path, said(error, path)) from None
    print(args.output)


def _electronic(cp: Any, args: argparse.Namespace, window: Any, path: str) -> Any:
    """The drawing of a UV-Vis or ECD spectrum; a file without excited states fails here, before any output."""
    from tesvarin.excited.bands import DEFAULT_FWHM_EV
    from tesvarin.excited.plot import draw as draw_electronic

    if cp.excited_states is None:
        raise Failure(path, "holds no excited states (not a CIS or TD job): no spectrum to draw")
    fwhm = DEFAULT_FWHM_EV if args.fwhm_ev is None else args.fwhm_ev
    shape = args.shape or "gaussian"
    fmt = os.path.splitext(args.output)[1].lower()[1:]
    return lambda temporary: draw_electronic(cp, args.kind, temporary, fwhm, shape, args.unit, window, fmt)
