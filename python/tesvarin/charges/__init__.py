"""Atomic charges fitted to the electrostatic potential of a checkpoint's density.

The fitting points are the program's: Merz-Kollman (``"mk"``: dots at 1 per Angstrom^2 on
spheres of 1.4, 1.6, 1.8 and 2.0 times each atom's Merz-Kollman radius) or CHELPG
(``"chelpg"``: Breneman's cubic grid of 0.3 Angstrom reaching 2.8 Angstrom beyond the atoms,
outside Breneman's radii). The charges reproduce the potential there in the least-squares
sense with the total charge held (and the dipole, if asked); RMS and RRMS are the log's.
``resp=True`` fits them in AMBER's two RESP stages (Bayly, Cieplak, Cornell and Kollman 1993).
Lengths are in Bohr, the potential in Hartree/e, charges in e, unless a name says otherwise.
"""

from __future__ import annotations

import os
from collections.abc import Callable, Mapping, Sequence
from dataclasses import dataclass
from typing import TYPE_CHECKING, Any

import numpy as np
import Tesvarin_.charges

from tesvarin._arrays import BOHR_TO_ANGSTROM, FloatArray, IntArray, frozen
from tesvarin.charges.gesp import gesp_text
from tesvarin.grid import evaluation

if TYPE_CHECKING:
    from tesvarin.checkpoint import Checkpoint

__all__ = ["EspCharges", "Resp", "esp_charges", "far_field_dipole", "resp_groups"]

SCHEMES = ("mk", "chelpg")
MK_SCALES = (1.4, 1.6, 1.8, 2.0)
MK_DENSITY = 1.0  # points per Angstrom^2, the program's default (AMBER's RESP protocol asks 6)
CHELPG_SPACING = 0.3  # Angstrom
CHELPG_EXTENSION = 2.8  # Angstrom
RESP_A = (0.0005, 0.001)  # restraint weights of the two stages
RESP_B = 0.1  # e
FAR = 1000.0  # Bohr: where the far field gives the dipole of a density to about 1e-9 e Bohr
DEBYE_PER_AU = 2.54174623  # e Bohr in Debye, as the program prints dipoles
RADII_NAMES = {"mk": "Merz-Kollman", "chelpg": "Breneman (CHELPG)"}

# Covalent radii (Angstrom, Cordero et al. 2008) to find bonds: atoms closer than the sum
# plus 0.45 Angstrom are bonded. Elements past krypton take 1.5.
# fmt: off
COVALENT = (0.0,
    0.31, 0.28,
    1.28, 0.96, 0.84, 0.76, 0.71, 0.66, 0.57, 0.58,
    1.66, 1.41, 1.21, 1.11, 1.07, 1.05, 1.02, 1.06,
    2.03, 1.76, 1.70, 1.60, 1.53, 1.39, 1.39, 1.32, 1.26, 1.24, 1.32, 1.22, 1.22, 1.20, 1.19, 1.20, 1.20, 1.16)
# fmt: on

Potential = Callable[[FloatArray], Any]


@dataclass(frozen=True, eq=False)
class Resp:
    """How a RESP fit was made: both stages' parameters, the atoms each restrains and shares."""

    stage1_charges: FloatArray
    """Charges after the first stage, e, (natoms,)."""
    restraint_a: tuple[float, float]
    """The restraint weight of stage 1 and stage 2 (AMBER's 0.0005 and 0.001)."""
    restraint_b: float
    """The restraint's hyperbola width b, e (0.1)."""
    restrained: tuple[int, ...]
    """Atoms restrained in stage 1, from 0: all but hydrogens, which AMBER leaves free."""
    groups: tuple[tuple[int, tuple[int, ...]], ...]
    """The methyl and methylene groups refitted in stage 2: (carbon, its hydrogens), atoms from 0.
    Every other atom keeps its stage-1 charge; the carbons are restrained with the second weight."""
    stage1_equivalences: tuple[tuple[int, ...], ...]
    """Atoms that share one charge in stage 1: those alike by element and bonds, all the way out
    (the two oxygens of a carboxylate), but the hydrogens of the groups, free until stage 2."""
    equivalences: tuple[tuple[int, ...], ...]
    """Atoms that share one charge in stage 2: the hydrogens of each group, and the carbons and the
    hydrogens of groups alike by element and bonds (the two methyls of dimethyl ether)."""
    iterations: tuple[int, int]
    """Solves of the normal equations in each stage."""

    def as_dict(self) -> dict[str, Any]:
        """The parameters and atoms as JSON-ready values (atoms numbered from 1, as the log numbers them)."""
        return {
            "stage1_charges": [float(q) for q in self.stage1_charges],
            "restraint_a": list(self.restraint_a),
            "restraint_b": self.restraint_b,
            "restrained_atoms": [a + 1 for a in self.restrained],
            "hydrogens_restrained": False,
            "stage2_groups": [{"carbon": c + 1, "hydrogens": [h + 1 for h in hs]} for c, hs in self.groups],
            "stage1_equivalences": [[a + 1 for a in group] for group in self.stage1_equivalences],
            "equivalences": [[a + 1 for a in group] for group in self.equivalences],
            "iterations": list(self.iterations),
        }


