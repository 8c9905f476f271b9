"""``tesvarin thermo``: the thermochemistry of each checkpoint, as the program prints it or as records."""

from __future__ import annotations

import argparse
import csv
import json
import math
import sys
from typing import Any

import numpy as np

from tesvarin.thermo import QuasiHarmonic, substituted_masses
from tesvarin.thermo.report import flat, record, table, text

__all__ = ["add_parser", "run"]


def temperatures(text: str) -> list[float]:
    """ "298.15", or "START:STOP:STEP" (STOP included when the steps reach it)."""
    try:
        parts = [float(p) for p in text.split(":")]
    except ValueError:
        raise argparse.ArgumentTypeError(f"not a temperature or START:STOP:STEP: {text!r}") from None
    if len(parts) == 1:
        return parts
    if len(parts) != 3 or parts[2] <= 0 or parts[1] < parts[0]:
        raise argparse.ArgumentTypeError(f"a range is START:STOP:STEP with STOP >= START and STEP > 0: {text!r}")
    count = math.floor((parts[1] - parts[0]) / parts[2] + 1e-9) + 1
    return [parts[0] + k * parts[2] for k in range(count)]


def isotope(text: str) -> tuple[str, float]:
    atom, _, mass = text.partition("=")
    try:
        value = float(mass)
    except ValueError:
        raise argparse.ArgumentTypeError(
            f"expected ATOM=MASS (atom number from 1 or element symbol, mass in amu): {text!r}"
        ) from None
    if not atom or not value > 0:
        raise argparse.ArgumentTypeError(f"expected ATOM=MASS with a positive mass: {text!r}")
    return atom, value


def add_parser(
    commands: argparse._SubParsersAction[argparse.ArgumentParser], inputs: dict[str, Any], epilog: str
) -> None:
    p = commands.add_parser(
        "thermo",
        help="print the thermochemistry of each checkpoint",
        epilog=epilog,
        description="Thermochemistry from the frequencies and force constants stored in each checkpoint, in the "
        "program's conventions (ideal gas, rigid rotor, harmonic oscillator), at any temperature, "
        "pressure, frequency scale factor and isotopes, optionally with quasi-harmonic corrections.",
    )
    p.add_argument("inputs", **inputs)
    p.add_argument(
        "-T",
        "--temperature",
        type=temperatures,
        default=[None],
        metavar="K",
        help="temperature in K, or START:STOP:STEP for one row per temperature (default: the job's, stored in "
        "the checkpoint; 298.15 when it stores none)",
    )
    p.add_argument(
        "-P",
        "--pressure",
        type=float,
        metavar="ATM",
        help="pressure in atm (default: the job's, stored in the checkpoint; 1 when it stores none)",
    )
    p.add_argument("--scale", type=float, default=1.0, metavar="F", help="frequency scale factor (default 1)")
    p.add_argument(
        "--isotope",
        type=isotope,
        action="append",
        default=[],
        metavar="ATOM=MASS",
        help="mass in amu for atom ATOM or every atom of element ATOM; repeatable. Atoms count from 1 here, as "
        "in the log; Python's masses= counts them from 0",
    )
    p.add_argument("--symmetry-number", type=int, metavar="N", help="rotational symmetry number (default: detected)")
    p.add_argument(
        "--qrrho",
        type=float,
        metavar="CUTOFF",
        help="Grimme's quasi-RRHO entropy with this cut-off (cm-1, usually 100)",
    )
    p.add_argument(
        "--qh",
        type=float,
        metavar="CUTOFF",
        help="Head-Gordon's quasi-harmonic enthalpy with this cut-off (cm-1, usually 100)",
    )
    p.add_argument(
        "--truhlar", type=float, metavar="CUTOFF", help="raise frequencies below CUTOFF (cm-1) to it for the entropy"
    )
    p.add_argument(
        "--conc", type=float, metavar="MOL_L", help="translational entropy at this concentration (1 for 1 M)"
    )
    form = p.add_mutually_exclusive_group()
    form.add_argument("--json", action="store_true", help="one JSON object per line, file and temperature")
    form.add_argument("--csv", action="store_true", help="CSV with a header line, one row per file and temperature")


def _masses(cp: Any, isotopes: list[tuple[str, float]]) -> list[float] | None:
    if not isotopes:
        return None
    natoms = len(cp.symbols)
    substitutions: dict[int, float] = {}
    for atom, mass in isotopes:
        if atom.isdigit():
            index = int(atom) - 1
            if not 0 <= index < natoms:
                raise ValueError(f"--isotope {atom}: there are {natoms} atoms, numbered from 1")
            substitutions[index] = mass
        else:
            hits = [k for k, s in enumerate(cp.symbols) if s.lower() == atom.lower()]
            if not hits:
                raise ValueError(f"--isotope {atom}: no atom of that element")
            substitutions.update(dict.fromkeys(hits, mass))
    return substituted_masses(cp, substitutions)


def _quasi_harmonic(args: argparse.Namespace) -> QuasiHarmonic | None:
    if args.qrrho is None and args.qh is None and args.truhlar is None and args.conc is None:
        return None
    return QuasiHarmonic(
        entropy_cutoff_cm1=args.qrrho,
        enthalpy_cutoff_cm1=args.qh,
        raise_cutoff_cm1=args.truhlar,
        concentration_mol_l=args.conc,
    )


class Printer:
    """Writes the results in the chosen form; the CSV header goes once, before the first row."""

    def __init__(self, args: argparse.Namespace) -> None:
        self.args = args
        self.rows: list[dict[str, Any]] = []
        self.count = 0

    def close(self) -> None:
        """Writes the CSV rows held, with one header for all of them."""
        if not self.rows:
            return
        names = list(dict.fromkeys(name for row in self.rows for name in row))
        writer = csv.DictWriter(sys.stdout, fieldnames=names, lineterminator="\n")
        writer.writeheader()
        writer.writerows(self.rows)
        sys.stdout.flush()
        self.rows = []

    def failure(self, path: str, reason: str) -> None:
        if self.args.json:
            print(json.dumps({"path": path, "error": reason}), flush=True)

    def show(self, path: str, cp: Any) -> None:
        args = self.args
        masses = _masses(cp, args.isotope)
        results = [
            cp.thermochemistry(
                temperature=t,
                pressure=args.pressure,
                scale=args.scale,
                masses=masses,
                symmetry_number=args.symmetry_number,
                quasi_harmonic=_quasi_harmonic(args),
            )
            for t in args.temperature
        ]
        if args.json:
            for t in results:
                print(json.dumps(record(path, t)), flush=True)
        elif args.csv:  # written at the end, under the union of the rows' columns
            self.rows += [flat(record(path, t)) for t in results]
        else:
            sep = "\n" if self.count else ""
            if len(results) == 1:
                print(sep + text(path, results[0], cp.symbols, np.asarray(cp.atomic_numbers)), flush=True)
            else:
                print(sep + table(path, results), flush=True)
        self.count += 1


def run(args: argparse.Namespace, path: str, printer: Printer) -> None:
    """One file; raises ValueError or RuntimeError with the reason when it has no thermochemistry."""
    import tesvarin

    printer.show(path, tesvarin.load(path))
