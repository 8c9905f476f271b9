"""Read-only access to Gaussian binary checkpoint (.chk) files."""

import numpy
import numpy.typing

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

class ChkReader_:
    def __init__(self, fchk: str | bytes | bytearray) -> None: ...
    def write_gjf(self, fgjf: str) -> None:
        """Write a gjf file based on the information of .chk"""
    def write_fchk(self, fname: str, *, complete: bool = False) -> None:
        """Write a formatted fchk file based on the partial information of .chk; with complete=True, every entry formchk writes, byte for byte as the formchk of the file's program version"""
    def fchk_entries(
        self, complete: bool = True
    ) -> dict[str, int | float | str | numpy.typing.NDArray[numpy.int64] | numpy.typing.NDArray[numpy.float64]]:
        """The entries that write_fchk(complete=...) writes, in file order: label -> int, float, str or a 1-D int64/float64 NumPy array, exact doubles, rotated as written"""
    @property
    def params(self) -> ChkParams:
        """The ChkParams class"""
    @property
    def ilsw(self) -> list[int]:
        """The ILSW array"""
    @property
    def rlsw(self) -> list[float]:
        """The RLSW array"""
