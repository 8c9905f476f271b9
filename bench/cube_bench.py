"""Orbital and density cubes: tesvarin against pyscf.tools.cubegen and gbasis, in one run.

    pip install . qc-gbasis pyscf
    python -m bench.cube_bench [CHECKPOINT] [--points 80] [--threads 2]

The default checkpoint is ../shared/realchk2/g16c-kinbot-closed/well7_rm062x_200bf.chk (M06-2X/
def2-TZVPP, 7 atoms, 200 pure functions). PySCF gets the same atoms and its own def2-TZVPP (the
same 200 functions, in PySCF's order) and the checkpoint's SCF density matrix and an orbital's
coefficients as they are: the values differ by the function order, the work does not. Every
timing is the best of --repeat runs; each side writes its cube file. gbasis evaluates the basis
functions in pure Python and NumPy; it is timed on a slab of the grid and scaled per point (its
basis-by-points matrix for the whole grid would not fit the memory of this machine). Peak memory
is measured in a fresh interpreter that only loads the checkpoint and evaluates the cube.
"""

from __future__ import annotations

import argparse
import os
import subprocess
import sys
import tempfile
import time
from pathlib import Path

import numpy as np

from bench.run import best

ROOT = Path(__file__).resolve().parents[1]
DEFAULT = ROOT.parent / "shared" / "realchk2" / "g16c-kinbot-closed" / "well7_rm062x_200bf.chk"

MEMORY_PROBE = """
import sys, tesvarin
def status(key):  # kB
    with open("/proc/self/status") as f:
        return next(int(line.split()[1]) for line in f if line.startswith(key))
cp = tesvarin.load(sys.argv[1])
with open("/proc/self/clear_refs", "w") as f:
    f.write("5")  # the peak resident size starts again from the current one
before = status("VmRSS:")
c = cp.cube(sys.argv[2], grid=int(sys.argv[3]), threads=int(sys.argv[4]))
print(before, status("VmHWM:"), c.values.nbytes)
"""


SPIN = "sum(range(30_000_000))"


def extra_memory_mib(chk: str, what: str, n: int, threads: int) -> float:
    """Peak resident memory, beyond the result, of one n^3 cube of `what` in a fresh interpreter."""
    probe = subprocess.run(
        [sys.executable, "-c", MEMORY_PROBE, chk, what, str(n), str(threads)],
        capture_output=True,
        text=True,
        check=True,
    )
    before, after, nbytes = (int(v) for v in probe.stdout.split())
    return (after - before) / 1024 - nbytes / 2**20


def machine_parallelism() -> float:
    """How many times the work of one busy process two of them get done at once on this machine
    now (2.0 when both cores are free): the ceiling of any two-thread speed-up measured with it."""

    def run(n: int) -> float:
        start = time.perf_counter()
        procs = [subprocess.Popen([sys.executable, "-c", SPIN]) for _ in range(n)]
        for p in procs:
            p.wait()
        return time.perf_counter() - start

    one, two = run(1), run(2)
    return 2 * one / two


