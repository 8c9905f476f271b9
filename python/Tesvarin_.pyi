"""Read-only access to Gaussian binary checkpoint (.chk) files."""

import os
import typing
from collections.abc import Sequence
from typing import Any

import numpy
import numpy.typing

class ChkError(RuntimeError):
    """A failure of the checkpoint reader or its writers; str() is the reader's full message.

    `tesvarin.load` raises these with words that name the file and what is wrong with it; the
    reader's full message is then `detail` (None otherwise), and repr() shows both."""

    detail: str | None

class ChkFormatError(ChkError, ValueError):
    """The file is not a valid checkpoint, or holds what the reader refuses."""

class ChkOSError(ChkError, OSError):
    """A file could not be opened or written; errno, strerror and filename are set."""

    text: str
    def __init__(self, text: str, errno: int = 0, filename: str | None = None) -> None: ...

class ChkFileNotFoundError(ChkOSError, FileNotFoundError):
    """The file does not exist."""

class ChkPermissionError(ChkOSError, PermissionError):
    """The file may not be read or written."""

class ChkIsADirectoryError(ChkOSError, IsADirectoryError):
    """The path names a directory."""

class ChkWarning(UserWarning):
    """A damaged or unknown section whose quantities were left out; the rest of the file was read."""

_Path = str | bytes | bytearray | os.PathLike[str] | os.PathLike[bytes]

class ChkParams:
    @property
    def mol(self) -> Mol:
        """The mol structure"""
    @property
    def route(self) -> str:
        """The route string"""
    @property
    def gauver(self) -> str:
        """The gaussian version description"""
    @property
    def title(self) -> str:
        """The title section description"""
    @property
    def method(self) -> str:
        """The method section, such as RB3LYP"""
    @property
    def baset(self) -> str:
        """The basis set section, such as def2SVP"""
    @property
    def jobtype(self) -> str:
        """The job type section, such as SP, Freq"""
    @property
    def info1_9(self) -> list[int]:
        """The info 1-9 array"""
    @property
    def genarr(self) -> list[float]:
        """The scalar data of the calculation (Gen array), size=1000"""
    @property
    def viratio(self) -> float:
        """Virial Ratio"""
    @property
    def scfene(self) -> float:
        """SCF Energy"""
    @property
    def totene(self) -> float:
        """Total Energy"""
    @property
    def rawtexts(self) -> dict[str, bytes]:
        """The text fields as read, undecoded: {name: bytes} for title, route, method, baset, jobtype and gauver"""

