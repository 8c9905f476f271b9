"""Orbitals and densities at points and on grids, and Gaussian cube files; lengths in Bohr.

What to evaluate is named by a short text:

- a density: ``"density"``, ``"spin"``, ``"alpha"`` or ``"beta"``, optionally with the kind of
  stored matrix after a colon (``"density:mp2"``, ``"spin:scf"``; any of SCF, Psi(1), MP2, MP3,
  MP4, CI Rho(1), CI, CC, 2nd Order, in any case) or ``":orbitals"`` for the density of the
  occupied orbitals. Without a kind: the SCF matrix when the file holds one, else the orbitals.
- the electrostatic potential of the nuclei and a density: ``"potential"``, optionally with the
  kind (``"potential:mp2"``), in Hartree per elementary charge.
- orbitals: a comma-separated list of ``homo``, ``lumo``, ``homo-1``, ``lumo+2``, orbital numbers
  counted from 1 as the program prints them (``12``), ranges (``10-15``), each optionally
  prefixed ``a`` or ``b`` for the alpha or beta set (``a12``, ``b12``, ``bhomo``; alpha when
  omitted).
- a difference density: ``"difference:ci"`` (any stored kind but SCF; CI when none is named), the
  total density of that matrix minus the SCF one. In a CIS or TD job that followed a state
  (``root``), "CI" holds the state's relaxed density (the one its gradient and dipole use) and
  "CI Rho(1)" its unrelaxed one-particle density, both total (alpha plus beta); each integrates to
  the electron count, and their difference densities to zero.

Screening: a basis function is left out where it (and the derivatives asked for) is below
`tolerance` (default 1e-12). An orbital's value then moves by at most tolerance times the sum of
its coefficients' magnitudes; see ``include/tesvarin/grid/grid_eval.hpp`` for the density's bound.
``tolerance=0`` evaluates every function everywhere. For the potential, `tolerance` bounds in
Hartree/e what the left-out charge distributions can add up to at any point (see
``include/tesvarin/grid/potential.hpp``).
"""

from __future__ import annotations

import math
import re
from collections.abc import Callable
from dataclasses import dataclass
from typing import TYPE_CHECKING

import numpy as np
import Tesvarin_.grid

from tesvarin import _arrays
from tesvarin._arrays import FloatArray, frozen
from tesvarin.grid.cube_file import Cube, read_cube

if TYPE_CHECKING:
    from tesvarin.checkpoint import Checkpoint

__all__ = ["DEFAULT_MARGIN", "DEFAULT_TOLERANCE", "GRIDS", "Cube", "cube", "evaluate", "potential", "read_cube"]

DENSITY_KINDS = tuple(kind.lower() for kind in _arrays.DENSITY_KINDS)
GRIDS = {"coarse": 3.0, "medium": 6.0, "fine": 12.0}
"""Points per Bohr of cubegen's named grids."""
DEFAULT_MARGIN = 5.0
"""Bohr added around the atoms on every side. The 0.001 e/Bohr^3 surface of the density (the
usual density isovalue, close to the van der Waals surface) lies 3 to 4 Bohr beyond the nuclei
of a neutral molecule; 5 Bohr holds it, and every orbital isovalue in common use, with room."""
DEFAULT_TOLERANCE = 1e-12
"""Basis-function values below this are left out (far below the 6 digits a cube file keeps)."""

GridLike = str | int | tuple[object, object, object]
Progress = Callable[[float], object]

_PARTS = ("density", "spin", "alpha", "beta")
_SCF = 0  # the slot of the SCF density, the ground state a difference density starts from
_ORBITAL = re.compile(r"([ab]?)(?:(homo|lumo)([+-]\d+)?|(\d+)(?:-([ab]?)(\d+))?)$")


@dataclass(frozen=True)
class _Density:
    kind: int  # 0..8 a stored matrix, -1 the occupied orbitals
    part: str  # total, spin, alpha or beta
    label: str
    minus: int | None = None  # a stored matrix whose density is subtracted (a difference density)


@dataclass(frozen=True)
class _Potential:
    density: _Density


@dataclass(frozen=True)
class _Orbitals:
    refs: list[tuple[bool, int]]  # (beta, 0-based index)
    numbers: list[int]  # as written in a cube: alpha i is i, beta i is nmo + i (1-based)


def _holds(cp: Checkpoint, slot: int) -> bool:
    """Whether the checkpoint stores the density matrix of `slot` (0 SCF, ... 8 2nd Order)."""
    return _arrays.DENSITY_KINDS[slot] in cp.total_densities