def pyscf_molecule(cp, basis: str):
    """PySCF's molecule of the checkpoint's atoms in its own `basis` (pure functions), or None (said why)
    when that basis has another number of functions."""
    from pyscf import gto

    mol = gto.M(
        atom=[(int(z), xyz) for z, xyz in zip(cp.atomic_numbers, cp.coordinates, strict=True)],
        unit="Bohr",
        basis=basis,
        charge=cp.charge,
        spin=cp.multiplicity - 1,
        cart=False,
        verbose=0,
    )
    if mol.nao != cp.n_basis:
        print(f"PySCF's {basis} has {mol.nao} functions, the checkpoint {cp.n_basis}: pick --basis")
        return None
    return mol


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("chk", nargs="?", default=str(DEFAULT))
    parser.add_argument("--points", type=int, default=80, help="points per side (default 80)")
    parser.add_argument("--threads", type=int, default=2)
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--basis", default="def2-tzvpp", help="PySCF's name of the checkpoint's basis")
    args = parser.parse_args()

    import tesvarin
    from pyscf import lib
    from pyscf.tools import cubegen

    cp = tesvarin.load(args.chk)
    n = args.points
    homo = cp.n_alpha - 1
    print(
        f"{os.path.basename(args.chk)}: {len(cp.atomic_numbers)} atoms, {cp.n_basis} basis functions, "
        f"{n}^3 grid, {args.threads} threads"
    )

    mol = pyscf_molecule(cp, args.basis)
    if mol is None:
        return 1
    # The stored SCF matrix, or (a file that stores none) the one of the occupied orbitals.
    occupied = np.asarray(cp.alpha_mo_coefficients)[: cp.n_alpha]
    density = np.array(cp.total_densities["SCF"]) if "SCF" in cp.total_densities else 2 * occupied.T @ occupied
    orbital = np.array(cp.alpha_mo_coefficients[homo])
    margin = 3.0  # cubegen's default margin; ours is set to the same below
    lib.num_threads(args.threads)
    tmp = Path(tempfile.mkdtemp(prefix="tesvarin-cube-"))

    results = {}
    for name, what, run_pyscf in (
        (
            "orbital",
            "homo",
            lambda: cubegen.orbital(mol, str(tmp / "p.cube"), orbital, nx=n, ny=n, nz=n, margin=margin),
        ),
        (
            "density",
            "density",
            lambda: cubegen.density(mol, str(tmp / "p.cube"), density, nx=n, ny=n, nz=n, margin=margin),
        ),
    ):

        def ours(threads: int, what: str = what) -> None:
            cp.cube(what, grid=n, margin=margin, threads=threads).write(tmp / "t.cube")

        t_pyscf = best(args.repeat, run_pyscf)
        t_one = best(args.repeat, lambda: ours(1))
        t_two = best(args.repeat, lambda: ours(args.threads))
        # The evaluation alone, without the file (whose write ends in an fsync, as every output does).
        e_one = best(args.repeat, lambda: cp.cube(what, grid=n, margin=margin, threads=1))  # noqa: B023 (called here)
        e_two = best(args.repeat, lambda: cp.cube(what, grid=n, margin=margin, threads=args.threads))  # noqa: B023
        results[name] = (t_pyscf, t_one, t_two, e_one, e_two)
        print(
            f"{name:8s} pyscf cubegen {t_pyscf:7.3f} s   tesvarin 1 thread {t_one:7.3f} s   "
            f"{args.threads} threads {t_two:7.3f} s (evaluation alone {e_one:.3f} s and {e_two:.3f} s)"
        )

    # gbasis on a slab of the same grid: the basis values, then the orbital and the density.
    try:
        from gbasis.evals.eval import evaluate_basis
        from gbasis.wrappers import from_iodata
    except ImportError:
        print("gbasis not installed (pip install qc-gbasis): its ratio is skipped")
        gbasis_per_point = None
    else:
        data = cp.to_iodata()
        basis = from_iodata(data)
        c = cp.cube("density", grid=n, margin=margin)
        slab = np.stack(np.meshgrid(np.arange(4), np.arange(n), np.arange(n), indexing="ij"), -1).reshape(-1, 3)
        points = c.origin + slab @ c.axes

        def run_gbasis() -> None:
            chi = evaluate_basis(basis, points, screen_basis=False)
            orbital_values = orbital @ chi
            rho = np.einsum("ip,ij,jp->p", chi, density, chi, optimize=True)
            del orbital_values, rho

        gbasis_per_point = best(1, run_gbasis) / len(points)
        print(
            f"gbasis   {gbasis_per_point * n**3:7.3f} s for the orbital and the density together "
            f"(scaled from {len(points)} points)"
        )

    extra_mib = extra_memory_mib(args.chk, "density", n, args.threads)

    parallelism = machine_parallelism()
    print("\nfigure (ratio in one run)                           value    target")
    for name in ("orbital", "density"):
        t_pyscf, t_one, t_two, e_one, e_two = results[name]
        print(f"{name:8s} pyscf cubegen / tesvarin ({args.threads} threads)    {t_pyscf / t_two:7.2f}    >= 2")
        print(f"{name:8s} 1 thread / {args.threads} threads, with the file     {t_one / t_two:7.2f}    >= 1.8")
        print(f"{name:8s} 1 thread / {args.threads} threads, evaluation       {e_one / e_two:7.2f}    >= 1.8")
    if gbasis_per_point is not None:
        both = results["orbital"][2] + results["density"][2]
        print(f"gbasis / tesvarin (orbital + density)             {gbasis_per_point * n**3 / both:7.1f}    >= 50")
    print(f"peak memory beyond the grid's values              {extra_mib:7.1f} MiB  <= 64 MiB")
    print(f"(two busy processes / one on this machine now      {parallelism:7.2f}: the bound of any 2-thread gain)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
