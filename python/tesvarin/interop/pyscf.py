"""A PySCF molecule and SCF object from a Checkpoint: the job's basis, orbitals and energy, ready to go on.

The basis goes over shell by shell, exponents and contraction coefficients as stored, an SP shell as
an S and a P shell. The orbitals are turned into PySCF's order and normalisation of atomic
functions:

- pure functions: the program orders them m = 0, +1, -1, +2, -2, ...; PySCF from -l to +l (p
  functions as x, y, z in both). Both use the same real solid harmonics, each of unit norm.
- Cartesian functions: the program's order (xx, yy, zz, xy, xz, yz for d; its own for f; from g on
  zz..z first) becomes PySCF's (x^l first, then alphabetical). Each of the program's functions has
  unit norm; PySCF's of one shell share x^l's radial factor, so that for l >= 2 only some have unit
  norm: a coefficient is divided by the norm of PySCF's function, taken from PySCF's own overlap.
- PySCF normalises every contracted function; the file's are normalised too (as the program
  leaves them), and any that is not is taken with its norm from the file's own overlap.
- a basis that holds pure shells of one angular momentum and Cartesian ones of another (6-31G(d)
  with f functions: Cartesian d, pure f) becomes Cartesian throughout: a pure function is an exact
  combination of Cartesian ones, so the orbitals and the energy are unchanged (only the number of
  functions grows). Pure and Cartesian shells of the same angular momentum are refused.
"""

from __future__ import annotations

import re
import warnings
from typing import TYPE_CHECKING, Any

import numpy as np

from tesvarin._optional import missing

if TYPE_CHECKING:
    from tesvarin.checkpoint import Checkpoint

__all__ = ["FUNCTIONALS", "to_pyscf"]

FUNCTIONALS = {
    "b3lyp": "b3lypg",  # the program's B3LYP takes VWN's functional III, as PySCF's b3lypg
    "b3pw91": "b3pw91",
    "b3p86": "b3p86g",
    "blyp": "blyp",
    "bp86": "bp86",
    "pbepbe": "pbe",
    "pbe1pbe": "pbe0",
    "hseh1pbe": "hse06",
    "camb3lyp": "camb3lyp",
    "cam-b3lyp": "camb3lyp",
    "lc-wpbe": "lc_wpbe",
    "wb97x": "wb97x",
    "wb97": "wb97",
    "m05": "m05",
    "m052x": "m052x",
    "m06": "m06",
    "m062x": "m062x",
    "m06l": "m06l",
    "m06hf": "m06hf",
    "m11": "m11",
    "mn15": "mn15",
    "tpsstpss": "tpss",
    "tpssh": "tpssh",
    "x3lyp": "x3lyp",
    "svwn": "lda,vwn_rpa",
    "svwn5": "lda,vwn5",
    "b97-1": "b97_1",
    "b98": "b98",
}
"""The program's functional names (without the R, U or RO in front) and PySCF's for the same
functional. Functionals with a dispersion correction (wB97X-D, B97-D, ...) are not here: PySCF
gives their energy without it."""

# Methods whose energy is not that of a Hartree-Fock or Kohn-Sham determinant over the basis.
_NOT_SCF = {
    "AM1",
    "PM3",
    "PM6",
    "PM7",
    "PDDG",
    "MNDO",
    "MINDO3",
    "ZINDO",
    "INDO",
    "CNDO",
    "DFTB",
    "DFTBA",
    "AMBER",
    "UFF",
    "DREIDING",
    "ONIOM",
}
# Wavefunction methods whose orbitals are those of Hartree-Fock.
_WAVEFUNCTION = re.compile(r"(HF|MP\d|CCS?D|CCSD\(T\)|QCISD|QCISD\(T\)|CIS|CID|CISD|CASSCF|CAS|BD|EOM|G\d|CBS)")


def _import_pyscf() -> Any:
    try:
        import pyscf.dft  # type: ignore[import-untyped]
        import pyscf.gto  # type: ignore[import-untyped]
        import pyscf.scf  # type: ignore[import-untyped]
    except ImportError as error:
        raise ImportError(missing("Checkpoint.to_pyscf", "pyscf", "pyscf")) from error
    return pyscf