class Mol:
    @property
    def hessian(self) -> numpy.typing.NDArray[numpy.float64]:
        """The hessian Matrix (3N*3N)"""
    @property
    def names(self) -> list[str]:
        """The atom element names"""
    @property
    def atomicnums(self) -> list[int]:
        """The atomic numbers"""
    @property
    def orblabels(self) -> list[str]:
        """The atomic orbital labels"""
    @property
    def orblabel_bytes(self) -> list[bytes]:
        """The atomic orbital labels as the bytes in the file"""
    @property
    def nucchg(self) -> list[float]:
        """The nuclear charges"""
    @property
    def coords(self) -> numpy.typing.NDArray[numpy.float64]:
        """The atomic coords (N*3), unit is Angstrom"""
    @property
    def cell(self) -> numpy.typing.NDArray[numpy.float64]:
        """The cell size (3*3) of molecule, unit is Angstrom"""
    @property
    def ne(self) -> int:
        """The number of electrons"""
    @property
    def nae(self) -> int:
        """The number of alpha electrons"""
    @property
    def nbe(self) -> int:
        """The number of beta electrons"""
    @property
    def nbasis(self) -> int:
        """The number of basis functions"""
    @property
    def nbsuse(self) -> int:
        """The number of independent functions"""
    @property
    def ndim(self) -> int:
        """The number of translation vectors (0-3 dim)"""
    @property
    def aoene(self) -> list[float]:
        """The Alpha Orbital Energies"""
    @property
    def boene(self) -> list[float]:
        """The Beta Orbital Energies"""
    @property
    def amocoeff(self) -> list[float]:
        """The Alpha MO coefficients"""
    @property
    def bmocoeff(self) -> list[float]:
        """The Beta MO coefficients"""
    @property
    def orthbasis(self) -> list[float]:
        """The Orthonormal basis"""
    @property
    def shelltypes(self) -> list[int]:
        """The Shell types"""
    @property
    def shellnprim(self) -> list[int]:
        """The number of primitives per shell"""
    @property
    def shell2map(self) -> list[int]:
        """Shell to atom map"""
    @property
    def primexp(self) -> list[float]:
        """Primitive exponents"""
    @property
    def concoeff(self) -> list[float]:
        """Contraction coefficients"""
    @property
    def spconcoeff(self) -> list[float]:
        """P(S=P) Contraction coefficients"""
    @property
    def cshell(self) -> numpy.typing.NDArray[numpy.float64]:
        """Coordinates of each shell, unit is Angstrom"""
    @property
    def totdens(self) -> list[list[float]]:
        """Total density"""
    @property
    def spindens(self) -> list[list[float]]:
        """Spin density"""
    @property
    def natoms(self) -> int:
        """The number of atoms"""
    @property
    def totchg(self) -> int:
        """The total charge of molecule"""
    @property
    def multiplicity(self) -> int:
        """The multiplicity of molecule"""
    @property
    def atomic_numbers(self) -> numpy.typing.NDArray[numpy.int64]:
        """Atomic numbers, int64 (natoms,); a read-only view"""
    @property
    def nuclear_charges(self) -> numpy.typing.NDArray[numpy.float64]:
        """Nuclear charges in units of e, float64 (natoms,); a read-only view"""
    @property
    def coordinates_bohr(self) -> numpy.typing.NDArray[numpy.float64]:
        """Atomic coordinates in Bohr, float64 (natoms, 3); a read-only view"""
    @property
    def alpha_orbital_energies(self) -> numpy.typing.NDArray[numpy.float64]:
        """Alpha orbital energies in Hartree, float64 (nmo,); a read-only view"""
    @property
    def beta_orbital_energies(self) -> numpy.typing.NDArray[numpy.float64]:
        """Beta orbital energies in Hartree, float64 (nmo,), empty when closed-shell; a read-only view"""
    @property
    def alpha_mo_coefficients(self) -> numpy.typing.NDArray[numpy.float64] | numpy.typing.NDArray[numpy.complex128]:
        """Alpha MO coefficients, one orbital per row: (nmo, nbasis) float64; complex128 for a complex wavefunction; (nmo, 2 nbasis) complex128 for two-component spinors, columns in the file's order; a read-only view"""
    @property
    def beta_mo_coefficients(self) -> numpy.typing.NDArray[numpy.float64] | numpy.typing.NDArray[numpy.complex128]:
        """Beta MO coefficients, laid out as alpha_mo_coefficients; (0, nbasis) when closed-shell; a read-only view"""
    @property
    def orthonormal_basis(self) -> numpy.typing.NDArray[numpy.float64] | numpy.typing.NDArray[numpy.complex128]:
        """Orthonormal basis, one vector per row, laid out as alpha_mo_coefficients; a read-only view"""
    @property
    def shell_types(self) -> numpy.typing.NDArray[numpy.int64]:
        """Signed shell-type codes (0 S, 1 P, -1 SP, 2/-2 Cartesian/pure D, ...), int64 (nshell,); a read-only view"""
    @property
    def primitives_per_shell(self) -> numpy.typing.NDArray[numpy.int64]:
        """Number of primitives of each shell, int64 (nshell,); a read-only view"""
    @property
    def shell_to_atom(self) -> numpy.typing.NDArray[numpy.int64]:
        """Atom of each shell, 1-based as stored, int64 (nshell,); a read-only view"""
    @property
    def primitive_exponents(self) -> numpy.typing.NDArray[numpy.float64]:
        """Primitive exponents in Bohr^-2, float64 (nprim,); a read-only view"""
    @property
    def contraction_coefficients(self) -> numpy.typing.NDArray[numpy.float64]:
        """Contraction coefficients of normalised primitives, float64 (nprim,); a read-only view"""
    @property
    def sp_contraction_coefficients(self) -> numpy.typing.NDArray[numpy.float64]:
        """P coefficients of SP shells, 0 elsewhere, float64 (nprim,), empty without SP shells; a read-only view"""
    @property
    def cell_bohr(self) -> numpy.typing.NDArray[numpy.float64]:
        """Translation vectors in Bohr, one per row, float64 (3, 3), zero rows beyond ndim; a read-only view"""
    @property
    def shell_coordinates_bohr(self) -> numpy.typing.NDArray[numpy.float64]:
        """Shell centres in Bohr, float64 (nshell, 3); a read-only view"""
    def total_density(
        self, kind: int | str, full: bool = False
    ) -> numpy.typing.NDArray[numpy.float64] | numpy.typing.NDArray[numpy.complex128] | None:
        """Total density of one kind (0..8, or a name such as "SCF" or "MP2 Density"), in the AO basis (electrons): the packed lower triangle as a read-only view, or with full=True a new symmetric (n, n) array (Hermitian when complex; n = nbasis, 2 nbasis for two-component); None when absent"""
    def spin_density(
        self, kind: int | str, full: bool = False
    ) -> numpy.typing.NDArray[numpy.float64] | numpy.typing.NDArray[numpy.complex128] | None:
        """Spin density (alpha minus beta) of one kind, laid out as total_density; None when absent"""

