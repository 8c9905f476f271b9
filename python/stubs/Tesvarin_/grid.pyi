"""
Orbitals and densities at points and on grids, and the cube writer
"""
from __future__ import annotations
import Tesvarin_
import collections.abc
import numpy
import numpy.typing
import typing
__all__: list[str] = ['evaluate_density', 'evaluate_orbitals', 'evaluate_potential', 'grid_coefficients', 'grid_density', 'grid_orbitals', 'grid_potential', 'overlap', 'write_cube']
def evaluate_density(reader: Tesvarin_.ChkReader_, points: typing.Annotated[numpy.typing.ArrayLike, numpy.float64], kind: typing.SupportsInt | typing.SupportsIndex, part: str = 'total', *, derivatives: typing.SupportsInt | typing.SupportsIndex = 0, tolerance: typing.SupportsFloat | typing.SupportsIndex = 0.0, threads: typing.SupportsInt | typing.SupportsIndex = 0, progress: collections.abc.Callable[[float], typing.Any] | None = None) -> numpy.typing.NDArray[numpy.float64]:
    """
    The density at (n, 3) points in Bohr, from the stored matrix of `kind` (0..8) or, for kind -1, from the occupied orbitals; part "total", "spin", "alpha" or "beta". A new (n, 1 + 3 + 1) array: value, gradient with derivatives >= 1, Laplacian with derivatives = 2 (columns beyond those asked for absent)
    """
def evaluate_orbitals(reader: Tesvarin_.ChkReader_, points: typing.Annotated[numpy.typing.ArrayLike, numpy.float64], orbitals: collections.abc.Sequence[tuple[bool, typing.SupportsInt | typing.SupportsIndex]], *, tolerance: typing.SupportsFloat | typing.SupportsIndex = 0.0, threads: typing.SupportsInt | typing.SupportsIndex = 0, progress: collections.abc.Callable[[float], typing.Any] | None = None) -> numpy.typing.NDArray[numpy.float64]:
    """
    Values of orbitals, given as (beta, 0-based index) pairs, at (n, 3) points in Bohr: a new (n, k) array. Basis functions below `tolerance` are left out (0: none); threads=0 uses every core
    """
def evaluate_potential(reader: Tesvarin_.ChkReader_, points: typing.Annotated[numpy.typing.ArrayLike, numpy.float64], kind: typing.SupportsInt | typing.SupportsIndex, part: str = 'total', *, field: bool = False, nuclei: bool = True, electrons: bool = True, tolerance: typing.SupportsFloat | typing.SupportsIndex = 0.0, accuracy: typing.SupportsFloat | typing.SupportsIndex = 0.0, threads: typing.SupportsInt | typing.SupportsIndex = 0, progress: collections.abc.Callable[[float], typing.Any] | None = None) -> numpy.typing.NDArray[numpy.float64]:
    """
    The electrostatic potential (Hartree/e) at (n, 3) points in Bohr of the nuclei and the density of `kind` (0..8 a stored matrix, -1 the occupied orbitals), part "total", "spin", "alpha" or "beta" (nuclei only with the total): a new (n, 1) array, (n, 4) with the field (Hartree/(e Bohr)) after the value. Distributions whose bounds add up to at most `tolerance` are left out (0: none); `accuracy` > 0 sums distributions far from a point through their atom's multipole moments, moving the potential by at most that (0: every sum exact; the field is always exact)
    """
def grid_coefficients(reader: Tesvarin_.ChkReader_, origin: typing.Annotated[collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex], "FixedSize(3)"], axes: typing.Annotated[collections.abc.Sequence[typing.Annotated[collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex], "FixedSize(3)"]], "FixedSize(3)"], counts: typing.Annotated[collections.abc.Sequence[typing.SupportsInt | typing.SupportsIndex], "FixedSize(3)"], coefficients: typing.Annotated[numpy.typing.ArrayLike, numpy.float64], *, tolerance: typing.SupportsFloat | typing.SupportsIndex = 0.0, threads: typing.SupportsInt | typing.SupportsIndex = 0, progress: collections.abc.Callable[[float], typing.Any] | None = None) -> numpy.typing.NDArray[numpy.float64]:
    """
    Values of combinations of the basis functions, one per row of the (k, nbasis) coefficients, on the grid origin + i axes[0] + j axes[1] + k axes[2] (Bohr): a new (nx, ny, nz, k) array
    """
