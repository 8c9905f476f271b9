"""What `tesvarin summary` shows of a parsed checkpoint, as aligned text or as one JSON line."""

from __future__ import annotations

import argparse
import json
import math
from typing import Any

from Tesvarin_ import ChkReader_

from tesvarin.checkpoint import formula
from tesvarin.cli._inputs import check_input, parse
from tesvarin.cli._targets import stdout_to_stderr
from tesvarin.excited import excited_states
from tesvarin.loader import from_reader


def texts(reader: ChkReader_) -> dict[str, str]:
    """The text fields; bytes that are not UTF-8 (a Latin-1 title, say) are shown replaced."""
    return {name: raw.decode("utf-8", "replace") for name, raw in reader.params.rawtexts.items()}


# The molecule section's layout codes from this one on are the 16 program's; before, 09's.
FIRST_16_LAYOUT = -12348


def version(reader: ChkReader_) -> str:
    """The version text the file stores (16 and later), else what the molecule section's layout tells."""
    further = reader.further
    if further.version is not None:
        return str(reader.params.rawtexts["gauver"].decode("utf-8", "replace"))
    layout = further.molecule_layout
    program = "09" if layout > FIRST_16_LAYOUT else "16"
    return f"{program} (no version section); molecule layout {layout}"


def _finite(value: float) -> float | None:
    return value if math.isfinite(value) else None


def as_json(reader: ChkReader_, path: str) -> str:
    params, mol, text = reader.params, reader.params.mol, texts(reader)
    record: dict[str, Any] = {
        "path": path,
        "title": text["title"],
        "route": text["route"],
        "method": text["method"],
        "basis": text["baset"],
        "jobtype": text["jobtype"],
        "version": version(reader),
        "charge": mol.totchg,
        "multiplicity": mol.multiplicity,
        "formula": formula(mol.names),
        "atoms": [{"symbol": s, "xyz": [float(v) for v in xyz]} for s, xyz in zip(mol.names, mol.coords, strict=False)],
        "energies": {
            "scf": _finite(params.scfene),
            "total": _finite(params.totene),
            "virial_ratio": _finite(params.viratio),
        },
    }
    states = excited_states(from_reader(reader, path))
    record["excited_states"] = None if states is None else states.rows()  # null for a ground-state job
    return json.dumps(record, allow_nan=False)


def as_text(reader: ChkReader_, path: str) -> str:
    params, mol, text = reader.params, reader.params.mol, texts(reader)
    rows = [
        ("File", path),
        ("Title", text["title"]),
        ("Route", text["route"]),
        ("Method", text["method"]),
        ("Basis set", text["baset"]),
        ("Job type", text["jobtype"]),
        ("Version", version(reader)),
        ("Atoms", f"{mol.natoms} ({formula(mol.names)})"),
        ("Charge", str(mol.totchg)),
        ("Multiplicity", str(mol.multiplicity)),
        ("Electrons", f"{mol.ne} ({mol.nae} alpha, {mol.nbe} beta)"),
        ("Basis functions", f"{mol.nbasis} ({mol.nbsuse} independent)"),
        ("SCF energy", f"{params.scfene:.10f} Hartree"),
        ("Total energy", f"{params.totene:.10f} Hartree"),
        ("Virial ratio", f"{params.viratio:.10f}"),
    ]
    states = excited_states(from_reader(reader, path))
    if states is not None:
        rows += [
            (
                f"State {k + 1}",
                f"{e:.4f} eV {nm:.2f} nm f={f:.4f}" + ("  (followed)" if k + 1 == states.root else ""),
            )
            for k, (e, nm, f) in enumerate(
                zip(states.excitation_energies_ev, states.wavelengths_nm, states.oscillator_strengths, strict=True)
            )
        ]
    return "\n".join(f"{label + ':':<17}{value}" for label, value in rows)


def summarise(args: argparse.Namespace, path: str, separate: bool) -> None:
    """Prints one checkpoint's summary; text summaries after the first are set apart by an empty line."""
    check_input(path)
    if args.json:
        with stdout_to_stderr():
            reader = parse(path)
        print(as_json(reader, path), flush=True)
    else:
        reader = parse(path)
        print(("\n" if separate else "") + as_text(reader, path), flush=True)