class AtomProperties:
    """Per-atom arrays of the molecule section (997), one value per atom"""

    @property
    def layout(self) -> int:
        """The molecule section's layout code"""
    @property
    def blocks(self) -> int:
        """Number of per-atom blocks"""
    @property
    def point_charges(self) -> int:
        """Number of point charges"""
    @property
    def int_atom_types(self) -> numpy.typing.NDArray[numpy.int64]:
        """Integer atom types, int64 (natoms,)"""
    @property
    def mm_charges(self) -> numpy.typing.NDArray[numpy.float64]:
        """MM charges, e, float64 (natoms,)"""
    @property
    def integer_weights(self) -> numpy.typing.NDArray[numpy.int64]:
        """Integer atomic weights, int64 (natoms,)"""
    @property
    def real_weights(self) -> numpy.typing.NDArray[numpy.float64]:
        """Atomic masses, amu, float64 (natoms,)"""
    @property
    def fragment_info(self) -> numpy.typing.NDArray[numpy.int64]:
        """Fragment of each atom, int64 (natoms,)"""
    @property
    def residue_numbers(self) -> numpy.typing.NDArray[numpy.int64]:
        """Residue of each atom, int64 (natoms,)"""
    @property
    def nuclear_spins(self) -> numpy.typing.NDArray[numpy.int64]:
        """Nuclear spins, int64 (natoms,)"""
    @property
    def zeff(self) -> numpy.typing.NDArray[numpy.float64]:
        """Effective nuclear charges, float64 (natoms,)"""
    @property
    def znuc(self) -> numpy.typing.NDArray[numpy.float64]:
        """Nuclear charges ZNuc, float64 (natoms,); empty where the layout has none"""
    @property
    def qmom(self) -> numpy.typing.NDArray[numpy.float64]:
        """Nuclear quadrupole moments, float64 (natoms,)"""
    @property
    def gfac(self) -> numpy.typing.NDArray[numpy.float64]:
        """Nuclear g factors, float64 (natoms,)"""
    @property
    def micopt(self) -> numpy.typing.NDArray[numpy.int64]:
        """Optimisation flag of each atom (-2 frozen), int64 (natoms,)"""

class Bonds:
    """Bonds (503): partners and orders of each atom"""

    @property
    def max_bonds(self) -> int:
        """Most bonds of any atom (MxBond)"""
    @property
    def bond_counts(self) -> numpy.typing.NDArray[numpy.int64]:
        """Bonds of each atom, int64 (natoms,)"""
    @property
    def partners(self) -> numpy.typing.NDArray[numpy.int64]:
        """Partner atoms, 1-based, int64 (natoms, max_bonds)"""
    @property
    def orders(self) -> numpy.typing.NDArray[numpy.float64]:
        """Bond orders, float64 (natoms, max_bonds)"""

class InternalForces:
    """Forces on the optimiser's internal coordinates (511)"""

    @property
    def energy(self) -> float:
        """Energy, Hartree"""
    @property
    def nvar(self) -> int:
        """Number of internal coordinates"""
    @property
    def igetfc(self) -> int:
        """How the force constants were obtained (IGetFC)"""
    @property
    def forces(self) -> numpy.typing.NDArray[numpy.float64]:
        """Forces, float64 (nvar,)"""
    @property
    def force_constants(self) -> numpy.typing.NDArray[numpy.float64]:
        """Force constants, packed lower triangle"""

