"""``tesvarin gjf``: a Gaussian job that starts from a checkpoint, as the program's newzmat writes one.

The job reads the old checkpoint (``%oldchk``) and writes a new one (``%chk``), so running it never
writes into the input. Its title, charge, multiplicity and geometry are the checkpoint's; its route
is the checkpoint's without the keywords that would read the geometry or the basis from a checkpoint
instead of the lines that follow (or the route given with --route); a general basis is written
after the geometry.
"""

from __future__ import annotations

import argparse
import os
import re
from pathlib import Path

from Tesvarin_ import ChkReader_

__all__ = ["add_options", "job_text", "route_without_checkpoint_reads"]

# Options of Geom= that take the geometry (and with AllCheck the title, charge and multiplicity) from
# the checkpoint; Guess=TCheck tries the checkpoint's orbitals in a way that ignores the old one.
_GEOM_FROM_CHECKPOINT = re.compile(r"^(all)?check$|^step(=.*)?$|^ngeom(=.*)?$", re.I)
_GUESS_FROM_CHECKPOINT = re.compile(r"^tcheck$", re.I)
# GenChk marks a step that the program chained to the one before; ChkBasis takes the basis from the
# checkpoint, which the job gets written out as a general basis instead.
_DROPPED = re.compile(r"^genchk$", re.I)
_CHECKPOINT_BASIS = re.compile(r"(^|/)chkbas(is)?$", re.I)
# Geom options whose input sections follow the geometry.
_CONNECTIVITY = re.compile(r"^(mod)?connectivity$", re.I)
# Basis keywords whose functions follow the geometry.
_GENERAL = re.compile(r"(^|/)gen(ecp)?$", re.I)
_SHELL_LETTERS = {0: "S", 1: "P", -1: "SP", 2: "D", 3: "F", 4: "G", 5: "H", 6: "I"}


def add_options(parser: argparse.ArgumentParser) -> None:
    """The gjf subcommand's own options."""
    parser.add_argument(
        "--chk",
        metavar="NEW.chk",
        help="the checkpoint the job writes, its %%chk line (default: STEM-new.chk beside the output); "
        "the input is the job's %%oldchk and is never written",
    )
    parser.add_argument(
        "--route",
        metavar='"# ..."',
        help="the route line to write instead of the checkpoint's (without the keywords that read the "
        "geometry or basis from a checkpoint)",
    )


def _tokens(route: str) -> list[str]:
    """The route's words, a parenthesised option list kept with its keyword."""
    words, depth, current = [], 0, ""
    for char in route:
        if char.isspace() and depth == 0:
            if current:
                words.append(current)
            current = ""
            continue
        depth += {"(": 1, ")": -1}.get(char, 0)
        current += char
    if current:
        words.append(current)
    return words


def _without(word: str, dropped: re.Pattern[str]) -> str | None:
    """`Keyword=Option`, `Keyword=(A,B)` or `Keyword(A,B)` without the options `dropped` matches; None if
    none remain."""
    match = re.match(r"^([^=(]+)(=?)\(?(.*?)\)?$", word)
    if match is None:
        return word
    name, options = match[1], [o.strip() for o in match[3].split(",") if o.strip()]
    kept = [o for o in options if not dropped.match(o)]
    if len(kept) == len(options):
        return word
    if not kept:
        return None
    return f"{name}={kept[0]}" if len(kept) == 1 else f"{name}=({','.join(kept)})"


def route_without_checkpoint_reads(route: str) -> str:
    """The route without Geom=Check/AllCheck/Step/NGeom, Guess=TCheck and GenChk; ChkBasis becomes Gen."""
    kept = []
    for word in _tokens(route):
        name = re.split(r"[=(]", word, maxsplit=1)[0].lower()
        if _DROPPED.match(word):
            continue
        word = _CHECKPOINT_BASIS.sub(lambda m: m[1] + "Gen", word)
        if name in ("geom", "geometry"):
            word = _without(word, _GEOM_FROM_CHECKPOINT) or ""
        elif name == "guess":
            word = _without(word, _GUESS_FROM_CHECKPOINT) or ""
        if word:
            kept.append(word)
    return " ".join(kept)


def _is_general(route: str, basis: str) -> bool:
    return basis.lower() in ("gen", "genecp") or any(_GENERAL.search(word) for word in _tokens(route))


