"""NumPy arrays from a parsed ``Tesvarin_.Mol``.

The module exposes zero-copy views under fixed names (``atomic_numbers``, ``coordinates_bohr``, ...).
Where a build lacks one, the same array is built from the older list properties, so that the
``tesvarin`` package works with either and every array it hands out is read-only.
"""

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


# view name -> (list property of older builds, dtype, factor that turns the list into the view's unit)
_FALLBACKS: dict[str, tuple[str, type, float | None]] = {
    "atomic_numbers": ("atomicnums", np.int64, None),
    "nuclear_charges": ("nucchg", np.float64, None),
    "coordinates_bohr": ("coords", np.float64, 1 / BOHR_TO_ANGSTROM),
    "alpha_orbital_energies": ("aoene", np.float64, None),
    "beta_orbital_energies": ("boene", np.float64, None),
    "alpha_mo_coefficients": ("amocoeff", np.float64, None),
    "beta_mo_coefficients": ("bmocoeff", np.float64, None),
    "orthonormal_basis": ("orthbasis", np.float64, None),
    "shell_types": ("shelltypes", np.int64, None),
    "primitives_per_shell": ("shellnprim", np.int64, None),
    "shell_to_atom": ("shell2map", np.int64, None),
    "primitive_exponents": ("primexp", np.float64, None),
    "contraction_coefficients": ("concoeff", np.float64, None),
    "sp_contraction_coefficients": ("spconcoeff", np.float64, None),
    "shell_coordinates_bohr": ("cshell", np.float64, 1 / BOHR_TO_ANGSTROM),
}


def array(mol: Mol, name: str) -> Any:
    """The view `name` of `mol`, or the same values built from its list property."""
    if hasattr(mol, name):
        return getattr(mol, name)
    legacy, dtype, factor = _FALLBACKS[name]
    values = frozen(getattr(mol, legacy), dtype)
    if factor is not None:
        values = frozen(values * factor, dtype)
    return values


def matrix(values: Any, rows: int) -> Any:
    """A flat array as `rows` rows (orbitals by basis functions), or None when empty."""
    if values.size == 0 or rows <= 0 or values.size % rows:
        return None
    return values.reshape(rows, values.size // rows)


def _unpack(packed: Any, n: int) -> FloatArray | None:
    """Full symmetric (n, n) matrix from a lower triangle packed row by row."""
    if len(packed) != n * (n + 1) // 2 or n == 0:
        return None  # absent, or complex / two-component: no real (n, n) form
    full = np.zeros((n, n))
    rows, cols = np.tril_indices(n)
    full[rows, cols] = packed
    full[cols, rows] = packed
    return full


def densities(mol: Mol, spin: bool) -> dict[str, FloatArray]:
    """The real one-component densities present, by kind name, as full (nbasis, nbasis) arrays."""
    method = "spin_density" if spin else "total_density"
    packed = None if hasattr(mol, method) else (mol.spindens if spin else mol.totdens)
    found: dict[str, FloatArray] = {}
    for k, name in enumerate(DENSITY_KINDS):
        if packed is None:
            full = getattr(mol, method)(k, full=True)
        else:
            full = _unpack(packed[k], mol.nbasis)
        # Complex and two-component densities stay with Tesvarin_ (Mol.total_density and spin_density).
        if full is not None and full.dtype == np.float64 and full.shape == (mol.nbasis, mol.nbasis):
            full.flags.writeable = False
            found[name] = full
    return found


def hessian(mol: Mol) -> FloatArray | None:
    view = mol.hessian
    return view if view.size else None
