"""A bent further section: it never stops the parse or changes the basic fchk; it costs only its
own quantities and entries, with a warning naming the section, the rule and the length, and
strict writing refuses it with that message.
"""

import copy
import dataclasses
import re

import numpy as np
import pytest
import tesvarin

from tests.python.chk_builder import (
    BONDS,
    CHARGES,
    CLPAR,
    CONSTRAINT,
    CORE_POTENTIALS,
    DENSITY_BASIS,
    EFIELD,
    ELECTRIC,
    EXCITED,
    GRADIENT,
    INTERNAL_FORCES,
    MOL,
    NONADIABATIC,
    ONIOM,
    OPT_ARCHIVE,
    ORIENT,
    QEQ,
    QUARTER_Z,
    REDUNDANT,
    VERSION,
    VIBRATIONS,
    Atom,
    bonds_section,
    charges_section,
    complete_water,
    density_basis_section,
    electric_section,
    excited_section,
    halves,
    internal_forces_section,
    ints,
    mol_section,
    opt_archive_section,
    padded,
    qeq_section,
    reals,
    redundant_section,
    vibrations_section,
)

N = 3
BIG = 2**62
WATER = [Atom(8, (0.0, 0.0, 0.2)), Atom(1, (0.0, 1.4, -0.9)), Atom(1, (0.0, -1.4, -0.9))]


def replaced(label, payload):
    return lambda chk: (chk.replace(label, payload), {})


def resized(label, delta):
    return lambda chk: (chk, {"end_delta": {label: delta}})


def moved_out(label):
    """The section's directory entry points past the end of the file."""

    def bend(chk):
        chk.without(label)
        chk.entries.append((label, 10**6, 10**6 + 18, 0))
        return chk, {}

    return bend


def mm_counts(symbols, residues, structures):
    """A version-09 molecule section whose header counts molecular-mechanics records it does not hold."""
    section = mol_section(WATER, nbasis=3, layout=-12347, nblocks=18)
    return section[: 8 * 12] + ints(symbols, residues, structures) + section[8 * 15 :]


def vib(**kw):
    return vibrations_section([16.0, 1.0, 1.0], [-100.0, 1600.0, 3700.0], [0.1] * 27, **kw)


