"""The numerics' bounds on hostile-sized input: the evaluator's peak memory on a small file of many
high shells, and the time of the rotational symmetry number of a large ring.

    python -m bench.numerics_bench [--shells 1000] [--ring 1600] [--threads 2]

The first file holds `--shells` one-primitive Cartesian L = 13 shells (105 functions each) on one
atom and no orbitals (146 KB for 1 000): the density of the occupied orbitals with second
derivatives on 300 points, on `--threads` threads, is evaluated in a fresh interpreter that first
loads the checkpoint, and the growth of its peak resident size is printed beside the size of the
result (limit: 64 MiB beyond it). The second file is a ring of `--ring` carbons 1.4 Bohr apart
(symmetry D_n, symmetry number 2n) with one stored frequency; the symmetry number is timed alone
(best of three) and its value checked (limit: one second for 1 600 atoms).
"""

from __future__ import annotations

import argparse
import subprocess
import sys
import tempfile
import textwrap
from pathlib import Path

from tests.python.test_hostile_numerics import l13, ring, with_frequencies

ROOT = Path(__file__).resolve().parents[1]


def child(code: str) -> str:
    done = subprocess.run(
        [sys.executable, "-c", textwrap.dedent(code)], capture_output=True, text=True, cwd=ROOT, check=True
    )
    return done.stdout.strip().splitlines()[-1]  # the reader may say something first


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--shells", type=int, default=1000)
    parser.add_argument("--ring", type=int, default=1600)
    parser.add_argument("--threads", type=int, default=2)
    args = parser.parse_args()
    with tempfile.TemporaryDirectory() as folder:
        shells = Path(folder) / "shells.chk"
        l13(count=args.shells, nae=0, nbe=0).write(shells)
        growth = child(
            f"""
            import resource, numpy as np, Tesvarin_
            r = Tesvarin_.ChkReader_({str(shells)!r})
            before = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
            out = Tesvarin_.grid.evaluate_density(r, np.zeros((300, 3)), -1, derivatives=2, threads={args.threads})
            print((resource.getrusage(resource.RUSAGE_SELF).ru_maxrss - before) / 1024, out.nbytes / 2**20)
            """
        ).split()
        print(
            f"evaluator, {args.shells} L=13 shells ({shells.stat().st_size / 1024:.0f} KB, {105 * args.shells} "
            f"functions), second derivatives, {args.threads} threads: peak grows by {float(growth[0]):.1f} MiB "
            f"(result {float(growth[1]):.3f} MiB; limit 64 MiB)"
        )

        atoms = ring(args.ring)
        path = Path(folder) / "ring.chk"
        with_frequencies(atoms, [500.0]).write(path)
        timing = child(
            f"""
            import time, Tesvarin_
            r = Tesvarin_.ChkReader_({str(path)!r})
            best, sigma = float("inf"), 0
            for _ in range(3):
                start = time.perf_counter()
                sigma = Tesvarin_.thermo.thermochemistry(r)["symmetry_number"]
                best = min(best, time.perf_counter() - start)
            print(best, sigma)
            """
        ).split()
        print(
            f"symmetry number of a {args.ring}-atom ring: {timing[1]} (expected {2 * args.ring}) in "
            f"{float(timing[0]):.3f} s (the whole thermochemistry; limit 1 s)"
        )


if __name__ == "__main__":
    main()
