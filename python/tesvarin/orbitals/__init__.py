"""The basis's overlap matrix and the natural orbitals of the stored densities (MP2, CC, CI, ...)."""

from tesvarin.orbitals.natural import DENSITIES, NaturalOrbitals, natural_orbitals, overlap

__all__ = ["DENSITIES", "NaturalOrbitals", "natural_orbitals", "overlap"]
