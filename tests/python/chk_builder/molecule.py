"""The molecule and basis sections, the densities, and whole small checkpoints around a molecule."""

from __future__ import annotations

from dataclasses import dataclass, field

from .container import Chk, ints, reals
from .labels import BASIS, GEN, INFO, LABEL, MOL, ORIENT, VERSION, XLSW
from .records import gen, info_record, label_record, orient_record, version_record, xlsw


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
