"""
The records of the further sections, read-only (ChkReader_.further)
"""
from __future__ import annotations
import numpy
import numpy.typing
import typing
__all__: list[str] = ['AtomProperties', 'Bonds', 'Charges', 'ClassicalParameters', 'CorePotentials', 'ElectricProperties', 'ExcitedStates', 'FurtherSections', 'InternalForces', 'Oniom', 'OptimisationArchive', 'RedundantInternals', 'SymmetryWords', 'Trajectory', 'Vibrations']
class AtomProperties:
    """
    Per-atom arrays of the molecule section (997), one value per atom
    """
    @property
    def atom_names(self) -> list[str]:
        """
        PDB name of each atom of a molecular-mechanics input, list of str; empty without residues
        """
    @property
    def atom_residues(self) -> numpy.typing.NDArray[numpy.int64]:
        """
        Residue of each atom, 1-based into residue_names, int64 (natoms,); empty without residues
        """
    @property
    def blocks(self) -> int:
        """
        Number of per-atom blocks
        """
    @property
    def fragment_info(self) -> numpy.typing.NDArray[numpy.int64]:
        """
        Fragment of each atom, int64 (natoms,)
        """
    @property
    def gfac(self) -> numpy.typing.NDArray[numpy.float64]:
        """
        Nuclear g factors, float64 (natoms,)
        """
    @property
    def int_atom_types(self) -> numpy.typing.NDArray[numpy.int64]:
        """
        Integer atom types, int64 (natoms,)
        """
    @property
    def integer_weights(self) -> numpy.typing.NDArray[numpy.int64]:
        """
        Integer atomic weights, int64 (natoms,)
        """
    @property
    def layout(self) -> int:
        """
        The molecule section's layout code
        """
    @property
    def micopt(self) -> numpy.typing.NDArray[numpy.int64]:
        """
        Optimisation flag of each atom (-2 frozen), int64 (natoms,)
        """
    @property
    def mm_charges(self) -> numpy.typing.NDArray[numpy.float64]:
        """
        MM charges, e, float64 (natoms,)
        """
    @property
    def nuclear_spins(self) -> numpy.typing.NDArray[numpy.int64]:
        """
        Nuclear spins, int64 (natoms,)
        """
    @property
    def point_charges(self) -> int:
        """
        Number of point charges
        """
    @property
    def qmom(self) -> numpy.typing.NDArray[numpy.float64]:
        """
        Nuclear quadrupole moments, float64 (natoms,)
        """
    @property
    def real_weights(self) -> numpy.typing.NDArray[numpy.float64]:
        """
        Atomic masses, amu, float64 (natoms,)
        """
    @property
    def residue_codes(self) -> numpy.typing.NDArray[numpy.int64]:
        """
        PDB number of each residue, packed: number << 12 | chain, bit 31 set, int64 (nresidues,)
        """
    @property
    def residue_names(self) -> list[str]:
        """
        PDB residue names, list of str
        """
    @property
    def residue_numbers(self) -> numpy.typing.NDArray[numpy.int64]:
        """
        Residue of each atom, int64 (natoms,)
        """
    @property
    def structures(self) -> numpy.typing.NDArray[numpy.int64]:
        """
        Secondary structures as stored, int64 (nstructures, 9)
        """
    @property
    def symbols(self) -> list[str]:
        """
        Atom-type symbols a molecular-mechanics input defined, list of str
        """
    @property
    def zeff(self) -> numpy.typing.NDArray[numpy.float64]:
        """
        Effective nuclear charges, float64 (natoms,)
        """
    @property
    def znuc(self) -> numpy.typing.NDArray[numpy.float64]:
        """
        Nuclear charges ZNuc, float64 (natoms,); empty where the layout has none
        """
class Bonds:
    """
    Bonds (503): partners and orders of each atom
    """
    @property
    def bond_counts(self) -> numpy.typing.NDArray[numpy.int64]:
        """
        Bonds of each atom, int64 (natoms,)
        """
    @property
    def max_bonds(self) -> int:
        """
        Most bonds of any atom (MxBond)
        """
    @property
    def orders(self) -> numpy.typing.NDArray[numpy.float64]:
        """
        Bond orders, float64 (natoms, max_bonds)
        """
    @property
    def partners(self) -> numpy.typing.NDArray[numpy.int64]:
        """
        Partner atoms, 1-based, int64 (natoms, max_bonds)
        """
