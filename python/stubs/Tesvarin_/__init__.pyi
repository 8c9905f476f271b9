"""
A Gaussian .chk parser to extract basic information. All energy values are in Hartree, length values are in Angstrom. <br><br> <b>No warranty</b> is provided for the correctness of this program. If you observe any inconsistency or anomaly during use, please submit an issue to the Tesvarin issue tracker (https://github.com/tesvarin/tesvarin/issues).
"""
from __future__ import annotations
import numpy
import numpy.typing
import os
import typing
from . import records
from . import thermo
from . import grid
from . import charges
__all__: list[str] = ['ChkError', 'ChkFileNotFoundError', 'ChkFormatError', 'ChkIsADirectoryError', 'ChkOSError', 'ChkParams', 'ChkPermissionError', 'ChkReader_', 'ChkWarning', 'Mol', 'charges', 'grid', 'records', 'thermo']
class ChkParams:
    @property
    def baset(self) -> str:
        """
        The basis set section, such as def2SVP
        """
    @property
    def gauver(self) -> str:
        """
        The gaussian version description
        """
    @property
    def genarr(self) -> list[float]:
        """
        The scalar data of the calculation (Gen array), size=1000
        """
    @property
    def info1_9(self) -> list[int]:
        """
        The info 1-9 array
        """
    @property
    def jobtype(self) -> str:
        """
        The job type section, such as SP, Freq
        """
    @property
    def method(self) -> str:
        """
        The method section, such as RB3LYP
        """
    @property
    def mol(self) -> Mol:
        """
        The mol structure
        """
    @property
    def rawtexts(self) -> dict[str, bytes]:
        """
        The text fields as read, undecoded: {name: bytes} for title, route, method, baset, jobtype and gauver
        """
    @property
    def route(self) -> str:
        """
        The route string
        """
    @property
    def scfene(self) -> float:
        """
        SCF Energy
        """
    @property
    def title(self) -> str:
        """
        The title section description
        """
    @property
    def totene(self) -> float:
        """
        Total Energy
        """
    @property
    def viratio(self) -> float:
        """
        Virial Ratio
        """
