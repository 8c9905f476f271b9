"""The export's figures, from one run (ratios against baselines measured in the same run):

    python -m bench.export_bench [--files 1000] [--data DIR] [--big 1G] [--no-dask]

  iodata    export of --files checkpoints of 50 atoms (a Force job: orbitals, SCF density, gradient,
            charges), one thread, against IOData's load_one of the same files' fchk
            (IOData timed on a sample of 40 files, per file)
  workers   the same export with two readers (-j 2: this process and a worker process) against one;
            beside it what two processes of plain arithmetic gain on the machine at that moment, and
            2 / (the CPU time of the two readers over that of one): the figure on an idle machine if
            the two stay busy; and the same ratio on ten times the files (hard links), where the
            worker's start and the last chunk weigh a tenth as much
  dask      a local Dask cluster of two worker processes against one (cluster start not timed)
  memory    peak resident memory of the whole export of --files against ten times as many
            (hard links to the same files), each in a fresh interpreter
  bytes     bytes read (rchar of /proc/self/io) for the default columns of a --big checkpoint,
            against its size; the time of its row against a full parse

Files are written once into --data (default /tmp/tesvarin-export-bench) and kept.
"""

from __future__ import annotations

import argparse
import json
import os
import subprocess
import sys
import warnings
from pathlib import Path

import numpy as np

from bench.make_chk import IDENTITY, S_COEFS, S_EXPS, Writer, open_shell, parse_size, positions
from bench.run import best  # the parse benchmark's best-of-n timer
from tests.python import chk_builder as cb

NATOMS, SHELLS_PER_ATOM = 50, 4


