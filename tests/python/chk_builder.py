"""Writes binary checkpoints from plain values, one section at a time.

A checkpoint is a sequence of 8-byte words: a leading record (number of directory
entries, file length in words, two spare words), the directory of four-word entries
(label, start word, end word, extra) and the sections' data. Every helper returns
the words of one section; `Chk.build` lays them out. Keyword overrides break one
thing on purpose.
"""

from __future__ import annotations

import struct
from dataclasses import dataclass, field
from pathlib import Path

GEN, LABEL, ORBENE, ALPHA_MO, BETA_MO, REC534, ORIENT = 501, 502, 522, 524, 526, 534, 551
FORCE_CONST, DENSITIES, BASIS, ORTH_BASIS, VERSION, INFO, MOL, XLSW = 585, 603, 670, 685, 801, 993, 997, 998


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

    def add(self, label: int, payload: bytes) -> "Chk":
        self.sections.append((label, word_align(payload)))
        return self

    def without(self, label: int) -> "Chk":
        self.sections = [(lab, data) for lab, data in self.sections if lab != label]
        return self

    def replace(self, label: int, payload: bytes) -> "Chk":
        self.sections = [(lab, word_align(payload) if lab == label else data) for lab, data in self.sections]
        return self

    def build(self, *, nentries: int | None = None, length_words: int | None = None,
              end_delta: dict[int, int] | None = None) -> bytes:
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


def label_record(title: str = "Test job", route: str = "#p HF/STO-3G", tokens: bytes = b"\x07",
                 flag: int = -12345) -> bytes:
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


def mol_section(atoms: list[Atom], *, charge: int = 0, mult: int = 1, nae: int | None = None,
                nbe: int | None = None, nbasis: int = 0, nbsuse: int | None = None, ndim: int = 0,
                cell: list[tuple[float, float, float]] = (), layout: int = -12346, hdrlen: int = 20,
                natoms: int | None = None) -> bytes:
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
    return (header + ints(*[a.z for a in atoms], 0, 0, 0)
            + reals(*[float(a.z if a.charge is None else a.charge) for a in atoms], 0, 0, 0)
            + reals(*xyz) + ints(*[a.type_code for a in atoms], 0, 0, 0) + ints(*[0] * (2 * slots)))


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


def basis_section(shells: list[Shell], *, cartd: int = 1, cartf: int = 1, header: dict[int, int] | None = None,
                  primstart: list[int] | None = None, dfstart: list[int] | None = None) -> bytes:
    prim, dfs, starts, dstarts = [], [], [], []
    for s in shells:
        n = len(s.exps)
        starts.append(len(prim) + 1)
        pad = lambda v: list(v) + [0.0] * (n - len(v))  # noqa: E731
        prim += list(zip(s.exps, pad(s.coefs), pad(s.coefp)))
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
    return (ints(*hdr) + reals(*col(0), *col(1), *col(2)) + reals(*dfs, *dfs)
            + ints(*(dfstart or dstarts)) + reals(*[s.centre[0] for s in shells]) + reals(*[s.centre[1] for s in shells])
            + reals(*[s.centre[2] for s in shells]) + ints(*[s.atom for s in shells])
            + ints(*(primstart or starts)) + ints(*[len(s.exps) for s in shells]) + ints(*[s.type for s in shells])
            + ints(*cons) + ints(*[0] * (2 * len(shells))) + reals(*[0.0] * (2 * len(shells))))


def orient_record(rot_columns: list[float], trans: tuple[float, float, float]) -> bytes:
    return ints(*[0] * 26) + reals(*rot_columns) + reals(*trans)


QUARTER_Z = [0.0, 1.0, 0.0, -1.0, 0.0, 0.0, 0.0, 0.0, 1.0]  # quarter turn about z, column by column


def densities(mask: int, *values: float) -> bytes:
    """Density section: the presence mask in the high half of word 0, then the packed values."""
    return ints(mask << 32) + reals(*values)


def on_atoms(atoms: list[Atom]) -> list[Shell]:
    """One single-primitive S shell centred on every atom."""
    return [Shell(0, i + 1, [1.0], coefs=[1.0], centre=a.xyz) for i, a in enumerate(atoms)]


def molecule(atoms: list[Atom], shells: list[Shell] | bytes | None = None, *, ilsw: dict[int, int] | None = None,
             info: bytes | None = None, label: bytes | None = None,
             orient: tuple[list[float], tuple[float, float, float]] | None = None, **mol) -> Chk:
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
