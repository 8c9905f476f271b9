"""Command line and helpers around the ``Tesvarin_`` checkpoint reader."""

from Tesvarin_ import ChkParams, ChkReader_, Mol

__all__ = ["ChkParams", "ChkReader_", "Mol"]
