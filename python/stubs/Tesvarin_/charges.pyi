"""Fitting points and atomic charges fitted to the potential."""

from collections.abc import Sequence
from typing import Any

import numpy
import numpy.typing

def merz_kollman_radius(z: int) -> float:
    """Merz-Kollman radius of element z (Angstrom), 0 where the set has none."""

def breneman_radius(z: int) -> float:
    """Breneman's (CHELPG) radius of element z (Angstrom), 0 where the set has none."""

def merz_kollman_points(
    atoms: numpy.typing.ArrayLike, radii: Sequence[float], scales: Sequence[float], density: float
) -> numpy.typing.NDArray[numpy.float64]:
    """Merz-Kollman fitting points (n, 3) Bohr: dots at `density` per Angstrom^2 on each atom's sphere of radius (Angstrom) times each scale, outside the other atoms' spheres of that layer."""

def breneman_points(
    atoms: numpy.typing.ArrayLike, radii: Sequence[float], spacing: float, extension: float
) -> tuple[numpy.typing.NDArray[numpy.float64], tuple[int, int, int]]:
    """CHELPG fitting points (n, 3) Bohr and the grid's nodes along x, y, z: a cubic grid of `spacing` over the atoms' box widened by `extension` (Angstrom), outside every radius and within `extension` of an atom."""

def fit(
    atoms: numpy.typing.ArrayLike,
    points: numpy.typing.ArrayLike,
    potential: numpy.typing.ArrayLike,
    total_charge: float = 0.0,
    dipole: Sequence[float] | None = None,
    share: Sequence[int] = ...,
    fixed: Sequence[float] = ...,
    restraint_a: float = 0.0,
    restraint_b: float = 0.1,
    restrained: Sequence[bool] = ...,
) -> dict[str, Any]:
    """Least-squares charges (e) at `atoms` reproducing `potential` (Hartree/e) at `points` (Bohr), with the total charge and optionally the dipole (e Bohr) held; `share` gives each atom the index of its charge (-1: held at `fixed`); the restraint a * sum(sqrt(q^2 + b^2) - b) acts on the `restrained` atoms. Returns charges, rms, rrms and iterations."""
