"""`load`: parse a checkpoint and build its `Checkpoint` from the reader's records.

A failure of the parse names the file and says what is wrong with it (`tesvarin._reasons`); the
reader's own text stays on the exception as `detail`.
"""

from __future__ import annotations

import copyreg
import os
import re
from collections.abc import Iterable
from types import MappingProxyType
from typing import Any, Union

import numpy as np
import Tesvarin_.thermo
from Tesvarin_ import ChkError, ChkFormatError, ChkOSError, ChkReader_, Mol

from tesvarin import _arrays, _further
from tesvarin._arrays import FloatArray, frozen
from tesvarin._reasons import reason
from tesvarin.checkpoint import Checkpoint
from tesvarin.unread import NOT_READ, SECTIONS

PathLike = Union[str, bytes, bytearray, "os.PathLike[str]", "os.PathLike[bytes]"]

# The reader's ValueError for a version record (801) whose end word is before its start word: the
# length error of the text's buffer, in the C++ library's words.
_BACKWARDS_VERSION = "cannot create std::vector larger than max_size()"


def load(path: PathLike, sections: Iterable[str] | None = None) -> Checkpoint:
    """Parse the checkpoint at `path` (str, bytes or any os.PathLike) and return all it holds.

    `sections` names the large sections to read, any of "orbitals", "hessian" and "densities"
    (default: all); the job, molecule, basis and further sections are always read. The fields of a
    section left unread raise `NotReadError` when asked for, and ``reader`` writes no fchk.

    Raises `Tesvarin_.ChkError` subclasses: also FileNotFoundError, PermissionError or
    IsADirectoryError when the file cannot be opened, ValueError when it is not a valid checkpoint.
    Their text names the file and what is wrong; `.detail` holds the reader's full message.
    """
    checkpoint = quiet_load(path, sections)
    _further.warn_damage(checkpoint.reader.further, checkpoint.path, stacklevel=2)
    return checkpoint


def quiet_load(path: PathLike, sections: Iterable[str] | None = None) -> Checkpoint:
    """`load` without its warnings, for a caller that gives them itself (from another thread, say)."""
    if sections is None:
        return from_reader(parse(path), path)
    wanted = set(sections)
    if wanted - SECTIONS.keys():
        raise ValueError(
            f"unknown section {', '.join(sorted(wanted - SECTIONS.keys()))}; the sections are {', '.join(SECTIONS)}"
        )
    checkpoint = from_reader(parse(path, {name: name in wanted for name in SECTIONS}), path)
    for section in SECTIONS.keys() - wanted:
        for name in SECTIONS[section]:
            object.__setattr__(checkpoint, name, NOT_READ)
    return checkpoint


def explained(error: ChkError, path: str) -> ChkError:
    """`error` as a new exception of the same class whose text names `path` and what is wrong."""
    text = f"{path}: {reason(error, path)}"
    again: ChkError = (
        type(error)(text, error.errno or 0, error.filename) if isinstance(error, ChkOSError) else type(error)(text)
    )
    again.detail = str(error)
    return again


def parse(path: Any, sections: dict[str, bool] | None = None) -> ChkReader_:
    """`ChkReader_(path)`, or `ChkReader_.partial(path, **sections)`, whose failures name the file and say
    what is wrong."""
    try:
        return ChkReader_(path) if sections is None else ChkReader_.partial(path, **sections)
    except ChkError as error:
        name = os.fsdecode(bytes(path) if isinstance(path, bytearray) else path)
        raise explained(error, name) from None
    except ValueError as error:
        if str(error) != _BACKWARDS_VERSION:
            raise
        name = os.fsdecode(bytes(path) if isinstance(path, bytearray) else path)
        damaged = ChkFormatError(f"{name}: damaged: the version record (section 801) ends before it starts")
        damaged.detail = str(error)
        raise damaged from None


def _text(raw: bytes) -> str:
    return raw.decode("utf-8", "backslashreplace")


def _orbital_labels(mol: Mol) -> tuple[str, ...] | None:
    """Per-function labels from the per-atom lines: "1   O  1S         2S ..." in columns of 11."""
    labels: list[str] = []
    for line in (_text(raw) for raw in mol.orblabel_bytes):
        match = re.match(r"\s*(\d+)\s+(\S+)\s+", line)
        if match is None:
            return None
        rest = line[match.end() :]
        labels += [
            f"{match[1]} {match[2]} {rest[i : i + 11].strip()}"
            for i in range(0, len(rest), 11)
            if rest[i : i + 11].strip()
        ]
    return tuple(labels) if len(labels) == mol.nbasis else None


def _occupations(count: int, nmo: int) -> FloatArray:
    occupations: FloatArray = np.zeros(nmo)
    occupations[: max(0, min(count, nmo))] = 1.0
    occupations.flags.writeable = False
    return occupations


