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
    return f"{cp.method} {coordinates.shape} {0.0 if density is None else np.trace(density)} {tesvarin.__version__}"


def energies(paths: list[str]) -> list[float]:
    return [cp.energy for cp in tesvarin.load_many(paths, threads=2)]


def convert(chk: Path) -> int:
    try:
        reader = ChkReader_(chk)
    except FileNotFoundError as error:
        return error.errno or 0
    reader.write_fchk(chk.with_suffix(".fchk"), complete=True)
    return reader.params.mol.natoms + len(
        [r for r in tesvarin.load_many([b"x"], errors="return") if isinstance(r, tesvarin.ChkFormatError)]
    )
