"""Values at a list of points in cubegen's list layout (its ``-5`` output), and the text files of points.

The layout: two title lines; the atom count and a zero origin (I5, 3F12.6); the point count and
zeros (I5, 3F12.6); two lines ``1 0 0 0``; per atom its number, charge and position in Bohr
(I5, 4F12.6); then one line per point, `` x y z V`` each as " %.12f", with x, y, z in the unit the
points were given in.
"""

from __future__ import annotations

import math
import os

import numpy as np

from tesvarin._arrays import FloatArray, IntArray

__all__ = ["read_points", "write_point_list"]


def read_points(path: str, unit: str = "angstrom") -> FloatArray:
    """The points of a text file, x y z per line (blank lines and lines starting with # left out), in
    `unit` ("angstrom" or "bohr"), as an (n, 3) array in that unit. Raises ValueError with the line
    that is not three finite numbers."""
    if unit not in ("angstrom", "bohr"):
        raise ValueError(f"unknown unit {unit!r}: angstrom or bohr")
    rows: list[list[float]] = []
    name = os.fsdecode(path)
    with open(path, encoding="utf-8", errors="replace") as handle:
        for number, line in enumerate(handle, 1):
            words = line.split()
            if not words or words[0].startswith("#"):
                continue
            try:
                row = [float(w) for w in words]
            except ValueError:
                row = []
            if len(row) != 3 or not all(math.isfinite(v) for v in row):
                raise ValueError(f"{name}, line {number}: expected x y z, found {line.strip()[:60]!r}")
            rows.append(row)
    if not rows:
        raise ValueError(f"{name} holds no points (x y z per line)")
    return np.array(rows, dtype=np.float64)


def _count_line(count: int) -> str:
    return f"{count:5d}" + f"{0.0:12.6f}" * 3 + "\n"


def write_point_list(
    path: str,
    title: str,
    comment: str,
    numbers: IntArray,
    charges: FloatArray,
    coordinates_bohr: FloatArray,
    points: FloatArray,
    values: FloatArray,
) -> None:
    """Writes the list at `path`: `points` as given (their unit) and one value each."""
    lines = [f" {_one_line(title)}\n", f" {_one_line(comment)}\n", _count_line(len(numbers)), _count_line(len(points))]
    lines += [f"{1:5d}" + f"{0.0:12.6f}" * 3 + "\n"] * 2
    for z, q, xyz in zip(numbers, charges, coordinates_bohr, strict=True):
        lines.append(f"{int(z):5d}{q:12.6f}{xyz[0]:12.6f}{xyz[1]:12.6f}{xyz[2]:12.6f}\n")
    table = np.column_stack([np.asarray(points, dtype=np.float64), np.asarray(values, dtype=np.float64)])
    with open(path, "w", encoding="utf-8") as handle:
        handle.writelines(lines)
        handle.writelines(" %.12f %.12f %.12f %.12f\n" % tuple(row) for row in table.tolist())


def _one_line(text: str) -> str:
    return text.replace("\r", " ").replace("\n", " ").replace("\0", " ")
