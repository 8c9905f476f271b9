"""Fitted charges: the MK and CHELPG fits of a checkpoint, step by step, beside the program's cost.

    pip install .
    python -m bench.charges_bench [CHECKPOINT ...] [--repeat 3]

By default the methane MP2 checkpoint of ../shared/realchk4 (whose single points with Pop=MK and
Pop=CHelpG print only the whole job's CPU time, SCF and MP2 included) and the 200-function
checkpoint of ../shared/realchk2; TESVARIN_SHARED moves ../shared. For each, the best of
--repeat runs of: building the points, the potential of the SCF density there, the constrained
fit, the whole esp_charges call and the whole RESP fit.
"""

from __future__ import annotations

import argparse
import os
import re
from pathlib import Path

from bench.run import best

SHARED = Path(os.environ.get("TESVARIN_SHARED") or Path(__file__).resolve().parents[2] / "shared")
METHANE = SHARED / "realchk4" / "g09d01-mp2-esp-fit-methane"
DEFAULTS = [METHANE / "methane_mp2_optfreq.chk", SHARED / "realchk2" / "g16c-kinbot-closed" / "well7_rm062x_200bf.chk"]
LOGS = {"mk": METHANE / "methane_sp_mk.log", "chelpg": METHANE / "methane_sp_chelpg.log"}


def job_seconds(log: Path) -> float | None:
    """The job's CPU time as the log prints it, seconds; None when absent."""
    if not log.is_file():
        return None
    m = re.search(r"Job cpu time:\s+(\d+) days\s+(\d+) hours\s+(\d+) minutes\s+([\d.]+) seconds", log.read_text())
    return None if m is None else ((int(m[1]) * 24 + int(m[2])) * 60 + int(m[3])) * 60 + float(m[4])


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("chk", nargs="*", default=[str(p) for p in DEFAULTS])
    parser.add_argument("--repeat", type=int, default=3)
    args = parser.parse_args()

    import tesvarin
    import Tesvarin_
    from tesvarin.charges import _points, _radii

    for path in args.chk:
        cp = tesvarin.load(path)
        print(f"{Path(path).name}: {len(cp.symbols)} atoms, {cp.n_basis} basis functions")
        for scheme in ("mk", "chelpg"):
            radii = _radii(scheme, [int(z) for z in cp.atomic_numbers], cp.symbols, None)
            points, _ = _points(scheme, cp.coordinates, radii)
            v = cp.potential(points)
            t_points = best(args.repeat, lambda: _points(scheme, cp.coordinates, radii))  # noqa: B023
            t_potential = best(args.repeat, lambda: cp.potential(points))  # noqa: B023
            t_fit = best(args.repeat, lambda: Tesvarin_.charges.fit(cp.coordinates, points, v, float(cp.charge)))  # noqa: B023
            t_all = best(args.repeat, lambda: cp.esp_charges(scheme))  # noqa: B023
            t_resp = best(args.repeat, lambda: cp.esp_charges(scheme, resp=True))  # noqa: B023
            print(
                f"  {scheme:6s} {len(points):6d} points: points {t_points * 1e3:8.2f} ms, potential "
                f"{t_potential * 1e3:8.2f} ms, fit {t_fit * 1e3:8.2f} ms, esp_charges {t_all * 1e3:8.2f} ms, "
                f"RESP {t_resp * 1e3:8.2f} ms"
            )
            if Path(path).parent == METHANE and job_seconds(LOGS[scheme]) is not None:
                print(f"         the program's whole Pop={scheme.upper()} job: {job_seconds(LOGS[scheme]):.1f} s CPU")
    return 0


if __name__ == "__main__":
    raise SystemExit(main())
