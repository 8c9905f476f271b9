#!/usr/bin/env python3
"""Print the SHA-256 of the complete fchk written from every checkpoint given (folders are searched
for *.chk), or the first line of the reader's refusal; one line per file, sorted by path.

    python tools/fchk_digests.py examples ../shared > before.txt
    ... change the code, rebuild ...
    python tools/fchk_digests.py examples ../shared | diff before.txt -

Code motion must leave this listing unchanged.
"""

from __future__ import annotations

import hashlib
import sys
import tempfile
import warnings
from pathlib import Path

import Tesvarin_


def digest(chk: Path, out: Path) -> str:
    try:
        with warnings.catch_warnings():
            warnings.simplefilter("ignore")
            Tesvarin_.ChkReader_(str(chk)).write_fchk(str(out), complete=True)
    except Exception as error:
        return f"refused: {type(error).__name__}: {str(error).splitlines()[0] if str(error) else ''}"
    return hashlib.sha256(out.read_bytes()).hexdigest()


def main(roots: list[str]) -> int:
    files = sorted({p.resolve() for r in map(Path, roots) for p in ([r] if r.is_file() else r.rglob("*.chk"))})
    with tempfile.TemporaryDirectory() as scratch:
        out = Path(scratch) / "out.fchk"
        for chk in files:
            print(f"{digest(chk, out)}  {chk}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:] or ["examples"]))
