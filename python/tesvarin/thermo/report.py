"""The thermochemistry of one file as text: the program's "Thermochemistry" section, a table over
temperatures, and the flat record that the JSON and CSV forms print."""

from __future__ import annotations

import math
from typing import Any

from tesvarin.thermo import PartitionFunction, Thermochemistry


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