class RedundantInternals:
    """Redundant internal coordinate definitions (665)"""

    @property
    def dimensions(self) -> numpy.typing.NDArray[numpy.int64]:
        """The four dimension words, int64 (4,)"""
    @property
    def indices(self) -> numpy.typing.NDArray[numpy.int64]:
        """Atoms of each coordinate, int64 (ncoord, 4)"""
    @property
    def values(self) -> numpy.typing.NDArray[numpy.float64]:
        """Coordinate values, float64 (ncoord,)"""
    @property
    def int_vec(self) -> numpy.typing.NDArray[numpy.int64]:
        """ZRed-IntVec, int64 (ncoord,)"""
    @property
    def fp_vec(self) -> numpy.typing.NDArray[numpy.float64]:
        """ZRed-FPVec, float64 (ncoord,)"""
    @property
    def constraint1(self) -> numpy.typing.NDArray[numpy.float64]:
        """ZRed-Constraint1, float64 (ncoord,)"""
    @property
    def constraint2(self) -> numpy.typing.NDArray[numpy.float64]:
        """ZRed-Constraint2, float64 (ncoord,)"""

class SymmetryWords:
    """The orientation section (551) as stored"""

    @property
    def syminf(self) -> numpy.typing.NDArray[numpy.int64]:
        """Symmetry information integers, int64 (26,)"""
    @property
    def rottr(self) -> numpy.typing.NDArray[numpy.float64]:
        """Rotation to the input orientation (transposed, row by row) then the negated translation, float64 (12,)"""

class Charges:
    """Atomic charges (605)"""

    @property
    def mask(self) -> int:
        """Which charge sets are stored (bit 0 Mulliken, bit 3 NPA, bit 4 APT)"""
    @property
    def mulliken(self) -> numpy.typing.NDArray[numpy.float64] | None:
        """Mulliken charges, e, float64 (natoms,); None when not stored"""
    @property
    def npa(self) -> numpy.typing.NDArray[numpy.float64] | None:
        """NPA charges, e, float64 (natoms,); None when not stored"""
    @property
    def apt(self) -> numpy.typing.NDArray[numpy.float64] | None:
        """APT charges, e, float64 (natoms,); None when not stored"""

class ElectricProperties:
    """Electric properties (619) in the frame of the coordinates, atomic units; each None when the mask says it is not valid"""

    @property
    def mask(self) -> int:
        """Which properties are valid"""
    @property
    def dipole(self) -> numpy.typing.NDArray[numpy.float64]:
        """Dipole moment, e Bohr, float64 (3,)"""
    @property
    def dipole_derivatives(self) -> numpy.typing.NDArray[numpy.float64] | None:
        """Dipole derivatives, row 3a+q (atom a, direction q), e, float64 (3 natoms, 3)"""
    @property
    def polarizability(self) -> numpy.typing.NDArray[numpy.float64]:
        """Polarizability xx yx yy zx zy zz, Bohr^3, float64 (6,)"""
    @property
    def polarizability_derivatives(self) -> numpy.typing.NDArray[numpy.float64] | None:
        """Polarizability derivatives, row 3a+q, columns xx yx yy zx zy zz, float64 (3 natoms, 6)"""
    @property
    def hyperpolarizability(self) -> numpy.typing.NDArray[numpy.float64] | None:
        """Hyperpolarizability xxx xxy xyy yyy xxz xyz yyz xzz yzz zzz, float64 (10,)"""
    @property
    def quadrupole(self) -> numpy.typing.NDArray[numpy.float64]:
        """Quadrupole moment xx yy zz xy xz yz, e Bohr^2, float64 (6,)"""

class Oniom:
    """ONIOM layers and link atoms (674)"""

    @property
    def charges(self) -> numpy.typing.NDArray[numpy.int64]:
        """Charge of each model system, int64"""
    @property
    def multiplicities(self) -> numpy.typing.NDArray[numpy.int64]:
        """Multiplicity of each model system, int64"""
    @property
    def layers(self) -> numpy.typing.NDArray[numpy.int64]:
        """Layer of each atom, int64 (natoms,)"""
    @property
    def modifiers(self) -> numpy.typing.NDArray[numpy.int64]:
        """Atom modifiers, int64 (natoms,)"""
    @property
    def int_modified_types(self) -> numpy.typing.NDArray[numpy.int64]:
        """Modified atom types, int64 (natoms,)"""
    @property
    def link_atoms(self) -> numpy.typing.NDArray[numpy.int64]:
        """Link atoms, int64 (natoms,)"""
    @property
    def modified_mm_charges(self) -> numpy.typing.NDArray[numpy.float64]:
        """Modified MM charges, float64 (natoms,)"""
    @property
    def link_distances(self) -> numpy.typing.NDArray[numpy.float64]:
        """Link distances, float64"""

