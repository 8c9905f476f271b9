"""Gaussian binary checkpoints (.chk) from Python.

``tesvarin.load(path)`` returns a read-only `Checkpoint` with everything the file holds as
NumPy arrays in atomic units; ``Checkpoint.to_iodata()`` hands it to IOData;
``tesvarin.load_many(paths, threads=N)`` reads many files at once. The lower-level reader
``ChkReader_`` (module ``Tesvarin_``) stays available, with its fchk and gjf writers.
"""

from Tesvarin_ import (
    ChkError,
    ChkFileNotFoundError,
    ChkFormatError,
    ChkIsADirectoryError,
    ChkOSError,
    ChkParams,
    ChkPermissionError,
    ChkReader_,
    ChkWarning,
    Mol,
)

from tesvarin import _exceptions as _exceptions  # loaded by Tesvarin_ as it starts; bound here as its attribute
from tesvarin._version import __version__
from tesvarin.batch import load_many
from tesvarin.checkpoint import Checkpoint, NotReadError
from tesvarin.grid.evaluation import Cube, read_cube
from tesvarin.loader import load

__all__ = [
    "Checkpoint",
    "ChkError",
    "ChkFileNotFoundError",
    "ChkFormatError",
    "ChkIsADirectoryError",
    "ChkOSError",
    "ChkParams",
    "ChkPermissionError",
    "ChkReader_",
    "ChkWarning",
    "Cube",
    "Mol",
    "NotReadError",
    "__version__",
    "load",
    "load_many",
    "read_cube",
]
