"""Writes binary checkpoints from plain values, one section at a time.

A checkpoint is a sequence of 8-byte words: a leading record (number of directory
entries, file length in words, two spare words), the directory of four-word entries
(label, start word, end word, extra) and the sections' data. Every helper returns
the words of one section; `Chk.build` lays them out. Keyword overrides break one
thing on purpose.
"""

from __future__ import annotations

import re
import struct
from dataclasses import dataclass, field
from pathlib import Path

# The section labels come from the reader's own table, so the two cannot drift apart.
LABELS_HEADER = Path(__file__).resolve().parents[2] / "include" / "tesvarin" / "section_labels.hpp"


def section_labels(header: Path = LABELS_HEADER) -> dict[str, tuple[int, str]]:
    """The table of the C++ header: constant name -> (label, name), e.g. "kBonds" -> (503, "bonds")."""
    found = re.findall(r'inline constexpr SectionLabel (k\w+)\{(\d+), "([^"]+)"\};', header.read_text())
    return {const: (int(number), name) for const, number, name in found}


SECTIONS = section_labels()
GEN, LABEL, ORBENE, ALPHA_MO, BETA_MO, REC534, ORIENT = (
    SECTIONS[k][0]
    for k in (
        "kGeneral",
        "kLabel",
        "kOrbitalEnergies",
        "kAlphaOrbitals",
        "kBetaOrbitals",
        "kRohfMarker",
        "kOrientation",
    )
)
FORCE_CONST, DENSITIES, BASIS, ORTH_BASIS, VERSION, INFO, MOL, XLSW = (
    SECTIONS[k][0]
    for k in (
        "kForceConstants",
        "kDensities",
        "kBasis",
        "kOrthonormalBasis",
        "kVersion",
        "kInfo",
        "kMolecule",
        "kSwitches",
    )
)


def ints(*values: int) -> bytes:
    return struct.pack(f"<{len(values)}q", *values)


def reals(*values: float) -> bytes:
    return struct.pack(f"<{len(values)}d", *values)


def padded(data: bytes | str, nbytes: int, fill: bytes = b" ") -> bytes:
    raw = data.encode() if isinstance(data, str) else data
    return raw[:nbytes] + fill * (nbytes - len(raw[:nbytes]))


def word_align(data: bytes, fill: bytes = b" ") -> bytes:
    return data + fill * (-len(data) % 8)


@dataclass
class Chk:
    """Sections in file order; `entries` may add directory entries by hand."""

    sections: list[tuple[int, bytes]] = field(default_factory=list)
    entries: list[tuple[int, int, int, int]] = field(default_factory=list)

    def add(self, label: int, payload: bytes) -> Chk:
        self.sections.append((label, word_align(payload)))
        return self

    def without(self, label: int) -> Chk:
        self.sections = [(lab, data) for lab, data in self.sections if lab != label]
        return self

    def replace(self, label: int, payload: bytes) -> Chk:
        self.sections = [(lab, word_align(payload) if lab == label else data) for lab, data in self.sections]
        return self

    def build(
        self, *, nentries: int | None = None, length_words: int | None = None, end_delta: dict[int, int] | None = None
    ) -> bytes:
        count = len(self.sections) + len(self.entries)
        word = 4 + 4 * count
        directory, body = [], b""
        for label, data in self.sections:
            end = word + len(data) // 8 + (end_delta or {}).get(label, 0)
            directory.append((label, word, end, 0))
            body += data
            word += len(data) // 8
        directory += self.entries
        total = 4 + 4 * count + len(body) // 8
        head = ints(count if nentries is None else nentries, total if length_words is None else length_words, 0, 0)
        return head + b"".join(ints(*e) for e in directory) + body

    def write(self, path: Path | str, **overrides) -> str:
        Path(path).write_bytes(self.build(**overrides))
        return str(path)


def label_record(
    title: str = "Test job", route: str = "#p HF/STO-3G", tokens: bytes = b"\x07", flag: int = -12345
) -> bytes:
    return ints(flag, 0, 0, 0) + padded(title, 800) + padded(route, 32000) + tokens


def info_record(itype: int = 0, ipf: int = 0, slot5: int = 0, text: bytes | str = b"HF\\STO-3G\\") -> bytes:
    info = [0] * 9
    info[4], info[5], info[6] = ipf, slot5, itype
    return ints(*info) + padded(text, 1528)


def version_record(text: str) -> bytes:
    return word_align(text.encode())


def xlsw(ilsw: dict[int, int] | None = None, rlsw: list[float] | None = None, words: int = 200) -> bytes:
    switches = [0] * 100
    rlsw = rlsw or []
    switches[57] = len(rlsw)
    for k, v in (ilsw or {}).items():
        switches[k] = v
    data = ints(*switches) + reals(*rlsw)
    return data + b"\0" * (8 * words - len(data)) if words * 8 >= len(data) else data[: 8 * words]


