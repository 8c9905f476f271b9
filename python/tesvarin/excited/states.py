"""`ExcitedStates`: the states of a CIS or TD job as arrays, one row per state, units in the names.

Stored (section 770, formchk's "ETran state values", one row of NValues per state):

- column 0, the state's total energy, Hartree;
- columns 1-3, the transition dipole <0|r|n> (length form), e Bohr;
- columns 4-6, the velocity form <0|del|n>, atomic units;
- columns 7-9, the magnetic form <0|r x del|n>, atomic units;
- the rest (six in every known file), kept as stored in `further_values`.

Derived by the textbook formulas, as the program's output prints them:

- excitation energy dE = E(state) - E(SCF), and its eV and nm;
- oscillator strength f = 2/3 dE |<0|r|n>|^2, velocity form 2/(3 dE) |<0|del|n>|^2;
- rotatory strength, length form R = -K <0|r|n>.<0|r x del|n>, velocity form
  R = K <0|del|n>.<0|r x del|n> / dE, with K = e a0 mu_B in units of 1e-40 erg esu cm / Gauss
  (the magnetic moment is -1/2 of r x p; the sign is the one the program prints);
- spin multiplicity 2S+1 from the stored spin word S, and <S**2> = S(S+1), for a closed-shell
  restricted reference only (an open-shell reference leaves both unknown: 0 and NaN). Every known
  file holds singlets and stores 0 there; that a triplet stores 1 is read from the word's meaning,
  not yet seen in a file. The file keeps no <S**2> of its own.

Constants: CODATA 2006 for files before Gaussian 16 (version text "Unknown"), 2010 after, as the
program that wrote the file used them.
"""

from __future__ import annotations

from dataclasses import dataclass
from typing import TYPE_CHECKING, Any

import numpy as np

from tesvarin._arrays import FloatArray, IntArray, frozen

if TYPE_CHECKING:
    from tesvarin.checkpoint import Checkpoint

__all__ = ["CODATA", "Constants", "ExcitedStates", "excited_states"]


@dataclass(frozen=True)
class Constants:
    hartree_ev: float  # eV per Hartree
    ev_nm: float  # h c in eV nm: the wavelength of 1 eV, nm
    ev_cm1: float  # cm^-1 per eV
    rotatory: float  # e a0 mu_B, 1e-40 erg esu cm / Gauss


def _constants(e_esu: float, a0_cm: float, mu_b: float, hartree_ev: float, ev_nm: float) -> Constants:
    return Constants(hartree_ev, ev_nm, 1e7 / ev_nm, e_esu * a0_cm * mu_b * 1e40)


# Elementary charge (esu), Bohr radius (cm), Bohr magneton (erg/Gauss), Hartree (eV), hc (eV nm).
CODATA = {
    2006: _constants(4.80320427e-10, 0.52917720859e-8, 9.27400915e-21, 27.21138386, 1239.841875),
    2010: _constants(4.80320451e-10, 0.52917721092e-8, 9.27400968e-21, 27.21138505, 1239.841930),
}


@dataclass(frozen=True, eq=False)
class ExcitedStates:
    """The excited states of a CIS or TD job, one row per state in the order stored (by energy).

    Stored in the file: `total_energies_hartree`, the three transition moments, `further_values`,
    `symmetries`, `root`. Derived by the formulas of `tesvarin.excited.states`: the excitation
    energies, oscillator strengths, rotatory strengths, `spin_multiplicities` and `s_squared`.
    Arrays are read-only; a state's moments are NaN when the file stores fewer than ten values.
    """

    total_energies_hartree: FloatArray
    """Total energy of each state, Hartree, (nstates,) (stored)."""
    ground_energy_hartree: float
    """The SCF energy the excitations start from, Hartree."""
    excitation_energies_hartree: FloatArray
    """E(state) - E(SCF), Hartree, (nstates,)."""
    excitation_energies_ev: FloatArray
    """Excitation energy, eV, (nstates,), as the output prints it."""
    wavelengths_nm: FloatArray
    """Wavelength of the excitation, nm, (nstates,)."""
    oscillator_strengths: FloatArray
    """f = 2/3 dE |<0|r|n>|^2 (length form, dimensionless), (nstates,), as the output prints it."""
    oscillator_strengths_velocity: FloatArray
    """f = 2/(3 dE) |<0|del|n>|^2 (velocity form), (nstates,)."""
    transition_dipoles_length_au: FloatArray
    """<0|r|n>, e Bohr, (nstates, 3) (stored)."""
    transition_dipoles_velocity_au: FloatArray
    """<0|del|n>, atomic units, (nstates, 3) (stored)."""
    magnetic_transition_dipoles_au: FloatArray
    """<0|r x del|n>, atomic units, (nstates, 3) (stored)."""
    rotatory_strengths_length_1e40_cgs: FloatArray
    """Rotatory strength, length form, 1e-40 erg esu cm / Gauss, (nstates,), as the output prints it."""
    rotatory_strengths_velocity_1e40_cgs: FloatArray
    """Rotatory strength, velocity form, 1e-40 erg esu cm / Gauss, (nstates,), as the output prints it."""
    spin_multiplicities: IntArray
    """2S+1 of each state from the stored spin word; 0 where the reference is open-shell, int64 (nstates,)."""
    s_squared: FloatArray
    """<S**2> = S(S+1) of a closed-shell reference's states; NaN for an open-shell one, (nstates,)."""
    symmetries: IntArray
    """The stored symmetry word of each state (0 where the program could not tell), int64 (nstates,)."""
    further_values: FloatArray
    """The values stored after the magnetic moment, as stored, (nstates, values_per_state - 10)."""
    root: int
    """The state the job followed (its density and gradient), counted from 1; 0 when none."""

    def __len__(self) -> int:
        return len(self.total_energies_hartree)

    def rows(self) -> list[dict[str, Any]]:
        """One plain dict per state (number from 1, eV, nm, f, <S**2>, R length and velocity), for JSON."""
        keys = (
            ("energy_ev", self.excitation_energies_ev),
            ("wavelength_nm", self.wavelengths_nm),
            ("oscillator_strength", self.oscillator_strengths),
            ("s_squared", self.s_squared),
            ("rotatory_strength_length", self.rotatory_strengths_length_1e40_cgs),
            ("rotatory_strength_velocity", self.rotatory_strengths_velocity_1e40_cgs),
        )
        out: list[dict[str, Any]] = []
        for k in range(len(self)):
            row: dict[str, Any] = {"state": k + 1, "multiplicity": int(self.spin_multiplicities[k])}
            row.update({name: float(v[k]) if np.isfinite(v[k]) else None for name, v in keys})
            row["followed"] = k + 1 == self.root
            out.append(row)
        return out