class InternalForces:
    """
    Forces on the optimiser's internal coordinates (511)
    """
    @property
    def energy(self) -> float:
        """
        Energy, Hartree
        """
    @property
    def force_constants(self) -> numpy.typing.NDArray[numpy.float64]:
        """
        Force constants, packed lower triangle
        """
    @property
    def forces(self) -> numpy.typing.NDArray[numpy.float64]:
        """
        Forces, float64 (nvar,)
        """
    @property
    def igetfc(self) -> int:
        """
        How the force constants were obtained (IGetFC)
        """
    @property
    def nvar(self) -> int:
        """
        Number of internal coordinates
        """
class RedundantInternals:
    """
    Redundant internal coordinate definitions (665)
    """
    @property
    def constraint1(self) -> numpy.typing.NDArray[numpy.float64]:
        """
        ZRed-Constraint1, float64 (ncoord,)
        """
    @property
    def constraint2(self) -> numpy.typing.NDArray[numpy.float64]:
        """
        ZRed-Constraint2, float64 (ncoord,)
        """
    @property
    def dimensions(self) -> numpy.typing.NDArray[numpy.int64]:
        """
        The four dimension words, int64 (4,)
        """
    @property
    def fp_vec(self) -> numpy.typing.NDArray[numpy.float64]:
        """
        ZRed-FPVec, float64 (ncoord,)
        """
    @property
    def indices(self) -> numpy.typing.NDArray[numpy.int64]:
        """
        Atoms of each coordinate, int64 (ncoord, 4)
        """
    @property
    def int_vec(self) -> numpy.typing.NDArray[numpy.int64]:
        """
        ZRed-IntVec, int64 (ncoord,)
        """
    @property
    def values(self) -> numpy.typing.NDArray[numpy.float64]:
        """
        Coordinate values, float64 (ncoord,)
        """
class SymmetryWords:
    """
    The orientation section (551) as stored
    """
    @property
    def rottr(self) -> numpy.typing.NDArray[numpy.float64]:
        """
        Rotation to the input orientation (transposed, row by row) then the negated translation, float64 (12,)
        """
    @property
    def syminf(self) -> numpy.typing.NDArray[numpy.int64]:
        """
        Symmetry information integers, int64 (26,)
        """
class Charges:
    """
    Atomic charges (605)
    """
    @property
    def apt(self) -> numpy.typing.NDArray[numpy.float64] | None:
        """
        APT charges, e, float64 (natoms,); None when not stored
        """
    @property
    def mask(self) -> int:
        """
        Which charge sets are stored (bit 0 Mulliken, bit 3 NPA, bit 4 APT)
        """
    @property
    def mulliken(self) -> numpy.typing.NDArray[numpy.float64] | None:
        """
        Mulliken charges, e, float64 (natoms,); None when not stored
        """
    @property
    def npa(self) -> numpy.typing.NDArray[numpy.float64] | None:
        """
        NPA charges, e, float64 (natoms,); None when not stored
        """
class ElectricProperties:
    """
    Electric properties (619) in the frame of the coordinates, atomic units; each None when the mask says it is not valid
    """
    @property
    def dipole(self) -> numpy.typing.NDArray[numpy.float64] | None:
        """
        Dipole moment, e Bohr, float64 (3,)
        """
    @property
    def dipole_derivatives(self) -> numpy.typing.NDArray[numpy.float64] | None:
        """
        Dipole derivatives, row 3a+q (atom a, direction q), e, float64 (3 natoms, 3)
        """
    @property
    def hyperpolarizability(self) -> numpy.typing.NDArray[numpy.float64] | None:
        """
        Hyperpolarizability xxx xxy xyy yyy xxz xyz yyz xzz yzz zzz, float64 (10,)
        """
    @property
    def mask(self) -> int:
        """
        Which properties are valid
        """
    @property
    def polarizability(self) -> numpy.typing.NDArray[numpy.float64] | None:
        """
        Polarizability xx yx yy zx zy zz, Bohr^3, float64 (6,)
        """
    @property
    def polarizability_derivatives(self) -> numpy.typing.NDArray[numpy.float64] | None:
        """
        Polarizability derivatives, row 3a+q, columns xx yx yy zx zy zz, float64 (3 natoms, 6)
        """
    @property
    def quadrupole(self) -> numpy.typing.NDArray[numpy.float64] | None:
        """
        Quadrupole moment xx yy zz xy xz yz, e Bohr^2, float64 (6,)
        """