def gen(values: dict[int, float]) -> bytes:
    arr = [0.0] * 1000
    for k, v in values.items():
        arr[k] = v
    return reals(*arr)


@dataclass
class Atom:
    z: int
    xyz: tuple[float, float, float] = (0.0, 0.0, 0.0)
    charge: float | None = None
    type_code: int = 0


def mol_section(
    atoms: list[Atom],
    *,
    charge: int = 0,
    mult: int = 1,
    nae: int | None = None,
    nbe: int | None = None,
    nbasis: int = 0,
    nbsuse: int | None = None,
    ndim: int = 0,
    cell: list[tuple[float, float, float]] = (),
    layout: int = -12346,
    hdrlen: int = 20,
    natoms: int | None = None,
    nblocks: int = 8,
    blocks: dict[int, bytes] | None = None,
) -> bytes:
    n = len(atoms)
    ne = sum(a.z for a in atoms) - charge
    nae = (ne + mult - 1) // 2 if nae is None else nae
    nbe = ne - nae if nbe is None else nbe
    nbsuse = nbasis if nbsuse is None else nbsuse
    natoms = n if natoms is None else natoms
    counts = (natoms, charge, mult, nae, nbe, ne, nbasis, nbsuse, 0, ndim)
    if layout == -12345:
        header = ints(layout, *counts, 0)
    else:
        header = ints(layout, hdrlen, *counts, 0, 0, 0, 0, 0, 0, 0, 0)
        header += ints(*[0] * (hdrlen - 20))
    slots = n + 3
    vectors = list(cell) + [(0.0, 0.0, 0.0)] * (3 - len(cell))
    xyz = [c for a in atoms for c in a.xyz] + [c for v in vectors for c in v]
    data = (
        header
        + ints(*[a.z for a in atoms], 0, 0, 0)
        + reals(*[float(a.z if a.charge is None else a.charge) for a in atoms], 0, 0, 0)
        + reals(*xyz)
        + ints(*[a.type_code for a in atoms], 0, 0, 0)
        + ints(*[0] * ((nblocks - 6) * slots))
    )
    for b, values in (blocks or {}).items():  # the per-atom block b: its first N words
        at = 8 * hdrlen + 8 * b * slots
        data = data[:at] + values + data[at + len(values) :]
    return data


@dataclass
class Shell:
    """A shell as the file stores it: `type` is its highest L, `cons` 0 for all lower L
    included (SP, SPD), 1 for a pure P shell, L for a single-L shell."""

    type: int
    atom: int
    exps: list[float]
    coefs: list[float] = field(default_factory=list)
    coefp: list[float] = field(default_factory=list)
    coefd: list[float] = field(default_factory=list)
    cons: int | None = None
    centre: tuple[float, float, float] = (0.0, 0.0, 0.0)


def basis_section(
    shells: list[Shell],
    *,
    cartd: int = 1,
    cartf: int = 1,
    header: dict[int, int] | None = None,
    primstart: list[int] | None = None,
    dfstart: list[int] | None = None,
) -> bytes:
    prim, dfs, starts, dstarts = [], [], [], []
    for s in shells:
        n = len(s.exps)
        starts.append(len(prim) + 1)
        pad = lambda v: list(v) + [0.0] * (n - len(v))  # noqa: E731, B023 (used in this iteration)
        prim += list(zip(s.exps, pad(s.coefs), pad(s.coefp), strict=False))
        if s.type >= 2:
            dstarts.append(len(dfs) + 1)
            dfs += pad(s.coefd)
        else:
            dstarts.append(0)
    hdr = [len(shells), max([s.type for s in shells], default=0), len(prim), len(dfs), cartd, cartf] + [0] * 26
    for k, v in (header or {}).items():
        hdr[k] = v
    cons = [s.cons if s.cons is not None else (0 if s.type == 1 else s.type) for s in shells]
    col = lambda i: [p[i] for p in prim]  # noqa: E731
    return (
        ints(*hdr)
        + reals(*col(0), *col(1), *col(2))
        + reals(*dfs, *dfs)
        + ints(*(dfstart or dstarts))
        + reals(*[s.centre[0] for s in shells])
        + reals(*[s.centre[1] for s in shells])
        + reals(*[s.centre[2] for s in shells])
        + ints(*[s.atom for s in shells])
        + ints(*(primstart or starts))
        + ints(*[len(s.exps) for s in shells])
        + ints(*[s.type for s in shells])
        + ints(*cons)
        + ints(*[0] * (2 * len(shells)))
        + reals(*[0.0] * (2 * len(shells)))
    )


def orient_record(rot_columns: list[float], trans: tuple[float, float, float]) -> bytes:
    return ints(*[0] * 26) + reals(*rot_columns) + reals(*trans)


QUARTER_Z = [0.0, 1.0, 0.0, -1.0, 0.0, 0.0, 0.0, 0.0, 1.0]  # quarter turn about z, column by column


