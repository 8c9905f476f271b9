"""Mutation fuzzing of the reader under AddressSanitizer and UndefinedBehaviorSanitizer.

Builds tools/fuzz_parse.cpp with the core sources, then feeds it damaged copies of the
seed checkpoints: words overwritten with boundary values, directory entries bent,
bits flipped, files cut short. Stops at the first file that makes the harness crash
or report, and keeps it. Needs g++ and Eigen (Debian's libeigen3-dev).

    python tools/fuzz.py [--seconds 60] [seed.chk ...]   # default seeds: examples/ and ../shared/realchk
"""

import argparse
import random
import shutil
import struct
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
INTERESTING = [0, 1, -1, 2, 7, 8, 12, 20, 100, 101, 200, 201, 1000, 2**31 - 1, 2**31, 2**32, 2**40, 2**62,
               2**63 - 1, -2**63, -12345, -12346, -12348, -12349, 249997, 249998]


def build(out: Path) -> Path:
    exe = out / "fuzz_parse"
    sources = [str(p) for p in sorted((ROOT / "src").rglob("*.cpp"))]
    subprocess.run(["g++", "-std=c++17", "-O1", "-g", "-fsanitize=address,undefined", "-fno-sanitize-recover=all",
                    f"-I{ROOT / 'include'}", "-I/usr/include/eigen3", str(ROOT / "tools" / "fuzz_parse.cpp"),
                    *sources, "-o", str(exe)], check=True)
    return exe


def section_word(data: bytearray, words: int, rng: random.Random) -> int:
    """A word among the first 64 of a section that the directory names (headers and counts live there)."""
    count = max(0, min(struct.unpack_from("<q", data, 0)[0], (words - 4) // 4))
    if count == 0 or rng.random() < 0.2:
        return rng.randrange(words)
    start = struct.unpack_from("<q", data, 8 * (4 + 4 * rng.randrange(count) + 1))[0]
    return min(words - 1, max(0, start + rng.randrange(64)))


def mutate(data: bytearray, rng: random.Random) -> bytearray:
    words = len(data) // 8
    for _ in range(rng.randint(1, 4)):
        kind = rng.random()
        if kind < 0.45 and words:  # a word of the directory, near a section's start, or anywhere
            w = rng.randrange(min(words, 4 + 4 * 40)) if rng.random() < 0.3 else section_word(data, words, rng)
            value = rng.choice(INTERESTING) + rng.choice([0, 0, 1, -1])
            struct.pack_into("<q", data, 8 * w, max(-2**63, min(2**63 - 1, value)))
        elif kind < 0.75 and data:
            i = rng.randrange(len(data))
            data[i] ^= 1 << rng.randrange(8)
        elif kind < 0.9 and words > 4:  # cut the file, keeping the length word true
            keep = rng.randrange(4, words)
            del data[8 * keep:]
            struct.pack_into("<q", data, 8, keep)
            words = keep
        elif words:
            w = rng.randrange(words)
            struct.pack_into("<d", data, 8 * w, rng.choice([0.0, -0.0, 1e-300, 1e308, float("inf"), float("nan")]))
    return data


def main() -> int:
    parser = argparse.ArgumentParser()
    parser.add_argument("--seconds", type=float, default=60.0)
    parser.add_argument("--batch", type=int, default=50)
    parser.add_argument("seeds", nargs="*")
    args = parser.parse_args()
    seeds = [Path(s) for s in args.seeds] or sorted(ROOT.glob("examples/*.chk")) + sorted(
        p for p in (ROOT.parent / "shared" / "realchk").glob("*/*.chk") if "32bit" not in str(p))
    blobs = [bytearray(p.read_bytes()) for p in seeds]
    rng = random.Random(20261207)
    with tempfile.TemporaryDirectory() as tmp:
        work = Path(tmp)
        exe = build(work)
        runs, stop = 0, time.time() + args.seconds
        while time.time() < stop:
            batch = []
            for k in range(args.batch):
                path = work / f"case{k}.chk"
                path.write_bytes(mutate(bytearray(rng.choice(blobs)), rng))
                batch.append(path)
            if subprocess.run([str(exe), *map(str, batch)], capture_output=True).returncode != 0:
                for path in batch:
                    done = subprocess.run([str(exe), str(path)], capture_output=True, text=True)
                    if done.returncode != 0:
                        kept = ROOT / "build" / "fuzz-crash.chk"
                        kept.parent.mkdir(exist_ok=True)
                        shutil.copy(path, kept)
                        print(done.stderr[-3000:], f"\nkept the failing input as {kept}", file=sys.stderr)
                        return 1
            runs += len(batch)
        print(f"{runs} damaged checkpoints, no crash and no sanitizer report")
    return 0


if __name__ == "__main__":
    sys.exit(main())