def _cartesian_order(l: int) -> list[tuple[int, int, int]]:
    """The program's Cartesian functions of one shell as exponents (x, y, z), in the order it stores them."""
    if l == 2:
        return [(2, 0, 0), (0, 2, 0), (0, 0, 2), (1, 1, 0), (1, 0, 1), (0, 1, 1)]
    if l == 3:
        return [
            (3, 0, 0), (0, 3, 0), (0, 0, 3), (1, 2, 0), (2, 1, 0),
            (2, 0, 1), (1, 0, 2), (0, 1, 2), (0, 2, 1), (1, 1, 1),
        ]  # fmt: skip
    ordered = _pyscf_cartesian_order(l)
    return ordered[::-1] if l >= 4 else ordered


def _pyscf_cartesian_order(l: int) -> list[tuple[int, int, int]]:
    return [(x, y, l - x - y) for x in range(l, -1, -1) for y in range(l - x, -1, -1)]


def _pure_order(l: int) -> list[int]:
    """PySCF's position (m + l) of each of the program's pure functions m = 0, +1, -1, +2, -2, ..."""
    if l == 1:
        return [0, 1, 2]  # x, y, z in both
    return [l] + [l + s * m for m in range(1, l + 1) for s in (1, -1)]


def _shells(cp: Checkpoint) -> list[tuple[int, int, bool, Any, Any]]:
    """(atom, l, pure, exponents, coefficients) of each shell, an SP shell as its S and then its P shell."""
    shells, start = [], 0
    for atom, kind, n in zip(cp.shell_atoms, cp.shell_types, cp.primitives_per_shell, strict=True):
        exponents = cp.primitive_exponents[start : start + n]
        coefficients = cp.contraction_coefficients[start : start + n]
        if kind == -1:
            assert cp.sp_contraction_coefficients is not None
            shells.append((int(atom), 0, False, exponents, coefficients))
            shells.append((int(atom), 1, False, exponents, cp.sp_contraction_coefficients[start : start + n]))
        else:
            shells.append((int(atom), abs(int(kind)), kind < -1, exponents, coefficients))
        start += n
    return shells


def _refusal(cp: Checkpoint) -> str | None:
    if cp.ecp_core_electrons is not None and bool(np.any(cp.ecp_core_electrons)):
        return (
            "has effective core potentials (section 512): the coefficients of their terms lie in no "
            "section this reader knows, and PySCF needs them"
        )
    if cp.alpha_mo_coefficients is None or cp.alpha_orbital_energies is None:
        return "holds no orbitals"
    if cp.alpha_mo_coefficients.shape[1] != cp.n_basis:
        return "holds complex or two-component orbitals, which PySCF's SCF objects of one component do not take"
    if np.any(cp.atomic_numbers <= 0):
        return "has atoms without a nuclear charge (ghost or dummy atoms with functions)"
    if cp.cell is not None:
        return "is a periodic system (PySCF's molecules hold no cell)"
    if _method(cp)[1].upper() in _NOT_SCF:
        return f"is a {cp.method} job, not one of Hartree-Fock or density functional theory"
    return None


def _method(cp: Checkpoint) -> tuple[str, str]:
    """("R", "U" or "RO"; the method alone), the prefix from the orbitals where the method has none.

    The program writes the prefix, then TD- for an excited-state job, then the method, then -FC or -FULL
    for the frozen core of a correlated one: "RTD-CAM-B3LYP-FC", "UMP2-FC", "ROHF"."""
    prefix, name = "", cp.method
    for candidate in ("RO", "R", "U"):
        if name.upper().startswith(candidate) and len(name) > len(candidate):
            prefix, name = candidate, name[len(candidate) :]
            break
    name = re.sub(r"-(FC|FULL|RW|FC\d+)$", "", re.sub(r"^TDA?-", "", name, flags=re.I), flags=re.I)
    if not prefix:
        prefix = "U" if not cp.restricted else "RO" if cp.n_alpha != cp.n_beta else "R"
    return prefix, name


