"""Files of other programs (Molden, AIM's WFN and WFX, XYZ) from a Checkpoint, through IOData's writers.

The IOData of `to_iodata` is handed to `iodata.dump_one` with the changes these formats need
allowed: an SP shell (a generalised contraction, which Molden, WFN and WFX files cannot hold)
becomes an S and a P shell, and IOData's WFN and WFX writers expand the functions into Cartesian
primitives. Pure or Cartesian shells stay as the file has them where the format holds both
(Molden). With `natural`, the orbitals written are the natural orbitals of that stored density
(alpha and beta ones of an open shell), each with its occupation and no energy (0).
"""

from __future__ import annotations

from typing import TYPE_CHECKING, Any

import numpy as np

from tesvarin._optional import missing

if TYPE_CHECKING:
    from tesvarin.checkpoint import Checkpoint

__all__ = ["FORMATS", "write_format"]

FORMATS = ("molden", "wfx", "wfn", "xyz")
"""The formats `write_format` writes, as IOData names them (and the files' extensions)."""


def write_format(cp: Checkpoint, path: str, fmt: str, natural: str | None = None) -> None:
    """Writes `cp` to `path` as `fmt` (one of FORMATS), with the natural orbitals of density `natural` if given."""
    if fmt not in FORMATS:
        raise ValueError(f"format must be one of {', '.join(FORMATS)}, not {fmt!r}")
    try:
        import iodata  # type: ignore[import-untyped]
        from iodata.orbitals import MolecularOrbitals  # type: ignore[import-untyped]
    except ImportError as error:
        raise ImportError(missing(f"Writing a {fmt} file", "iodata", "iodata")) from error
    from tesvarin.orbitals import natural_orbitals

    data = cp.to_iodata()
    if natural is not None:
        if cp.restricted and cp.n_alpha == cp.n_beta:
            found = natural_orbitals(cp, natural)
            nmo = len(found.occupations)
            data.mo = MolecularOrbitals(
                "restricted", nmo, nmo, np.array(found.occupations), found.coefficients.T.copy(), np.zeros(nmo)
            )
        else:
            alpha, beta = natural_orbitals(cp, natural, "alpha"), natural_orbitals(cp, natural, "beta")
            na, nb = len(alpha.occupations), len(beta.occupations)
            data.mo = MolecularOrbitals(
                "unrestricted",
                na,
                nb,
                np.concatenate([alpha.occupations, beta.occupations]),
                np.concatenate([alpha.coefficients.T, beta.coefficients.T], axis=1),
                np.zeros(na + nb),
            )
    elif fmt != "xyz" and data.mo is None:
        raise ValueError(f"{cp.path}: holds no orbitals for a {fmt} file")
    if fmt in ("wfn", "wfx"):
        _cartesian(data)
    if fmt == "molden":
        _by_angular_momentum(data)
    iodata.dump_one(data, path, fmt=fmt, allow_changes=True)


def _by_angular_momentum(data: Any) -> None:
    """SP shells split, then each atom's shells in order of angular momentum, the orbitals with them:
    PySCF's Molden reader orders them so and takes the orbitals' rows as they come."""
    from iodata.basis import MolecularBasis  # type: ignore[import-untyped]
    from iodata.convert import convert_to_segmented  # type: ignore[import-untyped]

    split = convert_to_segmented(data.obasis)  # an SP shell's S, then its P: the functions keep their order
    starts = np.cumsum([0] + [shell.nbasis for shell in split.shells])
    order = sorted(range(len(split.shells)), key=lambda i: (split.shells[i].icenter, split.shells[i].angmoms[0], i))
    rows = np.concatenate([np.arange(starts[i], starts[i + 1]) for i in order])
    data.obasis = MolecularBasis([split.shells[i] for i in order], split.conventions, split.primitive_normalization)
    if data.mo is not None:
        data.mo.coeffs = data.mo.coeffs[rows]
    data.one_rdms = {key: matrix[np.ix_(rows, rows)] for key, matrix in data.one_rdms.items()}


def _cartesian(data: Any) -> None:
    """Makes every pure shell of `data` Cartesian, in place, the orbitals and densities with it: a pure
    function is an exact combination of the Cartesian ones of its shell (IOData's own table of them)."""
    from iodata.basis import MolecularBasis, Shell
    from iodata.convert import HORTON2_CONVENTIONS, convert_conventions
    from iodata.overlap_cartpure import tfs  # type: ignore[import-untyped]

    if all(kind == "c" for shell in data.obasis.shells for kind in shell.kinds):
        return
    permutation, signs = convert_conventions(data.obasis, HORTON2_CONVENTIONS)
    shells, blocks = [], []
    for shell in data.obasis.shells:
        if "p" in shell.kinds:  # IOData's pure shells are never generalised contractions here
            l = shell.angmoms[0]
            shells.append(Shell(shell.icenter, [l], ["c"], shell.exponents, shell.coeffs))
            blocks.append(tfs[l].T)
        else:
            shells.append(shell)
            blocks.append(np.eye(shell.nbasis))
    rows, cols = sum(b.shape[0] for b in blocks), sum(b.shape[1] for b in blocks)
    expand, r, c = np.zeros((rows, cols)), 0, 0
    for block in blocks:
        expand[r : r + block.shape[0], c : c + block.shape[1]] = block
        r, c = r + block.shape[0], c + block.shape[1]
    # A coefficient vector v of the file's basis is expand @ (v[permutation] * signs) in the Cartesian one.
    transform = expand[:, np.argsort(permutation)] * signs[np.argsort(permutation)]
    # Back into the file's conventions for Cartesian shells: IOData's WFN and WFX writers take no other.
    horton2 = MolecularBasis(shells, HORTON2_CONVENTIONS, "L2")
    back, back_signs = convert_conventions(horton2, data.obasis.conventions)
    transform = transform[back] * back_signs[:, np.newaxis]
    data.obasis = MolecularBasis(shells, data.obasis.conventions, "L2")
    if data.mo is not None:
        data.mo.coeffs = transform @ data.mo.coeffs
    data.one_rdms = {key: transform @ matrix @ transform.T for key, matrix in data.one_rdms.items()}
