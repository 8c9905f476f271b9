"""What a user writes: mypy --strict must accept it."""

from pathlib import Path

import numpy as np
import numpy.typing as npt

import tesvarin
from Tesvarin_ import ChkReader_


def summary(path: Path) -> str:
    cp = tesvarin.load(path)
    coordinates: npt.NDArray[np.float64] = cp.coordinates
    density = cp.total_densities.get("SCF")
    trace = float(np.trace(density)) if density is not None else 0.0
    return f"{cp.method} {coordinates.shape} {cp.n_basis} {trace} {tesvarin.__version__}"


def energies(paths: list[str]) -> list[float]:
    return [cp.energy for cp in tesvarin.load_many(paths, threads=2)]


def failures(paths: list[bytes]) -> list[str]:
    return [str(r) for r in tesvarin.load_many(paths, errors="return") if isinstance(r, Exception)]


def convert(chk: Path) -> int:
    try:
        reader = ChkReader_(chk)
    except FileNotFoundError as error:
        return error.errno or 0
    except tesvarin.ChkFormatError:
        return -1
    reader.write_fchk(chk.with_suffix(".fchk"))
    natoms: int = reader.params.mol.natoms
    return natoms