class OptimisationArchive:
    """The optimisation archive (701): every point's geometries in order, in the final standard orientation"""

    @property
    def max_steps(self) -> int:
        """Room for this many geometries (MaxStp)"""
    @property
    def job_offset(self) -> int:
        """The job offset"""
    @property
    def results_per_geometry(self) -> int:
        """Results stored per geometry (NRes)"""
    @property
    def nvar(self) -> int:
        """Values per geometry and gradient (NVar, 3 natoms for Cartesians)"""
    @property
    def geometries_per_point(self) -> numpy.typing.NDArray[numpy.int64]:
        """Geometries of each point, int64 (npoints,)"""
    @property
    def results(self) -> numpy.typing.NDArray[numpy.float64]:
        """Results of each geometry, energy first, float64 (ngeom, NRes)"""
    @property
    def geometries(self) -> numpy.typing.NDArray[numpy.float64]:
        """Geometries, Bohr, float64 (ngeom, NVar)"""
    @property
    def gradients(self) -> numpy.typing.NDArray[numpy.float64]:
        """Gradients, Hartree/Bohr, float64 (ngeom, NVar)"""

class Vibrations:
    """The stored harmonic analysis (765)"""

    @property
    def nmodes(self) -> int:
        """Number of normal modes"""
    @property
    def le2fix(self) -> int:
        """Number of per-mode blocks in e2 (LE2Fix)"""
    @property
    def ndfdpol(self) -> int:
        """NDFDPol"""
    @property
    def ndim(self) -> int:
        """Number of atoms the modes run over (NDim)"""
    @property
    def ndim0(self) -> int:
        """NDim0"""
    @property
    def lflags(self) -> int:
        """Flags per mode (LFlags)"""
    @property
    def iflags(self) -> numpy.typing.NDArray[numpy.int64]:
        """Flags of each mode, int64 (nmodes, lflags)"""
    @property
    def masses(self) -> numpy.typing.NDArray[numpy.float64]:
        """Atomic masses, amu, float64 (ndim,)"""
    @property
    def e2(self) -> numpy.typing.NDArray[numpy.float64]:
        """Per-mode values, one block per row: frequencies (cm^-1, imaginary negative), reduced masses (amu), force constants (mDyne/A), IR intensities (km/mol), then further blocks; float64 (le2fix, nmodes)"""
    @property
    def modes(self) -> numpy.typing.NDArray[numpy.float64]:
        """Cartesian displacements of each mode in the frame of the coordinates, float64 (nmodes, ndim, 3)"""

class ClassicalParameters:
    """Classical force-field parameters (800)"""

    @property
    def max_an(self) -> int:
        """MaxAn"""
    @property
    def nintpar(self) -> int:
        """NIntPar"""
    @property
    def nrealpar(self) -> int:
        """NRealPar"""
    @property
    def nbits(self) -> int:
        """NBits"""
    @property
    def lenbitvec(self) -> int:
        """LenBitVec"""
    @property
    def read_bitmap(self) -> numpy.typing.NDArray[numpy.int64]:
        """Read bit map, int64"""
    @property
    def default_bitmap(self) -> numpy.typing.NDArray[numpy.int64]:
        """Default bit map, int64"""
    @property
    def int_params(self) -> numpy.typing.NDArray[numpy.int64]:
        """Integer parameters, int64"""
    @property
    def real_params(self) -> numpy.typing.NDArray[numpy.float64]:
        """Real parameters, float64"""

