"""Writes large, consistent synthetic checkpoints for the benchmark.

Two kinds, in the layout of the test builder (tests/python/chk_builder/), whose
small-section helpers it uses; the big arrays are streamed from NumPy:

* ``--size 256M``: an open-shell (UHF) job of about that many bytes: alpha and beta
  MO matrices, orbital energies, the orthonormal basis, the SCF total and spin
  densities and the Cartesian force constants, on a molecule whose S shells give
  exactly nbasis functions (so IOData can load the fchk written from it), with an
  identity orientation record as the program writes for a molecule already in
  standard orientation.
* ``--shells 200000``: a basis of that many shells (S, SP, D and F on every atom, three
  primitives each) and nothing big besides: the per-shell cost of the parse.

    python -m bench.make_chk OUT.chk --size 256M
    python -m bench.make_chk OUT.chk --shells 200000
"""

from __future__ import annotations

import argparse
import math
from pathlib import Path

import numpy as np

from tests.python import chk_builder as cb

IDENTITY = [1.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 1.0]
S_EXPS, S_COEFS = [3.42525091, 0.62391373, 0.16885540], [0.15432897, 0.53532814, 0.44463454]


def parse_size(text: str) -> int:
    units = {"K": 1 << 10, "M": 1 << 20, "G": 1 << 30}
    return int(float(text[:-1]) * units[text[-1].upper()]) if text[-1].upper() in units else int(text)


def positions(natoms: int, rng: np.random.Generator) -> np.ndarray:
    """Atoms on a cubic grid 2.5 Bohr apart, slightly shaken (Bohr)."""
    side = math.ceil(natoms ** (1 / 3))
    grid = np.stack(np.meshgrid(*[np.arange(side)] * 3, indexing="ij"), -1).reshape(-1, 3)[:natoms]
    return grid * 2.5 + rng.uniform(-0.1, 0.1, (natoms, 3))


def molecule_section(atoms: list[cb.Atom], **counts: int) -> bytes:
    """The molecule section with the 18 per-atom blocks that the program writes for layout -12346
    (masses, spins, nuclear properties, ...), so the complete fchk can be written from the file."""
    nblocks, blocks = cb.atom_blocks(-12346, len(atoms))
    return cb.mol_section(atoms, layout=-12346, nblocks=nblocks, blocks=blocks, **counts)


class Writer:
    """Lays out sections like chk_builder.Chk.build, but writes each payload as it comes."""

    def __init__(self, sections: list[tuple[int, int]]):  # (label, length in words)
        self.directory, word = [], 4 + 4 * len(sections)
        for label, words in sections:
            self.directory.append((label, word, word + words, 0))
            word += words
        self.total = word

    def write(self, path: Path, payloads) -> None:
        with open(path, "wb") as f:
            f.write(cb.ints(len(self.directory), self.total, 0, 0))
            f.write(b"".join(cb.ints(*e) for e in self.directory))
            for (label, start, end, _), parts in zip(self.directory, payloads, strict=True):
                assert f.tell() == 8 * start, label
                for part in parts():
                    f.write(part if isinstance(part, bytes) else np.ascontiguousarray(part).tobytes())
                assert f.tell() == 8 * end, label