# (row id, bend, message); every further section family, each way a count can be wrong.
HOSTILE = [
    (
        "997 block count",
        replaced(MOL, mol_section(WATER, nbasis=3, layout=-12349, nblocks=51)),
        "Section 997 (molecule): expected 20 + nblocks*(N+3) with nblocks 50 or 58 for layout -12349, N = 3; found 326",
    ),
    (
        "503 atom count",
        replaced(BONDS, bonds_section([1, 1, 1], [2, 1, 1], [1.0] * 3, 1, natoms=4)),
        "Section 503 (bonds): atom count (word 0, low half) = 4, expected N = 3",
    ),
    (
        "503 fewer atoms",
        replaced(BONDS, bonds_section([1, 1], [2, 1], [1.0] * 2, 1, natoms=2)),
        "Section 503 (bonds): atom count (word 0, low half) = 2, expected N = 3",
    ),
    ("503 empty", replaced(BONDS, b""), "Section 503 (bonds): words 0 to 1 lie outside its 0 words"),
    (
        "511 two words",
        replaced(INTERNAL_FORCES, reals(-76.0) + ints(0)),
        "Section 511 (internal forces): words 2 to 3 lie outside its 2 words",
    ),
    ("605 empty", replaced(CHARGES, b""), "Section 605 (charges): words 0 to 1 lie outside its 0 words"),
    ("619 empty", replaced(ELECTRIC, b""), "Section 619 (electric properties): words 0 to 1 lie outside its 0 words"),
    ("665 empty", replaced(REDUNDANT, b""), "Section 665 (redundant internals): words 0 to 1 lie outside its 0 words"),
    (
        "701 five words",
        replaced(OPT_ARCHIVE, ints(11, 2, 1, 1, 9)),
        "Section 701 (optimisation archive): words 5 to 6 lie outside its 5 words",
    ),
    (
        "765 two words",
        replaced(VIBRATIONS, halves(1, 0) + halves(3, 3)),
        "Section 765 (vibrations): words 2 to 3 lie outside its 2 words",
    ),
    (
        "800 one word",
        replaced(CLPAR, ints(1234)),
        "Section 800 (classical parameters): words 1 to 2 lie outside its 1 words",
    ),
    (
        "503 negative MxBond",
        replaced(BONDS, halves(-1, 3) + ints(0, 0, 0)),
        "Section 503 (bonds): MxBond (word 0, high half) = -1, expected 0 to 4",
    ),
    (
        "503 short",
        resized(BONDS, -1),
        "Section 503 (bonds): expected 1 + n + 2*n*MxBond = 1 + 3 + 2*3*2 = 16 words, found 15",
    ),
    (
        "511 negative NVar",
        replaced(INTERNAL_FORCES, internal_forces_section(-76.0, [0.1], nvar=-2)),
        "Section 511 (internal forces): NVar (word 1) = -2, expected 0 to 5",
    ),
    ("511 long", resized(INTERNAL_FORCES, 1), "= 3 + 3 + 3*4/2 = 12 words, found 13"),
    ("521 short", resized(EFIELD, -1), "Section 521 (external field): expected 35 or 105 words, found 34"),
    ("521 long", resized(EFIELD, 1), "Section 521 (external field): expected 35 or 105 words, found 36"),
    ("551 long", resized(ORIENT, 1), "Section 551 (orientation): expected 38 words, found 39"),
    ("584 short", resized(GRADIENT, -1), "Section 584 (gradient): expected 6*N = 6*3 = 18 words, found 17"),
    ("584 outside the file", moved_out(GRADIENT), "Section 584 (gradient): words 1000000 to 1000018 lie outside"),
    (
        "605 negative mask",
        replaced(CHARGES, halves(-1, 0)),
        "Section 605 (charges): charge mask (word 0, high half) -1 is negative",
    ),
    (
        "605 sets",
        replaced(CHARGES, charges_section(1 | 8, [0.0] * 3)),
        "Section 605 (charges): expected 1 + sets*N = 1 + 2*3 = 7 words, found 4",
    ),
    (
        "619 unknown bit",
        replaced(ELECTRIC, electric_section(N, 1 | 8, {})),
        "Section 619 (electric properties): property mask (word 0, high half) 9 has bits other than 0, 1, 2, 4, 5, 12",
    ),
    ("619 short", resized(ELECTRIC, -1), "expected 53 + 144*N = 53 + 144*3 = 485 words, found 484"),
    (
        "665 negative count",
        replaced(REDUNDANT, redundant_section([], [], count=-1)),
        "Section 665 (redundant internals): number of coordinates (word 0) = -1, expected 0 to 4",
    ),
    (
        "665 overflowing count",
        replaced(REDUNDANT, redundant_section([(1, 2, 0, 0)], [1.8], count=BIG)),
        f"number of coordinates (word 0) = {BIG}, expected 0 to 13",
    ),
    ("674 short", resized(ONIOM, -2), "Section 674 (ONIOM): expected 32 + 9*N = 32 + 9*3 = 59 words, found 57"),
    ("695 long", resized(QEQ, 1), "Section 695 (QEq): expected 28 + 31*N = 28 + 31*3 = 121 words, found 122"),
    (
        "695 spin-spin couplings short",
        replaced(QEQ, qeq_section([0.0] * 18, [0.0] * 23)),
        "Section 695 (QEq): expected 28 + 31*N = 28 + 31*3 = 121 words, found 144",
    ),
    (
        "997 overflowing residue count",
        replaced(MOL, mm_counts(0, BIG, 0)),
        f"Section 997 (molecule): residues (word 13) = {BIG}, expected 0 to 128",
    ),
    (
        "997 residue records missing",
        replaced(MOL, mm_counts(1, 1, 1)),
        "Section 997 (molecule): expected 20 + nblocks*(N+3) + 2*NSym + 2*NRes + 9*NSS with nblocks 18 for layout "
        "-12347, N = 3, NSym = 1, NRes = 1, NSS = 1; found 128 words",
    ),
    (
        "698 short, version 09",
        lambda c: (c, {"end_delta": {CONSTRAINT: -1}}),
        "Section 698 (constraint structure): expected 6*N",
        -12346,
    ),
    (
        "701 no point",
        replaced(OPT_ARCHIVE, opt_archive_section(2, [[0.0]], [[0.0]], [[0.0]], npt=0)),
        "Section 701 (optimisation archive): NPt (word 2) = 0, expected 1 to",
    ),
    (
        "701 more geometries than steps",
        replaced(OPT_ARCHIVE, opt_archive_section(1, [[0.0]], [[0.0]], [[0.0]], ngeom=2)),
        "Section 701 (optimisation archive): number of geometries (word 8) = 2, expected 0 to 1",
    ),
    (
        "701 overflowing MaxStp",
        replaced(
            OPT_ARCHIVE,
            opt_archive_section(1, [[0.0]], [[0.0]], [[0.0]])[:8]
            + ints(BIG)
            + opt_archive_section(1, [[0.0]], [[0.0]], [[0.0]])[16:],
        ),
        f"MaxStp (word 1) = {BIG}, expected 0 to 12",
    ),
    ("765 negative modes", replaced(VIBRATIONS, vib(nmodes=-1)), "NModes (word 0, high half) = -1"),
    (
        "765 overflowing LFlags",
        replaced(VIBRATIONS, vib()[:16] + ints(2**63 - 1) + vib()[24:]),
        "Section 765 (vibrations): expected 3 + NDim + NModes*(LFlags + LE2Fix + 3*NDim) = 3 + 3 + "
        "3*(9223372036854775807 + LE2Fix + 3*3) with LE2Fix >= 1, found 99 words",
    ),
    ("765 partial mode", resized(VIBRATIONS, -1), "with LE2Fix >= 1, found 98 words"),
    (
        "800 negative MaxAn",
        replaced(CLPAR, ints(1234, -1, 1, 1, 30, 1, *[0] * 10)),
        "Section 800 (classical parameters): MaxAn (word 1) = -1, expected 0 to 16",
    ),
    ("800 short", resized(CLPAR, -1), "= 16 + 2*2*1 + (1 + 1)*2 = 24 words, found 23"),
    (
        "770 one word",
        replaced(EXCITED, halves(2, 16)),
        "Section 770 (excited states): NStates (word 0, high half) = 2, expected 0 to 1",
    ),
    (
        "770 negative states",
        replaced(EXCITED, excited_section([[0.0] * 16], nstates=-1)),
        "Section 770 (excited states): NStates (word 0, high half) = -1, expected 0 to 28",
    ),
    (
        "770 more states than stored",
        replaced(EXCITED, excited_section([[0.0] * 16], nstates=2)),
        "Section 770 (excited states): expected 10 + NStates*(2 + NValues) = 10 + 2*(2 + 16) = 46 words, found 28",
    ),
    ("770 short", resized(EXCITED, -1), "= 10 + 2*(2 + 16) = 46 words, found 45"),
    ("770 long", resized(EXCITED, 1), "= 10 + 2*(2 + 16) = 46 words, found 47"),
    (
        "724 one word",
        replaced(DENSITY_BASIS, ints(5)),
        "Section 724 (density basis): expected the 32 header words at least, found 1",
    ),
    (
        "724 garbage header",
        replaced(DENSITY_BASIS, density_basis_section(header={4: 7})),
        "Section 724 (density basis): the basis header's counts and flags are garbage",
    ),
    (
        "724 more primitives than stored",
        replaced(DENSITY_BASIS, density_basis_section(header={2: 9})),
        "Section 724 (density basis): expected 32 + 3*NPrim + 2*NPrimD + 13*NShell = 32 + 3*9 + 2*2 + 13*5 = 128 "
        "words, found 119",
    ),
    ("724 short", resized(DENSITY_BASIS, -1), "= 32 + 3*6 + 2*2 + 13*5 = 119 words, found 118"),
    ("724 long", resized(DENSITY_BASIS, 2), "= 32 + 3*6 + 2*2 + 13*5 = 119 words, found 121"),
    (
        "724 primitives past NPrim",
        replaced(DENSITY_BASIS, density_basis_section(primstart=[1, 3, 4, 5, 9])),
        "Section 724 (density basis): Bad basis in .chk: shell 5 has 1 primitives from position 9",
    ),
    (
        "512 short",
        resized(CORE_POTENTIALS, -1),
        "Section 512 (core potentials): expected 23*N = 23*3 = 69 words, found 68",
    ),
    (
        "512 long",
        resized(CORE_POTENTIALS, 23),
        "Section 512 (core potentials): expected 23*N = 23*3 = 69 words, found 92",
    ),
    (
        "512 negative KLast",
        replaced(CORE_POTENTIALS, ints(*[0] * 30, -1, *[0] * 29) + ints(0, 0, 0, 1, 1, 1) + reals(0.0, 0.0, 0.0)),
        "Section 512 (core potentials): KLast = -1, expected 0 to",
    ),
    ("801 short", resized(VERSION, -1), "Section 801 (version): expected 6 words, found 5"),
    ("810 long", resized(NONADIABATIC, 1), "Section 810 (nonadiabatic coupling): expected 3*N = 3*3 = 9 words"),
]


