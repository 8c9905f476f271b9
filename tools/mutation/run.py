#!/usr/bin/env python3
"""Mutation testing: plant each single-edit fault of faults.txt, run both suites, restore, tabulate.

    python tools/mutation/run.py                      # every fault, without and with ../shared
    python tools/mutation/run.py --without-shared     # only as if ../shared were absent
    python tools/mutation/run.py --only bonds,charges # faults whose id contains any of these words
    python tools/mutation/run.py --check              # every fault still applies (the lint step runs it)

Each fault is one exact replacement in one file. A fault is killed when a suite fails with it in
place, survives when both pass, and is invalid when it no longer applies (its text is not in the
file exactly once) or does not build. Each fault is built once and run first with the real files
hidden; only a survivor is run again with them, since the real files only add tests. The extension
module and the C++ tests are built with CMake's `mutation` preset in build/mutation; Python runs
against that build and the package in python/, so nothing is installed. Tests that fail before any
fault is planted are left out of every run. The file is always restored, also on an interrupt.
Results go to standard output and build/mutation/results.tsv.
"""

from __future__ import annotations

import argparse
import os
import re
import signal
import subprocess
import sys
import time
from dataclasses import dataclass
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
BUILD = ROOT / "build" / "mutation"


@dataclass
class Fault:
    ident: str
    path: str
    old: str
    new: str


def read_faults(listing: Path) -> list[Fault]:
    """Blocks of `== id`, the file, `<<<`, the original lines, `>>>`, their replacement; text before
    the first block is a comment."""
    faults = []
    for block in re.split(r"^== ", listing.read_text(), flags=re.M)[1:]:
        ident, path, rest = block.split("\n", 2)
        old, new = rest.split("\n>>>\n", 1)
        assert old.startswith("<<<\n"), f"{ident}: expected <<< after the file"
        faults.append(Fault(ident.strip(), path.strip(), old[4:], new.rstrip("\n")))
    return faults


def applies(fault: Fault) -> bool:
    target = ROOT / fault.path
    return target.is_file() and target.read_text().count(fault.old) == 1


def run(command: list[str], env: dict[str, str], timeout: int) -> tuple[bool, str]:
    try:
        done = subprocess.run(command, cwd=ROOT, env=env, capture_output=True, text=True, timeout=timeout)
    except subprocess.TimeoutExpired:
        return False, "timeout"
    return done.returncode == 0, done.stdout[-4000:] + done.stderr[-4000:]


def build(env: dict[str, str]) -> bool:
    ok, _ = run(["cmake", "--build", "--preset", "mutation", "-j", str(os.cpu_count() or 1)], env, 1800)
    return ok


def first_failure(output: str) -> str:
    found = re.search(r"^FAILED (\S+)", output, re.M) or re.search(r"^\s*\d+ - (\S+) \(Failed", output, re.M)
    return found[1] if found else output.strip().splitlines()[-1][:80] if output.strip() else "?"


def suites(env: dict[str, str], deselect: list[str]) -> tuple[bool, str]:
    """Both suites, pytest first (stops at its first failure); (passed, what failed)."""
    pytest = [
        sys.executable,
        "-m",
        "pytest",
        "tests/python",
        "-x",
        "-q",
        "-p",
        "no:cacheprovider",
        *[f"--deselect={d}" for d in deselect],
    ]
    ok, out = run(pytest, env, 3600)
    if not ok:
        return False, first_failure(out)
    ok, out = run(["ctest", "--preset", "mutation", "-j", str(os.cpu_count() or 1)], env, 3600)
    return ok, "" if ok else first_failure(out)


def baseline_failures(env: dict[str, str]) -> list[str]:
    """The tests that fail with no fault planted (such as the check that stubs are installed)."""
    out = subprocess.run(
        [sys.executable, "-m", "pytest", "tests/python", "-q", "-p", "no:cacheprovider"],
        cwd=ROOT,
        env=env,
        capture_output=True,
        text=True,
    ).stdout
    return re.findall(r"^FAILED (\S+)", out, re.M)


