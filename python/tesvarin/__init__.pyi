from Tesvarin_ import ChkParams as ChkParams, ChkReader_ as ChkReader_, Mol as Mol

__all__ = ["ChkParams", "ChkReader_", "Mol"]