def functional(cp: Checkpoint) -> str | None:
    """PySCF's name of the job's functional, None for a Hartree-Fock reference; warns when it has none."""
    _, name = _method(cp)
    if _WAVEFUNCTION.fullmatch(name.upper()) or name.upper().startswith(("MP", "CC", "QCI", "CI", "CAS", "EOM")):
        return None
    known = FUNCTIONALS.get(name.lower())
    if known is None:
        warnings.warn(
            f"{cp.path}: PySCF has no functional known to equal {name}"
            + (" (its dispersion correction is not in PySCF's energy)" if name.upper().endswith("D") else "")
            + "; give it as to_pyscf(xc=...); the orbitals are those of the job, the SCF object's "
            "energy is not its",
            UserWarning,
            stacklevel=3,
        )
        return name.lower()
    return known


def _mole(cp: Checkpoint, pyscf: Any) -> tuple[Any, list[tuple[int, int, bool, Any, Any]], bool]:
    shells = _shells(cp)
    kinds: dict[int, set[bool]] = {}
    for _, l, pure, _, _ in shells:
        if l >= 2:
            kinds.setdefault(l, set()).add(pure)
    both = [l for l, found in kinds.items() if len(found) == 2]
    if both:
        letters = ", ".join("spdfghiklm"[l] if l < 10 else str(l) for l in sorted(both))
        raise ValueError(
            f"{cp.path}: holds pure and Cartesian shells of the same angular momentum ({letters}); a PySCF "
            "molecule is pure or Cartesian throughout"
        )
    cartesian = any(not pure for found in kinds.values() for pure in found)
    labels = [f"{symbol}{i + 1}" for i, symbol in enumerate(cp.symbols)]
    basis: dict[str, list[Any]] = {label: [] for label in labels}
    for atom, l, _, exponents, coefficients in shells:
        basis[labels[atom]].append([l, *([float(e), float(c)] for e, c in zip(exponents, coefficients, strict=True))])
    mol = pyscf.gto.Mole()
    mol.atom = [(label, tuple(float(x) for x in xyz)) for label, xyz in zip(labels, cp.coordinates, strict=True)]
    mol.unit = "Bohr"
    mol.basis = basis
    mol.charge = cp.charge
    mol.spin = cp.n_alpha - cp.n_beta
    mol.cart = cartesian
    mol.verbose = 0
    mol.build(parse_arg=False, dump_input=False)
    return mol, shells, cartesian


def _pyscf_shells(mol: Any, shells: list[tuple[int, int, bool, Any, Any]]) -> list[int]:
    """PySCF's shell of each of ours: PySCF orders an atom's shells by angular momentum (stably)."""
    if mol.nbas != len(shells):
        raise ValueError(f"PySCF made {mol.nbas} shells of the basis's {len(shells)}")
    queues: dict[tuple[int, int], list[int]] = {}
    for i, (atom, l, *_) in enumerate(shells):
        queues.setdefault((atom, l), []).append(i)
    where = [-1] * len(shells)
    for ib in range(mol.nbas):
        queue = queues.get((mol.bas_atom(ib), mol.bas_angular(ib)))
        i = queue.pop(0) if queue else -1
        if i < 0 or not np.allclose(np.sort(mol.bas_exp(ib)), np.sort(shells[i][3]), rtol=1e-14, atol=0.0):
            raise ValueError(f"PySCF's shell {ib} is none of the basis's")
        where[i] = ib
    return where


