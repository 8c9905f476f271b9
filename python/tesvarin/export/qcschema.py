"""A Checkpoint as a QCSchema record: `AtomicResult` of one calculation, `OptimizationResult` of an optimisation.

The record is plain JSON-ready Python (dicts, lists, floats), in QCSchema's units (Bohr, Hartree).
The driver follows the job: "Freq" is a hessian, "Force" a gradient, an optimisation (full or partial,
minimum or saddle point) an OptimizationResult whose trajectory holds a gradient result per stored
geometry (the final point alone when the file keeps no geometries of all atoms), anything else an
energy; a job whose driver quantity is not stored falls back to the energy.

With the wavefunction, basis functions are in QCSchema's order: Cartesian shells in the CCA order
(xx, xy, xz, yy, yz, zz, ...), spherical ones from m = -l to m = +l; s, p and sp shells are given as
Cartesian (x, y, z), as the program stores them.
"""

from __future__ import annotations

from typing import TYPE_CHECKING, Any

import numpy as np

from tesvarin._version import __version__

if TYPE_CHECKING:
    from tesvarin.checkpoint import Checkpoint

# Job types of an optimisation (the program's words: FOpt full, POpt partial, FTS/PTS transition states).
_OPTIMISATIONS = ("FOpt", "POpt", "FTS", "PTS", "FSaddle", "PSaddle", "Opt")


def _cca(l: int) -> list[str]:
    """Cartesian functions of angular momentum l in the CCA order: x powers falling, then y powers."""
    return ["x" * i + "y" * j + "z" * (l - i - j) for i in range(l, -1, -1) for j in range(l - i, -1, -1)]


# The program's Cartesian order; from g on it is the CCA order reversed.
_GAUSSIAN_CARTESIAN = {
    2: ["xx", "yy", "zz", "xy", "xz", "yz"],
    3: ["xxx", "yyy", "zzz", "xyy", "xxy", "xxz", "xzz", "yzz", "yyz", "xyz"],
}


def shell_order(code: int) -> list[int]:
    """For the program's shell-type code, the stored index of each function in QCSchema's order."""
    l = abs(code)
    if code in (0, 1, -1):
        return list(range(4 if code == -1 else 2 * l + 1))
    if code > 0:
        stored = _GAUSSIAN_CARTESIAN.get(l) or _cca(l)[::-1]
        return [stored.index(name) for name in _cca(l)]
    # Pure functions are stored c0, c1, s1, c2, s2, ...: cosine m at 2m - 1, sine m at 2m.
    return [2 * m for m in range(l, 0, -1)] + [0] + [2 * m - 1 for m in range(1, l + 1)]


def _molecule(cp: Checkpoint, coordinates: Any) -> dict[str, Any]:
    molecule: dict[str, Any] = {
        "schema_name": "qcschema_molecule",
        "schema_version": 2,
        "symbols": list(cp.symbols),
        "atomic_numbers": cp.atomic_numbers.tolist(),
        "geometry": np.asarray(coordinates, dtype=np.float64).ravel().tolist(),
        "molecular_charge": float(cp.charge),
        "molecular_multiplicity": int(cp.multiplicity),
        "fix_com": True,
        "fix_orientation": True,
        "provenance": _provenance(),
    }
    if cp.masses is not None and len(cp.masses) == len(cp.symbols):
        molecule["masses"] = cp.masses.tolist()
    return molecule


def _provenance() -> dict[str, str]:
    return {"creator": "tesvarin", "version": __version__, "routine": "tesvarin.Checkpoint.to_qcschema"}


def _extras(cp: Checkpoint) -> dict[str, Any]:
    values = {
        "path": cp.path,
        "program_version": cp.program_version,
        "title": cp.title,
        "route": cp.route,
        "job_type": cp.job_type,
        "virial_ratio": cp.virial_ratio,
    }
    for name in ("mulliken_charges", "npa_charges", "frequencies", "dipole_moment", "quadrupole_moment"):
        value = getattr(cp, name)
        if value is not None:
            values[name] = value.tolist()
    states = cp.excited_states
    if states is not None:  # QCSchema's results have no excited-state fields: the states go with the extras
        values["excited_states"] = {
            "excitation_energies": states.excitation_energies_hartree.tolist(),
            "excitation_energies_ev": states.excitation_energies_ev.tolist(),
            "oscillator_strengths": states.oscillator_strengths.tolist(),
            "total_energies": states.total_energies_hartree.tolist(),
            "transition_dipoles": states.transition_dipoles_length_au.tolist(),
            "rotatory_strengths_velocity_1e40_cgs": states.rotatory_strengths_velocity_1e40_cgs.tolist(),
            "root": states.root,
        }
    return {"tesvarin": values}


