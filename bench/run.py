"""Every figure of the reader's performance, from one run:

    python -m bench.run --size 256M [--shells 200000] [--repeat 3] [--data DIR] [--no-iodata]

It builds the C baselines (bench/baselines.c), writes synthetic checkpoints with
bench/make_chk.py (kept in --data for the next run), warms the page cache, and then
measures, each probe in a fresh interpreter so that peak memory is its own:

  parse         MB/s of ChkReader_ against an mmap + memcpy and one fread per word of the same file
  memory        peak resident growth during the parse against the bytes the reader holds
  access        all NumPy views (and one list property, for comparison)
  write         write_fchk on 1 and 2 threads against fprintf("%16.8E") per value; extra memory
  threads       two parses of two files in two threads against one after the other, beside
                what two threads of plain arithmetic gain on the machine at that moment
  iodata        IOData's load_one of the written fchk against our parse plus every view
  shells        the parse of a many-shell checkpoint against mmap + memcpy of it

Timings are the best of --repeat runs on a warm page cache. The ratios are what
matters: the machine is shared, so absolute times move with its load.
"""

from __future__ import annotations

import argparse
import json
import os
import shutil
import subprocess
import sys
import threading
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
MB = 1 << 20


def status(field: str) -> int:
    """A memory figure of this process from /proc/self/status, in bytes."""
    for line in Path("/proc/self/status").read_text().splitlines():
        if line.startswith(field + ":"):
            return int(line.split()[1]) * 1024
    raise KeyError(field)


def reset_peak() -> None:
    Path("/proc/self/clear_refs").write_text("5")  # VmHWM back to the current VmRSS


def best(repeat: int, run) -> float:
    times = []
    for _ in range(repeat):
        start = time.perf_counter()
        run()
        times.append(time.perf_counter() - start)
    return min(times)


def all_views(mol) -> list:
    """Every array the reader holds, as NumPy views (densities as packed triangles)."""
    names = [
        "atomic_numbers",
        "nuclear_charges",
        "coordinates_bohr",
        "alpha_orbital_energies",
        "beta_orbital_energies",
        "alpha_mo_coefficients",
        "beta_mo_coefficients",
        "orthonormal_basis",
        "shell_types",
        "primitives_per_shell",
        "shell_to_atom",
        "primitive_exponents",
        "contraction_coefficients",
        "sp_contraction_coefficients",
        "shell_coordinates_bohr",
        "hessian",
    ]
    views = [getattr(mol, name) for name in names]
    for kind in range(9):
        views += [d for d in (mol.total_density(kind), mol.spin_density(kind)) if d is not None]
    return views


# ---- probes: each runs in its own interpreter and prints one JSON object ----


def probe_parse(chk: str, repeat: int) -> dict:
    import Tesvarin_

    before = status("VmRSS")
    reset_peak()
    reader = Tesvarin_.ChkReader_(chk)
    peak = status("VmHWM") - before
    held = sum(v.nbytes for v in all_views(reader.params.mol))
    del reader
    seconds = best(repeat, lambda: Tesvarin_.ChkReader_(chk))
    return {"seconds": seconds, "peak": peak, "held": held}


def probe_access(chk: str, repeat: int) -> dict:
    import Tesvarin_

    mol = Tesvarin_.ChkReader_(chk).params.mol
    views = best(repeat, lambda: all_views(mol))
    listed = best(1, lambda: mol.amocoeff)
    return {"views": views, "list": listed, "amocoeff_bytes": mol.alpha_mo_coefficients.nbytes}


def probe_write(chk: str, out: str, threads: int, repeat: int) -> dict:
    import Tesvarin_

    reader = Tesvarin_.ChkReader_(chk)
    mol = reader.params.mol
    # Real values the basic fchk holds: every real array but the Hessian.
    values = sum(v.size * (2 if v.dtype.kind == "c" else 1) for v in all_views(mol) if v.dtype.kind in "fc")
    values -= mol.hessian.size
    before = status("VmRSS")
    reset_peak()
    reader.write_fchk(out, threads=threads)
    extra = status("VmHWM") - before
    seconds = best(repeat, lambda: reader.write_fchk(out, threads=threads))
    return {"seconds": seconds, "extra": extra, "values": values, "bytes": os.path.getsize(out)}


