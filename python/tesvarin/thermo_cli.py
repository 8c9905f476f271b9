"""``tesvarin thermo``: the thermochemistry of each checkpoint, as the program prints it or as records."""

from __future__ import annotations

import argparse
import csv
import json
import math
import sys
from typing import Any

import numpy as np

from tesvarin.thermo import PartitionFunction, QuasiHarmonic, Thermochemistry

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
        default=[298.15],
        metavar="K",
        help="temperature in K, or START:STOP:STEP for one row per temperature (default 298.15)",
    )
    p.add_argument("-P", "--pressure", type=float, default=1.0, metavar="ATM", help="pressure in atm (default 1)")
    p.add_argument("--scale", type=float, default=1.0, metavar="F", help="frequency scale factor (default 1)")
    p.add_argument(
        "--isotope",
        type=isotope,
        action="append",
        default=[],
        metavar="ATOM=MASS",
        help="mass in amu for atom ATOM (number from 1) or every atom of element ATOM; repeatable",
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
    masses: list[float] = cp._masses(substitutions)
    return masses


def _quasi_harmonic(args: argparse.Namespace) -> QuasiHarmonic | None:
    if args.qrrho is None and args.qh is None and args.truhlar is None and args.conc is None:
        return None
    return QuasiHarmonic(
        entropy_cutoff_cm1=args.qrrho,
        enthalpy_cutoff_cm1=args.qh,
        raise_cutoff_cm1=args.truhlar,
        concentration_mol_l=args.conc,
    )


def record(path: str, t: Thermochemistry) -> dict[str, Any]:
    """The flat record of one file at one temperature (Hartree, cal/(mol K), K, atm)."""
    rec: dict[str, Any] = {
        "path": path,
        "temperature_k": t.temperature_k,
        "pressure_atm": t.pressure_atm,
        "frequency_scale": t.frequency_scale,
        "symmetry_number": t.symmetry_number,
        "imaginary_count": t.imaginary_count,
        "electronic_energy_hartree": t.electronic_energy_hartree,
        "zero_point_energy_hartree": t.zero_point_energy_hartree,
        "thermal_energy_correction_hartree": t.thermal_energy_correction_hartree,
        "thermal_enthalpy_correction_hartree": t.thermal_enthalpy_correction_hartree,
        "thermal_gibbs_correction_hartree": t.thermal_gibbs_correction_hartree,
        "sum_zero_point_hartree": t.sum_zero_point_hartree,
        "sum_energy_hartree": t.sum_energy_hartree,
        "sum_enthalpy_hartree": t.sum_enthalpy_hartree,
        "sum_gibbs_hartree": t.sum_gibbs_hartree,
        "entropy_cal_mol_k": t.contributions["Total"].entropy_cal_mol_k,
        "heat_capacity_cal_mol_k": t.contributions["Total"].heat_capacity_cal_mol_k,
    }
    if t.quasi_harmonic is not None:
        q = t.quasi_harmonic
        rec.update(
            {
                "quasi_harmonic": q.options.describe(),
                "qh_entropy_cal_mol_k": q.entropy_cal_mol_k,
                "qh_enthalpy_hartree": q.enthalpy_hartree,
                "qh_gibbs_hartree": q.gibbs_hartree,
            }
        )
    return rec


def _fortran(value: PartitionFunction) -> str:
    """Q as the program prints it: 0.123456D+02, or 0.123456-109 when the exponent has three digits."""
    log10 = value.log10_q
    if not math.isfinite(log10):
        return "     0.000000D+00"
    exponent = math.floor(log10) + 1
    mantissa = 10.0 ** (log10 - exponent)
    if round(mantissa, 6) >= 1.0:
        mantissa, exponent = mantissa / 10, exponent + 1
    digits = f"{mantissa:.6f}"
    return f"{digits}D{exponent:+03d}" if abs(exponent) < 100 else f"{digits}{exponent:+04d}"


def text(path: str, t: Thermochemistry, symbols: tuple[str, ...], numbers: Any) -> str:
    """The program's "Thermochemistry" section for one file and temperature."""
    out = [
        path,
        " -------------------",
        " - Thermochemistry -",
        " -------------------",
        f" Temperature {t.temperature_k:9.3f} Kelvin.  Pressure {t.pressure_atm:9.5f} Atm.",
    ]
    if t.frequency_scale != 1.0:
        out.append(f" Frequencies scaled by {t.frequency_scale:.4f}.")
    for k, (z, m) in enumerate(zip(numbers, t.masses_amu, strict=False)):
        out.append(f" Atom {k + 1:5d} has atomic number {z:2d} and mass {m:9.5f}")
    out.append(f" Molecular mass: {t.molecular_mass_amu:11.5f} amu.")
    if t.rotor != "atom":
        out.append(" Principal axes and moments of inertia in atomic units:")
        out.append("                           1         2         3")
        out.append("     Eigenvalues --  " + "".join(f"{v:10.5f}" for v in t.moments_of_inertia_amu_bohr2))
        for row, name in zip(t.principal_axes, "XYZ", strict=True):
            out.append(f"           {name}         " + "".join(f"{v:10.5f}" for v in row))
        article = "an" if t.rotor == "asymmetric" else "a"
        kind = {
            "asymmetric": "asymmetric top",
            "prolate": "prolate symmetric top",
            "oblate": "oblate symmetric top",
            "spherical": "spherical top",
        }[t.rotor]
        out.append(f" This molecule is {article} {kind}.")
        out.append(f" Rotational symmetry number {t.symmetry_number:2d}.")
        if t.linear:
            out.append(f" Rotational temperature (Kelvin) {t.rotational_temperatures_k[0]:12.5f}")
            out.append(f" Rotational constant (GHZ): {t.rotational_constants_ghz[0]:18.6f}")
        else:
            out.append(
                " Rotational temperatures (Kelvin) " + "".join(f"{v:12.5f}" for v in t.rotational_temperatures_k)
            )
            out.append(" Rotational constants (GHZ):      " + "".join(f"{v:12.5f}" for v in t.rotational_constants_ghz))
    if t.imaginary_count:
        out.append(f" {t.imaginary_count:4d} imaginary frequencies ignored.")
    out.append(f" Zero-point vibrational energy {t.zero_point_energy_j_mol:12.1f} (Joules/Mol)")
    out.append(f"                               {t.zero_point_energy_kcal_mol:12.5f} (Kcal/Mol)")
    low = sum(1 for name in t.contributions if name.startswith("Vibration "))
    if low:
        out += [
            f" Warning -- explicit consideration of {low:3d} degrees of freedom as",
            "           vibrations may cause significant error",
        ]
    temps = [f"{v:9.2f}" for v in t.vibrational_temperatures_k]
    lines = [temps[k : k + 5] for k in range(0, len(temps), 5)] or [[]]
    for k, chunk in enumerate(lines):
        head = " Vibrational temperatures: " if k == 0 else ("          (Kelvin)         " if k == 1 else " " * 27)
        out.append(head + "".join(chunk))
    if len(lines) == 1:
        out.append("          (Kelvin)")
    out.append(" ")
    rows = [
        ("Zero-point correction=", t.zero_point_energy_hartree, " (Hartree/Particle)"),
        ("Thermal correction to Energy=", t.thermal_energy_correction_hartree, ""),
        ("Thermal correction to Enthalpy=", t.thermal_enthalpy_correction_hartree, ""),
        ("Thermal correction to Gibbs Free Energy=", t.thermal_gibbs_correction_hartree, ""),
    ]
    out += [f" {name:<40s}{value:17.6f}{unit}" for name, value, unit in rows]
    sums = [
        ("Sum of electronic and zero-point Energies=", t.sum_zero_point_hartree),
        ("Sum of electronic and thermal Energies=", t.sum_energy_hartree),
        ("Sum of electronic and thermal Enthalpies=", t.sum_enthalpy_hartree),
        ("Sum of electronic and thermal Free Energies=", t.sum_gibbs_hartree),
    ]
    out += [f" {name}{value:>{64 - len(name)}.6f}" for name, value in sums]
    out += [
        " ",
        "                     E (Thermal)             CV                S",
        "                      KCal/Mol        Cal/Mol-Kelvin    Cal/Mol-Kelvin",
    ]
    for name, c in t.contributions.items():
        label = name if not name.startswith("Vibration ") else f"Vibration {int(name.split()[1]):5d}"
        out.append(
            f" {label:<15s}{c.energy_kcal_mol:15.3f}{c.heat_capacity_cal_mol_k:19.3f}{c.entropy_cal_mol_k:19.3f}"
        )
    out.append("                       Q            Log10(Q)             Ln(Q)")
    for name, q in t.partition_functions.items():
        parts = name.split()
        label = name if not parts[-1].isdigit() else f"{' '.join(parts[:-1])} {int(parts[-1]):4d}"
        out.append(f" {label:<15s}{_fortran(q):>13s}{q.log10_q:18.6f}{q.ln_q:18.6f}")
    if t.quasi_harmonic is not None:
        qh = t.quasi_harmonic
        out += [
            f" Quasi-harmonic: {qh.options.describe()}",
            f" Quasi-harmonic entropy (Cal/Mol-Kelvin)= {qh.entropy_cal_mol_k:14.3f}",
            f" Quasi-harmonic enthalpy=                  {qh.enthalpy_hartree:22.6f}",
            f" Quasi-harmonic free energy=               {qh.gibbs_hartree:22.6f}",
        ]
    return "\n".join(out)


def table(path: str, results: list[Thermochemistry]) -> str:
    """One row per temperature."""
    head = f"{path}\n      T (K)     ZPE (Eh)   E corr (Eh)   H corr (Eh)   G corr (Eh)   S (cal/mol-K)" + (
        "    qh-G (Eh)" if results[0].quasi_harmonic is not None else ""
    )
    rows = [
        f"{t.temperature_k:11.2f}{t.zero_point_energy_hartree:13.6f}{t.thermal_energy_correction_hartree:14.6f}"
        f"{t.thermal_enthalpy_correction_hartree:14.6f}{t.thermal_gibbs_correction_hartree:14.6f}"
        f"{t.contributions['Total'].entropy_cal_mol_k:16.3f}"
        + (f"{t.quasi_harmonic.gibbs_correction_hartree:13.6f}" if t.quasi_harmonic is not None else "")
        for t in results
    ]
    return "\n".join([head, *rows])


class Printer:
    """Writes the results in the chosen form; the CSV header goes once, before the first row."""

    def __init__(self, args: argparse.Namespace) -> None:
        self.args = args
        self.writer: Any = None
        self.count = 0

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
        elif args.csv:
            for t in results:
                rec = record(path, t)
                if self.writer is None:
                    self.writer = csv.DictWriter(
                        sys.stdout, fieldnames=list(rec), extrasaction="ignore", lineterminator="\n"
                    )
                    self.writer.writeheader()
                self.writer.writerow(rec)
            sys.stdout.flush()
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