def fifty_atoms(path: Path, seed: int) -> None:
    """A closed-shell gradient job on 50 hydrogens with four S shells each (200 basis functions)."""
    rng = np.random.default_rng(seed)
    xyz = positions(NATOMS, rng)
    atoms = [cb.Atom(1, tuple(p)) for p in xyz]
    shells = [
        cb.Shell(0, a + 1, S_EXPS, S_COEFS, centre=tuple(xyz[a])) for a in range(NATOMS) for _ in range(SHELLS_PER_ATOM)
    ]
    nbasis, ncoord = NATOMS * SHELLS_PER_ATOM, 3 * NATOMS
    energy = -0.5 * NATOMS + rng.uniform(-0.1, 0.1)
    small = [
        (cb.GEN, cb.gen({0: 2.0, 22: 1e-9, 31: energy, 42: energy})),
        (cb.LABEL, cb.label_record(f"synthetic 50-atom job {seed}", "#p RHF/STO-3G Force")),
        (cb.INFO, cb.info_record(text="HF\\STO-3G\\")),
        (cb.MOL, cb.mol_section(atoms, nbasis=nbasis)),
        (cb.BASIS, cb.basis_section(shells)),
        (cb.ORIENT, cb.orient_record(IDENTITY, (0.0, 0.0, 0.0))),
        (cb.XLSW, cb.xlsw({21: 0})),
        (cb.GRADIENT, cb.reals(*rng.normal(0, 0.01, ncoord), *[0.0] * ncoord)),
        (cb.CHARGES, cb.charges_section(1, list(rng.normal(0, 0.1, NATOMS)))),
    ]
    small = [(label, cb.word_align(data)) for label, data in small]
    tri = nbasis * (nbasis + 1) // 2
    big = [
        (cb.ORBENE, nbasis, lambda: [np.sort(rng.uniform(-1.0, 1.0, nbasis))]),
        (cb.ALPHA_MO, nbasis * nbasis, lambda: [rng.standard_normal(nbasis * nbasis)]),
        (cb.DENSITIES, 1 + tri, lambda: [cb.ints(1), rng.standard_normal(tri)]),
    ]
    entries = sorted(
        [(label, len(data) // 8, (lambda d=data: [d])) for label, data in small]
        + [(label, n, parts) for label, n, parts in big],
        key=lambda e: e[0],
    )
    Writer([(label, n) for label, n, _ in entries]).write(path, [parts for _, _, parts in entries])


def make_files(folder: Path, count: int) -> list[str]:
    folder.mkdir(parents=True, exist_ok=True)
    paths = [folder / f"job{k:05d}.chk" for k in range(count)]
    for k, path in enumerate(paths):
        if not path.exists():
            fifty_atoms(path, k)
    return [str(p) for p in paths]


def linked(folder: Path, paths: list[str], copies: int) -> list[str]:
    """`copies` hard links of each file, so that many paths cost no disk."""
    out = []
    for c in range(copies):
        sub = folder / f"links{c}"
        sub.mkdir(parents=True, exist_ok=True)
        for p in paths:
            link = sub / Path(p).name
            if not link.exists():
                os.link(p, link)
            out.append(str(link))
    return out


def export_time(paths: list[str], workers: int, out: Path) -> float:
    from tesvarin import export

    columns = export.select()
    return best(2, lambda: export.write_parquet(str(out), export.read_tables(paths, columns, workers), columns))


def export_cpu(paths: list[str], workers: int, out: Path) -> float:
    """CPU seconds of one export, of this process and its workers together (the workers are joined, so
    counted, by the time it returns)."""
    import resource

    from tesvarin import export

    def used() -> float:
        return sum(
            r.ru_utime + r.ru_stime for r in map(resource.getrusage, (resource.RUSAGE_SELF, resource.RUSAGE_CHILDREN))
        )

    columns = export.select()
    before = used()
    export.write_parquet(str(out), export.read_tables(paths, columns, workers), columns)
    return used() - before


def _spin(count: int) -> None:
    total = 0
    for k in range(count):
        total += k


def spinning_gain() -> float:
    """What a second process gains here now: the same Python arithmetic twice in one process, then once
    in each of two (a loaded machine, or one that gives each login its share, gains less than 2)."""
    import multiprocessing
    import time

    count = 5_000_000
    start = time.perf_counter()
    _spin(2 * count)
    one = time.perf_counter() - start
    context = multiprocessing.get_context("fork")
    start = time.perf_counter()
    processes = [context.Process(target=_spin, args=(count,)) for _ in range(2)]
    for p in processes:
        p.start()
    for p in processes:
        p.join()
    return one / (time.perf_counter() - start)


def iodata_time(paths: list[str], folder: Path) -> float:
    import iodata
    import Tesvarin_

    fchks = []
    for p in paths:
        fchk = folder / (Path(p).stem + ".fchk")
        if not fchk.exists():
            Tesvarin_.ChkReader_(p).write_fchk(str(fchk))
        fchks.append(fchk)
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        return best(1, lambda: [iodata.load_one(f) for f in fchks]) / len(fchks)


def dask_time(paths: list[str], workers: int) -> float:
    import distributed
    from tesvarin import export
    from tesvarin.dask import tables

    columns = export.select()
    with (
        distributed.LocalCluster(
            n_workers=workers, threads_per_worker=1, processes=True, dashboard_address=":0"
        ) as cluster,
        distributed.Client(cluster) as client,
    ):
        list(tables(paths[: workers * 100], columns, scheduler=client, chunk_size=100))  # workers warmed up
        return best(3, lambda: list(tables(paths, columns, scheduler=client, chunk_size=100)))


PEAK = """
import resource, sys
from tesvarin import export
paths = open(sys.argv[1]).read().split("\\n")
columns = export.select()
export.write_parquet(sys.argv[2], export.batches(export.read_rows(paths, columns), columns), columns)
print(resource.getrusage(resource.RUSAGE_SELF).ru_maxrss * 1024)
"""


def peak_memory(paths: list[str], folder: Path) -> int:
    listing = folder / f"list{len(paths)}.txt"
    listing.write_text("\n".join(paths))
    out = subprocess.run(
        [sys.executable, "-c", PEAK, str(listing), str(folder / "peak.parquet")],
        capture_output=True,
        text=True,
        check=True,
    )
    return int(out.stdout.split()[-1])


BYTES = """
import json, sys, time, warnings
warnings.simplefilter("ignore")
def rchar():
    return int(next(l for l in open("/proc/self/io") if l.startswith("rchar")).split()[1])
from tesvarin import export
import Tesvarin_
columns = export.select()
before = rchar()
start = time.perf_counter()
row = export.read_row(sys.argv[1], columns)
row_time = time.perf_counter() - start
read = rchar() - before
assert row["error"] is None, row["error"]
start = time.perf_counter()
Tesvarin_.ChkReader_(sys.argv[1])
print(json.dumps({"read": read, "row": row_time, "full": time.perf_counter() - start}))
"""


def bytes_read(path: Path) -> dict[str, float]:
    out = subprocess.run([sys.executable, "-c", BYTES, str(path)], capture_output=True, text=True, check=True)
    return dict(json.loads(out.stdout))


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--files", type=int, default=1000)
    parser.add_argument("--data", type=Path, default=Path("/tmp/tesvarin-export-bench"))
    parser.add_argument("--big", default="1G")
    parser.add_argument("--no-dask", action="store_true")
    args = parser.parse_args()
    data = args.data
    paths = make_files(data / "files", args.files)
    for p in paths:  # warm the page cache
        Path(p).read_bytes()
    out = data / "out.parquet"
    figures: dict[str, float] = {}

    one = export_time(paths, 1, out) / len(paths)
    two = export_time(paths, 2, out) / len(paths)
    iod = iodata_time(paths[:40], data)
    figures["export, one thread, ms per file"] = 1e3 * one
    figures["IOData load_one of the fchk, ms per file"] = 1e3 * iod
    figures["IOData / export (one thread)   target >= 30"] = iod / one
    figures["export: two workers / one      target >= 1.8"] = one / two
    many = linked(data, paths, 10)  # the start of the worker and the last chunk, spread over ten times the work
    figures[f"  the same, {len(many)} files"] = export_time(many, 1, out) / export_time(many, 2, out)
    figures["  two spinning processes / one, now (the most there is)"] = spinning_gain()
    cpu_one, cpu_two = (min(export_cpu(paths, n, out) for _ in range(3)) for n in (1, 2))
    figures["  2 / (CPU time of two workers / of one) (idle bound)"] = 2 * cpu_one / cpu_two
    if not args.no_dask:
        d1, d2 = dask_time(paths, 1), dask_time(paths, 2)
        figures["Dask: two workers / one        target >= 1.6"] = d1 / d2
    small, large = peak_memory(paths, data), peak_memory(many, data)
    figures[f"peak memory, {len(paths)} files, MiB"] = small / 2**20
    figures[f"peak memory, {10 * len(paths)} files, MiB"] = large / 2**20
    figures["peak memory ratio               target <= 1.10"] = large / small
    big = data / f"big-{args.big}.chk"
    if not big.exists():
        open_shell(big, parse_size(args.big))
    big.read_bytes()
    io = bytes_read(big)
    figures[f"bytes read / size of the {args.big} file, %  target < 1"] = 100 * io["read"] / big.stat().st_size
    figures["full parse / its row           target >= 50"] = io["full"] / io["row"]
    width = max(map(len, figures))
    for name, value in figures.items():
        print(f"{name:<{width}}  {value:10.3f}")


if __name__ == "__main__":
    main()