def probe_threads(chk: str, other: str, repeat: int) -> dict:
    import Tesvarin_

    def one_after_the_other():
        Tesvarin_.ChkReader_(chk)
        Tesvarin_.ChkReader_(other)

    def side_by_side():
        workers = [threading.Thread(target=Tesvarin_.ChkReader_, args=(path,)) for path in (chk, other)]
        for w in workers:
            w.start()
        for w in workers:
            w.join()

    return {"serial": best(repeat, one_after_the_other), "parallel": best(repeat, side_by_side)}


def probe_iodata(chk: str, fchk: str, repeat: int) -> dict:
    import Tesvarin_
    from iodata import load_one

    ours = best(repeat, lambda: all_views(Tesvarin_.ChkReader_(chk).params.mol))
    theirs = best(1, lambda: load_one(fchk))
    return {"ours": ours, "iodata": theirs}


PROBES = {
    "parse": probe_parse,
    "access": probe_access,
    "write": probe_write,
    "threads": probe_threads,
    "iodata": probe_iodata,
}


def run_probe(name: str, *args) -> dict:
    done = subprocess.run(
        [sys.executable, __file__, "--probe", name, *map(str, args)], capture_output=True, text=True, check=False
    )
    if done.returncode != 0:
        raise SystemExit(f"probe {name} failed:\n{done.stderr}")
    return json.loads(done.stdout)


def baseline(exe: Path, *args, repeat: int) -> tuple[float, int]:
    runs = [
        subprocess.run([str(exe), *map(str, args)], capture_output=True, text=True, check=True).stdout.split()
        for _ in range(repeat)
    ]
    return min(float(r[0]) for r in runs), int(runs[0][1])