@dataclass(frozen=True, eq=False)
class EspCharges:
    """Charges fitted to the potential at the fitting points, with what the log prints of the fit."""

    scheme: str
    """ "mk" or "chelpg"."""
    density: str
    """The density whose potential was fitted, as asked for ("scf", "mp2", ...)."""
    symbols: tuple[str, ...]
    atomic_numbers: IntArray
    coordinates: FloatArray
    """Atomic positions, Bohr, (natoms, 3)."""
    radii: FloatArray
    """The radius of each atom the points were built with, Angstrom, (natoms,)."""
    charges: FloatArray
    """The fitted charges, e, (natoms,)."""
    points: FloatArray
    """The fitting points, Bohr, (npoints, 3)."""
    potential: FloatArray
    """The density's potential at each point, Hartree/e, (npoints,)."""
    rms: float
    """Root mean square of the fit's residual, Hartree/e (the log's RMS)."""
    rrms: float
    """The residual relative to the potential, sqrt(sum r^2 / sum V^2) (the log's RRMS)."""
    total_charge: float
    """The total charge held, e."""
    multiplicity: int
    dipole_constraint: FloatArray | None
    """The dipole the charges were made to reproduce, e Bohr (3,); None when only the total was held."""
    grid_steps: tuple[int, int, int] | None
    """CHELPG's nodes along x, y, z before the exclusion ("NStep X,Y,Z" of the log); None for MK."""
    resp: Resp | None
    """How the RESP stages ran; None for a plain fit."""

    @property
    def dipole(self) -> FloatArray:
        """Dipole of the fitted charges about the origin, e Bohr, (3,)."""
        value: FloatArray = frozen(self.charges @ self.coordinates, np.float64)
        return value

    @property
    def dipole_debye(self) -> FloatArray:
        """Dipole of the fitted charges, Debye, as the log's "Charge= ... Dipole=" line prints it."""
        value: FloatArray = frozen(self.dipole * DEBYE_PER_AU, np.float64)
        return value

    def gesp(self) -> str:
        """The ESP file, in the layout the program writes with IOp(6/50=1) and antechamber reads."""
        return gesp_text(self)

    def write_gesp(self, path: str | os.PathLike[str], force: bool = False) -> None:
        """Writes `gesp()` to `path` through a temporary file; an existing file only with `force`."""
        from tesvarin.safe_write import write_replacing

        text = self.gesp()

        def write(temporary: str) -> None:
            with open(temporary, "w", encoding="ascii") as out:
                out.write(text)

        write_replacing(os.fspath(path), write, replace=force)

    def log_text(self) -> str:
        """The fit as the program's log prints it, from the point count to the dipole of the charges."""
        lines = [
            f"{len(self.points):8d} points will be used for fitting atomic charges",
            " Fitting point charges to electrostatic potential",
            f" Charges from ESP fit, RMS={self.rms:10.5f} RRMS={self.rrms:10.5f}:",
            " ESP charges:",
            "               1",
        ]
        lines += [
            f"{k + 1:6d}  {s:<2}{q:11.6f}" for k, (s, q) in enumerate(zip(self.symbols, self.charges, strict=True))
        ]
        total = _printed(float(np.sum(self.charges)), 5)
        d = [_printed(float(x), 4) for x in self.dipole_debye]
        lines.append(f" Sum of ESP charges ={total:10.5f}")
        lines.append(
            f" Charge={total:10.5f} Dipole={d[0]:11.4f}{d[1]:11.4f}{d[2]:11.4f}"
            f" Tot={_printed(float(np.linalg.norm(self.dipole_debye)), 4):11.4f}"
        )
        return "\n".join(lines)

    def as_dict(self) -> dict[str, Any]:
        """The fit as JSON-ready values (points and potential left out; lengths in Bohr)."""
        return {
            "scheme": self.scheme,
            "density": self.density,
            "radii_angstrom": [float(r) for r in self.radii],
            "points": len(self.points),
            "grid_steps": list(self.grid_steps) if self.grid_steps else None,
            "total_charge": self.total_charge,
            "dipole_constraint": None if self.dipole_constraint is None else list(map(float, self.dipole_constraint)),
            "symbols": list(self.symbols),
            "charges": [float(q) for q in self.charges],
            "rms": self.rms,
            "rrms": self.rrms,
            "dipole_debye": [float(x) for x in self.dipole_debye],
            "resp": None if self.resp is None else self.resp.as_dict(),
        }


