"""An `iodata.IOData` straight from a Checkpoint, in the conventions of IOData's own fchk loader.

Each attribute is the one `iodata.load_one` sets from formchk's file of the same checkpoint:
the same basis conventions (Gaussian's pure and Cartesian orders), orbitals as columns,
atomic units, masses converted from amu, and the same rules for densities and occupations.
"""

from __future__ import annotations

from typing import TYPE_CHECKING, Any

import numpy as np

from tesvarin._optional import missing

if TYPE_CHECKING:
    from iodata import IOData  # type: ignore[import-untyped]

    from tesvarin.checkpoint import Checkpoint

_RUN_TYPES = {"SP": "energy", "FOpt": "opt", "Scan": "scan", "Freq": "freq"}


def _copy(value: Any) -> Any:
    return None if value is None else np.array(value)


def _preamble(cp: Checkpoint) -> tuple[str, list[str]]:
    """The fchk's first two lines as IOData splits them: the title, then job type, method, basis."""
    title = cp.title if len(cp.title) <= 72 else cp.title[:71]
    fields = (cp.job_type, cp.method, cp.basis_name)
    return title.split("\n")[0].strip(), " ".join(f.split("\0")[0] for f in fields).split()


def _basis(cp: Checkpoint) -> Any:
    from iodata.basis import MolecularBasis, Shell  # type: ignore[import-untyped]
    from iodata.formats.fchk import CONVENTIONS  # type: ignore[import-untyped]

    shells, start = [], 0
    for icenter, kind, n in zip(cp.shell_atoms, cp.shell_types, cp.primitives_per_shell, strict=True):
        exponents = np.array(cp.primitive_exponents[start : start + n])
        level1 = cp.contraction_coefficients[start : start + n]
        if kind == -1:  # sp: one shell with an s and a p contraction on the same exponents
            assert cp.sp_contraction_coefficients is not None
            coeffs = np.stack([level1, cp.sp_contraction_coefficients[start : start + n]], axis=1)
            shells.append(Shell(int(icenter), [0, 1], ["c", "c"], exponents, coeffs))
        else:
            shells.append(
                Shell(
                    int(icenter),
                    [abs(int(kind))],
                    ["p" if kind < 0 else "c"],
                    exponents,
                    np.array(level1)[:, np.newaxis],
                )
            )
        start += n
    return MolecularBasis(shells, CONVENTIONS, "L2")


def _orbitals(cp: Checkpoint, one_rdms: dict[str, Any]) -> Any:
    from iodata.orbitals import MolecularOrbitals  # type: ignore[import-untyped]

    if cp.alpha_orbital_energies is None or cp.alpha_mo_coefficients is None:
        return None
    nalpha, nbeta = cp.n_alpha, cp.n_beta
    if nalpha < 0 or nbeta < 0 or nalpha + nbeta <= 0:
        raise ValueError("The number of electrons is not positive.")
    if nalpha < nbeta:
        raise ValueError(f"n_alpha={nalpha} < n_beta={nbeta} is invalid.")
    norba = len(cp.alpha_orbital_energies)
    coeffs = np.array(cp.alpha_mo_coefficients.T)
    energies = np.array(cp.alpha_orbital_energies)
    if cp.beta_orbital_energies is not None and cp.beta_mo_coefficients is not None:
        norbb = len(cp.beta_orbital_energies)
        occs = np.zeros(norba + norbb)
        occs[:nalpha] = 1.0
        occs[norba : norba + nbeta] = 1.0
        return MolecularOrbitals(
            "unrestricted",
            norba,
            norbb,
            occs,
            np.concatenate((coeffs, cp.beta_mo_coefficients.T), axis=1),
            np.concatenate((energies, cp.beta_orbital_energies)),
        )
    occs = np.zeros(norba)
    occs[:nalpha] = 1.0
    occs[:nbeta] = 2.0
    if nalpha != nbeta:
        one_rdms.pop("scf", None)  # IOData drops the restricted open-shell SCF density
    return MolecularOrbitals("restricted", norba, norba, occs, coeffs, energies)


def to_iodata(cp: Checkpoint) -> IOData:
    try:
        from iodata import IOData
        from iodata.utils import amu  # type: ignore[import-untyped]
    except ImportError as error:
        raise ImportError(missing("Checkpoint.to_iodata", "iodata", "iodata")) from error

    title, words = _preamble(cp)
    result: dict[str, Any] = {
        "title": title,
        "energy": cp.energy,
        "lot": words[1].lower() if len(words) > 1 else None,
        "obasis_name": words[2].lower() if len(words) > 2 else None,
        "atcoords": np.array(cp.coordinates),
        "atnums": np.array(cp.atomic_numbers),
        "atcorenums": np.array(cp.nuclear_charges),
        "obasis": _basis(cp),
    }
    if cp.masses is not None:
        result["atmasses"] = cp.masses * amu
    optional = {"atgradient": cp.gradient, "athessian": cp.hessian, "atfrozen": cp.frozen_atoms, "bonds": cp.bonds}
    result.update({key: _copy(value) for key, value in optional.items() if value is not None})
    run_type = _RUN_TYPES.get(words[0]) if words else None
    if run_type is not None:
        result["run_type"] = run_type

    one_rdms = {}
    if "SCF" in cp.total_densities:
        one_rdms["scf"] = np.array(cp.total_densities["SCF"])
    if "SCF" in cp.spin_densities:
        one_rdms["scf_spin"] = np.array(cp.spin_densities["SCF"])
    for lot in "MP2", "MP3", "CC", "CI":  # IOData keeps the last of these that is present
        if lot in cp.total_densities:
            one_rdms["post_scf_ao"] = np.array(cp.total_densities[lot])
        if lot in cp.spin_densities:
            one_rdms["post_scf_spin_ao"] = np.array(cp.spin_densities[lot])
    result["mo"] = _orbitals(cp, one_rdms)
    if one_rdms:
        result["one_rdms"] = one_rdms

    if cp.polarizability is not None:
        result["extra"] = {"polarizability_tensor": np.array(cp.polarizability)}
    moments = {}
    if cp.dipole_moment is not None:
        moments[(1, "c")] = np.array(cp.dipole_moment)
    if cp.quadrupole_moment is not None:
        moments[(2, "c")] = cp.quadrupole_moment[np.triu_indices(3)]  # xx xy xz yy yz zz
    if moments:
        result["moments"] = moments
    charges = {"mulliken": cp.mulliken_charges, "npa": cp.npa_charges}  # the only ones a checkpoint holds
    atcharges = {key: np.array(value) for key, value in charges.items() if value is not None}
    if atcharges:
        result["atcharges"] = atcharges
    return IOData(**{key: value for key, value in result.items() if value is not None})