def open_shell(path: Path, size: int, seed: int = 1) -> None:
    # About a fifth of the bytes in force constants, the rest in four nbasis^2 arrays.
    ncoord = max(3, int(math.sqrt(2 * size / 5 / 8)) // 3 * 3)
    natoms = ncoord // 3
    nbasis = max(natoms, int(math.sqrt(size * 4 / 5 / 8 / 4)))
    rng = np.random.default_rng(seed)
    xyz = positions(natoms, rng)
    atoms = [cb.Atom(1, tuple(p)) for p in xyz]
    per_atom = np.full(natoms, nbasis // natoms)
    per_atom[: nbasis % natoms] += 1
    shells = [
        cb.Shell(0, a + 1, S_EXPS, S_COEFS, centre=tuple(xyz[a])) for a in range(natoms) for _ in range(per_atom[a])
    ]
    tri = nbasis * (nbasis + 1) // 2

    small = [
        (cb.GEN, cb.gen({0: 2.0, 22: 1e-9, 31: -0.5 * natoms, 42: -0.5 * natoms})),
        (cb.LABEL, cb.label_record("synthetic open-shell benchmark", "#p UHF/STO-3G Freq")),
        (cb.INFO, cb.info_record(itype=6, text="HF\\STO-3G\\")),
        (cb.MOL, molecule_section(atoms, mult=1 + natoms % 2, nbasis=nbasis)),
        (cb.BASIS, cb.basis_section(shells)),
        (cb.ORIENT, cb.orient_record(IDENTITY, (0.0, 0.0, 0.0))),
        (cb.XLSW, cb.xlsw({0: 1, 21: 0})),
    ]
    small = [(label, cb.word_align(data)) for label, data in small]

    def normal(n: int):
        def parts():
            for start in range(0, n, 1 << 22):  # 32 MB at a time
                yield rng.standard_normal(min(n - start, 1 << 22))

        return parts

    def orbital_energies():
        yield np.sort(rng.uniform(-20.0, 5.0, nbasis))
        yield np.sort(rng.uniform(-20.0, 5.0, nbasis))

    def densities():
        yield cb.ints(1 << 32)  # SCF only, alpha then beta
        yield from normal(2 * tri)()

    big = [
        (cb.ORBENE, 2 * nbasis, orbital_energies),
        (cb.ALPHA_MO, nbasis * nbasis, normal(nbasis * nbasis)),
        (cb.BETA_MO, nbasis * nbasis, normal(nbasis * nbasis)),
        (cb.ORTH_BASIS, nbasis * nbasis, normal(nbasis * nbasis)),
        (cb.DENSITIES, 1 + 2 * tri, densities),
        (cb.FORCE_CONST, ncoord * (ncoord + 1) // 2, normal(ncoord * (ncoord + 1) // 2)),
    ]
    writer = Writer([(label, len(data) // 8) for label, data in small] + [(label, n) for label, n, _ in big])
    writer.write(path, [(lambda d=data: [d]) for _, data in small] + [parts for _, _, parts in big])


def many_shells(path: Path, nshell: int, seed: int = 2) -> None:
    natoms = max(1, nshell // 4)
    rng = np.random.default_rng(seed)
    xyz = positions(natoms, rng)
    atoms = [cb.Atom(6, tuple(p)) for p in xyz]
    kinds = [
        cb.Shell(0, 0, S_EXPS, S_COEFS),
        cb.Shell(1, 0, [2.9, 0.6, 0.2], [0.1, 0.5, 0.5], [0.2, 0.6, 0.4]),
        cb.Shell(2, 0, [0.8, 0.3, 0.1], coefd=[0.3, 0.5, 0.4]),
        cb.Shell(3, 0, [0.9, 0.4, 0.1], coefd=[0.2, 0.5, 0.4]),
    ]
    shells = []
    for a in range(natoms):
        for k in kinds[: nshell - len(shells) if a == natoms - 1 else 4]:
            shells.append(cb.Shell(k.type, a + 1, k.exps, k.coefs, k.coefp, k.coefd, centre=tuple(xyz[a])))
    nbasis = sum({0: 1, 1: 4, 2: 5, 3: 7}[s.type] for s in shells)
    sections = [
        (cb.GEN, cb.gen({0: 2.0, 31: -1.0, 42: -1.0})),
        (cb.LABEL, cb.label_record("synthetic many-shell benchmark", "#p HF/Gen")),
        (cb.INFO, cb.info_record()),
        (cb.MOL, molecule_section(atoms, nbasis=nbasis)),
        (cb.BASIS, cb.basis_section(shells, cartd=0, cartf=0)),
        (cb.XLSW, cb.xlsw({21: 0})),
    ]
    cb.Chk([(label, cb.word_align(data)) for label, data in sections]).write(path)


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("out", type=Path)
    group = parser.add_mutually_exclusive_group(required=True)
    group.add_argument("--size", help="open-shell checkpoint of about this size (64M, 256M, 1G)")
    group.add_argument("--shells", type=int, help="checkpoint with this many shells")
    args = parser.parse_args()
    if args.size:
        open_shell(args.out, parse_size(args.size))
    else:
        many_shells(args.out, args.shells)


if __name__ == "__main__":
    main()
