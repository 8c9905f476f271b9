"""Orbitals and densities at points and on grids, and the cube writer"""

import typing

import numpy
import numpy.typing
from Tesvarin_ import ChkReader_

_Vector = tuple[float, float, float] | list[float]
_Progress = typing.Callable[[float], object] | None

def evaluate_orbitals(
    reader: ChkReader_,
    points: numpy.typing.ArrayLike,
    orbitals: list[tuple[bool, int]],
    *,
    tolerance: float = 0.0,
    threads: int = 0,
    progress: _Progress = None,
) -> numpy.typing.NDArray[numpy.float64]:
    """Values of orbitals, given as (beta, 0-based index) pairs, at (n, 3) points in Bohr: a new (n, k) array. Basis functions below `tolerance` are left out (0: none); threads=0 uses every core"""

def evaluate_density(
    reader: ChkReader_,
    points: numpy.typing.ArrayLike,
    kind: int,
    part: str = "total",
    *,
    derivatives: int = 0,
    tolerance: float = 0.0,
    threads: int = 0,
    progress: _Progress = None,
) -> numpy.typing.NDArray[numpy.float64]:
    """The density at (n, 3) points in Bohr, from the stored matrix of `kind` (0..8) or, for kind -1, from the occupied orbitals; part "total", "spin", "alpha" or "beta". A new (n, 1 + 3 + 1) array: value, gradient with derivatives >= 1, Laplacian with derivatives = 2 (columns beyond those asked for absent)"""

def grid_orbitals(
    reader: ChkReader_,
    origin: _Vector,
    axes: list[list[float]],
    counts: list[int],
    orbitals: list[tuple[bool, int]],
    *,
    tolerance: float = 0.0,
    threads: int = 0,
    progress: _Progress = None,
) -> numpy.typing.NDArray[numpy.float64]:
    """Orbital values on the grid origin + i axes[0] + j axes[1] + k axes[2] (Bohr): a new (nx, ny, nz, k) array"""

def grid_coefficients(
    reader: ChkReader_,
    origin: _Vector,
    axes: list[list[float]],
    counts: list[int],
    coefficients: numpy.typing.ArrayLike,
    *,
    tolerance: float = 0.0,
    threads: int = 0,
    progress: _Progress = None,
) -> numpy.typing.NDArray[numpy.float64]:
    """Values of combinations of the basis functions, one per row of the (k, nbasis) coefficients, on the grid origin + i axes[0] + j axes[1] + k axes[2] (Bohr): a new (nx, ny, nz, k) array"""

def grid_density(
    reader: ChkReader_,
    origin: _Vector,
    axes: list[list[float]],
    counts: list[int],
    kind: int,
    part: str = "total",
    *,
    tolerance: float = 0.0,
    threads: int = 0,
    progress: _Progress = None,
) -> numpy.typing.NDArray[numpy.float64]:
    """The density on the grid origin + i axes[0] + j axes[1] + k axes[2] (Bohr): a new (nx, ny, nz) array"""

def write_cube(
    path: bytes,
    title: str,
    comment: str,
    origin: _Vector,
    axes: list[list[float]],
    counts: list[int],
    numbers: list[int],
    charges: list[float],
    coordinates: list[list[float]],
    orbitals: list[int],
    values: numpy.typing.ArrayLike,
) -> None:
    """Write a Gaussian cube file: values in C order over (nx, ny, nz[, orbital]); lengths in Bohr; orbitals 1-based, empty for a density"""

def evaluate_potential(
    reader: ChkReader_,
    points: numpy.typing.ArrayLike,
    kind: int,
    part: str = "total",
    *,
    field: bool = False,
    nuclei: bool = True,
    electrons: bool = True,
    tolerance: float = 0.0,
    accuracy: float = 0.0,
    threads: int = 0,
    progress: _Progress = None,
) -> numpy.typing.NDArray[numpy.float64]:
    """The electrostatic potential (Hartree/e) at (n, 3) points in Bohr of the nuclei and the density of `kind` (0..8 a stored matrix, -1 the occupied orbitals), part "total", "spin", "alpha" or "beta" (nuclei only with the total): a new (n, 1) array, (n, 4) with the field (Hartree/(e Bohr)) after the value. Distributions whose bounds add up to at most `tolerance` are left out (0: none); `accuracy` > 0 sums distributions far from a point through their atom's multipole moments, moving the potential by at most that (0: every sum exact; the field is always exact)"""

def grid_potential(
    reader: ChkReader_,
    origin: _Vector,
    axes: list[list[float]],
    counts: list[int],
    kind: int,
    part: str = "total",
    *,
    tolerance: float = 0.0,
    accuracy: float = 0.0,
    threads: int = 0,
    progress: _Progress = None,
) -> numpy.typing.NDArray[numpy.float64]:
    """The electrostatic potential on the grid origin + i axes[0] + j axes[1] + k axes[2] (Bohr): a new (nx, ny, nz) array; `tolerance` and `accuracy` as for evaluate_potential"""

def overlap(reader: ChkReader_) -> numpy.typing.NDArray[numpy.float64]:
    """The overlap <m|n> of the basis functions in the fchk's order: a new (nbasis, nbasis) array"""