def constants_of(version: str) -> Constants:
    """The constants of the program that wrote a file with this version text."""
    return CODATA[2006 if version.strip() in ("", "Unknown") else 2010]


def excited_states(cp: Checkpoint) -> ExcitedStates | None:
    """The excited states of a checkpoint, None when it holds none (or their section is damaged)."""
    record = cp.etran
    if record is None or record.nstates < 1 or record.values_per_state < 1:
        return None
    # Without its orbitals read, a checkpoint counts as unrestricted by its multiplicity alone.
    unrestricted = "orbitals" in cp.sections and cp.beta_orbital_energies is not None
    closed_shell = cp.multiplicity == 1 and not unrestricted
    return build(record, cp.scf_energy, closed_shell, constants_of(cp.program_version))


def build(record: Any, ground: float, closed_shell: bool, c: Constants) -> ExcitedStates:
    """The states of a `Tesvarin_.records.ExcitedStates` above the ground-state energy `ground` (Hartree)."""
    n = record.nstates
    values = np.asarray(record.state_values, dtype=np.float64).reshape(n, record.values_per_state)
    wide = np.full((n, 10), np.nan)
    wide[:, : min(10, values.shape[1])] = values[:, :10]
    total = wide[:, 0]
    de = total - ground
    r, v, m = wide[:, 1:4], wide[:, 4:7], wide[:, 7:10]
    with np.errstate(divide="ignore", invalid="ignore"):
        ev = de * c.hartree_ev
        nm = c.ev_nm / ev
        f_length = 2.0 / 3.0 * de * np.einsum("ij,ij->i", r, r)
        f_velocity = 2.0 / 3.0 / de * np.einsum("ij,ij->i", v, v)
        r_length = -c.rotatory * np.einsum("ij,ij->i", r, m)
        r_velocity = c.rotatory * np.einsum("ij,ij->i", v, m) / de
    spin = np.asarray(record.spin, dtype=np.int64)
    known = closed_shell & (spin >= 0)
    scalars = np.asarray(record.scalars, dtype=np.int64)
    root = int(scalars[4]) if len(scalars) > 4 and 0 < scalars[4] <= n else 0
    return ExcitedStates(
        total_energies_hartree=frozen(total, np.float64),
        ground_energy_hartree=float(ground),
        excitation_energies_hartree=frozen(de, np.float64),
        excitation_energies_ev=frozen(ev, np.float64),
        wavelengths_nm=frozen(nm, np.float64),
        oscillator_strengths=frozen(f_length, np.float64),
        oscillator_strengths_velocity=frozen(f_velocity, np.float64),
        transition_dipoles_length_au=frozen(r, np.float64),
        transition_dipoles_velocity_au=frozen(v, np.float64),
        magnetic_transition_dipoles_au=frozen(m, np.float64),
        rotatory_strengths_length_1e40_cgs=frozen(r_length, np.float64),
        rotatory_strengths_velocity_1e40_cgs=frozen(r_velocity, np.float64),
        spin_multiplicities=frozen(np.where(known, 2 * spin + 1, 0), np.int64),
        s_squared=frozen(np.where(known, spin * (spin + 1.0), np.nan), np.float64),
        symmetries=frozen(record.symmetry, np.int64),
        further_values=frozen(values[:, 10:], np.float64),
        root=root,
    )