class Oniom:
    """
    ONIOM layers and link atoms (674)
    """
    @property
    def charges(self) -> numpy.typing.NDArray[numpy.int64]:
        """
        Charge of each model system, int64
        """
    @property
    def int_modified_types(self) -> numpy.typing.NDArray[numpy.int64]:
        """
        Modified atom types, int64 (natoms,)
        """
    @property
    def layers(self) -> numpy.typing.NDArray[numpy.int64]:
        """
        Layer of each atom, int64 (natoms,)
        """
    @property
    def link_atoms(self) -> numpy.typing.NDArray[numpy.int64]:
        """
        Link atoms, int64 (natoms,)
        """
    @property
    def link_distances(self) -> numpy.typing.NDArray[numpy.float64]:
        """
        Link distances, float64
        """
    @property
    def modified_mm_charges(self) -> numpy.typing.NDArray[numpy.float64]:
        """
        Modified MM charges, float64 (natoms,)
        """
    @property
    def modifiers(self) -> numpy.typing.NDArray[numpy.int64]:
        """
        Atom modifiers, int64 (natoms,)
        """
    @property
    def multiplicities(self) -> numpy.typing.NDArray[numpy.int64]:
        """
        Multiplicity of each model system, int64
        """
class OptimisationArchive:
    """
    The optimisation archive (701): every point's geometries in order, in the final standard orientation
    """
    @property
    def geometries(self) -> numpy.typing.NDArray[numpy.float64]:
        """
        Geometries, Bohr, float64 (ngeom, NVar)
        """
    @property
    def geometries_per_point(self) -> numpy.typing.NDArray[numpy.int64]:
        """
        Geometries of each point, int64 (npoints,)
        """
    @property
    def gradients(self) -> numpy.typing.NDArray[numpy.float64]:
        """
        Gradients, Hartree/Bohr, float64 (ngeom, NVar)
        """
    @property
    def job_offset(self) -> int:
        """
        The job offset
        """
    @property
    def max_steps(self) -> int:
        """
        Room for this many geometries (MaxStp)
        """
    @property
    def nvar(self) -> int:
        """
        Values per geometry and gradient (NVar, 3 natoms for Cartesians)
        """
    @property
    def results(self) -> numpy.typing.NDArray[numpy.float64]:
        """
        Results of each geometry, energy first, float64 (ngeom, NRes)
        """
    @property
    def results_per_geometry(self) -> int:
        """
        Results stored per geometry (NRes)
        """
class Vibrations:
    """
    The stored harmonic analysis (765)
    """
    @property
    def e2(self) -> numpy.typing.NDArray[numpy.float64]:
        """
        Per-mode values, one block per row: frequencies (cm^-1, imaginary negative), reduced masses (amu), force constants (mDyne/A), IR intensities (km/mol), then further blocks; float64 (le2fix, nmodes)
        """
    @property
    def iflags(self) -> numpy.typing.NDArray[numpy.int64]:
        """
        Flags of each mode, int64 (nmodes, lflags)
        """
    @property
    def le2fix(self) -> int:
        """
        Number of per-mode blocks in e2 (LE2Fix)
        """
    @property
    def lflags(self) -> int:
        """
        Flags per mode (LFlags)
        """
    @property
    def masses(self) -> numpy.typing.NDArray[numpy.float64]:
        """
        Atomic masses, amu, float64 (ndim,)
        """
    @property
    def modes(self) -> numpy.typing.NDArray[numpy.float64]:
        """
        Cartesian displacements of each mode in the frame of the coordinates, float64 (nmodes, ndim, 3)
        """
    @property
    def ndfdpol(self) -> int:
        """
        NDFDPol
        """
    @property
    def ndim(self) -> int:
        """
        Number of atoms the modes run over (NDim)
        """
    @property
    def ndim0(self) -> int:
        """
        NDim0
        """
    @property
    def nmodes(self) -> int:
        """
        Number of normal modes
        """