def _refuse_zdo(cp: Checkpoint) -> None:
    """A semi-empirical job (basis "ZDO": PM3, AM1, ...) stores orbitals and densities orthonormal in the unit
    metric, as coefficients of functions the method takes as orthonormal; the Gaussian functions its basis
    section names overlap, so values on points from them would be neither its orbitals nor its density."""
    if cp.basis_name.strip().upper() == "ZDO":
        raise ValueError(
            "the checkpoint is of a semi-empirical (ZDO) method: its orbitals and densities are coefficients of "
            "functions the method takes as orthonormal, not of the overlapping functions its basis section names, "
            "so they have no values on points"
        )


def _selection(cp: Checkpoint, what: str) -> _Density | _Potential | _Orbitals:
    _refuse_zdo(cp)
    text = what.strip().lower()
    head, _, kind = text.partition(":")
    if head == "potential":
        return _Potential(_density(cp, kind or "scf"))
    if head == "difference":
        bare = (kind or "ci").removesuffix(" density")
        if bare not in DENSITY_KINDS or bare == "scf":
            raise ValueError(
                f"unknown density kind {kind!r} for a difference from SCF; one of {', '.join(DENSITY_KINDS[1:])}"
            )
        slot = DENSITY_KINDS.index(bare)
        for k in (slot, _SCF):
            if not _holds(cp, k):
                raise ValueError(f"the checkpoint holds no {DENSITY_KINDS[k].upper()} density")
        return _Density(slot, "total", f"{bare.upper()} density minus SCF density", _SCF)
    if head in _PARTS:
        if not kind:
            kind = "scf" if _holds(cp, _SCF) else "orbitals"
        part = "total" if head == "density" else head
        name = part.capitalize() + " density"
        if kind == "orbitals":
            return _Density(-1, part, f"{name} of the occupied orbitals")
        bare = kind.removesuffix(" density")
        if bare not in DENSITY_KINDS:
            raise ValueError(f"unknown density kind {kind!r}; one of {', '.join(DENSITY_KINDS)} or orbitals")
        slot = DENSITY_KINDS.index(bare)
        if not _holds(cp, slot):
            raise ValueError(f"the checkpoint holds no {bare.upper()} density")
        return _Density(slot, part, f"{name} from the {bare.upper()} density matrix")
    nmo = 0 if cp.alpha_mo_coefficients is None else len(cp.alpha_mo_coefficients)
    if nmo == 0:
        raise ValueError("the checkpoint holds no orbitals")
    refs: list[tuple[bool, int]] = []
    for item in filter(None, (s.strip() for s in text.split(","))):
        match = _ORBITAL.match(item)
        if match is None:
            raise ValueError(
                f"{item!r} names no orbital: use homo, lumo, homo-1, lumo+1, 12, a12, b12 or 10-15"
                " (or density, spin, alpha, beta with an optional :kind)"
            )
        beta = match[1] == "b"
        if match[2]:
            occupied = cp.n_beta if beta else cp.n_alpha
            first = last = occupied - 1 + (match[2] == "lumo") + int(match[3] or 0)
        else:
            first = last = int(match[4]) - 1
            if match[6]:
                if match[5] and (match[5] == "b") != beta:
                    raise ValueError(f"{item!r}: a range stays within the alpha or the beta orbitals")
                last = int(match[6]) - 1
        if not 0 <= first <= last < nmo:
            raise ValueError(f"{item!r}: orbitals are numbered 1 to {nmo}")
        refs += [(beta, i) for i in range(first, last + 1)]
    if not refs:
        raise ValueError("no orbital named")
    return _Orbitals(refs, [i + 1 + (nmo if beta else 0) for beta, i in refs])


def _density(cp: Checkpoint, density: str) -> _Density:
    """A density named by its kind ("scf", "mp2", "orbitals"), its part ("spin") or both ("spin:mp2").
    The SCF density of a file without a stored SCF matrix is that of its occupied orbitals."""
    _refuse_zdo(cp)
    text = density.strip().lower()
    head, colon, kind = text.partition(":")
    if not colon:
        head, kind = (head, "") if head in _PARTS else ("density", head)
    if head == "total":
        head = "density"
    if head not in _PARTS:
        raise ValueError(f"unknown density part {head!r}; one of total, spin, alpha, beta")
    if kind == "scf" and not _holds(cp, _SCF):
        kind = "orbitals"
    selection = _selection(cp, f"{head}:{kind}" if kind else head)
    assert isinstance(selection, _Density)
    return selection


def _threads(threads: int | None) -> int:
    if threads is not None and threads < 0:
        raise ValueError("threads must be 0 (every core) or more")
    return threads or 0