# The entries and the Checkpoint fields each family gives; a damaged one costs these and nothing else.
FAMILY_ENTRIES = {
    997: (
        "Number of point charges",
        "Int Atom Types",
        "MM charges",
        "Integer atomic weights",
        "Real atomic weights",
        "Atom fragment info",
        "Atom residue num",
        "Nuclear ",
        "MicOpt",
    ),
    503: ("MxBond", "NBond", "IBond", "RBond"),
    511: ("Grdnt ", "Internal Force"),
    521: ("External E-field",),
    551: ("SymInf", "RotTr"),
    584: ("Cartesian Gradient",),
    605: ("Mulliken", "NPA"),
    619: ("Dipole", "Polarizability", "HyperPolarizability", "Quadrupole"),
    665: ("Redundant internal", "ZRed-"),
    674: ("ONIOM", "Atom Layers", "Atom Modifiers", "Int Atom Modified Types", "Link ", "Atom Modified MM"),
    695: ("QEq",),
    698: ("Constraint Structure",),
    701: ("Optimization", "Opt point"),
    765: ("Number of Normal Modes", "Vib-", "NImag"),
    770: ("ETran ",),
    512: ("ECP-",),
    724: ("Density ",),
    800: ("ClPar",),
    801: ("Gaussian Version",),
    810: ("Nonadiabatic",),
}
FAMILY_FIELDS = {
    997: {"masses", "frozen_atoms"},
    503: {"bonds"},
    584: {"gradient"},
    605: {"mulliken_charges", "npa_charges", "apt_charges"},
    619: {"dipole_moment", "quadrupole_moment", "polarizability", "dipole_derivatives"},
    701: {"trajectory_coordinates", "trajectory_gradients", "trajectory_energies"},
    765: {"frequencies", "reduced_masses", "force_constants", "ir_intensities", "normal_modes"},
    770: {"etran"},
    512: {"ecp_core_electrons"},
}