def _printed(value: float, decimals: int) -> float:
    """`value` as printed with `decimals` decimals, never as -0."""
    return round(value, decimals) + 0.0


def _radii(
    scheme: str, numbers: Sequence[int], symbols: Sequence[str], radii: Mapping[Any, float] | None
) -> list[float]:
    """Each atom's radius (Angstrom): `radii` by element symbol or atomic number first, then the scheme's set."""
    given = {str(k).capitalize() if isinstance(k, str) else int(k): float(v) for k, v in (radii or {}).items()}
    table = Tesvarin_.charges.merz_kollman_radius if scheme == "mk" else Tesvarin_.charges.breneman_radius
    out = []
    for z, symbol in zip(numbers, symbols, strict=True):
        r = given.get(symbol.capitalize(), given.get(int(z), table(int(z))))
        if not r > 0:
            raise ValueError(
                f"the {RADII_NAMES[scheme]} radii do not include {symbol} (Z = {z}); give its radius in Angstrom "
                f"with radii={{{symbol!r}: R}}"
            )
        out.append(r)
    return out


def _bonds(numbers: Sequence[int], coordinates: FloatArray) -> Any:
    """Bonded pairs as a boolean (natoms, natoms) matrix, by covalent radii plus 0.45 Angstrom."""
    xyz = np.asarray(coordinates, dtype=np.float64).reshape(-1, 3) * BOHR_TO_ANGSTROM
    radius = np.array([COVALENT[n] if 0 < n < len(COVALENT) else 1.5 for n in numbers])
    distance = np.linalg.norm(xyz[:, None, :] - xyz[None, :, :], axis=2)
    return (distance < radius[:, None] + radius[None, :] + 0.45) & ~np.eye(len(numbers), dtype=bool)


def _classes(numbers: Sequence[int], bonded: Any) -> list[int]:
    """Atoms alike by element and bonds, all the way out: each atom's class is refined by its
    neighbours' classes until no class splits (Morgan's refinement)."""
    label = [int(z) for z in numbers]
    while True:
        keys = [(label[a], tuple(sorted(label[b] for b in np.flatnonzero(bonded[a])))) for a in range(len(label))]
        names = {k: i for i, k in enumerate(sorted(set(keys)))}
        refined = [names[k] for k in keys]
        if len(set(refined)) == len(set(label)):
            return refined
        label = refined


def _shared(classes: list[int], atoms: Sequence[int]) -> tuple[tuple[int, ...], ...]:
    """The atoms among `atoms` that are alike, in runs of two or more, each run in atom order."""
    runs: dict[int, list[int]] = {}
    for a in atoms:
        runs.setdefault(classes[a], []).append(a)
    return tuple(tuple(run) for run in sorted(runs.values()) if len(run) > 1)