def evaluate(
    cp: Checkpoint,
    points: object,
    what: str = "density",
    *,
    derivatives: int = 0,
    tolerance: float = DEFAULT_TOLERANCE,
    threads: int | None = None,
) -> FloatArray:
    """Values at (n, 3) points in Bohr: orbitals as (n, k); a density as (n,), or with derivatives 1
    as (n, 4) (value, gradient) and with 2 as (n, 5) (value, gradient, Laplacian). Raises ValueError for a
    semi-empirical (ZDO) job, whose coefficients belong to no functions with values on points."""
    cp._needs("orbitals", "densities")
    xyz = np.ascontiguousarray(points, dtype=np.float64)
    if xyz.ndim != 2 or xyz.shape[1] != 3:
        raise ValueError(f"points must be an (n, 3) array in Bohr, not of shape {xyz.shape}")
    selection = _selection(cp, what)
    if isinstance(selection, _Potential):
        if derivatives:
            raise ValueError("the potential's derivatives are its field: potential(points, field=True)")
        return _potential(cp, xyz, selection.density, False, tolerance, threads)
    if isinstance(selection, _Orbitals):
        if derivatives:
            raise ValueError("derivatives are given for densities only")
        values: FloatArray = Tesvarin_.grid.evaluate_orbitals(
            cp.reader, xyz, selection.refs, tolerance=tolerance, threads=_threads(threads)
        )
        return values

    def density(kind: int) -> FloatArray:
        found: FloatArray = Tesvarin_.grid.evaluate_density(
            cp.reader,
            xyz,
            kind,
            selection.part,
            derivatives=derivatives,
            tolerance=tolerance,
            threads=_threads(threads),
        )
        return found

    values = density(selection.kind)
    if selection.minus is not None:
        values = values - density(selection.minus)
    return values[:, 0] if derivatives == 0 else values


def potential(
    cp: Checkpoint,
    points: object,
    density: str = "scf",
    field: bool = False,
    *,
    tolerance: float = DEFAULT_TOLERANCE,
    threads: int | None = None,
) -> FloatArray:
    """The electrostatic potential of the nuclei and the electrons, Hartree/e, at (n, 3) points in Bohr:
    (n,), or with `field` (n, 4), the field -grad V (Hartree/(e Bohr)) after the value. `density` names
    the kind ("scf", "mp2", "cc", ..., "orbitals"), a part ("spin", "alpha", "beta": their electrons
    only, without nuclei) or both ("spin:mp2"). Refused (ValueError) for a semi-empirical (ZDO) job, as
    `evaluate`."""
    cp._needs("orbitals", "densities")
    xyz = np.ascontiguousarray(points, dtype=np.float64)
    if xyz.ndim != 2 or xyz.shape[1] != 3:
        raise ValueError(f"points must be an (n, 3) array in Bohr, not of shape {xyz.shape}")
    return _potential(cp, xyz, _density(cp, density), field, tolerance, threads)


def _potential(
    cp: Checkpoint, xyz: FloatArray, density: _Density, field: bool, tolerance: float, threads: int | None
) -> FloatArray:
    values: FloatArray = Tesvarin_.grid.evaluate_potential(
        cp.reader, xyz, density.kind, density.part, field=field, tolerance=tolerance, threads=_threads(threads)
    )
    return values if field else values[:, 0]


def _grid(
    coordinates: FloatArray, grid: GridLike, margin: float
) -> tuple[FloatArray, FloatArray, tuple[int, int, int]]:
    """Origin, step vectors and counts of a named grid, N points a side, or an explicit one."""
    if isinstance(grid, tuple):
        origin = np.asarray(grid[0], dtype=np.float64).reshape(3)
        axes = np.asarray(grid[1], dtype=np.float64).reshape(3, 3)
        counts = tuple(int(c) for c in np.asarray(grid[2]).reshape(3))
        return origin, axes, (counts[0], counts[1], counts[2])
    if not math.isfinite(margin) or margin < 0:
        raise ValueError("margin must be a finite number of Bohr, zero or more")
    low = coordinates.min(axis=0) - margin if len(coordinates) else np.full(3, -margin)
    high = coordinates.max(axis=0) + margin if len(coordinates) else np.full(3, margin)
    size = high - low
    if isinstance(grid, str) and grid.lower() in GRIDS:
        step = 1.0 / GRIDS[grid.lower()]
        n = [math.ceil(s / step - 1e-9) + 1 for s in size]
        # The box grows to whole steps evenly on both sides.
        origin = (low + high) / 2 - step * (np.array(n) - 1) / 2
        return origin, np.eye(3) * step, (n[0], n[1], n[2])
    try:
        points = int(grid)
    except (TypeError, ValueError):
        raise ValueError(
            f"grid must be coarse, medium, fine, a number of points per side or (origin, axes, counts), not {grid!r}"
        ) from None
    if points < 2:
        raise ValueError("a grid needs at least 2 points per side")
    return low, np.diag(size / (points - 1)), (points, points, points)