def grid_density(reader: Tesvarin_.ChkReader_, origin: typing.Annotated[collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex], "FixedSize(3)"], axes: typing.Annotated[collections.abc.Sequence[typing.Annotated[collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex], "FixedSize(3)"]], "FixedSize(3)"], counts: typing.Annotated[collections.abc.Sequence[typing.SupportsInt | typing.SupportsIndex], "FixedSize(3)"], kind: typing.SupportsInt | typing.SupportsIndex, part: str = 'total', *, tolerance: typing.SupportsFloat | typing.SupportsIndex = 0.0, threads: typing.SupportsInt | typing.SupportsIndex = 0, progress: collections.abc.Callable[[float], typing.Any] | None = None) -> numpy.typing.NDArray[numpy.float64]:
    """
    The density on the grid origin + i axes[0] + j axes[1] + k axes[2] (Bohr): a new (nx, ny, nz) array
    """
def grid_orbitals(reader: Tesvarin_.ChkReader_, origin: typing.Annotated[collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex], "FixedSize(3)"], axes: typing.Annotated[collections.abc.Sequence[typing.Annotated[collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex], "FixedSize(3)"]], "FixedSize(3)"], counts: typing.Annotated[collections.abc.Sequence[typing.SupportsInt | typing.SupportsIndex], "FixedSize(3)"], orbitals: collections.abc.Sequence[tuple[bool, typing.SupportsInt | typing.SupportsIndex]], *, tolerance: typing.SupportsFloat | typing.SupportsIndex = 0.0, threads: typing.SupportsInt | typing.SupportsIndex = 0, progress: collections.abc.Callable[[float], typing.Any] | None = None) -> numpy.typing.NDArray[numpy.float64]:
    """
    Orbital values on the grid origin + i axes[0] + j axes[1] + k axes[2] (Bohr): a new (nx, ny, nz, k) array
    """
def grid_potential(reader: Tesvarin_.ChkReader_, origin: typing.Annotated[collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex], "FixedSize(3)"], axes: typing.Annotated[collections.abc.Sequence[typing.Annotated[collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex], "FixedSize(3)"]], "FixedSize(3)"], counts: typing.Annotated[collections.abc.Sequence[typing.SupportsInt | typing.SupportsIndex], "FixedSize(3)"], kind: typing.SupportsInt | typing.SupportsIndex, part: str = 'total', *, tolerance: typing.SupportsFloat | typing.SupportsIndex = 0.0, accuracy: typing.SupportsFloat | typing.SupportsIndex = 0.0, threads: typing.SupportsInt | typing.SupportsIndex = 0, progress: collections.abc.Callable[[float], typing.Any] | None = None) -> numpy.typing.NDArray[numpy.float64]:
    """
    The electrostatic potential on the grid origin + i axes[0] + j axes[1] + k axes[2] (Bohr): a new (nx, ny, nz) array; `tolerance` and `accuracy` as for evaluate_potential
    """
def overlap(reader: Tesvarin_.ChkReader_) -> numpy.typing.NDArray[numpy.float64]:
    """
    The overlap <m|n> of the basis functions in the fchk's order: a new (nbasis, nbasis) array
    """
def write_cube(path: bytes, title: str, comment: str, origin: typing.Annotated[collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex], "FixedSize(3)"], axes: typing.Annotated[collections.abc.Sequence[typing.Annotated[collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex], "FixedSize(3)"]], "FixedSize(3)"], counts: typing.Annotated[collections.abc.Sequence[typing.SupportsInt | typing.SupportsIndex], "FixedSize(3)"], numbers: collections.abc.Sequence[typing.SupportsInt | typing.SupportsIndex], charges: collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex], coordinates: collections.abc.Sequence[typing.Annotated[collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex], "FixedSize(3)"]], orbitals: collections.abc.Sequence[typing.SupportsInt | typing.SupportsIndex], values: typing.Annotated[numpy.typing.ArrayLike, numpy.float64]) -> None:
    """
    Write a Gaussian cube file: values in C order over (nx, ny, nz[, orbital]); lengths in Bohr; orbitals 1-based, empty for a density
    """
