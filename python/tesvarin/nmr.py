"""Nuclear spin-spin couplings of an NMR=SpinSpin job, as its .log prints them.

The checkpoint stores the four contributions to the reduced couplings K (Fermi contact, spin-dipolar,
paramagnetic and diamagnetic spin-orbit) in the unit the program prints K in. The couplings J in Hz
are K times the two nuclei's g factors g = mu / I (magnetic moment in nuclear magnetons over the spin):
the job's own isotopes where they have a spin, else the isotope the program takes for the element
(13C, 17O, ...), as the .log's J shows.
"""

from __future__ import annotations

from collections.abc import Mapping
from dataclasses import dataclass
from types import MappingProxyType
from typing import TYPE_CHECKING

import numpy as np

from tesvarin._arrays import FloatArray, IntArray, frozen

if TYPE_CHECKING:
    from tesvarin.checkpoint import Checkpoint

__all__ = ["CONTRIBUTIONS", "SpinSpinCouplings", "spin_spin_couplings"]

CONTRIBUTIONS = ("fermi_contact", "spin_dipolar", "paramagnetic_spin_orbit", "diamagnetic_spin_orbit")

# The magnetic isotope taken for an element whose most abundant isotope has no spin (and only one
# stable isotope has): atomic number -> (mass number, magnetic moment in nuclear magnetons, spin).
# The program's moments are those of the older tables (13C 0.702411, 17O -1.89380: its .log's J
# over K gives them to six digits); Si and S are from the same tables, not checked against a log.
MAGNETIC_ISOTOPES = {
    6: (13, 0.702411, 0.5),
    8: (17, -1.89380, 2.5),
    14: (29, -0.55529, 0.5),
    16: (33, 0.643821, 1.5),
}


@dataclass(frozen=True)
class SpinSpinCouplings:
    """K and J of every pair of atoms, each a symmetric float64 (natoms, natoms) array with a zero diagonal,
    by contribution (`CONTRIBUTIONS`) and in "total"."""

    reduced: Mapping[str, FloatArray]
    """The reduced couplings K, in the unit the program prints them in (its .log heads them "(Hz)")."""
    couplings: Mapping[str, FloatArray]
    """The couplings J, Hz; NaN for a pair with an atom of no known magnetic isotope."""
    isotopes: IntArray
    """Mass number of the isotope each atom's J is for, int64 (natoms,)."""
    g_factors: FloatArray
    """g = mu / I of each atom's isotope (nuclear magnetons), NaN when unknown, float64 (natoms,)."""


def _square(triangle: FloatArray, n: int) -> FloatArray:
    full = np.zeros((n, n))
    rows, cols = np.tril_indices(n)
    full[rows, cols] = triangle
    full[cols, rows] = triangle
    return full


def spin_spin_couplings(cp: Checkpoint) -> SpinSpinCouplings | None:
    """The spin-spin couplings of `cp`, None when its job computed none."""
    further = cp.reader.further
    stored, atoms = further.spin_spin, further.atoms
    if stored is None:
        return None
    n = len(cp.atomic_numbers)
    reduced = {name: _square(stored[k], n) for k, name in enumerate(CONTRIBUTIONS)}
    reduced["total"] = sum((reduced[name] for name in CONTRIBUTIONS), np.zeros((n, n)))
    isotopes = np.zeros(n, dtype=np.int64)
    g = np.full(n, np.nan)
    for a, number in enumerate(cp.atomic_numbers.tolist()):
        if atoms is not None and atoms.nuclear_spins[a] > 0:  # the job's own isotope: moment, twice the spin
            isotopes[a], g[a] = atoms.integer_weights[a], 2.0 * atoms.gfac[a] / atoms.nuclear_spins[a]
        elif number in MAGNETIC_ISOTOPES:
            mass, moment, spin = MAGNETIC_ISOTOPES[number]
            isotopes[a], g[a] = mass, moment / spin
    pair = np.outer(g, g)
    couplings = {name: frozen(k * pair, np.float64) for name, k in reduced.items()}
    return SpinSpinCouplings(
        MappingProxyType({name: frozen(k, np.float64) for name, k in reduced.items()}),
        MappingProxyType(couplings),
        frozen(isotopes, np.int64),
        frozen(g, np.float64),
    )
