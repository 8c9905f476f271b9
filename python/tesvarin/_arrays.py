"""NumPy arrays from a parsed ``Tesvarin_.Mol``: its zero-copy views, shaped as a Checkpoint holds them."""

from __future__ import annotations

from typing import Any

import numpy as np
import numpy.typing as npt
from Tesvarin_ import Mol

FloatArray = npt.NDArray[np.float64]
IntArray = npt.NDArray[np.int64]

BOHR_TO_ANGSTROM = 0.529177249  # the factor the reader applies to its Angstrom properties
# The nine density slots of the checkpoint, in the order of their presence bits.
DENSITY_KINDS = ("SCF", "Psi(1)", "MP2", "MP3", "MP4", "CI Rho(1)", "CI", "CC", "2nd Order")


def frozen(values: Any, dtype: type) -> Any:
    result: Any = np.asarray(values, dtype=dtype)
    result.flags.writeable = False
    return result


def matrix(values: Any, rows: int) -> Any:
    """A flat array as `rows` rows (orbitals by basis functions), or None when empty."""
    if values.size == 0 or rows <= 0 or values.size % rows:
        return None
    return values.reshape(rows, values.size // rows)


def densities(mol: Mol, spin: bool) -> dict[str, FloatArray]:
    """The real one-component densities present, by kind name, as full (nbasis, nbasis) arrays."""
    density = mol.spin_density if spin else mol.total_density
    found: dict[str, FloatArray] = {}
    for k, name in enumerate(DENSITY_KINDS):
        full: Any = density(k, full=True)
        # Complex and two-component densities stay with Tesvarin_ (Mol.total_density and spin_density).
        if full is not None and full.dtype == np.float64 and full.shape == (mol.nbasis, mol.nbasis):
            full.flags.writeable = False
            found[name] = full
    return found


def hessian(mol: Mol) -> FloatArray | None:
    view = mol.hessian
    return view if view.size else None
