"""The Gaussian cube file: `Cube`, values on a regular grid with the atoms, and its writer and reader."""

from __future__ import annotations

import os
from dataclasses import dataclass
from typing import Union

import numpy as np
import Tesvarin_

from tesvarin._arrays import FloatArray, IntArray, frozen
from tesvarin.safe_write import write_replacing

PathLike = Union[str, bytes, "os.PathLike[str]", "os.PathLike[bytes]"]


@dataclass(frozen=True, eq=False)
class Cube:
    """Values on a regular grid: point (i, j, k) is origin + i axes[0] + j axes[1] + k axes[2], Bohr."""

    origin: FloatArray
    """The first point, Bohr, float64 (3,)."""
    axes: FloatArray
    """The step vector of each axis as a row, Bohr, float64 (3, 3)."""
    values: FloatArray
    """float64 (nx, ny, nz) for a density, (nx, ny, nz, k) for k orbitals."""
    atomic_numbers: IntArray
    """Atomic numbers, int64 (natoms,)."""
    nuclear_charges: FloatArray
    """Nuclear charges, e, float64 (natoms,)."""
    coordinates: FloatArray
    """Atomic positions, Bohr, float64 (natoms, 3)."""
    orbitals: tuple[int, ...] | None = None
    """The orbitals' numbers as the file lists them (beta orbital i is nmo + i); None for a density."""
    title: str = ""
    """The first line of the file."""
    comment: str = ""
    """The second line of the file."""

    @property
    def counts(self) -> tuple[int, int, int]:
        """Points along each axis."""
        nx, ny, nz = self.values.shape[:3]
        return nx, ny, nz

    def write(self, path: PathLike) -> None:
        """Writes the cube file: to a temporary file beside `path`, renamed into place once complete."""
        write_replacing(os.fsdecode(path), lambda temporary: write_file(self, temporary), replace=True)


def write_file(result: Cube, path: str) -> None:
    """Writes `result` straight to `path` (callers that own a temporary file)."""
    values = np.ascontiguousarray(result.values, dtype=np.float64)
    Tesvarin_.write_cube(
        os.fsencode(path),
        result.title,
        result.comment,
        result.origin.tolist(),
        result.axes.tolist(),
        list(result.counts),
        result.atomic_numbers.tolist(),
        result.nuclear_charges.tolist(),
        result.coordinates.tolist(),
        list(result.orbitals or ()),
        values.reshape(-1),
    )


def read_cube(path: PathLike) -> Cube:
    """Reads a Gaussian cube file, orbital cubes (negative atom count) included."""
    with open(path, "rb") as handle:
        title = handle.readline().decode("utf-8", "replace").rstrip("\r\n")
        comment = handle.readline().decode("utf-8", "replace").rstrip("\r\n")

        def numbers(line: bytes, expect: int, what: str) -> list[str]:
            words = line.split()
            if len(words) < expect:
                raise ValueError(f"{os.fsdecode(path)}: the {what} line holds {len(words)} fields, not {expect}")
            return [w.decode() for w in words]

        first = numbers(handle.readline(), 4, "atom count and origin")
        natoms = int(first[0])
        origin = np.array([float(v) for v in first[1:4]])
        counts, axes = [], []
        for axis in range(3):
            words = numbers(handle.readline(), 4, f"axis {axis + 1}")
            counts.append(int(words[0]))
            axes.append([float(v) for v in words[1:4]])
        atoms = [numbers(handle.readline(), 5, "atom") for _ in range(abs(natoms))]
        rest = handle.read().split()
    orbitals: tuple[int, ...] | None = None
    if natoms < 0:
        norb = int(rest[0]) if rest else 0
        orbitals = tuple(int(v) for v in rest[1 : 1 + norb])
        rest = rest[1 + norb :]
    # Cube files of other programs may give counts negative (Angstrom); the values are the same.
    shape = [abs(c) for c in counts] + ([len(orbitals)] if orbitals and len(orbitals) > 1 else [])
    size = int(np.prod(shape))
    if len(rest) != size:
        raise ValueError(f"{os.fsdecode(path)}: {len(rest)} values where the header asks for {size}")
    values = np.array(rest, dtype=np.float64).reshape(shape)
    if orbitals is not None and len(orbitals) == 1:
        values = values[..., np.newaxis]
    return Cube(
        origin=frozen(origin, np.float64),
        axes=frozen(np.array(axes), np.float64),
        values=values,
        atomic_numbers=frozen(np.array([int(a[0]) for a in atoms], dtype=np.int64), np.int64),
        nuclear_charges=frozen(np.array([float(a[1]) for a in atoms]), np.float64),
        coordinates=frozen(np.array([[float(v) for v in a[2:5]] for a in atoms]).reshape(-1, 3), np.float64),
        orbitals=orbitals,
        title=title,
        comment=comment,
    )