class Mol:
    def spin_density(self, kind: int | str, full: bool = False) -> numpy.typing.NDArray[numpy.float64] | numpy.typing.NDArray[numpy.complex128] | None:
        """
        Spin density (alpha minus beta) of one kind, laid out as total_density; None when absent
        """
    def total_density(self, kind: int | str, full: bool = False) -> numpy.typing.NDArray[numpy.float64] | numpy.typing.NDArray[numpy.complex128] | None:
        """
        Total density of one kind (0..8, or a name such as "SCF" or "MP2 Density"), in the AO basis (electrons): the packed lower triangle as a read-only view, or with full=True a new symmetric (n, n) array (Hermitian when complex; n = nbasis, 2 nbasis for two-component); None when absent
        """
    @property
    def alpha_mo_coefficients(self) -> numpy.typing.NDArray[numpy.float64] | numpy.typing.NDArray[numpy.complex128]:
        """
        Alpha MO coefficients, one orbital per row: (nmo, nbasis) float64; complex128 for a complex wavefunction; (nmo, 2 nbasis) complex128 for two-component spinors, columns in the file's order; a read-only view
        """
    @property
    def alpha_orbital_energies(self) -> numpy.typing.NDArray[numpy.float64]:
        """
        Alpha orbital energies in Hartree, float64 (nmo,); a read-only view
        """
    @property
    def amocoeff(self) -> list[float]:
        """
        The Alpha MO coefficients
        """
    @property
    def aoene(self) -> list[float]:
        """
        The Alpha Orbital Energies
        """
    @property
    def atomic_numbers(self) -> numpy.typing.NDArray[numpy.int64]:
        """
        Atomic numbers, int64 (natoms,); a read-only view
        """
    @property
    def atomicnums(self) -> list[int]:
        """
        The atomic numbers
        """
    @property
    def beta_mo_coefficients(self) -> numpy.typing.NDArray[numpy.float64] | numpy.typing.NDArray[numpy.complex128]:
        """
        Beta MO coefficients, laid out as alpha_mo_coefficients; (0, nbasis) when closed-shell; a read-only view
        """
    @property
    def beta_orbital_energies(self) -> numpy.typing.NDArray[numpy.float64]:
        """
        Beta orbital energies in Hartree, float64 (nmo,), empty when closed-shell; a read-only view
        """
    @property
    def bmocoeff(self) -> list[float]:
        """
        The Beta MO coefficients
        """
    @property
    def boene(self) -> list[float]:
        """
        The Beta Orbital Energies
        """
    @property
    def cell(self) -> numpy.typing.NDArray[numpy.float64]:
        """
        The cell size (3*3) of molecule, unit is Angstrom
        """
    @property
    def cell_bohr(self) -> numpy.typing.NDArray[numpy.float64]:
        """
        Translation vectors in Bohr, one per row, float64 (3, 3), zero rows beyond ndim; a read-only view
        """
    @property
    def concoeff(self) -> list[float]:
        """
        Contraction coefficients
        """
    @property
    def contraction_coefficients(self) -> numpy.typing.NDArray[numpy.float64]:
        """
        Contraction coefficients of normalised primitives, float64 (nprim,); a read-only view
        """
    @property
    def coordinates_bohr(self) -> numpy.typing.NDArray[numpy.float64]:
        """
        Atomic coordinates in Bohr, float64 (natoms, 3); a read-only view
        """
    @property
    def coords(self) -> numpy.typing.NDArray[numpy.float64]:
        """
        The atomic coords (N*3), unit is Angstrom
        """
    @property
    def cshell(self) -> numpy.typing.NDArray[numpy.float64]:
        """
        Coordinates of each shell, unit is Angstrom
        """
    @property
    def hessian(self) -> numpy.typing.NDArray[numpy.float64]:
        """
        The hessian Matrix (3N*3N)
        """
    @property
    def multiplicity(self) -> int:
        """
        The multiplicity of molecule
        """
    @property
    def nae(self) -> int:
        """
        The number of alpha electrons
        """
    @property
    def names(self) -> list[str]:
        """
        The atom element names
        """
    @property
    def natoms(self) -> int:
        """
        The number of atoms
        """
    @property
    def nbasis(self) -> int:
        """
        The number of basis functions
        """
    @property
    def nbe(self) -> int:
        """
        The number of beta electrons
        """
    @property
    def nbsuse(self) -> int:
        """
        The number of independent functions
        """
    @property
    def ndim(self) -> int:
        """
        The number of translation vectors (0-3 dim)
        """
    @property
    def ne(self) -> int:
        """
        The number of electrons
        """
    @property
    def nucchg(self) -> list[float]:
        """
        The nuclear charges
        """
    @property
    def nuclear_charges(self) -> numpy.typing.NDArray[numpy.float64]:
        """
        Nuclear charges in units of e, float64 (natoms,); a read-only view
        """
    @property
    def orblabel_bytes(self) -> list[bytes]:
        """
        The atomic orbital labels as the bytes in the file
        """
    @property
    def orblabels(self) -> list[str]:
        """
        The atomic orbital labels
        """
    @property
    def orthbasis(self) -> list[float]:
        """
        The Orthonormal basis
        """
    @property
    def orthonormal_basis(self) -> numpy.typing.NDArray[numpy.float64] | numpy.typing.NDArray[numpy.complex128]:
        """
        Orthonormal basis, one vector per row, laid out as alpha_mo_coefficients; a read-only view
        """
    @property
    def primexp(self) -> list[float]:
        """
        Primitive exponents
        """
    @property
    def primitive_exponents(self) -> numpy.typing.NDArray[numpy.float64]:
        """
        Primitive exponents in Bohr^-2, float64 (nprim,); a read-only view
        """
    @property
    def primitives_per_shell(self) -> numpy.typing.NDArray[numpy.int64]:
        """
        Number of primitives of each shell, int64 (nshell,); a read-only view
        """
    @property
    def shell2map(self) -> list[int]:
        """
        Shell to atom map
        """
    @property
    def shell_coordinates_bohr(self) -> numpy.typing.NDArray[numpy.float64]:
        """
        Shell centres in Bohr, float64 (nshell, 3); a read-only view
        """
    @property
    def shell_to_atom(self) -> numpy.typing.NDArray[numpy.int64]:
        """
        Atom of each shell, 1-based as stored, int64 (nshell,); a read-only view
        """
    @property
    def shell_types(self) -> numpy.typing.NDArray[numpy.int64]:
        """
        Signed shell-type codes (0 S, 1 P, -1 SP, 2/-2 Cartesian/pure D, ...), int64 (nshell,); a read-only view
        """
    @property
    def shellnprim(self) -> list[int]:
        """
        The number of primitives per shell
        """
    @property
    def shelltypes(self) -> list[int]:
        """
        The Shell types
        """
    @property
    def sp_contraction_coefficients(self) -> numpy.typing.NDArray[numpy.float64]:
        """
        P coefficients of SP shells, 0 elsewhere, float64 (nprim,), empty without SP shells; a read-only view
        """
    @property
    def spconcoeff(self) -> list[float]:
        """
        P(S=P) Contraction coefficients
        """
    @property
    def spindens(self) -> typing.Annotated[list[list[float]], "FixedSize(9)"]:
        """
        Spin density
        """
    @property
    def totchg(self) -> int:
        """
        The total charge of molecule
        """
    @property
    def totdens(self) -> typing.Annotated[list[list[float]], "FixedSize(9)"]:
        """
        Total density
        """