def _general_basis(reader: ChkReader_) -> tuple[str, list[str]]:
    """The basis as the input's general basis section (one block per atom, by centre number), and the
    keywords for its pure or Cartesian functions."""
    mol = reader.params.mol
    types, counts = mol.shell_types, mol.primitives_per_shell
    atoms, exponents = mol.shell_to_atom, mol.primitive_exponents
    coefficients, sp = mol.contraction_coefficients, mol.sp_contraction_coefficients
    blocks: dict[int, list[str]] = {}
    start = 0
    for shell, kind in enumerate(types):
        n = int(counts[shell])
        lines = blocks.setdefault(int(atoms[shell]), [])
        lines.append(f"{_SHELL_LETTERS[abs(int(kind))] if kind != -1 else 'SP'} {n} 1.00")
        for p in range(start, start + n):
            values = [exponents[p], coefficients[p]] + ([sp[p]] if kind == -1 else [])
            lines.append(" ".join(f"{v:18.10E}".replace("E", "D") for v in values))
        start += n
    text = "".join(f"{atom} 0\n" + "\n".join(lines) + "\n****\n" for atom, lines in sorted(blocks.items()))
    pure_d = any(int(t) == -2 for t in types)
    pure_f = any(int(t) <= -3 for t in types)
    return text, ["5D" if pure_d else "6D", "7F" if pure_f else "10F"]


def _with_function_kinds(route: str, keywords: list[str]) -> str:
    """Adds 5D/6D and 7F/10F to the route unless it says them already."""
    words = {w.lower() for w in _tokens(route)}
    have_d, have_f = words & {"5d", "6d"}, words & {"7f", "10f"}
    extra = [k for k in keywords if (k.endswith("D") and not have_d) or (k.endswith("F") and not have_f)]
    return " ".join([route, *extra])


def _connectivity(reader: ChkReader_) -> str | None:
    """The connectivity section (each atom, then its partners of higher number with their bond orders),
    or None when the checkpoint holds no bonds."""
    from tesvarin._further import _bonds

    natoms = max(reader.params.mol.natoms, 0)
    bonds = _bonds(reader.further, natoms)
    if bonds is None:
        return None
    partners: dict[int, list[str]] = {atom: [] for atom in range(1, natoms + 1)}
    for i, j, order in bonds.tolist():
        partners[i + 1].append(f"{j + 1} {order:.1f}")
    return "".join(" ".join([str(atom), *rest]) + "\n" for atom, rest in partners.items())


def _geom_sections(line: str, reader: ChkReader_) -> tuple[str, str]:
    """The route and the section that follows the geometry for Geom=Connectivity (without it, when the
    checkpoint holds no bonds to write)."""
    words = []
    for word in _tokens(line):
        if re.split(r"[=(]", word, maxsplit=1)[0].lower() in ("geom", "geometry") and re.search(
            r"connectivity", word, re.I
        ):
            section = _connectivity(reader)
            if section is not None:
                return line, section + "\n"
            word = _without(word, _CONNECTIVITY) or ""
        if word:
            words.append(word)
    return " ".join(words), ""


def job_text(reader: ChkReader_, oldchk: str, newchk: str, route: str | None = None) -> str:
    """The input file of a job that starts from the checkpoint `oldchk` and writes `newchk`."""
    params, mol = reader.params, reader.params.mol
    texts = {name: raw.decode("utf-8", "replace") for name, raw in params.rawtexts.items()}
    line = route_without_checkpoint_reads(route if route is not None else texts["route"])
    if not line.startswith("#"):
        line = "# " + line
    line, connectivity = _geom_sections(line, reader)
    basis = ""
    if _is_general(line, texts["baset"]):
        basis, kinds = _general_basis(reader)
        line = _with_function_kinds(line, kinds)
    title = " ".join(texts["title"].split()) or f"From {os.path.basename(oldchk)}"
    atoms = "".join(
        f"{symbol:<2} {xyz[0]:12.8f} {xyz[1]:12.8f} {xyz[2]:12.8f}\n"
        for symbol, xyz in zip(mol.names, mol.coords, strict=False)
    )
    vectors = "".join(f"Tv {v[0]:12.8f} {v[1]:12.8f} {v[2]:12.8f}\n" for v in mol.cell[: max(0, min(mol.ndim, 3))])
    return (
        f"%oldchk={oldchk}\n%chk={newchk}\n{line}\n\n{title}\n\n{mol.totchg} {mol.multiplicity}\n"
        f"{atoms}{vectors}\n{connectivity}" + (basis + "\n" if basis else "")
    )


def checkpoint_names(source: str, out: str, chk: str | None) -> tuple[str, str]:
    """%oldchk and %chk as the job sees them from the output's folder (or the current one for standard output)."""
    folder = "." if out == "-" else os.path.dirname(out) or "."
    oldchk = os.path.relpath(source, folder)
    if oldchk.startswith(os.pardir):  # not below the job's folder: the whole path
        oldchk = os.path.abspath(source)
    if chk is not None:
        return oldchk, chk
    return oldchk, Path(out if out != "-" else source).stem + "-new.chk"