def densities(mask: int, *values: float) -> bytes:
    """Density section: the presence mask in the high half of word 0, then the packed values."""
    return ints(mask << 32) + reals(*values)


def on_atoms(atoms: list[Atom]) -> list[Shell]:
    """One single-primitive S shell centred on every atom."""
    return [Shell(0, i + 1, [1.0], coefs=[1.0], centre=a.xyz) for i, a in enumerate(atoms)]


def molecule(
    atoms: list[Atom],
    shells: list[Shell] | bytes | None = None,
    *,
    ilsw: dict[int, int] | None = None,
    info: bytes | None = None,
    label: bytes | None = None,
    orient: tuple[list[float], tuple[float, float, float]] | None = None,
    **mol,
) -> Chk:
    """A checkpoint around `atoms` with label, info and switch records; a basis section from `shells`
    (a shell list or a ready payload) and an orientation record when given; `mol` goes to mol_section."""
    chk = Chk().add(GEN, gen({0: 2.0, 31: -1.1})).add(LABEL, label or label_record())
    chk.add(INFO, info or info_record()).add(MOL, mol_section(atoms, **mol))
    if shells is not None:
        chk.add(BASIS, shells if isinstance(shells, bytes) else basis_section(shells))
    if orient is not None:
        chk.add(ORIENT, orient_record(*orient))
    return chk.add(XLSW, xlsw({21: 0, **(ilsw or {})}))


def water(basis: bool = True) -> Chk:
    """A small closed-shell checkpoint: H2O with an S shell per atom."""
    atoms = [Atom(8, (0.0, 0.0, 0.2)), Atom(1, (0.0, 1.4, -0.9)), Atom(1, (0.0, -1.4, -0.9))]
    chk = Chk()
    chk.add(GEN, gen({0: 2.0, 22: 1e-9, 31: -74.9, 42: -74.96}))
    chk.add(LABEL, label_record("water test", "#p HF/STO-3G"))
    chk.add(INFO, info_record())
    chk.add(VERSION, version_record("ES64L-G16RevA.03 25-Dec-2016"))
    chk.add(MOL, mol_section(atoms, nbasis=3 if basis else 0))
    if basis:
        shells = [Shell(0, i + 1, [3.0, 0.5], coefs=[0.4, 0.7], centre=a.xyz) for i, a in enumerate(atoms)]
        chk.add(BASIS, basis_section(shells))
    chk.add(XLSW, xlsw({21: 0}))
    return chk


# The further sections, from plain values; word 0 halves as (high, low).
BONDS, INTERNAL_FORCES, EFIELD, GRADIENT, CHARGES, ELECTRIC = (
    SECTIONS[k][0] for k in ("kBonds", "kInternalForces", "kExternalField", "kGradient", "kCharges", "kElectric")
)
REDUNDANT, ONIOM, QEQ, CONSTRAINT, OPT_ARCHIVE, VIBRATIONS, CLPAR, NONADIABATIC = (
    SECTIONS[k][0]
    for k in (
        "kRedundantInternals",
        "kOniom",
        "kQeq",
        "kConstraintStructure",
        "kOptimisationArchive",
        "kVibrations",
        "kClassical",
        "kNonadiabatic",
    )
)


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


def qeq_section(tensors: list[float]) -> bytes:
    n = len(tensors) // 6
    return reals(*[0.0] * (28 + 25 * n), *tensors)


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
) -> bytes:
    nres = len(results[0]) if nres is None else nres
    nvar = len(geometries[0]) if nvar is None else nvar
    pad = lambda rows, width: [x for r in rows for x in r] + [0.0] * ((maxstp - len(rows)) * width)  # noqa: E731
    counts = points or [len(results) if ngeom is None else ngeom, *[0] * (npt - 1)]
    return ints(11, maxstp, len(counts) if points else npt, nres, nvar, 0, 0, 0, *counts) + reals(
        *pad(results, nres), *pad(geometries, nvar), *pad(gradients, nvar)
    )


def vibrations_section(
    masses: list[float],
    freqs: list[float],
    modes: list[float],
    *,
    lflags: int = 8,
    le2fix: int = 14,
    nmodes: int | None = None,
) -> bytes:
    m = len(freqs)
    e2 = list(freqs) + [0.0] * ((le2fix - 1) * m)
    return (
        halves(m if nmodes is None else nmodes, 0)
        + halves(len(masses), len(masses))
        + ints(lflags)
        + reals(*masses)
        + ints(*[0] * (lflags * m))
        + reals(*e2, *modes)
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
    chk.add(VIBRATIONS, vibrations_section([15.99, 1.008, 1.008], [-100.0, 1600.0, 3700.0], [0.1] * 27))
    chk.add(CLPAR, clpar_section())
    chk.add(NONADIABATIC, reals(*[0.0] * (3 * n)))
    chk.sections.sort(key=lambda s: s[0])
    return chk