def same(a, b):
    if type(a).__module__.startswith("Tesvarin_") and type(a) is type(b):  # a record: property by property
        names = [k for k, v in vars(type(a)).items() if isinstance(v, property)]
        return all(same(getattr(a, k), getattr(b, k)) for k in names)
    if isinstance(a, np.ndarray) or isinstance(b, np.ndarray):
        return isinstance(a, np.ndarray) and isinstance(b, np.ndarray) and np.array_equal(a, b)
    return a == b or (isinstance(a, (tuple, dict)) and str(a) == str(b))


@pytest.mark.parametrize(
    "bend, message, layout",
    [(*row[1:3], row[3] if len(row) > 3 else -12348) for row in HOSTILE],
    ids=[row[0] for row in HOSTILE],
)
def test_bent_section_costs_only_itself(chk, tmp_path, bend, message, layout):
    intact_path = chk(complete_water(layout, orient=QUARTER_Z))
    bent_chk, overrides = bend(complete_water(layout, orient=QUARTER_Z))
    bent_path = chk(bent_chk, **overrides)
    intact, bent = tesvarin.ChkReader_(intact_path), tesvarin.ChkReader_(bent_path)
    assert len(bent.further.damage) == 1 and message in bent.further.damage[0]
    label = int(re.match(r"Section (\d+)", bent.further.damage[0])[1])
    # The basic file does not need the further sections.
    intact.write_fchk(str(tmp_path / "intact.fchk"))
    bent.write_fchk(str(tmp_path / "bent.fchk"))
    assert (tmp_path / "bent.fchk").read_bytes() == (tmp_path / "intact.fchk").read_bytes()
    # Strict: refused with the section's message, and no file.
    for call in (
        lambda: bent.write_fchk(str(tmp_path / "c.fchk"), complete=True, strict=True),
        lambda: bent.fchk_entries(strict=True),
    ):
        with pytest.raises(RuntimeError, match=re.escape(message)):
            call()
    assert not (tmp_path / "c.fchk").exists()
    # Otherwise the complete entries are the intact file's without that family's.
    with pytest.warns(tesvarin.ChkWarning, match=re.escape(message)):
        left = bent.fchk_entries()
    whole = intact.fchk_entries()
    gone = set(whole) - set(left)
    assert gone and set(left) <= set(whole)
    assert all(any(key.startswith(p) for p in FAMILY_ENTRIES[label]) for key in gone), gone
    assert all(same(left[key], whole[key]) for key in left)
    # And load() fills every quantity but the family's, with one warning naming the section.
    with pytest.warns(tesvarin.ChkWarning, match=re.escape(message)) as caught:
        cp = tesvarin.load(bent_path)
    assert len(caught) == 1
    full = tesvarin.load(intact_path)
    differ = {
        f.name
        for f in dataclasses.fields(full)
        if f.name not in ("path", "reader") and not same(getattr(full, f.name), getattr(cp, f.name))
    }
    assert differ == {f for f in FAMILY_FIELDS.get(label, ()) if getattr(full, f) is not None}
    assert all(getattr(cp, f) is None for f in differ)