class FurtherSections:
    """The sections beyond the basic parse, each None when absent or damaged"""

    @property
    def atoms(self) -> AtomProperties | None:
        """AtomProperties of the molecule section, or None"""
    @property
    def bonds(self) -> Bonds | None:
        """Bonds, or None"""
    @property
    def internal_forces(self) -> InternalForces | None:
        """InternalForces, or None"""
    @property
    def redundant_internals(self) -> RedundantInternals | None:
        """RedundantInternals, or None"""
    @property
    def symmetry(self) -> SymmetryWords | None:
        """SymmetryWords, or None"""
    @property
    def charges(self) -> Charges | None:
        """Charges, or None"""
    @property
    def electric(self) -> ElectricProperties | None:
        """ElectricProperties, or None"""
    @property
    def oniom(self) -> Oniom | None:
        """Oniom, or None"""
    @property
    def optimisation(self) -> OptimisationArchive | None:
        """OptimisationArchive, or None"""
    @property
    def vibrations(self) -> Vibrations | None:
        """Vibrations, or None"""
    @property
    def classical(self) -> ClassicalParameters | None:
        """ClassicalParameters, or None"""
    @property
    def core_potentials(self) -> Any:
        """records.CorePotentials, or None"""
    @property
    def trajectory(self) -> Any:
        """records.Trajectory of an ADMP or BOMD job, or None"""
    @property
    def excited_states(self) -> Any:
        """records.ExcitedStates of a CIS or TD job, or None"""
    @property
    def external_field(self) -> numpy.typing.NDArray[numpy.float64] | None:
        """External field (521), float64 (35,) or (105,), or None"""
    @property
    def gradient(self) -> numpy.typing.NDArray[numpy.float64] | None:
        """Cartesian gradient (584) in the frame of the coordinates, Hartree/Bohr, float64 (natoms, 3), or None"""
    @property
    def qeq_tensors(self) -> numpy.typing.NDArray[numpy.float64] | None:
        """QEq coupling tensors (695) as stored, float64 (natoms, 6), or None"""
    @property
    def constraint_structure(self) -> numpy.typing.NDArray[numpy.float64] | None:
        """Constraint structure (698), Bohr, float64 (natoms, 3), or None"""
    @property
    def nonadiabatic_coupling(self) -> numpy.typing.NDArray[numpy.float64] | None:
        """Nonadiabatic coupling (810), float64 (natoms, 3), or None"""
    @property
    def version(self) -> str | None:
        """The program version text (801), or None"""
    @property
    def has_force_constants(self) -> bool:
        """Whether the file holds Cartesian force constants (585)"""
    @property
    def molecule_layout(self) -> int:
        """The molecule section's layout code"""
    @property
    def notes(self) -> list[str]:
        """One message per intact section that left something unread (a charge set of a mask bit the reader does not know)"""
    @property
    def damage(self) -> list[str]:
        """One message per damaged further section: "Section L (name): what was expected and what was found"; its record is None"""

class ChkReader_:
    def __init__(self, fchk: _Path) -> None: ...
    @staticmethod
    def partial(fchk: _Path, *, orbitals: bool = False, hessian: bool = False, densities: bool = False) -> ChkReader_:
        """A reader of the directory, the job, molecule, basis and further sections, and of only those large sections asked for: the unread ones stay empty, and write_fchk and fchk_entries refuse to run"""
    @property
    def unread(self) -> str:
        """The large sections this reader left unread, e.g. "orbitals, densities"; empty when it read everything"""
    def write_gjf(self, fgjf: _Path) -> None:
        """Write a gjf file based on the information of .chk"""
    # threads: how many threads format the long real arrays (default: up to two).
    def write_fchk(
        self, fname: _Path, *, complete: bool = False, threads: int | None = None, strict: bool = False
    ) -> None:
        """Write a formatted fchk file based on the partial information of .chk; with complete=True, every entry formchk writes, byte for byte as the formchk of the file's program version. A damaged further section leaves out only its own entries, with a ChkWarning saying why; strict=True refuses the file instead"""
    def fchk_entries(
        self, complete: bool = True, *, strict: bool = False
    ) -> dict[str, int | float | str | numpy.typing.NDArray[numpy.int64] | numpy.typing.NDArray[numpy.float64]]:
        """The entries that write_fchk(complete=..., strict=...) writes, in file order: label -> int, float, str or a 1-D int64/float64 NumPy array, exact doubles, rotated as written"""
    @property
    def params(self) -> ChkParams:
        """The ChkParams class"""
    @property
    def further(self) -> FurtherSections:
        """The further sections as read-only records (FurtherSections)"""
    @property
    def ilsw(self) -> list[int]:
        """The ILSW array"""
    @property
    def rlsw(self) -> list[float]:
        """The RLSW array"""