def resp_groups(numbers: Sequence[int], coordinates: FloatArray) -> tuple[tuple[int, tuple[int, ...]], ...]:
    """The methyl and methylene groups: each carbon with four bonded atoms, two or more of them
    hydrogens bonded to it alone, with those hydrogens (atoms from 0). Bonds by covalent radii."""
    z = [int(n) for n in numbers]
    bonded = _bonds(z, coordinates)
    groups = []
    for c in range(len(z)):
        neighbours = np.flatnonzero(bonded[c])
        hydrogens = tuple(int(h) for h in neighbours if z[h] == 1 and bonded[h].sum() == 1)
        if z[c] == 6 and len(neighbours) == 4 and len(hydrogens) >= 2:
            groups.append((c, hydrogens))
    return tuple(groups)


def _points(
    scheme: str, xyz: FloatArray, radii: list[float], point_density: float = MK_DENSITY
) -> tuple[FloatArray, tuple[int, int, int] | None]:
    if scheme == "mk":
        return Tesvarin_.charges.merz_kollman_points(xyz, radii, list(MK_SCALES), point_density), None
    points, steps = Tesvarin_.charges.breneman_points(xyz, radii, CHELPG_SPACING, CHELPG_EXTENSION)
    return points, (int(steps[0]), int(steps[1]), int(steps[2]))


def _share(natoms: int, equivalences: tuple[tuple[int, ...], ...], free: Sequence[int]) -> list[int]:
    """Each atom's charge index: one per run of `equivalences`, one per other atom of `free`, -1 (held) else."""
    share = [-1] * natoms
    count = 0
    for a in sorted(free):
        if share[a] >= 0:
            continue
        run = next((r for r in equivalences if a in r), (a,))
        for b in run:
            share[b] = count
        count += 1
    return share


def _resp(
    xyz: FloatArray, numbers: Sequence[int], points: FloatArray, v: FloatArray, total: float
) -> tuple[dict[str, Any], Resp]:
    """AMBER's two stages: the heavy atoms restrained by a = 0.0005, atoms alike by element and
    bonds sharing a charge but the methyl and methylene hydrogens free; then those groups refitted,
    alike hydrogens (and the carbons of alike groups) sharing one charge and the carbons restrained
    by a = 0.001, every other atom held at its stage-1 charge."""
    natoms = len(numbers)
    heavy = [int(z) != 1 for z in numbers]
    groups = resp_groups(numbers, xyz)
    classes = _classes(numbers, _bonds(numbers, xyz))
    in_groups = {h for _, hydrogens in groups for h in hydrogens}
    first_shared = _shared(classes, [a for a in range(natoms) if a not in in_groups])
    first = Tesvarin_.charges.fit(
        xyz,
        points,
        v,
        total,
        share=_share(natoms, first_shared, range(natoms)),
        restraint_a=RESP_A[0],
        restraint_b=RESP_B,
        restrained=heavy,
    )
    refitted = sorted({c for c, _ in groups} | in_groups)
    second_shared = _shared(classes, refitted)
    if groups:
        second = Tesvarin_.charges.fit(
            xyz,
            points,
            v,
            total,
            share=_share(natoms, second_shared, refitted),
            fixed=list(first["charges"]),
            restraint_a=RESP_A[1],
            restraint_b=RESP_B,
            restrained=heavy,
        )
    else:
        second = dict(first, iterations=0)
    info = Resp(
        stage1_charges=frozen(first["charges"], np.float64),
        restraint_a=RESP_A,
        restraint_b=RESP_B,
        restrained=tuple(k for k in range(natoms) if heavy[k]),
        groups=groups,
        stage1_equivalences=first_shared,
        equivalences=second_shared,
        iterations=(int(first["iterations"]), int(second["iterations"])),
    )
    return second, info


