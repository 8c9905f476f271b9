"""The large sections `load` may leave unread, and the marker the fields of such a section hold."""

from __future__ import annotations

from typing import Any

# The large sections `load(path, sections=...)` may leave unread, and the fields they fill.
SECTIONS = {
    "orbitals": (
        "alpha_orbital_energies",
        "beta_orbital_energies",
        "alpha_mo_coefficients",
        "beta_mo_coefficients",
        "alpha_occupations",
        "beta_occupations",
        "orthonormal_basis",
    ),
    "hessian": ("hessian",),
    "densities": ("total_densities", "spin_densities"),
}
SECTION_OF = {name: section for section, names in SECTIONS.items() for name in names}


class NotReadError(LookupError):
    """A quantity of a section that `load(path, sections=...)` was not asked to read."""


class _NotRead:
    def __repr__(self) -> str:
        return "<not read>"


NOT_READ: Any = _NotRead()