def prepare(data: Path, size: str, shells: int) -> tuple[Path, Path, Path, Path]:
    data.mkdir(parents=True, exist_ok=True)
    exe = data / "baselines"
    subprocess.run(
        [os.environ.get("CC", "cc"), "-O2", "-pthread", "-o", str(exe), str(HERE / "baselines.c")], check=True
    )
    chk, other, many = data / f"open_{size}.chk", data / f"open_{size}_b.chk", data / f"shells_{shells}.chk"
    if not chk.exists():
        subprocess.run(
            [sys.executable, "-m", "bench.make_chk", str(chk.resolve()), "--size", size], cwd=HERE.parent, check=True
        )
    if not other.exists():
        shutil.copyfile(chk, other)
    if not many.exists():
        subprocess.run(
            [sys.executable, "-m", "bench.make_chk", str(many.resolve()), "--shells", str(shells)],
            cwd=HERE.parent,
            check=True,
        )
    for path in (chk, other, many):  # into the page cache
        with open(path, "rb") as f:
            while f.read(64 * MB):
                pass
    return exe, chk, other, many


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--size", default="256M", help="open-shell checkpoint size: 64M, 256M, 1G (default 256M)")
    parser.add_argument("--shells", type=int, default=200000, help="shells of the many-shell checkpoint")
    parser.add_argument("--repeat", type=int, default=3, help="runs per timing; the best counts")
    parser.add_argument("--data", type=Path, default=Path("/tmp/tesvarin-bench"), help="where the files go")
    parser.add_argument("--no-iodata", action="store_true", help="skip IOData (slow on big files)")
    parser.add_argument("--probe", nargs="+", help=argparse.SUPPRESS)
    args = parser.parse_args()
    if args.probe:
        name, *rest = args.probe
        print(json.dumps(PROBES[name](*[int(a) if a.isdigit() else a for a in rest])))
        return

    exe, chk, other, many = prepare(args.data, args.size, args.shells)
    r = args.repeat
    size = chk.stat().st_size
    fchk = args.data / f"open_{args.size}.fchk"
    print(
        f"checkpoint {chk.name}: {size / MB:.0f} MiB; {many.name}: {many.stat().st_size / MB:.0f} MiB; "
        f"{os.cpu_count()} cores, load average {os.getloadavg()[0]:.1f}"
    )

    # What two threads can gain here at all: the machine's two cores are shared with other
    # logins, and the scheduler gives each login its share, however many threads it runs.
    spin = subprocess.run([str(exe), "cores"], capture_output=True, text=True, check=True).stdout.split()
    cores = float(spin[0]) / float(spin[1])
    mmap_s, _ = baseline(exe, "mmap", chk, repeat=r)
    fread_s, _ = baseline(exe, "fread", chk, repeat=r)
    parse = run_probe("parse", chk, r)
    access = run_probe("access", chk, r)
    write1 = run_probe("write", chk, fchk, 1, r)
    write2 = run_probe("write", chk, fchk, 2, r)
    printf_s, printf_n = baseline(exe, "fprintf", chk, args.data / "printf.txt", repeat=1)
    (args.data / "printf.txt").unlink()
    pair = run_probe("threads", chk, other, r)
    many_mmap, _ = baseline(exe, "mmap", many, repeat=r)
    many_parse = run_probe("parse", many, r)
    iodata = None if args.no_iodata else run_probe("iodata", chk, fchk, r)

    mbs = size / MB / parse["seconds"]
    printf_rate = printf_n / printf_s
    rows = [
        ("parse", f"{mbs:.0f} MB/s", f"{mmap_s / parse['seconds']:.2f} x mmap+memcpy", ">= 1.0"),
        ("", "", f"{fread_s / parse['seconds']:.1f} x fread per word", ">= 5"),
        (
            "peak memory",
            f"{parse['peak'] / MB:.0f} MiB",
            f"{parse['peak'] / parse['held']:.3f} x data held ({parse['held'] / MB:.0f} MiB)",
            "<= 1.05",
        ),
        (
            "views, all",
            f"{access['views'] * 1e6:.0f} us",
            f"list amocoeff: {access['list']:.2f} s for {access['amocoeff_bytes'] / MB:.0f} MiB",
            "O(1)",
        ),
        (
            "write_fchk 1 thread",
            f"{write1['values'] / write1['seconds'] / 1e6:.1f} M values/s",
            f"{write1['values'] / write1['seconds'] / printf_rate:.2f} x fprintf per value",
            ">= 3",
        ),
        (
            "write_fchk 2 threads",
            f"{write2['values'] / write2['seconds'] / 1e6:.1f} M values/s",
            f"{write2['values'] / write2['seconds'] / printf_rate:.2f} x fprintf per value",
            ">= 5",
        ),
        (
            "write extra memory",
            f"{max(write1['extra'], write2['extra']) / MB:.1f} MiB",
            f"fchk {write2['bytes'] / MB:.0f} MiB",
            "<= 64 MiB",
        ),
        (
            "two parses, 2 threads",
            f"{pair['parallel']:.3f} s",
            f"{pair['serial'] / pair['parallel']:.2f} x serial",
            ">= 1.8",
        ),
        (
            f"many shells ({args.shells})",
            f"{many.stat().st_size / MB / many_parse['seconds']:.0f} MB/s",
            f"{many_mmap / many_parse['seconds']:.2f} x mmap+memcpy",
            ">= 0.5",
        ),
    ]
    if iodata:
        rows.append(
            (
                "IOData load_one",
                f"{iodata['iodata']:.1f} s",
                f"{iodata['iodata'] / iodata['ours']:.0f} x our parse + views ({iodata['ours']:.3f} s)",
                ">= 50",
            )
        )
    print(
        f"fprintf per value: {printf_rate / 1e6:.1f} M values/s; mmap+memcpy {size / MB / mmap_s:.0f} MB/s; "
        f"fread per word {size / MB / fread_s:.0f} MB/s; two spinning C threads against one: {cores:.2f} x "
        f"(the most two threads can gain in this run)"
    )
    for name, figure, ratio, target in rows:
        print(f"  {name:<24}{figure:>18}   {ratio:<52} target {target}")


if __name__ == "__main__":
    main()