class ClassicalParameters:
    """
    Classical force-field parameters (800)
    """
    @property
    def default_bitmap(self) -> numpy.typing.NDArray[numpy.int64]:
        """
        Default bit map, int64
        """
    @property
    def int_params(self) -> numpy.typing.NDArray[numpy.int64]:
        """
        Integer parameters, int64
        """
    @property
    def lenbitvec(self) -> int:
        """
        LenBitVec
        """
    @property
    def max_an(self) -> int:
        """
        MaxAn
        """
    @property
    def nbits(self) -> int:
        """
        NBits
        """
    @property
    def nintpar(self) -> int:
        """
        NIntPar
        """
    @property
    def nrealpar(self) -> int:
        """
        NRealPar
        """
    @property
    def read_bitmap(self) -> numpy.typing.NDArray[numpy.int64]:
        """
        Read bit map, int64
        """
    @property
    def real_params(self) -> numpy.typing.NDArray[numpy.float64]:
        """
        Real parameters, float64
        """
class ExcitedStates:
    """
    Excited states of a CIS or TD-DFT job (770), as formchk's ETran entries hold them
    """
    @property
    def nstates(self) -> int:
        """
        Number of excited states
        """
    @property
    def scalars(self) -> numpy.typing.NDArray[numpy.int64]:
        """
        ETran scalars: the ten header words as twenty halves, high half first (nstates, values_per_state, 1, 10, the state followed, 0, ...), int64 (20,)
        """
    @property
    def spin(self) -> numpy.typing.NDArray[numpy.int64]:
        """
        ETran spin, one per state, int64 (nstates,)
        """
    @property
    def state_values(self) -> numpy.typing.NDArray[numpy.float64]:
        """
        ETran state values, one row per state: total energy (Hartree), transition dipole <0|r|n> (3, e Bohr), velocity form <0|del|n> (3), magnetic form <0|r x del|n> (3), then further values as stored; float64 (nstates, values_per_state)
        """
    @property
    def symmetry(self) -> numpy.typing.NDArray[numpy.int64]:
        """
        ETran sym, one per state, int64 (nstates,)
        """
    @property
    def values_per_state(self) -> int:
        """
        Values stored per state (16)
        """
class CorePotentials:
    """
    Effective core potentials (512), as formchk's ECP entries hold them; the terms' coefficients are not in the checkpoint
    """
    @property
    def frozen(self) -> numpy.typing.NDArray[numpy.float64]:
        """
        Core electrons each atom's potential replaces (RNFroz), float64 (natoms,)
        """
    @property
    def kfirst(self) -> numpy.typing.NDArray[numpy.int64]:
        """
        First coefficient of each term, 1-based (0: none), int64 (natoms, 10)
        """
    @property
    def klast(self) -> numpy.typing.NDArray[numpy.int64]:
        """
        Last coefficient of each term, int64 (natoms, 10)
        """
    @property
    def lmax(self) -> numpy.typing.NDArray[numpy.int64]:
        """
        Highest angular momentum of each atom's potential, int64 (natoms,)
        """
    @property
    def lpskip(self) -> numpy.typing.NDArray[numpy.int64]:
        """
        1 for an atom without a potential, int64 (natoms,)
        """
class Trajectory:
    """
    The archive section (701) in its trajectory layout, of an ADMP or BOMD job: every step of every point in order, as stored (input orientation)
    """
    @property
    def geometries(self) -> numpy.typing.NDArray[numpy.float64]:
        """
        Geometries, Bohr, float64 (nsteps, NVar)
        """
    @property
    def geometries_per_point(self) -> numpy.typing.NDArray[numpy.int64]:
        """
        Steps of each point, int64 (npoints,)
        """
    @property
    def gradients(self) -> numpy.typing.NDArray[numpy.float64]:
        """
        Gradients, Hartree/Bohr, float64 (nsteps, NVar)
        """
    @property
    def job_offset(self) -> int:
        """
        The job offset
        """
    @property
    def max_steps(self) -> int:
        """
        Room for this many steps (MaxStp)
        """
    @property
    def momenta(self) -> numpy.typing.NDArray[numpy.float64]:
        """
        Mass-weighted velocities, sqrt(amu) Bohr/fs, float64 (nsteps, NVar)
        """
    @property
    def nvar(self) -> int:
        """
        Values per geometry, momentum and gradient (NVar, 3 natoms)
        """
    @property
    def reference_energy(self) -> float:
        """
        The first potential energy's integer part, Hartree: formchk writes the potential energies less it
        """
    @property
    def results(self) -> numpy.typing.NDArray[numpy.float64]:
        """
        Results of each step: time (fs) first, the potential energy at 4 and the total energy at 6 (Hartree), float64 (nsteps, NRes)
        """
    @property
    def results_per_geometry(self) -> int:
        """
        Results stored per step (NRes)
        """