def _properties(cp: Checkpoint) -> dict[str, Any]:
    natoms = len(cp.symbols)
    props: dict[str, Any] = {
        "calcinfo_natom": natoms,
        "calcinfo_nbasis": cp.n_basis,
        "calcinfo_nalpha": cp.n_alpha,
        "calcinfo_nbeta": cp.n_beta,
        "return_energy": cp.energy,
        "scf_total_energy": cp.scf_energy,
    }
    if cp.alpha_orbital_energies is not None:
        props["calcinfo_nmo"] = len(cp.alpha_orbital_energies)
    if cp.gradient is not None:
        props["return_gradient"] = cp.gradient.tolist()
    if cp.hessian is not None and cp.hessian.shape == (3 * natoms, 3 * natoms):
        props["return_hessian"] = cp.hessian.tolist()
    if cp.scf_energy == cp.energy:  # an SCF job: its stored moments are the SCF ones
        if cp.dipole_moment is not None:
            props["scf_dipole_moment"] = cp.dipole_moment.tolist()
        if cp.quadrupole_moment is not None:
            props["scf_quadrupole_moment"] = cp.quadrupole_moment.tolist()
    return props


def _driver(cp: Checkpoint) -> tuple[str, Any]:
    natoms = len(cp.symbols)
    if cp.job_type == "Freq" and cp.hessian is not None and cp.hessian.shape == (3 * natoms, 3 * natoms):
        return "hessian", cp.hessian.tolist()
    if cp.job_type in ("Force", *_OPTIMISATIONS) and cp.gradient is not None:
        return "gradient", cp.gradient.tolist()
    return "energy", cp.energy


def _model(cp: Checkpoint) -> dict[str, str]:
    return {"method": cp.method, "basis": cp.basis_name}


def atomic_result(cp: Checkpoint, wavefunction: bool = False) -> dict[str, Any]:
    driver, result = _driver(cp)
    record: dict[str, Any] = {
        "schema_name": "qcschema_output",
        "schema_version": 1,
        "molecule": _molecule(cp, cp.coordinates),
        "driver": driver,
        "model": _model(cp),
        "keywords": {},
        "protocols": {"stdout": False},
        "return_result": result,
        "properties": _properties(cp),
        "success": True,
        "provenance": _provenance(),
        "extras": _extras(cp),
    }
    if wavefunction:
        record["wavefunction"] = _wavefunction(cp)
        record["protocols"]["wavefunction"] = "all"
    return record


def to_qcschema(cp: Checkpoint, wavefunction: bool = False) -> dict[str, Any]:
    """The QCSchema record of `cp` (see the module's description)."""
    single = atomic_result(cp, wavefunction)
    if cp.job_type not in _OPTIMISATIONS:
        return single
    coordinates, gradients, energies = cp.trajectory_coordinates, cp.trajectory_gradients, cp.trajectory_energies
    if coordinates is None or gradients is None or energies is None:
        # An optimisation whose geometries are not kept in a layout of all atoms (a partial one
        # keeps its active variables): the trajectory is the final point.
        return _optimisation(cp, cp.coordinates, [_final_step(cp, single)], [float(cp.energy)])
    steps = [
        {
            "schema_name": "qcschema_output",
            "schema_version": 1,
            "molecule": _molecule(cp, xyz),
            "driver": "gradient",
            "model": _model(cp),
            "keywords": {},
            "return_result": gradient.tolist(),
            "properties": {
                "calcinfo_natom": len(cp.symbols),
                "return_energy": float(energy),
                "return_gradient": gradient.tolist(),
            },
            "success": True,
            "provenance": _provenance(),
        }
        for xyz, gradient, energy in zip(coordinates, gradients, energies, strict=False)
    ]
    return _optimisation(cp, coordinates[0], steps, [float(e) for e in energies])


def _final_step(cp: Checkpoint, single: dict[str, Any]) -> dict[str, Any]:
    """The stored point as a step of a trajectory: a gradient result when the gradient is stored."""
    step = {key: value for key, value in single.items() if key not in ("wavefunction", "extras")}
    if cp.gradient is not None:
        step["driver"], step["return_result"] = "gradient", cp.gradient.tolist()
    return step


