"""The notebook's picture of a checkpoint: a compact HTML table of the job and of what the file holds."""

from __future__ import annotations

import html
import os
from typing import TYPE_CHECKING, Any

from tesvarin.unread import NotReadError

if TYPE_CHECKING:
    from tesvarin.checkpoint import Checkpoint

__all__ = ["summary_html"]


def _field(cp: Checkpoint, name: str) -> Any:
    """A field of `cp`, or NotReadError's class when `load` left its section unread."""
    try:
        return getattr(cp, name)
    except NotReadError:
        return NotReadError


def _held(cp: Checkpoint) -> list[str]:
    """What the file holds beyond the molecule and the basis, in words."""
    held = []
    coefficients = _field(cp, "alpha_mo_coefficients")
    if coefficients is NotReadError:
        held.append("orbitals (not read)")
    elif coefficients is not None:
        kind = "restricted" if _field(cp, "beta_mo_coefficients") is None else "unrestricted"
        held.append(f"{coefficients.shape[0]} {kind} orbitals")
    totals = _field(cp, "total_densities")
    if totals is NotReadError:
        held.append("densities (not read)")
    elif totals:
        spins = _field(cp, "spin_densities") or {}
        held.append("densities " + ", ".join(list(totals) + [f"spin {kind}" for kind in spins]))
    hessian = _field(cp, "hessian")
    if hessian is NotReadError:
        held.append("Hessian (not read)")
    elif hessian is not None:
        held.append("Hessian")
    if cp.frequencies is not None:
        held.append(f"{len(cp.frequencies)} vibrational modes")
    if cp.etran is not None:
        states = cp.excited_states
        held.append(f"{0 if states is None else len(states)} excited states")
    if cp.trajectory_coordinates is not None:
        held.append(f"trajectory of {len(cp.trajectory_coordinates)} geometries")
    return held


def summary_html(cp: Checkpoint) -> str:
    """The rows: the molecule, method and basis, job kind, energies and what the file holds."""
    rows = [
        ("molecule", f"{cp.formula or 'no atoms'} ({len(cp.symbols)} atoms), charge {cp.charge}, "
         f"multiplicity {cp.multiplicity}"),
        ("method / basis", f"{cp.method} / {cp.basis_name} ({cp.n_basis} basis functions)"),
        ("job", f"{cp.job_type}, program {cp.program_version}"),
        ("energy", f"{cp.energy:.8f} Hartree (SCF {cp.scf_energy:.8f})"),
        ("holds", ", ".join(_held(cp)) or "the molecule and its basis only"),
    ]  # fmt: skip
    body = "".join(
        f'<tr><th style="text-align:left">{name}</th><td style="text-align:left">{html.escape(value)}</td></tr>'
        for name, value in rows
    )
    caption = html.escape(f"{os.path.basename(cp.path)}: {cp.title}")
    return f'<table class="tesvarin-checkpoint"><caption>{caption}</caption>{body}</table>'
