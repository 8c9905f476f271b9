"""
Fitting points and atomic charges fitted to the potential.
"""
from __future__ import annotations
import collections.abc
import numpy
import numpy.typing
import typing
__all__: list[str] = ['breneman_points', 'breneman_radius', 'fit', 'merz_kollman_points', 'merz_kollman_radius']
def breneman_points(atoms: typing.Annotated[numpy.typing.ArrayLike, numpy.float64], radii: collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex], spacing: typing.SupportsFloat | typing.SupportsIndex, extension: typing.SupportsFloat | typing.SupportsIndex) -> tuple[numpy.typing.NDArray[numpy.float64], tuple[int, int, int]]:
    """
    CHELPG fitting points (n, 3) Bohr and the grid's nodes along x, y, z: a cubic grid of `spacing` over the atoms' box widened by `extension` (Angstrom), outside every radius and within `extension` of an atom.
    """
def breneman_radius(z: typing.SupportsInt | typing.SupportsIndex) -> float:
    """
    Breneman's (CHELPG) radius of element z (Angstrom), 0 where the set has none.
    """
def fit(atoms: typing.Annotated[numpy.typing.ArrayLike, numpy.float64], points: typing.Annotated[numpy.typing.ArrayLike, numpy.float64], potential: numpy.typing.ArrayLike, total_charge: typing.SupportsFloat | typing.SupportsIndex = 0.0, dipole: typing.Annotated[collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex], "FixedSize(3)"] | None = None, share: collections.abc.Sequence[typing.SupportsInt | typing.SupportsIndex] = [], fixed: collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex] = [], restraint_a: typing.SupportsFloat | typing.SupportsIndex = 0.0, restraint_b: typing.SupportsFloat | typing.SupportsIndex = 0.1, restrained: collections.abc.Sequence[bool] = []) -> dict[str, typing.Any]:
    """
    Least-squares charges (e) at `atoms` reproducing `potential` (Hartree/e) at `points` (Bohr), with the total charge and optionally the dipole (e Bohr) held; `share` gives each atom the index of its charge (-1: held at `fixed`); the restraint a * sum(sqrt(q^2 + b^2) - b) acts on the `restrained` atoms. Returns charges, rms, rrms and iterations.
    """
def merz_kollman_points(atoms: typing.Annotated[numpy.typing.ArrayLike, numpy.float64], radii: collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex], scales: collections.abc.Sequence[typing.SupportsFloat | typing.SupportsIndex], density: typing.SupportsFloat | typing.SupportsIndex) -> numpy.typing.NDArray[numpy.float64]:
    """
    Merz-Kollman fitting points (n, 3) Bohr: dots at `density` per Angstrom^2 on each atom's sphere of radius (Angstrom) times each scale, outside the other atoms' spheres of that layer.
    """
def merz_kollman_radius(z: typing.SupportsInt | typing.SupportsIndex) -> float:
    """
    Merz-Kollman radius of element z (Angstrom), 0 where the set has none.
    """