def potential_comment(cp: Checkpoint, density: str) -> str:
    """cubegen's second line for the potential of `density` (as for `potential`)."""
    return _potential_comment(_density(cp, density))


def _potential_comment(density: _Density) -> str:
    """cubegen's second line: "Electrostatic potential from Total MP2 Density"."""
    part = "Total" if density.part == "total" else density.part.capitalize()
    if density.kind < 0:
        return f"Electrostatic potential from {part} density of the occupied orbitals"
    return f"Electrostatic potential from {part} {_arrays.DENSITY_KINDS[density.kind]} Density"


def title(cp: Checkpoint) -> str:
    """The job title as a cube file's first line shows it: the stored bytes, those that are not UTF-8
    replaced (the `title` of a Checkpoint keeps them as \\xNN escapes)."""
    return str(cp.reader.params.rawtexts["title"].decode("utf-8", "replace").strip())


def grid_size(cp: Checkpoint, what: str, grid: GridLike, margin: float) -> tuple[int, int]:
    """The points that `cube` would evaluate `what` on and the values at each (orbitals, or 1 for a density),
    before any evaluation; ValueError as `cube` for what the checkpoint lacks."""
    counts = _grid(cp.coordinates, grid, margin)[2]
    selection = _selection(cp, what)
    return math.prod(counts), len(selection.refs) if isinstance(selection, _Orbitals) else 1


def _share(progress: Progress | None, k: int, n: int) -> Progress | None:
    """The caller's progress for the k-th of n equal passes over the grid."""
    if progress is None or n == 1:
        return progress
    return lambda done: progress((k + done) / n)


def cube(
    cp: Checkpoint,
    what: str = "density",
    grid: GridLike = "medium",
    margin: float = DEFAULT_MARGIN,
    *,
    tolerance: float = DEFAULT_TOLERANCE,
    threads: int | None = None,
    progress: Progress | None = None,
) -> Cube:
    """Evaluates `what` on a grid around the atoms: "coarse", "medium" or "fine" (3, 6 or 12 points
    per Bohr, as cubegen), N points per side, or an explicit (origin, axes, counts) in Bohr; the box
    reaches `margin` Bohr beyond the outermost nuclei. Refused (ValueError) for a semi-empirical (ZDO) job,
    as `evaluate`."""
    cp._needs("orbitals", "densities")
    origin, axes, counts = _grid(cp.coordinates, grid, margin)
    selection = _selection(cp, what)
    lattice = (origin.tolist(), axes.tolist(), list(counts))
    if isinstance(selection, _Orbitals):
        values = Tesvarin_.grid.grid_orbitals(
            cp.reader, *lattice, selection.refs, tolerance=tolerance, threads=_threads(threads), progress=progress
        )
        comment, numbers = "MO coefficients", tuple(selection.numbers)
    elif isinstance(selection, _Potential):
        chosen = selection.density
        values = Tesvarin_.grid.grid_potential(
            cp.reader,
            *lattice,
            chosen.kind,
            chosen.part,
            tolerance=tolerance,
            threads=_threads(threads),
            progress=progress,
        )
        comment, numbers = _potential_comment(chosen), None
    else:
        kinds = [selection.kind] if selection.minus is None else [selection.kind, selection.minus]
        parts = [
            Tesvarin_.grid.grid_density(
                cp.reader,
                *lattice,
                kind,
                selection.part,
                tolerance=tolerance,
                threads=_threads(threads),
                progress=_share(progress, k, len(kinds)),
            )
            for k, kind in enumerate(kinds)
        ]
        # A difference density: the stored matrix's density minus the SCF one, point by point.
        values = parts[0] if len(parts) == 1 else frozen(np.asarray(parts[0]) - np.asarray(parts[1]), np.float64)
        comment, numbers = selection.label, None
    return Cube(
        origin=frozen(origin, np.float64),
        axes=frozen(axes, np.float64),
        values=values,
        atomic_numbers=frozen(cp.atomic_numbers, np.int64),
        nuclear_charges=frozen(cp.nuclear_charges, np.float64),
        coordinates=frozen(cp.coordinates, np.float64),
        orbitals=numbers,
        title=title(cp) or "Tesvarin cube",
        comment=comment,
    )