class FurtherSections:
    """
    The sections beyond the basic parse, each None when absent or damaged
    """
    @property
    def atoms(self) -> AtomProperties | None:
        """
        AtomProperties of the molecule section, or None
        """
    @property
    def bonds(self) -> Bonds | None:
        """
        Bonds, or None
        """
    @property
    def charges(self) -> Charges | None:
        """
        Charges, or None
        """
    @property
    def classical(self) -> ClassicalParameters | None:
        """
        ClassicalParameters, or None
        """
    @property
    def constraint_structure(self) -> numpy.typing.NDArray[numpy.float64] | None:
        """
        Constraint structure (698), Bohr, float64 (natoms, 3), or None
        """
    @property
    def core_potentials(self) -> CorePotentials | None:
        """
        records.CorePotentials, or None
        """
    @property
    def damage(self) -> list[str]:
        """
        One message per damaged further section: "Section L (name): what was expected and what was found"; its record is None
        """
    @property
    def electric(self) -> ElectricProperties | None:
        """
        ElectricProperties, or None
        """
    @property
    def excited_states(self) -> ExcitedStates | None:
        """
        records.ExcitedStates of a CIS or TD job, or None
        """
    @property
    def external_field(self) -> numpy.typing.NDArray[numpy.float64] | None:
        """
        External field (521), float64 (35,) or (105,), or None
        """
    @property
    def gradient(self) -> numpy.typing.NDArray[numpy.float64] | None:
        """
        Cartesian gradient (584) in the frame of the coordinates, Hartree/Bohr, float64 (natoms, 3), or None
        """
    @property
    def has_force_constants(self) -> bool:
        """
        Whether the file holds Cartesian force constants (585)
        """
    @property
    def internal_forces(self) -> InternalForces | None:
        """
        InternalForces, or None
        """
    @property
    def molecule_layout(self) -> int:
        """
        The molecule section's layout code
        """
    @property
    def nonadiabatic_coupling(self) -> numpy.typing.NDArray[numpy.float64] | None:
        """
        Nonadiabatic coupling (810), float64 (natoms, 3), or None
        """
    @property
    def notes(self) -> list[str]:
        """
        One message per intact section that left something unread (a charge set of a mask bit the reader does not know)
        """
    @property
    def oniom(self) -> Oniom | None:
        """
        Oniom, or None
        """
    @property
    def optimisation(self) -> OptimisationArchive | None:
        """
        OptimisationArchive, or None
        """
    @property
    def qeq_tensors(self) -> numpy.typing.NDArray[numpy.float64] | None:
        """
        QEq coupling tensors (695) as stored, float64 (natoms, 6), or None
        """
    @property
    def redundant_internals(self) -> RedundantInternals | None:
        """
        RedundantInternals, or None
        """
    @property
    def spin_spin(self) -> numpy.typing.NDArray[numpy.float64] | None:
        """
        The Fermi-contact, spin-dipolar, paramagnetic and diamagnetic spin-orbit contributions to the reduced spin-spin couplings K of an NMR=SpinSpin job (695), each a lower triangle row by row, float64 (4, natoms (natoms + 1) / 2), or None
        """
    @property
    def symmetry(self) -> SymmetryWords | None:
        """
        SymmetryWords, or None
        """
    @property
    def trajectory(self) -> Trajectory | None:
        """
        records.Trajectory of an ADMP or BOMD job, or None
        """
    @property
    def version(self) -> str | None:
        """
        The program version text (801), or None
        """
    @property
    def vibrations(self) -> Vibrations | None:
        """
        Vibrations, or None
        """
