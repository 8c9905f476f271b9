"""The section labels of the reader's own C++ table, and the constants the builder names them by."""

from __future__ import annotations

import re
from pathlib import Path

# The section labels come from the reader's own table, so the two cannot drift apart.
LABELS_HEADER = Path(__file__).resolve().parents[3] / "include" / "tesvarin" / "section_labels.hpp"


def section_labels(header: Path = LABELS_HEADER) -> dict[str, tuple[int, str]]:
    """The table of the C++ header: constant name -> (label, name), e.g. "kBonds" -> (503, "bonds")."""
    found = re.findall(r'^\s*(?:BASIC|FURTHER)\((k\w+),\s*(\d+),\s*"([^"]+)"', header.read_text(), re.MULTILINE)
    return {const: (int(number), name) for const, number, name in found}


SECTIONS = section_labels()
GEN, LABEL, ORBENE, ALPHA_MO, BETA_MO, REC534, ORIENT = (
    SECTIONS[k][0]
    for k in (
        "kGeneral",
        "kLabel",
        "kOrbitalEnergies",
        "kAlphaOrbitals",
        "kBetaOrbitals",
        "kRohfMarker",
        "kOrientation",
    )
)
FORCE_CONST, DENSITIES, BASIS, ORTH_BASIS, VERSION, INFO, MOL, XLSW = (
    SECTIONS[k][0]
    for k in (
        "kForceConstants",
        "kDensities",
        "kBasis",
        "kOrthonormalBasis",
        "kVersion",
        "kInfo",
        "kMolecule",
        "kSwitches",
    )
)

# The further sections.
BONDS, INTERNAL_FORCES, EFIELD, GRADIENT, CHARGES, ELECTRIC = (
    SECTIONS[k][0] for k in ("kBonds", "kInternalForces", "kExternalField", "kGradient", "kCharges", "kElectric")
)
REDUNDANT, ONIOM, QEQ, CONSTRAINT, OPT_ARCHIVE, VIBRATIONS, CLPAR, NONADIABATIC = (
    SECTIONS[k][0]
    for k in (
        "kRedundantInternals",
        "kOniom",
        "kQeq",
        "kConstraintStructure",
        "kOptimisationArchive",
        "kVibrations",
        "kClassical",
        "kNonadiabatic",
    )
)
EXCITED = SECTIONS["kExcitedStates"][0]
DENSITY_BASIS = SECTIONS["kDensityBasis"][0]
CORE_POTENTIALS = SECTIONS["kCorePotentials"][0]