def trajectory(**kw):
    return opt_archive_section(
        3, [[0.0] * 7, [0.1] * 7], [[0.2] * 9] * 2, [[0.3] * 9] * 2, momenta=[[0.4] * 9] * 2, **kw
    )


def c01_water():
    return complete_water(-12349).replace(VERSION, padded("ES64L-G16RevC.01", 48, b"\0"))


TRAJECTORY = c01_water().replace(OPT_ARCHIVE, trajectory())
# (row id, bend, message): the archive section in its trajectory layout.
BENT_TRAJECTORY = [
    ("short", resized(OPT_ARCHIVE, -1), "expected 8 + NPt + MaxStp*(NRes + 3*NVar) = 8 + 1 + 3*(7 + 3*9) = 111"),
    ("long", resized(OPT_ARCHIVE, 1), "= 8 + 1 + 3*(7 + 3*9) = 111 words, found 112"),
    (
        "the optimisation length",
        replaced(OPT_ARCHIVE, trajectory()[:-72]),
        "Section 701 (optimisation archive): expected 8 + NPt + MaxStp*(NRes + 3*NVar) = 8 + 1 + 3*(7 + 3*9) = 111 "
        "words, found 102",
    ),
    ("more steps than room", replaced(OPT_ARCHIVE, trajectory(ngeom=4)), "number of geometries (word 8) = 4"),
    ("negative NVar", replaced(OPT_ARCHIVE, trajectory(nvar=-9)), "NVar (word 4) = -9, expected 0 to"),
]


@pytest.mark.parametrize("bend, message", [r[1:] for r in BENT_TRAJECTORY], ids=[r[0] for r in BENT_TRAJECTORY])
def test_bent_trajectory_costs_only_itself(chk, bend, message):
    bent_chk, overrides = bend(copy.deepcopy(TRAJECTORY))
    path = chk(bent_chk, **overrides)
    bent, intact = tesvarin.ChkReader_(path), tesvarin.ChkReader_(chk(copy.deepcopy(TRAJECTORY)))
    assert len(bent.further.damage) == 1 and message in bent.further.damage[0]
    assert bent.further.trajectory is None and bent.further.optimisation is None
    with pytest.raises(RuntimeError, match=re.escape(message)):
        bent.fchk_entries(strict=True)
    with pytest.warns(tesvarin.ChkWarning, match=re.escape(message)):
        left = bent.fchk_entries()
    whole = intact.fchk_entries(strict=True)
    gone = set(whole) - set(left)
    assert gone and set(left) <= set(whole) and all(k.startswith(("Traj", "Trajectory")) for k in gone), gone
    with pytest.warns(tesvarin.ChkWarning, match=re.escape(message)):
        cp = tesvarin.load(path)
    assert cp.trajectory_coordinates is None and cp.trajectory_momenta is None
