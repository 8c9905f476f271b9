"""Checkpoints for the documentation's examples, made at build time by the test suite's builder.

Every file is the bundled example (water, RHF/STO-3G, its orbitals and SCF density) with the sections
a further job would add: a frequency job's force constants and dipole derivatives, a TD job's excited
states. The numbers are made up to look like such jobs; they are not the program's output.

``python docs/samples.py DIR`` writes them all into DIR (the pages' examples run there).
"""

from __future__ import annotations

import shutil
import sys
from pathlib import Path

import numpy as np

ROOT = Path(__file__).resolve().parents[1]
if str(ROOT) not in sys.path:
    sys.path.insert(0, str(ROOT))

from tests.python import chk_builder as cb  # noqa: E402
from tools import make_example  # noqa: E402

EXAMPLE = ROOT / "examples" / "water.chk"
SCF_ENERGY = -74.9629  # Hartree, the example's


def _example() -> cb.Chk:
    """The bundled example again, from its own orbitals and density, ready for more sections."""
    import tesvarin

    cp = tesvarin.load(EXAMPLE)
    charges = [float(q) for q in cp.mulliken_charges]
    return make_example.checkpoint(np.asarray(cp.alpha_mo_coefficients).T, cp.total_densities["SCF"], charges)


def _force_constants(xyz: np.ndarray) -> bytes:
    """Springs along each pair of atoms: 0.5 Hartree/Bohr^2 for O-H, 0.07 for H-H (the bend), packed by rows."""
    n = len(xyz)
    h = np.zeros((3 * n, 3 * n))
    for a in range(n):
        for b in range(a):
            d = xyz[a] - xyz[b]
            block = (0.07 if a and b else 0.5) * np.outer(d, d) / (d @ d)
            for i, j, sign in ((a, a, 1), (b, b, 1), (a, b, -1), (b, a, -1)):
                h[3 * i : 3 * i + 3, 3 * j : 3 * j + 3] += sign * block
    return cb.reals(*[h[r, c] for r in range(3 * n) for c in range(r + 1)])


def frequency_job(path: Path) -> Path:
    """A frequency job: the example with force constants and dipole derivatives (point charges -0.66, 0.33,
    0.33: each atom's block is its charge times the identity), no stored harmonic analysis."""
    chk = _example()
    chk.replace(cb.LABEL, cb.label_record("Water, a frequency job", "#p RHF/STO-3G Freq"))
    chk.replace(cb.INFO, cb.info_record(itype=6, text=b"HF\\STO-3G\\"))
    xyz = np.array([atom.xyz for atom in make_example.ATOMS])
    apt = [q if r == k else 0.0 for q in (-0.66, 0.33, 0.33) for r in range(3) for k in range(3)]
    chk.replace(cb.ELECTRIC, cb.electric_section(3, 1 | 2, {1: [0.0, 0.0, 0.68], 4: apt}))
    chk.add(cb.FORCE_CONST, _force_constants(xyz))
    chk.sections.sort(key=lambda section: section[0])
    chk.write(path)
    return path


# (excitation energy in Hartree, <0|r|n>, <0|del|n>, <0|r x del|n>), atomic units
STATES = [
    (0.262, (0.0, 0.0, 0.25), (0.0, 0.0, 0.16), (0.05, 0.0, 0.02)),
    (0.301, (0.0, 0.42, 0.0), (0.0, 0.28, 0.0), (0.0, -0.21, 0.0)),
    (0.338, (0.12, 0.0, 0.0), (0.08, 0.0, 0.0), (0.30, 0.0, 0.0)),
    (0.365, (0.0, 0.0, 0.61), (0.0, 0.0, 0.45), (0.0, 0.0, -0.12)),
    (0.402, (0.0, 0.35, 0.20), (0.0, 0.25, 0.14), (0.0, 0.10, 0.08)),
    (0.447, (0.50, 0.0, 0.0), (0.38, 0.0, 0.0), (-0.33, 0.0, 0.0)),
]


def td_job(path: Path) -> Path:
    """A TD job of six singlet states that followed the first."""
    chk = _example()
    chk.replace(cb.LABEL, cb.label_record("Water, a TD job", "#p TD(NStates=6) RHF/STO-3G"))
    rows = [[SCF_ENERGY + de, *r, *p, *m, *[0.0] * 6] for de, r, p, m in STATES]
    chk.add(cb.EXCITED, cb.excited_section(rows, root=1))
    chk.sections.sort(key=lambda section: section[0])
    chk.write(path)
    return path


def write_all(folder: Path) -> Path:
    """The example (as examples/water.chk), freq.chk, td.chk, and runs/ with all three, in `folder`."""
    (folder / "examples").mkdir(parents=True, exist_ok=True)
    shutil.copyfile(EXAMPLE, folder / "examples" / "water.chk")
    frequency_job(folder / "freq.chk")
    td_job(folder / "td.chk")
    (folder / "runs").mkdir(exist_ok=True)
    for name in ("freq.chk", "td.chk"):
        shutil.copyfile(folder / name, folder / "runs" / name)
    shutil.copyfile(EXAMPLE, folder / "runs" / "water.chk")
    return folder


_made: list[Path] = []


def folder() -> Path:
    """One temporary folder per process with every file of `write_all`, made on first use."""
    if not _made:
        import tempfile

        _made.append(write_all(Path(tempfile.mkdtemp(prefix="tesvarin-docs-"))))
    return _made[0]


if __name__ == "__main__":
    print(write_all(Path(sys.argv[1])))
