"""Regenerates examples/water.chk, the bundled example checkpoint.

Water in the STO-3G basis (an S shell and an SP shell on O, an S shell on each H),
with orbitals and an SCF density that are physically consistent: the MOs are the
Loewdin-orthonormalised basis functions (orthonormal in the overlap metric) and the
density doubly occupies the five lowest of them, so Tr(S P) is 10 electrons. The
overlap comes from IOData, reading the formatted checkpoint of a first pass. The
file has the shape of a version-16 single point (molecule layout -12348 with its 42
per-atom blocks, the version text, and the further sections such a job stores, the
Mulliken charges computed from P and S), so the complete fchk can be written from it.

Run from the project root after `pip install .` with IOData installed:
    python -m tools.make_example
"""

import math
import tempfile
from pathlib import Path

import numpy as np

from tests.python import chk_builder as cb

ROOT = Path(__file__).resolve().parents[1]

ATOMS = [cb.Atom(8, (0.0, 0.0, 0.2217)), cb.Atom(1, (0.0, 1.4309, -0.8867)), cb.Atom(1, (0.0, -1.4309, -0.8867))]
H_EXPS = [3.42525091, 0.62391373, 0.16885540]
S_COEFS = [0.15432897, 0.53532814, 0.44463454]
O_EXPS = [130.7093200, 23.8088610, 6.4436083]
O_SP_EXPS = [5.0331513, 1.1695961, 0.3803890]
O_SP_S = [-0.09996723, 0.39951283, 0.70011547]
O_SP_P = [0.15591627, 0.60768372, 0.39195739]
NBASIS, NOCC = 7, 5


def raw(coefs, exps, L):
    """The file keeps coefficients of unnormalised primitives x^L exp(-e r^2)."""
    return [c / math.sqrt((math.pi / (2 * e)) ** 1.5 / (4 * e) ** L) for c, e in zip(coefs, exps, strict=True)]


def per_atom_blocks() -> dict[int, bytes]:
    """Blocks of the -12348 molecule section: integer and real weights, spins, ZEff, ZNuc, GFac, MicOpt."""
    o_h = lambda o, h: [o, h, h]  # noqa: E731
    return {
        6: cb.ints(*o_h(16, 1)),
        16: cb.reals(*o_h(15.9949146, 1.00782504)),
        9: cb.ints(*o_h(0, 1)),
        18: cb.reals(*o_h(-5.6, -1.0)),
        21: cb.reals(*o_h(8.0, 1.0)),
        20: cb.reals(*o_h(0.0, 2.792846)),
        41: cb.ints(-1, -1, -1),
    }


def mulliken(density: np.ndarray, s: np.ndarray) -> list[float]:
    """Nuclear charge minus the gross population of each atom's functions (O: 5, H: 1 each)."""
    gross = np.diag(density @ s)
    return [8.0 - gross[:5].sum(), 1.0 - gross[5], 1.0 - gross[6]]


def further_sections(chk: cb.Chk, charges: list[float]) -> None:
    n = len(ATOMS)
    chk.add(cb.BONDS, cb.bonds_section([2, 1, 1], [2, 3, 1, 0, 1, 0], [1.0, 1.0, 1.0, 0.0, 1.0, 0.0], 2))
    chk.add(cb.EFIELD, cb.reals(*[0.0] * 35))
    chk.add(cb.GRADIENT, cb.reals(*[0.0] * (6 * n)))
    chk.add(cb.CHARGES, cb.charges_section(1, charges))
    chk.add(cb.ELECTRIC, cb.electric_section(n, 0, {}))
    chk.add(cb.ONIOM, cb.ints(*[0] * 16, *[1] * 16, *[0] * (4 * n)) + cb.reals(*[0.0] * (5 * n)))
    chk.add(cb.QEQ, cb.qeq_section([0.0] * (6 * n)))
    chk.add(cb.CONSTRAINT, cb.reals(*[0.0] * (6 * n)))
    chk.add(cb.CLPAR, cb.clpar_section())
    chk.add(cb.NONADIABATIC, cb.reals(*[0.0] * (3 * n)))


def checkpoint(mo_columns: np.ndarray, density: np.ndarray | None, charges: list[float] | None = None) -> cb.Chk:
    o, h1, h2 = ATOMS
    shells = [
        cb.Shell(0, 1, O_EXPS, coefs=raw(S_COEFS, O_EXPS, 0), centre=o.xyz),
        cb.Shell(1, 1, O_SP_EXPS, coefs=raw(O_SP_S, O_SP_EXPS, 0), coefp=raw(O_SP_P, O_SP_EXPS, 1), centre=o.xyz),
        cb.Shell(0, 2, H_EXPS, coefs=raw(S_COEFS, H_EXPS, 0), centre=h1.xyz),
        cb.Shell(0, 3, H_EXPS, coefs=raw(S_COEFS, H_EXPS, 0), centre=h2.xyz),
    ]
    energies = [-20.25, -1.26, -0.59, -0.46, -0.39, 0.58, 0.69]
    chk = cb.Chk()
    chk.add(cb.GEN, cb.gen({0: 2.0021, 22: 2.1e-9, 31: -74.9629, 42: -74.9629}))
    chk.add(cb.LABEL, cb.label_record("Water, bundled example", "#p RHF/STO-3G"))
    chk.add(cb.INFO, cb.info_record(text=b"HF\\STO-3G\\"))
    chk.add(cb.VERSION, cb.padded("ES64L-G16RevA.03 25-Dec-2016", 48, b"\0"))
    chk.add(cb.MOL, cb.mol_section(ATOMS, nbasis=NBASIS, layout=-12348, nblocks=42, blocks=per_atom_blocks()))
    chk.add(cb.BASIS, cb.basis_section(shells))
    chk.add(cb.ORBENE, cb.reals(*energies))
    chk.add(cb.ALPHA_MO, cb.reals(*mo_columns.T.ravel()))
    if density is not None:
        rows, cols = np.tril_indices(NBASIS)
        chk.add(cb.DENSITIES, cb.ints(1 << 32) + cb.reals(*density[rows, cols]))
    if charges is not None:
        further_sections(chk, charges)
    chk.add(cb.XLSW, cb.xlsw({21: 0}))
    chk.sections.sort(key=lambda section: section[0])
    return chk


def overlap(chk: cb.Chk) -> np.ndarray:
    import iodata
    import Tesvarin_
    from iodata.overlap import compute_overlap

    with tempfile.TemporaryDirectory() as tmp:
        path = chk.write(Path(tmp) / "first.chk")
        Tesvarin_.ChkReader_(path).write_fchk(str(Path(tmp) / "first.fchk"))
        mol = iodata.load_one(str(Path(tmp) / "first.fchk"))
        return compute_overlap(mol.obasis, mol.atcoords)


def main() -> None:
    s = overlap(checkpoint(np.eye(NBASIS), None))
    values, vectors = np.linalg.eigh(s)
    mos = vectors @ np.diag(values**-0.5) @ vectors.T
    density = 2.0 * mos[:, :NOCC] @ mos[:, :NOCC].T
    out = ROOT / "examples" / "water.chk"
    checkpoint(mos, density, mulliken(density, s)).write(out)
    print(f"wrote {out.relative_to(ROOT)}: Tr(SP) = {np.trace(s @ density):.12f}")


if __name__ == "__main__":
    main()