def _optimisation(cp: Checkpoint, initial: Any, steps: list[dict[str, Any]], energies: list[float]) -> dict[str, Any]:
    return {
        "schema_name": "qcschema_optimization_output",
        "schema_version": 1,
        "initial_molecule": _molecule(cp, initial),
        "final_molecule": _molecule(cp, cp.coordinates),
        "trajectory": steps,
        "energies": energies,
        "input_specification": {"driver": "gradient", "model": _model(cp), "keywords": {}},
        "keywords": {},
        "success": True,
        "provenance": _provenance(),
        "extras": _extras(cp),
    }


def _basis(cp: Checkpoint) -> tuple[dict[str, Any], list[int]]:
    """QCSchema's basis set and the stored index of each basis function in QCSchema's order."""
    centres: dict[str, Any] = {}
    atom_map = [f"{symbol}{k}" for k, symbol in enumerate(cp.symbols)]
    for key in atom_map:
        centres[key] = {"electron_shells": []}
    order: list[int] = []
    first_prim = np.concatenate(([0], np.cumsum(cp.primitives_per_shell)))
    function = 0
    for k, code in enumerate(cp.shell_types.tolist()):
        prims = slice(int(first_prim[k]), int(first_prim[k + 1]))
        l = abs(code)
        coefficients = [cp.contraction_coefficients[prims].tolist()]
        if code == -1:
            assert cp.sp_contraction_coefficients is not None
            coefficients.append(cp.sp_contraction_coefficients[prims].tolist())
        centres[atom_map[int(cp.shell_atoms[k])]]["electron_shells"].append(
            {
                "harmonic_type": "spherical" if code < -1 else "cartesian",
                "angular_momentum": [0, 1] if code == -1 else [l],
                "exponents": cp.primitive_exponents[prims].tolist(),
                "coefficients": coefficients,
            }
        )
        local = shell_order(code)
        order += [function + i for i in local]
        function += len(local)
    return {"name": cp.basis_name, "center_data": centres, "atom_map": atom_map, "nbf": cp.n_basis}, order


def _wavefunction(cp: Checkpoint) -> dict[str, Any]:
    basis, order = _basis(cp)
    if (
        cp.alpha_mo_coefficients is None
        or np.iscomplexobj(cp.alpha_mo_coefficients)
        or cp.alpha_mo_coefficients.shape[1] != cp.n_basis
        or len(order) != cp.n_basis
    ):
        raise ValueError(f"{cp.path}: no real one-component orbitals over {cp.n_basis} basis functions to write")
    perm = np.array(order, dtype=np.intp)
    wave: dict[str, Any] = {"basis": basis, "restricted": cp.restricted}

    def spin(tag: str, coefficients: Any, energies: Any, occupations: Any, density: Any) -> None:
        wave[f"scf_orbitals_{tag}"] = coefficients[:, perm].T.ravel().tolist()
        wave[f"scf_eigenvalues_{tag}"] = energies.tolist()
        wave[f"scf_occupations_{tag}"] = occupations.tolist()
        wave[f"orbitals_{tag}"], wave[f"eigenvalues_{tag}"] = f"scf_orbitals_{tag}", f"scf_eigenvalues_{tag}"
        wave[f"occupations_{tag}"] = f"scf_occupations_{tag}"
        if density is not None:
            wave[f"scf_density_{tag}"] = density[np.ix_(perm, perm)].ravel().tolist()
            wave[f"density_{tag}"] = f"scf_density_{tag}"

    total, spin_density = cp.total_densities.get("SCF"), cp.spin_densities.get("SCF")
    alpha = beta = None
    if total is not None:
        alpha = beta = total / 2
        if spin_density is not None:
            alpha, beta = (total + spin_density) / 2, (total - spin_density) / 2
    spin("a", cp.alpha_mo_coefficients, cp.alpha_orbital_energies, cp.alpha_occupations, alpha)
    if cp.beta_mo_coefficients is not None and not np.iscomplexobj(cp.beta_mo_coefficients):
        spin("b", cp.beta_mo_coefficients, cp.beta_orbital_energies, cp.beta_occupations, beta)
    else:
        spin("b", cp.alpha_mo_coefficients, cp.alpha_orbital_energies, cp.beta_occupations, beta)
    return wave
