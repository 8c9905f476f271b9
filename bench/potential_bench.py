"""The electrostatic potential on a cube grid: tesvarin against PySCF's nuclear-attraction integrals
(libcint's int1e_grids) and against gbasis, in one run.

    pip install . qc-gbasis pyscf      # PySCF and gbasis optional: their ratios are skipped without them
    python -m bench.potential_bench [CHECKPOINT] [--points 80] [--threads 2] [--slab 2]

The default checkpoint is ../shared/realchk2/g16c-kinbot-closed/well7_rm062x_200bf.chk (M06-2X/
def2-TZVPP, 7 atoms, 200 pure functions). tesvarin evaluates the potential of the checkpoint's SCF
density on the whole N^3 grid of cp.cube("potential"), once on one thread and once on --threads.
PySCF gets the same atoms, its own def2-TZVPP (the same 200 functions) and the same density
matrix with its rows and columns put in PySCF's order of pure functions. It
computes the integrals of every function pair at a point (int1e_grids, in blocks of 256 points)
and contracts them with the density; gbasis does the same in NumPy (point_charge_integral). Both
are timed on --slab planes of the grid on --threads threads (PySCF) or as they run (gbasis) and
scaled per point: the whole grid would take them minutes to hours. Peak memory is measured in a
fresh interpreter that only loads the checkpoint and evaluates the cube.
"""

from __future__ import annotations

import argparse
import os
import sys
import time

import numpy as np

from bench.cube_bench import DEFAULT, extra_memory_mib, machine_parallelism, pyscf_molecule


def pyscf_order(shell_types) -> np.ndarray:
    """For each of PySCF's pure functions, the index of the same function in the checkpoint: shells in
    the same order, each as m = -l .. l where the fchk has m = 0, 1, -1, 2, -2, ... (P as x, y, z in
    both). The two sets of real solid harmonics agree in sign and normalisation."""
    order, first = [], 0
    for code in shell_types:
        l = abs(int(code))
        if int(code) in (0, 1):
            order += range(first, first + 2 * l + 1)
        else:
            order += [first + (2 * m - 1 if m > 0 else -2 * m) for m in range(-l, l + 1)]
        first += 2 * l + 1
    return np.array(order)


def timed(run) -> float:
    start = time.perf_counter()
    run()
    return time.perf_counter() - start


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("chk", nargs="?", default=str(DEFAULT))
    parser.add_argument("--points", type=int, default=80, help="points per side (default 80)")
    parser.add_argument("--threads", type=int, default=2)
    parser.add_argument("--slab", type=int, default=2, help="grid planes PySCF and gbasis are timed on (default 2)")
    parser.add_argument("--basis", default="def2-tzvpp", help="PySCF's name of the checkpoint's basis")
    args = parser.parse_args()

    import tesvarin
    from tesvarin.grid.evaluation import DEFAULT_MARGIN

    cp = tesvarin.load(args.chk)
    n = args.points
    print(
        f"{os.path.basename(args.chk)}: {len(cp.atomic_numbers)} atoms, {cp.n_basis} basis functions, "
        f"{n}^3 grid, {args.threads} threads"
    )
    t_one = timed(lambda: cp.cube("potential", grid=n, threads=1))
    t_two = timed(lambda: cp.cube("potential", grid=n, threads=args.threads))
    print(f"tesvarin  1 thread {t_one:8.2f} s   {args.threads} threads {t_two:8.2f} s   ({n**3} points)")

    # The first planes of that grid: the atoms' box widened by the default margin, N points a side.
    coordinates = np.asarray(cp.coordinates)
    low = coordinates.min(axis=0) - DEFAULT_MARGIN
    step = np.diag((coordinates.max(axis=0) + DEFAULT_MARGIN - low) / (n - 1))
    ijk = np.stack(np.meshgrid(np.arange(args.slab), np.arange(n), np.arange(n), indexing="ij"), -1).reshape(-1, 3)
    slab = low + ijk @ step
    occupied = np.asarray(cp.alpha_mo_coefficients)[: cp.n_alpha]
    density = np.array(cp.total_densities["SCF"]) if "SCF" in cp.total_densities else 2 * occupied.T @ occupied
    ours_slab = cp.potential(slab)

    pyscf_per_point = None
    try:
        from pyscf import lib
    except ImportError:
        print("PySCF not installed (pip install pyscf): its ratio is skipped")
    else:
        mol = pyscf_molecule(cp, args.basis)
        if mol is None:
            return 1
        lib.num_threads(args.threads)
        pure = all(int(code) < -1 or int(code) in (0, 1) for code in cp.shell_types)
        order = pyscf_order(cp.shell_types) if pure else np.arange(cp.n_basis)
        theirs_density = density[np.ix_(order, order)]

        def run_pyscf() -> np.ndarray:
            values = np.empty(len(slab))
            charges = mol.atom_charges()
            for first in range(0, len(slab), 256):
                part = slab[first : first + 256]
                ints = mol.intor("int1e_grids", grids=part)
                r = np.linalg.norm(part[:, None, :] - mol.atom_coords()[None], axis=2)
                values[first : first + 256] = (charges / r).sum(axis=1) - np.einsum("gij,ij->g", ints, theirs_density)
            return values

        start = time.perf_counter()
        theirs = run_pyscf()
        pyscf_per_point = (time.perf_counter() - start) / len(slab)
        print(
            f"PySCF     {pyscf_per_point * n**3:8.2f} s on {args.threads} threads (scaled from {len(slab)} points); "
            f"largest difference {np.abs(theirs - ours_slab).max():.1e}"
        )

    gbasis_per_point = None
    try:
        from gbasis.evals.electrostatic_potential import electrostatic_potential
        from gbasis.wrappers import from_iodata
    except ImportError:
        print("gbasis not installed (pip install qc-gbasis): its ratio is skipped")
    else:
        basis = from_iodata(cp.to_iodata())
        part = slab[: max(64, len(slab) // 40)]  # it holds nbasis^2 values per point
        charges = np.asarray(cp.nuclear_charges, dtype=float)
        start = time.perf_counter()
        theirs = electrostatic_potential(basis, density, part, coordinates, charges)
        gbasis_per_point = (time.perf_counter() - start) / len(part)
        print(
            f"gbasis    {gbasis_per_point * n**3:8.1f} s (scaled from {len(part)} points); "
            f"largest difference {np.abs(theirs - ours_slab[: len(part)]).max():.1e}"
        )

    extra_mib = extra_memory_mib(args.chk, "potential", n, args.threads)

    parallelism = machine_parallelism()
    print("\nfigure (ratio in one run)                           value    target")
    if pyscf_per_point is not None:
        ratio = pyscf_per_point * n**3 / t_two
        print(f"PySCF / tesvarin ({args.threads} threads each)            {ratio:7.2f}    >= 1 (aim 2)")
    if gbasis_per_point is not None:
        print(
            f"gbasis / tesvarin ({args.threads} threads)                {gbasis_per_point * n**3 / t_two:7.1f}    >= 50"
        )
    print(f"1 thread / {args.threads} threads                              {t_one / t_two:7.2f}    >= 1.8")
    print(f"peak memory beyond the grid's values              {extra_mib:7.1f} MiB  <= 64 MiB")
    print(f"(two busy processes / one on this machine now      {parallelism:7.2f}: the bound of any 2-thread gain)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
