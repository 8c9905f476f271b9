"""The ESP file the program writes for antechamber (IOp(6/50=1)): atoms with their fitted
charges, the dipole and quadrupole of those charges, then the potential at each fitting
point before its coordinates, all in atomic units and Fortran's D16.8 fields."""

from __future__ import annotations

from typing import Any

import numpy as np

__all__ = ["d16", "gesp_text"]


def d16(value: float) -> str:
    """`value` in Fortran's D16.8: 0.dddddddd, the exponent after D, right-aligned in 16."""
    if value == 0.0:
        return f"{'0.00000000D+00':>16}"
    digits, _, exponent = f"{abs(value):.7E}".partition("E")
    mantissa = "0." + digits.replace(".", "")
    e = int(exponent) + 1
    return f"{('-' if value < 0 else '') + mantissa + ('D-' if e < 0 else 'D+') + f'{abs(e):02d}':>16}"


def gesp_text(fit: Any) -> str:
    """The file for `fit`, an `EspCharges`."""
    lines = [
        " ESP FILE - ATOMIC UNITS",
        f" CHARGE ={round(fit.total_charge):4d} - MULTIPLICITY ={fit.multiplicity:4d}",
        f" ATOMIC COORDINATES AND ESP CHARGES. #ATOMS ={len(fit.symbols):9d}",
    ]
    for symbol, xyz, q in zip(fit.symbols, fit.coordinates, fit.charges, strict=True):
        lines.append(f"  {symbol:<2}    " + "".join(d16(float(x)) for x in (*xyz, q)))
    dipole = fit.charges @ fit.coordinates
    second = np.einsum("a,ai,aj->ij", fit.charges, fit.coordinates, fit.coordinates)
    traceless = second - np.eye(3) * np.trace(second) / 3.0
    lines += [
        " DIPOLE MOMENT:",
        " X="
        + d16(dipole[0])
        + " Y="
        + d16(dipole[1])
        + " Z="
        + d16(dipole[2])
        + " Total="
        + d16(float(np.linalg.norm(dipole))),
        " TRACELESS QUADRUPOLE MOMENT:",
        "".join(f"   {n}=" + d16(traceless[i, j]) for n, i, j in (("XX", 0, 0), ("YY", 1, 1), ("ZZ", 2, 2))),
        "".join(f"   {n}=" + d16(traceless[i, j]) for n, i, j in (("XY", 0, 1), ("XZ", 0, 2), ("YZ", 1, 2))),
        f" ESP VALUES AND GRID POINT COORDINATES. #POINTS ={len(fit.points):8d}",
    ]
    lines += [d16(float(v)) + "".join(d16(float(x)) for x in p) for v, p in zip(fit.potential, fit.points, strict=True)]
    return "\n".join(lines) + "\n"
