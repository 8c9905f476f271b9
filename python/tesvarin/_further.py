"""The further quantities of a Checkpoint, shaped from the reader's section records."""

from __future__ import annotations

import warnings
from typing import Any

import numpy as np
from Tesvarin_ import ChkWarning
from Tesvarin_.records import FurtherSections

from tesvarin._arrays import frozen

# Stored order of the six values -> rows of the symmetric 3x3 matrix.
_QUADRUPOLE = ((0, 3, 4), (3, 1, 5), (4, 5, 2))  # xx yy zz xy xz yz
_POLARIZABILITY = ((0, 1, 3), (1, 2, 4), (3, 4, 5))  # xx yx yy zx zy zz
# The first blocks of the stored harmonic analysis, one value per mode each.
_VIBRATION_BLOCKS = ("frequencies", "reduced_masses", "force_constants", "ir_intensities")


def warn_damage(further: FurtherSections, path: str, stacklevel: int) -> None:
    """One ChkWarning per damaged section of the checkpoint at `path`: its quantities are None, the rest is read."""
    for message in further.damage:
        warnings.warn(f"{path}: {message}: its quantities are left None", ChkWarning, stacklevel=stacklevel + 1)
    for message in further.notes:
        warnings.warn(f"{path}: {message}", ChkWarning, stacklevel=stacklevel + 1)


def quantities(further: FurtherSections, natoms: int) -> dict[str, Any]:
    """The Checkpoint fields that come from the further sections, None where absent or damaged."""
    atoms, charges, electric = further.atoms, further.charges, further.electric
    gradient = further.gradient
    return {
        "gradient": gradient if gradient is not None and gradient.shape == (natoms, 3) else None,
        "masses": None if atoms is None else atoms.real_weights,
        "mulliken_charges": None if charges is None else charges.mulliken,
        "npa_charges": None if charges is None else charges.npa,
        "apt_charges": None if charges is None else charges.apt,
        "dipole_moment": None if electric is None else electric.dipole,
        "quadrupole_moment": None if electric is None else _symmetric(electric.quadrupole, _QUADRUPOLE),
        "polarizability": None if electric is None else _symmetric(electric.polarizability, _POLARIZABILITY),
        "dipole_derivatives": None if electric is None else electric.dipole_derivatives,
        **_vibrations(further),
        **_trajectory(further, natoms),
        "bonds": _bonds(further, natoms),
        "frozen_atoms": None if atoms is None else frozen(atoms.micopt == -2, np.bool_),  # -2: held fixed
        "etran": further.excited_states,
        "ecp_core_electrons": _core_electrons(further, natoms),
    }


def _core_electrons(further: FurtherSections, natoms: int) -> Any:
    """Core electrons each atom's potential replaces: 0 without one (or without the section)."""
    if further.core_potentials is None:
        damaged = any(m.startswith("Section 512 ") for m in further.damage)
        return None if damaged else frozen(np.zeros(natoms, np.int64), np.int64)
    return frozen(np.rint(further.core_potentials.frozen).astype(np.int64), np.int64)


def _symmetric(packed: Any, layout: tuple[tuple[int, ...], ...]) -> Any:
    return None if packed is None or packed.size != 6 else frozen(packed[np.array(layout)], np.float64)


def _vibrations(further: FurtherSections) -> dict[str, Any]:
    found: dict[str, Any] = dict.fromkeys((*_VIBRATION_BLOCKS, "normal_modes"))
    v = further.vibrations
    if v is None or v.nmodes <= 0 or v.e2.size % v.nmodes or v.modes.size % (3 * v.nmodes):
        return found  # a single atom stores masses only
    # One mode (a diatomic) comes as flat arrays: shaped here as for any count.
    e2, modes = v.e2.reshape(-1, v.nmodes), v.modes.reshape(v.nmodes, -1, 3)
    found.update({name: e2[k] for k, name in enumerate(_VIBRATION_BLOCKS[: v.le2fix])})
    found["normal_modes"] = modes
    return found


# The result that is the energy at each geometry: an optimisation's first, a trajectory's potential energy.
_ENERGY_RESULT = {"optimisation": 0, "trajectory": 4}


def _trajectory(further: FurtherSections, natoms: int) -> dict[str, Any]:
    """Every geometry of every point of an optimisation or a molecular-dynamics trajectory, in order."""
    names = ("trajectory_coordinates", "trajectory_gradients", "trajectory_energies", "trajectory_momenta")
    kind = "trajectory" if further.trajectory is not None else "optimisation"
    o = getattr(further, kind)
    column = _ENERGY_RESULT[kind]
    if o is None or natoms == 0 or o.nvar != 3 * natoms or o.results_per_geometry <= column or len(o.geometries) == 0:
        return dict.fromkeys(names)
    shape = (len(o.geometries), natoms, 3)
    energies = o.results.reshape(-1, o.results_per_geometry)[:, column]
    momenta = o.momenta.reshape(shape) if kind == "trajectory" else None
    found = (o.geometries.reshape(shape), o.gradients.reshape(shape), energies, momenta)
    return dict(zip(names, found, strict=True))


def _bonds(further: FurtherSections, natoms: int) -> Any:
    """IBond/RBond as (i, j, order) rows, 0-based, each bond once with i < j."""
    b = further.bonds
    if b is None or b.max_bonds < 1 or b.partners.shape != (natoms, b.max_bonds):
        return None
    partner = b.partners - 1
    order = np.rint(b.orders).astype(np.int64)
    i = np.arange(natoms)[:, None]
    valid = (
        (np.arange(b.max_bonds)[None, :] < b.bond_counts[:, None])
        & (partner >= 0)
        & (partner < natoms)
        & (partner > i)
        & (order >= 1)
    )
    rows, cols = np.nonzero(valid)
    return frozen(np.stack((rows, partner[rows, cols], order[rows, cols]), axis=1), np.int64) if len(rows) else None