def _transform(mol: Any, shells: list[tuple[int, int, bool, Any, Any]], cartesian: bool) -> Any:
    """T (PySCF's functions x the program's): a coefficient vector of the program's basis is T times it in PySCF's."""
    pyscf = _import_pyscf()
    n_program = sum(2 * l + 1 if pure else (l + 1) * (l + 2) // 2 for _, l, pure, _, _ in shells)
    t = np.zeros((mol.nao_nr(), n_program))
    norms = np.sqrt(mol.intor_symmetric("int1e_ovlp").diagonal())
    ao_loc = mol.ao_loc_nr()
    column = 0
    for ib, (_, l, pure, _, _) in zip(_pyscf_shells(mol, shells), shells, strict=True):
        first = int(ao_loc[ib])
        if pure and not cartesian:
            for k, to in enumerate(_pure_order(l)):
                t[first + to, column + k] = 1.0
            column += 2 * l + 1
        elif pure:
            # A pure function over PySCF's Cartesian ones of the same shell.
            c2s = pyscf.gto.cart2sph(l, normalized="sp")
            for k, m in enumerate(_pure_order(l)):
                t[first : first + c2s.shape[0], column + k] = c2s[:, m]
            column += 2 * l + 1
        else:
            where = {e: i for i, e in enumerate(_pyscf_cartesian_order(l))}
            for k, e in enumerate(_cartesian_order(l)):
                to = first + where[e]
                t[to, column + k] = 1.0 / norms[to]
            column += (l + 1) * (l + 2) // 2
    return t


def _occupations(occupations: Any, n: int) -> Any:
    return np.asarray(occupations, dtype=float) if occupations is not None else np.zeros(n)


def to_pyscf(cp: Checkpoint, xc: str | None = None, natural: str | None = None) -> tuple[Any, Any]:
    """(a `pyscf.gto.Mole`, an SCF object of the job's kind: RHF, UHF, ROHF, RKS, UKS or ROKS) with the job's
    basis, orbitals, occupations, orbital energies and SCF energy. `xc` names PySCF's functional instead of the
    one mapped from the method (`FUNCTIONALS`); `natural` puts the natural orbitals of that stored density
    ("mp2", ...) and their occupations in place of the orbitals. ValueError for a file PySCF cannot hold."""
    cp._needs("orbitals")
    pyscf = _import_pyscf()
    refused = _refusal(cp)
    if refused:
        raise ValueError(f"{cp.path}: {refused}")
    if re.search(r"\bscrf\b", cp.route, re.IGNORECASE):
        warnings.warn(
            f"{cp.path}: the job ran in a solvent model (SCRF), which the SCF object leaves out: its energy "
            "lacks the solvation terms (pyscf.solvent adds a model of PySCF's own)",
            UserWarning,
            stacklevel=3,
        )
    mol, shells, cartesian = _mole(cp, pyscf)
    # A function of the file whose contraction is not normalised is its norm times PySCF's normalised one.
    t = _transform(mol, shells, cartesian) * np.sqrt(np.diag(cp.overlap()))
    prefix, _ = _method(cp)
    name = xc if xc is not None else functional(cp)
    assert cp.alpha_mo_coefficients is not None and cp.alpha_orbital_energies is not None
    alpha = t @ cp.alpha_mo_coefficients.T
    nmo = alpha.shape[1]
    occ_a = _occupations(cp.alpha_occupations, nmo)
    if not cp.restricted:
        assert cp.beta_mo_coefficients is not None and cp.beta_orbital_energies is not None
        mf = pyscf.scf.UHF(mol) if name is None else pyscf.dft.UKS(mol, xc=name)
        mf.mo_coeff = np.stack([alpha, t @ cp.beta_mo_coefficients.T])
        mf.mo_energy = np.stack([np.array(cp.alpha_orbital_energies), np.array(cp.beta_orbital_energies)])
        mf.mo_occ = np.stack([occ_a, _occupations(cp.beta_occupations, nmo)])
    else:
        open_shell = prefix == "RO" or cp.n_alpha != cp.n_beta
        if name is None:
            mf = pyscf.scf.ROHF(mol) if open_shell else pyscf.scf.RHF(mol)
        else:
            mf = pyscf.dft.ROKS(mol, xc=name) if open_shell else pyscf.dft.RKS(mol, xc=name)
        mf.mo_coeff = alpha
        mf.mo_energy = np.array(cp.alpha_orbital_energies)
        mf.mo_occ = occ_a + _occupations(cp.beta_occupations, nmo)
    if natural is not None:
        _natural(cp, mf, t, natural)
    mf.e_tot = cp.scf_energy
    mf.converged = True
    return mol, mf


def _natural(cp: Checkpoint, mf: Any, t: Any, density: str) -> None:
    """The natural orbitals of `density` in place of the job's orbitals, occupations with them, energies 0."""
    from tesvarin.orbitals import natural_orbitals

    if np.ndim(mf.mo_occ) == 2:
        alpha, beta = natural_orbitals(cp, density, "alpha"), natural_orbitals(cp, density, "beta")
        mf.mo_coeff = np.stack([t @ alpha.coefficients.T, t @ beta.coefficients.T])
        mf.mo_occ = np.stack([alpha.occupations, beta.occupations])
    else:
        found = natural_orbitals(cp, density)
        mf.mo_coeff = t @ found.coefficients.T
        mf.mo_occ = np.array(found.occupations)
    mf.mo_energy = np.zeros(mf.mo_occ.shape)