def harmonic_analysis(reader: ChkReader_, masses: Sequence[float] = ...) -> dict[str, Any]:
    """Harmonic analysis of the stored force constants with `masses` (amu, one per atom; the file's own when empty): frequencies (cm^-1, imaginary negative), reduced_masses (amu), force_constants (mDyne/A), modes (nmodes, natoms, 3) of unit length, linear."""

def thermochemistry(
    reader: ChkReader_,
    masses: Sequence[float] = ...,
    temperature: float = 298.15,
    pressure: float = 1.0,
    scale: float = 1.0,
    symmetry_number: int = 0,
    entropy_cutoff: float = 0.0,
    enthalpy_cutoff: float = 0.0,
    damping_exponent: float = 4.0,
    average_inertia: float = 1e-44,
    raise_cutoff: float = 0.0,
    concentration: float = 0.0,
) -> dict[str, Any]:
    """Thermochemistry of the checkpoint in the program's conventions, as a dict (energies in kcal/mol, CV and S in cal/(mol K), corrections in Hartree, ln Q); tesvarin.thermo shapes it."""

def vibration_blocks(reader: ChkReader_) -> dict[str, Any] | None:
    """The stored harmonic analysis by name (None without one); a block the job did not compute is None."""

def broaden(
    positions: Sequence[float],
    intensities: Sequence[float],
    grid: Sequence[float],
    fwhm: float,
    shape: str = "lorentzian",
) -> numpy.typing.NDArray[numpy.float64]:
    """Each stick as a peak of full width `fwhm` at half maximum whose area is its intensity, summed on `grid`."""

_Vector = tuple[float, float, float] | list[float]
_Progress = typing.Callable[[float], object] | None

def evaluate_orbitals(
    reader: ChkReader_,
    points: numpy.typing.ArrayLike,
    orbitals: list[tuple[bool, int]],
    *,
    tolerance: float = 0.0,
    threads: int = 0,
    progress: _Progress = None,
) -> numpy.typing.NDArray[numpy.float64]:
    """Values of orbitals, given as (beta, 0-based index) pairs, at (n, 3) points in Bohr: a new (n, k) array. Basis functions below `tolerance` are left out (0: none); threads=0 uses every core"""

def evaluate_density(
    reader: ChkReader_,
    points: numpy.typing.ArrayLike,
    kind: int,
    part: str = "total",
    *,
    derivatives: int = 0,
    tolerance: float = 0.0,
    threads: int = 0,
    progress: _Progress = None,
) -> numpy.typing.NDArray[numpy.float64]:
    """The density at (n, 3) points in Bohr, from the stored matrix of `kind` (0..8) or, for kind -1, from the occupied orbitals; part "total", "spin", "alpha" or "beta". A new (n, 1 + 3 + 1) array: value, gradient with derivatives >= 1, Laplacian with derivatives = 2 (columns beyond those asked for absent)"""

def grid_orbitals(
    reader: ChkReader_,
    origin: _Vector,
    axes: list[list[float]],
    counts: list[int],
    orbitals: list[tuple[bool, int]],
    *,
    tolerance: float = 0.0,
    threads: int = 0,
    progress: _Progress = None,
) -> numpy.typing.NDArray[numpy.float64]:
    """Orbital values on the grid origin + i axes[0] + j axes[1] + k axes[2] (Bohr): a new (nx, ny, nz, k) array"""

def grid_density(
    reader: ChkReader_,
    origin: _Vector,
    axes: list[list[float]],
    counts: list[int],
    kind: int,
    part: str = "total",
    *,
    tolerance: float = 0.0,
    threads: int = 0,
    progress: _Progress = None,
) -> numpy.typing.NDArray[numpy.float64]:
    """The density on the grid origin + i axes[0] + j axes[1] + k axes[2] (Bohr): a new (nx, ny, nz) array"""

def write_cube(
    path: bytes,
    title: str,
    comment: str,
    origin: _Vector,
    axes: list[list[float]],
    counts: list[int],
    numbers: list[int],
    charges: list[float],
    coordinates: list[list[float]],
    orbitals: list[int],
    values: numpy.typing.ArrayLike,
) -> None:
    """Write a Gaussian cube file: values in C order over (nx, ny, nz[, orbital]); lengths in Bohr; orbitals 1-based, empty for a density"""