def share(rows: list[tuple[str, str, str, str]], column: int) -> str:
    valid = [r for r in rows if r[column] != "invalid"]
    killed = sum(r[column] == "killed" for r in valid)
    survivors = [r[0] for r in valid if r[column] == "survived"]
    percent = 100.0 * killed / len(valid) if valid else 0.0
    return f"killed {killed} of {len(valid)} behaviour-changing faults ({percent:.1f}%); survivors: {survivors}"


def main() -> int | str:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--faults", type=Path, default=Path(__file__).with_name("faults.txt"))
    parser.add_argument("--without-shared", action="store_true", help="run as if ../shared were absent")
    parser.add_argument("--only", default="", help="comma-separated words; faults whose id contains one")
    parser.add_argument("--check", action="store_true", help="only check that every fault still applies")
    args = parser.parse_args()
    if args.check:
        stale = [f"{f.ident} ({f.path})" for f in read_faults(args.faults) if not applies(f)]
        return f"faults whose text is not in their file exactly once: {stale}" if stale else 0

    # A termination request unwinds like an interrupt, so the fault in place is always taken out.
    signal.signal(signal.SIGTERM, lambda signum, frame: sys.exit(128 + signum))
    faults = read_faults(args.faults)
    changed = subprocess.run(
        ["git", "status", "--porcelain", "--untracked-files=no"], cwd=ROOT, capture_output=True, text=True
    ).stdout
    if changed.strip():
        sys.exit(
            f"the checkout has changes; a fault left in place by an earlier run would skew every result:\n{changed}"
        )
    if args.only:
        words = args.only.split(",")
        faults = [f for f in faults if any(w in f.ident for w in words)]
    env = dict(os.environ, PYTHONPATH=f"{BUILD}{os.pathsep}{ROOT / 'python'}", PYTHONDONTWRITEBYTECODE="1")
    hidden = dict(env, TESVARIN_SHARED=str(BUILD / "no-shared"))
    pybind11 = subprocess.run(
        [sys.executable, "-m", "pybind11", "--cmakedir"], capture_output=True, text=True, check=True
    ).stdout.strip()
    subprocess.run(
        ["cmake", "--preset", "mutation", f"-Dpybind11_DIR={pybind11}", f"-DPython_EXECUTABLE={sys.executable}"],
        cwd=ROOT,
        check=True,
        stdout=subprocess.DEVNULL,
    )
    if not build(env):
        sys.exit("the unmutated tree does not build")
    deselect_hidden = baseline_failures(hidden)
    deselect = deselect_hidden if args.without_shared else baseline_failures(env)
    print(
        f"{len(faults)} faults; left out as failing without any: {sorted(set(deselect_hidden + deselect)) or 'none'}",
        flush=True,
    )

    # (id, without the real files, with them, what failed)
    rows: list[tuple[str, str, str, str]] = []
    for fault in faults:
        target = ROOT / fault.path
        started = time.monotonic()
        if not applies(fault):
            rows.append((fault.ident, "invalid", "invalid", "its text is not in the file exactly once"))
        else:
            original = target.read_text()
            try:
                target.write_text(original.replace(fault.old, fault.new))
                if not build(env):
                    rows.append((fault.ident, "invalid", "invalid", "does not build"))
                else:
                    passed, why = suites(hidden, deselect_hidden)
                    if not passed:
                        rows.append((fault.ident, "killed", "killed", why))
                    elif args.without_shared:
                        rows.append((fault.ident, "survived", "-", ""))
                    else:
                        passed, why = suites(env, deselect)
                        rows.append((fault.ident, "survived", "survived" if passed else "killed", why))
            finally:
                target.write_text(original)
        ident, hidden_status, shared_status, why = rows[-1]
        print(f"{hidden_status:9} {shared_status:9} {ident:45} {why}  ({time.monotonic() - started:.0f} s)", flush=True)
    build(env)  # leave the build as the tree is

    (BUILD / "results.tsv").write_text("".join("\t".join(r) + "\n" for r in rows))
    print("without ../shared:", share(rows, 1))
    if not args.without_shared:
        print("with ../shared:   ", share(rows, 2))
    return 0


if __name__ == "__main__":
    sys.exit(main())
