"""The further sections from plain values (word 0 halves as (high, low)), and a water with all of them."""

from __future__ import annotations

import struct

from .container import Chk, ints, padded, reals
from .labels import (
    BONDS,
    CHARGES,
    CLPAR,
    CONSTRAINT,
    CORE_POTENTIALS,
    DENSITY_BASIS,
    EFIELD,
    ELECTRIC,
    EXCITED,
    GRADIENT,
    INTERNAL_FORCES,
    MOL,
    NONADIABATIC,
    ONIOM,
    OPT_ARCHIVE,
    ORIENT,
    QEQ,
    REDUNDANT,
    VERSION,
    VIBRATIONS,
)
from .molecule import Atom, Shell, basis_section, mol_section, water
from .records import orient_record


def halves(high: int, low: int) -> bytes:
    return struct.pack("<Ii", low & 0xFFFFFFFF, high)


def bonds_section(
    counts: list[int], partners: list[int], orders: list[float], mxbond: int, natoms: int | None = None
) -> bytes:
    return halves(mxbond, len(counts) if natoms is None else natoms) + ints(*counts, *partners) + reals(*orders)


def internal_forces_section(energy: float, forces: list[float], igetfc: int = 4, nvar: int | None = None) -> bytes:
    w = len(forces)
    packed = [0.5] * (w * (w + 1) // 2)
    return reals(energy) + ints(len(forces) if nvar is None else nvar, igetfc) + reals(*forces, *packed)


def redundant_section(indices: list[tuple[int, int, int, int]], values: list[float], count: int | None = None) -> bytes:
    v = len(values)
    return (
        ints(v if count is None else count, 0, 0, 0)
        + ints(*[i for q in indices for i in q])
        + reals(*values)
        + ints(*[0] * v)
        + reals(*[0.0] * (3 * v))
    )


def charges_section(mask: int, *sets: list[float]) -> bytes:
    return halves(mask, 0) + reals(*[q for s in sets for q in s])


def electric_section(natoms: int, mask: int, values: dict[int, list[float]]) -> bytes:
    """619: 53 + 144 N words; `values` maps word offsets to the reals stored there."""
    words = [0.0] * (52 + 144 * natoms)
    for at, vs in values.items():
        words[at - 1 : at - 1 + len(vs)] = vs
    return halves(mask, 0) + reals(*words)


def qeq_section(tensors: list[float], couplings: list[float] = ()) -> bytes:
    """The QEq section; `couplings` (an NMR=SpinSpin job's four K triangles) follow the tensors."""
    n = len(tensors) // 6
    return reals(*[0.0] * (28 + 25 * n), *tensors, *couplings)


def opt_archive_section(
    maxstp: int,
    results: list[list[float]],
    geometries: list[list[float]],
    gradients: list[list[float]],
    *,
    npt: int = 1,
    ngeom: int | None = None,
    nres: int | None = None,
    nvar: int | None = None,
    points: list[int] | None = None,
    momenta: list[list[float]] | None = None,
) -> bytes:
    """An optimisation archive (layout 11), or with `momenta` a trajectory (layout 15, the momenta
    between the geometries and the gradients)."""
    nres = len(results[0]) if nres is None else nres
    nvar = len(geometries[0]) if nvar is None else nvar
    pad = lambda rows, width: [x for r in rows for x in r] + [0.0] * ((maxstp - len(rows)) * width)  # noqa: E731
    counts = points or [len(results) if ngeom is None else ngeom, *[0] * (npt - 1)]
    layout, between = (11, []) if momenta is None else (15, pad(momenta, nvar))
    return ints(layout, maxstp, len(counts) if points else npt, nres, nvar, 0, 0, 0, *counts) + reals(
        *pad(results, nres), *pad(geometries, nvar), *between, *pad(gradients, nvar)
    )


def vibrations_section(
    masses: list[float],
    freqs: list[float],
    modes: list[float],
    *,
    lflags: int = 8,
    le2fix: int = 14,
    nmodes: int | None = None,
    blocks: list[float] | None = None,
) -> bytes:
    """`blocks`: the values after the frequencies (reduced masses, force constants, ...); zeros by default."""
    m = len(freqs)
    more = blocks or []
    e2 = list(freqs) + more + [0.0] * ((le2fix - 1) * m - len(more))
    return (
        halves(m if nmodes is None else nmodes, 0)
        + halves(len(masses), len(masses))
        + ints(lflags)
        + reals(*masses)
        + ints(*[0] * (lflags * m))
        + reals(*e2, *modes)
    )


def core_potentials_section(natoms: int, frozen: list[float] | None = None, terms: int = 0) -> bytes:
    """KFirst, KLast (10 per atom), LMax, LPSkip, RNFroz; `terms` > 0 gives every atom with a frozen
    core a potential of that many terms in its first slots (the coefficients are stored elsewhere)."""
    frozen = frozen or [0.0] * natoms
    first, last, next_term = [], [], 1
    for core in frozen:
        row = [(next_term + k, next_term + k) for k in range(terms)] if core else []
        next_term += len(row)
        first += [a for a, _ in row] + [0] * (10 - len(row))
        last += [b for _, b in row] + [0] * (10 - len(row))
    lmax = [terms - 1 if core and terms else 0 for core in frozen]
    return ints(*first, *last, *lmax, *[0 if core and terms else 1 for core in frozen]) + reals(*frozen)


def density_basis_section(**kw) -> bytes:
    """A fitting basis as the section stores it: on O an S shell of two primitives, a combined SPD
    shell and an F shell of one each, on each H one S shell; pure d and f."""
    o, h1, h2 = (0.0, 0.0, 0.2), (0.0, 1.4, -0.9), (0.0, -1.4, -0.9)
    shells = [
        Shell(0, 1, [8.0, 2.0], coefs=[3.0, 1.0], centre=o),
        Shell(2, 1, [1.5], coefs=[0.3], coefp=[0.4], coefd=[0.5], cons=0, centre=o),
        Shell(3, 1, [0.8], coefd=[0.6], cons=2, centre=o),
        Shell(0, 2, [1.0], coefs=[2.0], centre=h1),
        Shell(0, 3, [1.0], coefs=[2.0], centre=h2),
    ]
    return basis_section(shells, cartd=0, cartf=0, **kw)


# Two excited states of 16 values: energy, transition dipole (3), velocity and magnetic forms, 6 more.
EXCITED_STATES = [[-75.8, 0.0, 0.0, 0.5, *[0.01 * k for k in range(12)]], [-75.7, 0.3, 0.0, 0.0, *[0.02] * 12]]


def excited_section(
    states: list[list[float]],
    *,
    root: int = 1,
    nstates: int | None = None,
    spin: list[int] | None = None,
    symmetry: list[int] | None = None,
) -> bytes:
    """The excited-state header (NStates, NValues; 1, 10; the state followed), the spin and symmetry
    words (zero unless given), then each state's values."""
    n = len(states) if nstates is None else nstates
    width = len(states[0]) if states else 16
    return (
        halves(n, width)
        + halves(1, 10)
        + halves(root, 0)
        + ints(*[0] * 7)
        + ints(*(spin or [0] * len(states)))
        + ints(*(symmetry or [0] * len(states)))
        + reals(*[x for s in states for x in s])
    )


def clpar_section(maxan: int = 2, nint: int = 1, nreal: int = 1, lbv: int = 1) -> bytes:
    return (
        ints(1234, maxan, nint, nreal, 30, lbv, *[0] * 10)
        + ints(*[1] * (2 * maxan * lbv))
        + ints(*[2] * (nint * maxan))
        + reals(*[0.25] * (nreal * maxan))
    )


def atom_blocks(layout: int, natoms: int) -> tuple[int, dict[int, bytes]]:
    """(block count, {block: values}) of the molecule section for `layout`: real weights 1.5,
    integer weights 2, spins 1, ZEff -1, GFac 0.5, MicOpt -1 on every atom."""
    cols = {
        -12346: (18, 7, 8, 12, 13, 15, 16),
        -12347: (18, 7, 8, 12, 13, 15, 16),
        -12348: (42, 16, 6, 9, 18, 20, 41),
        -12349: (50, 16, 6, 9, 18, 20, 49),
    }
    nblocks, weights, iweights, spins, zeff, gfac, micopt = cols[layout]
    n = natoms
    return nblocks, {
        weights: reals(*[1.5] * n),
        iweights: ints(*[2] * n),
        spins: ints(*[1] * n),
        zeff: reals(*[-1.0] * n),
        gfac: reals(*[0.5] * n),
        micopt: ints(*[-1] * n),
    }


def complete_water(layout: int = -12348, *, orient: list[float] | None = None) -> Chk:
    """water() with every further section, valid, for a version-16 file (version 09 without 801)."""
    atoms = [Atom(8, (0.0, 0.0, 0.2)), Atom(1, (0.0, 1.4, -0.9)), Atom(1, (0.0, -1.4, -0.9))]
    n = len(atoms)
    nblocks, blocks = atom_blocks(layout, n)
    chk = water()
    chk.replace(MOL, mol_section(atoms, nbasis=3, layout=layout, nblocks=nblocks, blocks=blocks))
    chk.replace(VERSION, padded("ES64L-G16RevA.03", 48, b"\0"))
    if layout in (-12346, -12347):
        chk.without(VERSION)
    if orient is not None:
        chk.add(ORIENT, orient_record(orient, (0.0, 0.0, 0.0)))
    chk.add(BONDS, bonds_section([2, 1, 1], [2, 3, 1, 0, 1, 0], [1.0, 1.0, 1.0, 0.0, 1.0, 0.0], 2))
    chk.add(INTERNAL_FORCES, internal_forces_section(-76.0, [0.1, 0.2, 0.3]))
    chk.add(EFIELD, reals(*[0.0] * 35))
    chk.add(GRADIENT, reals(*[0.01 * k for k in range(3 * n)], *[0.0] * (3 * n)))
    chk.add(CHARGES, charges_section(1 | 8, [-0.8, 0.4, 0.4], [-0.9, 0.45, 0.45]))
    moments = {
        1: [0.0, 0.0, 0.8],
        4 + 9 * n: [5.0, 0.1, 6.0, 0.2, 0.3, 7.0],  # dipole, polarizability,
        47 + 126 * n: [1.0, 2.0, -3.0, 0.1, 0.2, 0.3],
    }  # quadrupole
    chk.add(ELECTRIC, electric_section(n, 1 | 4 | 1 << 12, moments))
    chk.add(REDUNDANT, redundant_section([(1, 2, 0, 0), (1, 3, 0, 0), (2, 1, 3, 0)], [1.8, 1.8, 1.9]))
    chk.add(ONIOM, ints(*[0] * 16, *[1] * 16, *[0] * (4 * n)) + reals(*[0.0] * (5 * n)))
    chk.add(QEQ, qeq_section([0.1, 0.0, 0.2, 0.0, 0.0, 0.3] * n))
    chk.add(CONSTRAINT, reals(*[0.0] * (6 * n)))
    chk.add(OPT_ARCHIVE, opt_archive_section(3, [[-76.0, 0.1], [-76.1, 0.01]], [[0.1] * 9, [0.2] * 9], [[0.3] * 9] * 2))
    # A soft real mode (60) beside the imaginary one: NImag counts only negative frequencies.
    chk.add(VIBRATIONS, vibrations_section([15.99, 1.008, 1.008], [-100.0, 60.0, 3700.0], [0.1] * 27))
    chk.add(CLPAR, clpar_section())
    chk.add(EXCITED, excited_section(EXCITED_STATES))
    chk.add(DENSITY_BASIS, density_basis_section())
    chk.add(CORE_POTENTIALS, core_potentials_section(n))
    chk.add(NONADIABATIC, reals(*[0.0] * (3 * n)))
    chk.sections.sort(key=lambda s: s[0])
    return chk
