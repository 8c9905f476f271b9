"""Natural orbitals: the eigenvectors of a stored density matrix in the metric of the basis.

With the overlap S of the basis functions and a density matrix D (both as the checkpoint holds
them), the natural orbitals C and occupations n solve D S C = C diag(n) with C^T S C = 1, so that
D = C diag(n) C^T. They are found in an orthonormal basis X = U s^(-1/2) from S = U s U^T (the
eigenvectors of S with s above 1e-10 of the largest: a near-linearly dependent basis loses the
directions the program removed too): X^T S D S X = V diag(n) V^T, C = X V.
"""

from __future__ import annotations

import os
from dataclasses import dataclass
from typing import TYPE_CHECKING

import numpy as np
import Tesvarin_.grid

from tesvarin._arrays import DENSITY_KINDS, FloatArray, frozen

if TYPE_CHECKING:
    from tesvarin.checkpoint import Checkpoint

__all__ = ["DENSITIES", "NaturalOrbitals", "natural_orbitals", "overlap"]

DENSITIES = tuple(kind.lower() for kind in DENSITY_KINDS)
"""The names `natural_orbitals` takes for the stored densities, in the checkpoint's order."""
SPINS = ("total", "alpha", "beta")
_DEPENDENT = 1e-10  # eigenvalues of S below this times the largest span no direction kept


@dataclass(frozen=True)
class NaturalOrbitals:
    """The natural orbitals of one density: occupations in descending order and the orbitals as rows
    (nmo, nbasis), in the basis functions of the checkpoint, as its MO coefficients are."""

    occupations: FloatArray
    """Occupation of each orbital, largest first: 0 to 2 for the total density, 0 to 1 for one spin."""
    coefficients: FloatArray
    """One orbital per row over the basis functions, orthonormal in the overlap, float64 (nmo, nbasis)."""
    density: str
    """The stored density they diagonalise ("mp2", "cc", ...)."""
    spin: str
    """"total", "alpha" or "beta"."""


def overlap(cp: Checkpoint) -> FloatArray:
    """The overlap <m|n> of the checkpoint's basis functions in their stored order, float64 (nbasis, nbasis)."""
    matrix: FloatArray = frozen(Tesvarin_.grid.overlap(cp.reader), np.float64)
    return matrix


def _density(cp: Checkpoint, density: str, spin: str) -> FloatArray:
    name = density.strip().lower().removesuffix(" density")
    if name not in DENSITIES:
        raise ValueError(f"unknown density {density!r}; one of {', '.join(DENSITIES)}")
    if spin not in SPINS:
        raise ValueError(f"spin must be one of {', '.join(SPINS)}, not {spin!r}")
    kind = DENSITY_KINDS[DENSITIES.index(name)]
    total = cp.total_densities.get(kind)
    if total is None:
        held = ", ".join(k.lower() for k in cp.total_densities) or "none"
        raise ValueError(f"{os.path.basename(cp.path)} holds no {kind} density; the densities it holds: {held}")
    if spin == "total":
        return total
    difference = cp.spin_densities.get(kind)
    if difference is None:  # closed shell: each spin holds half
        matrix: FloatArray = 0.5 * total
        return matrix
    return 0.5 * (total + difference) if spin == "alpha" else 0.5 * (total - difference)


def natural_orbitals(cp: Checkpoint, density: str = "scf", spin: str = "total") -> NaturalOrbitals:
    """Occupations (descending) and orbitals (rows) of the stored `density` ("scf", "mp2", "cc", "ci", ...: one of
    DENSITIES), its "total", "alpha" or "beta" part. ValueError, naming the file and the densities it holds,
    when it holds no such density."""
    cp._needs("densities")
    matrix = _density(cp, density, spin)
    s = overlap(cp)
    values, vectors = np.linalg.eigh(s)
    keep = values > _DEPENDENT * values[-1]
    x = vectors[:, keep] / np.sqrt(values[keep])
    sx = s @ x
    occupations, rotation = np.linalg.eigh(sx.T @ matrix @ sx)
    order = np.argsort(occupations)[::-1]
    orbitals = x @ rotation[:, order]
    return NaturalOrbitals(
        frozen(occupations[order], np.float64),
        frozen(orbitals.T, np.float64),
        density.strip().lower().removesuffix(" density"),
        spin,
    )