def esp_charges(
    cp: Checkpoint,
    scheme: str = "mk",
    density: str = "scf",
    total_charge: float | None = None,
    dipole: bool | Sequence[float] | FloatArray = False,
    resp: bool = False,
    *,
    radii: Mapping[Any, float] | None = None,
    point_density: float = MK_DENSITY,
    potential: Potential | None = None,
) -> EspCharges:
    """Charges fitted to the potential of `density` at the program's MK or CHELPG points.

    `total_charge` defaults to the molecule's. `dipole` True holds the dipole of the fitted charges at
    the dipole of `density` itself (found from its potential far away, `far_field_dipole`); a
    3-vector (e Bohr, about the origin) holds it at that. `resp` runs AMBER's two-stage RESP fit
    instead of the plain one. `radii` (Angstrom, by element symbol or atomic number) replaces or adds
    to the scheme's radii. `point_density` is the Merz-Kollman dots per Angstrom^2 (IOp(6/42); 1 by
    default, 6 in AMBER's protocol). `potential` computes the potential (Hartree/e) at (n, 3) points
    in Bohr; by default the checkpoint's own.
    """
    if potential is None:
        cp._needs("orbitals", "densities")
    scheme = scheme.lower()
    if scheme not in SCHEMES:
        raise ValueError(f'scheme must be "mk" or "chelpg", got {scheme!r}')
    numbers = [int(z) for z in cp.atomic_numbers]
    if not numbers:
        raise ValueError(f"{os.path.basename(cp.path)} holds no atoms to fit charges to")
    xyz = np.ascontiguousarray(cp.coordinates, dtype=np.float64)
    atom_radii = _radii(scheme, numbers, cp.symbols, radii)
    total = float(cp.charge if total_charge is None else total_charge)
    if potential is None and not cp.n_basis:
        raise ValueError(f"{os.path.basename(cp.path)} holds no basis set: there is no density to fit charges to")
    if scheme != "mk" and point_density != MK_DENSITY:
        raise ValueError("point_density sets the Merz-Kollman dots; CHELPG's grid has its fixed spacing")
    if resp and not (isinstance(dipole, (bool, np.bool_)) and not dipole):
        raise ValueError("RESP holds the total charge only; leave dipole False with resp")
    at = potential if potential is not None else (lambda points: evaluation.potential(cp, points, density=density))
    target = _dipole_target(at, dipole)
    points, steps = _points(scheme, xyz, atom_radii, point_density)
    v = _values(at, points)
    info: Resp | None = None
    if resp:
        fit, info = _resp(xyz, numbers, points, v, total)
    else:
        fit = Tesvarin_.charges.fit(xyz, points, v, total, None if target is None else list(target))
    return EspCharges(
        scheme=scheme,
        density=density,
        symbols=tuple(cp.symbols),
        atomic_numbers=frozen(numbers, np.int64),
        coordinates=frozen(xyz, np.float64),
        radii=frozen(atom_radii, np.float64),
        charges=frozen(fit["charges"], np.float64),
        points=frozen(points, np.float64),
        potential=frozen(v, np.float64),
        rms=float(fit["rms"]),
        rrms=float(fit["rrms"]),
        total_charge=total,
        multiplicity=int(cp.multiplicity),
        dipole_constraint=None if target is None else frozen(target, np.float64),
        grid_steps=steps,
        resp=info,
    )


def _values(potential: Potential, points: FloatArray) -> FloatArray:
    v: FloatArray = np.ascontiguousarray(potential(points), dtype=np.float64).reshape(-1)
    if v.shape != (len(points),):
        raise ValueError(f"the potential gave {v.size} values for {len(points)} points")
    return v


def _dipole_target(potential: Potential, dipole: bool | Sequence[float] | FloatArray) -> FloatArray | None:
    if isinstance(dipole, (bool, np.bool_)):
        return far_field_dipole(potential) if dipole else None
    target = np.asarray(dipole, dtype=np.float64).reshape(-1)
    if target.shape != (3,) or not np.all(np.isfinite(target)):
        raise ValueError(f"dipole must be True, False or three finite numbers (e Bohr), got {dipole!r}")
    return target


def far_field_dipole(potential: Potential, distance: float = FAR) -> FloatArray:
    """The dipole (e Bohr, about the origin) of the charges whose potential `potential` gives, from
    its far field: R^2 (V(R e) - V(-R e)) / 2 tends to the dipole's component along e, the charge's
    and the quadrupole's terms cancelling between the two sides; the octupole's 1/R^2 is removed
    by taking R and 2R (Richardson), which leaves an error of order 1/R^4."""
    axes = np.eye(3)

    def seen(r: float) -> FloatArray:
        v = _values(potential, np.concatenate([axes * r, -axes * r]))
        component: FloatArray = r * r * (v[:3] - v[3:]) / 2.0
        return component

    result: FloatArray = (4.0 * seen(2.0 * distance) - seen(distance)) / 3.0
    return result