class ChkReader_:
    @staticmethod
    def partial(fchk: str | bytes | bytearray | os.PathLike[str] | os.PathLike[bytes], *, orbitals: bool = False, hessian: bool = False, densities: bool = False) -> ChkReader_:
        """
        A reader of the directory, the job, molecule, basis and further sections, and of only those large sections asked for: the unread ones stay empty, and write_fchk and fchk_entries refuse to run
        """
    def __init__(self, fchk: str | bytes | bytearray | os.PathLike[str] | os.PathLike[bytes]) -> None:
        ...
    def fchk_entries(self, complete: bool = True, *, strict: bool = False) -> dict[str, int | float | str | numpy.typing.NDArray[numpy.int64] | numpy.typing.NDArray[numpy.float64]]:
        """
        The entries that write_fchk(complete=..., strict=...) writes, in file order: label -> int, float, str or a 1-D int64/float64 NumPy array, exact doubles, rotated as written
        """
    def write_fchk(self, fname: str | bytes | bytearray | os.PathLike[str] | os.PathLike[bytes], *, complete: bool = False, threads: typing.SupportsInt | typing.SupportsIndex | None = None, strict: bool = False) -> None:
        """
        Write a formatted fchk file based on the partial information of .chk; with complete=True, every entry formchk writes, byte for byte as the formchk of the file's program version. A damaged further section leaves out only its own entries, with a ChkWarning saying why; strict=True refuses the file instead
        """
    def write_gjf(self, fgjf: str | bytes | bytearray | os.PathLike[str] | os.PathLike[bytes]) -> None:
        """
        Write a gjf file based on the information of .chk
        """
    @property
    def further(self) -> records.FurtherSections:
        """
        The further sections as read-only records (FurtherSections)
        """
    @property
    def ilsw(self) -> list[int]:
        """
        The ILSW array
        """
    @property
    def params(self) -> ChkParams:
        """
        The ChkParams class
        """
    @property
    def rlsw(self) -> list[float]:
        """
        The RLSW array
        """
    @property
    def unread(self) -> str:
        """
        The large sections this reader left unread, e.g. "orbitals, densities"; empty when it read everything
        """
class ChkError(RuntimeError):
    """
    A failure of the checkpoint reader or its writers; str() is the reader's full message.
    
        `tesvarin.load` raises these with words that name the file and what is wrong with it; the
        reader's full message is then `detail` (None otherwise), and repr() shows both.
    """
    detail: str | None
    def __repr__(self) -> str:
        ...
class ChkFormatError(ChkError, ValueError):
    """
    The file is not a valid checkpoint, or holds what the reader refuses.
    """
class ChkOSError(ChkError, OSError):
    """
    A file could not be opened or written; errno, strerror and filename are set.
    """
    text: str
    def __init__(self, text: str, errno: int = 0, filename: str | None = None) -> None:
        ...
    def __reduce__(self) -> tuple[typing.Any, ...]:
        ...
    def __str__(self) -> str:
        ...
class ChkFileNotFoundError(ChkOSError, FileNotFoundError):
    """
    The file does not exist.
    """
class ChkPermissionError(ChkOSError, PermissionError):
    """
    The file may not be read or written.
    """
class ChkIsADirectoryError(ChkOSError, IsADirectoryError):
    """
    The path names a directory.
    """
class ChkWarning(UserWarning):
    """
    A damaged or unknown section whose quantities were left out; the rest of the file was read.
    """