def _computed_vibrations(reader: ChkReader_, texts: dict[str, str], natoms: int) -> dict[str, Any]:
    """The harmonic analysis of the stored force constants of a frequency job that stored none of its own
    (the 09 program keeps the force constants and dipole derivatives only); {} for any other file. Force
    constants of another kind of job (an optimiser's estimate, calcfc at its first step) do not count."""
    frequency_job = texts["jobtype"] == "Freq" or "freq" in texts["route"].lower()
    if not frequency_job or natoms < 2 or reader.further.vibrations is not None or reader.params.mol.hessian.size == 0:
        return {}
    try:
        analysis = Tesvarin_.thermo.harmonic_analysis(reader, [])
    except (RuntimeError, ValueError):  # no masses: the quantities stay None
        return {}
    found = {name: analysis[name] for name in ("frequencies", "reduced_masses", "force_constants", "ir_intensities")}
    found["normal_modes"] = analysis["modes"]
    return {name: None if value is None else frozen(value, np.float64) for name, value in found.items()}


def from_reader(reader: ChkReader_, path: PathLike) -> Checkpoint:
    """The `Checkpoint` of a reader that read every section; `path` is the file it read."""
    params = reader.params
    mol = params.mol
    texts = {key: _text(raw) for key, raw in params.rawtexts.items()}
    natoms = max(mol.natoms, 0)
    nbasis = mol.nbasis
    alpha_energies = mol.alpha_orbital_energies
    beta_energies = mol.beta_orbital_energies
    nmo = len(alpha_energies)
    beta_coefficients = _arrays.matrix(mol.beta_mo_coefficients, len(beta_energies))
    orthonormal = mol.orthonormal_basis
    sp = mol.sp_contraction_coefficients
    return Checkpoint(
        path=os.fsdecode(bytes(path) if isinstance(path, bytearray) else path),
        reader=reader,
        title=texts["title"],
        route=texts["route"],
        method=texts["method"],
        basis_name=texts["baset"],
        job_type=texts["jobtype"],
        program_version=texts["gauver"],
        info=frozen(params.info1_9, np.int64),
        charge=mol.totchg,
        multiplicity=mol.multiplicity,
        n_electrons=mol.ne,
        n_alpha=mol.nae,
        n_beta=mol.nbe,
        n_basis=nbasis,
        n_independent=mol.nbsuse,
        energy=params.totene,
        scf_energy=params.scfene,
        virial_ratio=params.viratio,
        atomic_numbers=mol.atomic_numbers[:natoms],
        symbols=tuple(mol.names),
        nuclear_charges=mol.nuclear_charges[:natoms],
        coordinates=mol.coordinates_bohr.reshape(-1, 3)[:natoms],
        cell=mol.cell_bohr[: mol.ndim] if mol.ndim > 0 else None,
        shell_types=mol.shell_types,
        primitives_per_shell=mol.primitives_per_shell,
        shell_atoms=frozen(mol.shell_to_atom - 1, np.int64),
        primitive_exponents=mol.primitive_exponents,
        contraction_coefficients=mol.contraction_coefficients,
        sp_contraction_coefficients=sp if sp.size else None,
        shell_coordinates=mol.shell_coordinates_bohr.reshape(-1, 3),
        orbital_labels=_orbital_labels(mol),
        alpha_orbital_energies=alpha_energies if nmo else None,
        beta_orbital_energies=beta_energies if len(beta_energies) else None,
        alpha_mo_coefficients=_arrays.matrix(mol.alpha_mo_coefficients, nmo),
        beta_mo_coefficients=beta_coefficients,
        alpha_occupations=_occupations(mol.nae, nmo) if nmo else None,
        beta_occupations=_occupations(mol.nbe, len(beta_energies) or nmo) if nmo else None,
        orthonormal_basis=_arrays.matrix(orthonormal, orthonormal.size // nbasis if nbasis > 0 else 0),
        total_densities=MappingProxyType(_arrays.densities(mol, spin=False)),
        spin_densities=MappingProxyType(_arrays.densities(mol, spin=True)),
        hessian=_arrays.hessian(mol),
        **{**_further.quantities(reader.further, natoms), **_computed_vibrations(reader, texts, natoms)},
    )


def _by_path(checkpoint: Checkpoint) -> tuple[Any, ...]:
    # Pickled by path: the other side (a worker, a process pool) reads the file again, with the
    # same sections, so it must see the file at the same path. The reader holds no open file.
    unread = checkpoint.reader.unread
    return (load, (checkpoint.path, None if unread == "" else sorted(checkpoint.sections)))


# How a Checkpoint pickles is said here, not by a __reduce__ of its own: the record does not import the
# loader that builds it.
copyreg.pickle(Checkpoint, _by_path)
