"""The further sections behind the complete fchk: what they give, and how a bent one fails.

A damaged further section never stops the parse or changes the basic fchk; it costs only its
own quantities and entries, with a warning naming the section, the rule and the length, and
strict writing refuses it with that message.
"""

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
    EFIELD,
    ELECTRIC,
    GEN,
    GRADIENT,
    INTERNAL_FORCES,
    LABEL,
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
    atom_blocks,
    bonds_section,
    charges_section,
    complete_water,
    electric_section,
    gen,
    halves,
    internal_forces_section,
    ints,
    label_record,
    mol_section,
    opt_archive_section,
    orient_record,
    padded,
    reals,
    redundant_section,
    vibrations_section,
    water,
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


def vib(**kw):
    # A soft real mode (60) beside the imaginary one: NImag counts only negative frequencies.
    return vibrations_section([16.0, 1.0, 1.0], [-100.0, 60.0, 3700.0], [0.1] * 27, **kw)


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
        "605 unknown bit",
        replaced(CHARGES, charges_section(1 | 16, [0.0] * 3, [0.0] * 3)),
        "Section 605 (charges): charge mask (word 0, high half) 17 has bits other than 0-3",
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
    800: ("ClPar",),
    801: ("Gaussian Version",),
    810: ("Nonadiabatic",),
}
FAMILY_FIELDS = {
    997: {"masses", "frozen_atoms"},
    503: {"bonds"},
    584: {"gradient"},
    605: {"mulliken_charges", "npa_charges"},
    619: {"dipole_moment", "quadrupole_moment", "polarizability", "dipole_derivatives"},
    701: {"trajectory_coordinates", "trajectory_gradients", "trajectory_energies"},
    765: {"frequencies", "reduced_masses", "force_constants", "ir_intensities", "normal_modes"},
}


def same(a, b):
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


def geometry(k):
    return [0.1 * k + 0.01 * i for i in range(3 * N)]


Q = [[-0.8, 0.4, 0.4], [-0.7, 0.3, 0.4], [-0.6, 0.3, 0.3], [-0.9, 0.45, 0.45]]  # sets for mask bits 0-3

# (row id, section, its payload (None: left out), check of the complete entries, check of the loaded Checkpoint)
STORED_SHAPES = [
    (
        "605 every set",
        CHARGES,
        charges_section(15, *Q),
        lambda e: e["Mulliken Charges"].tolist() == Q[0] and e["NPA Charges"].tolist() == Q[3],
        lambda cp: cp.mulliken_charges.tolist() == Q[0] and cp.npa_charges.tolist() == Q[3],
    ),
    (
        "605 NPA alone",
        CHARGES,
        charges_section(8, Q[3]),
        lambda e: "Mulliken Charges" not in e and e["NPA Charges"].tolist() == Q[3],
        lambda cp: cp.mulliken_charges is None and cp.npa_charges.tolist() == Q[3],
    ),
    (
        "605 bits 2 and 3",
        CHARGES,
        charges_section(4 | 8, Q[2], Q[3]),
        lambda e: "Mulliken Charges" not in e and e["NPA Charges"].tolist() == Q[3],
        lambda cp: cp.npa_charges.tolist() == Q[3],
    ),
    (
        "periodic",
        MOL,
        mol_section(
            WATER,
            nbasis=3,
            layout=-12348,
            nblocks=atom_blocks(-12348, N)[0],
            blocks=atom_blocks(-12348, N)[1],
            ndim=1,
            cell=[(9.0, 0.0, 0.0)],
        ),
        lambda e: (e["Number of translation vectors"], e["Number of point charges in /Mol/"]) == (1, 0),
        lambda cp: cp.cell.tolist() == [[9.0, 0.0, 0.0]],
    ),
    (
        "801 with trailing blanks",
        VERSION,
        padded("ES64L-G16RevC.01", 48),
        lambda e: e["Gaussian Version"] == "ES64L-G16RevC.01",
        lambda cp: cp.reader.further.version == "ES64L-G16RevC.01",
    ),
    (
        "single point without a gradient",
        GRADIENT,
        None,
        lambda e: e["Nuclear derivative order"] == 0 and "Cartesian Gradient" not in e,
        lambda cp: cp.gradient is None,
    ),
    (
        "single point with a gradient",
        GRADIENT,
        reals(*[0.0] * 18),
        lambda e: e["Nuclear derivative order"] == 1,
        lambda cp: cp.gradient.tolist() == [[0.0] * 3] * 3,
    ),
    (
        "521 of 105 words",
        EFIELD,
        reals(*[0.5] * 105),
        lambda e: e["External E-field"].tolist() == [0.5] * 105,
        lambda cp: True,
    ),
    (
        "511 with no variables",
        INTERNAL_FORCES,
        internal_forces_section(-76.5, [], igetfc=7) + reals(*[0.0] * 9),
        lambda e: (
            (e["Grdnt Energy"], e["Grdnt NVar"], e["Grdnt IGetFC"]) == (-76.5, 0, 7) and "Internal Forces" not in e
        ),
        lambda cp: True,
    ),
    (
        "701 with two points",
        OPT_ARCHIVE,
        opt_archive_section(
            4,
            [[-76.0, 0.1], [-76.1, 0.0], [-75.9, 0.2]],
            [geometry(k) for k in range(3)],
            [geometry(-k) for k in range(3)],
            points=[2, 1],
        ),
        lambda e: e["Opt point       1 Geometries"].tolist() == geometry(0) + geometry(1),
        lambda cp: (
            cp.trajectory_energies.tolist() == [-76.0, -76.1, -75.9]
            and cp.trajectory_coordinates.reshape(3, -1).tolist() == [geometry(k) for k in range(3)]
            and cp.trajectory_gradients.reshape(3, -1).tolist() == [geometry(-k) for k in range(3)]
        ),
    ),
]


@pytest.mark.parametrize(
    "label, payload, written, loaded", [row[1:] for row in STORED_SHAPES], ids=[row[0] for row in STORED_SHAPES]
)
def test_stored_shapes_of_newer_files(chk, label, payload, written, loaded):
    path = chk(complete_water().without(label) if payload is None else complete_water().replace(label, payload))
    assert written(tesvarin.ChkReader_(path).fchk_entries(strict=True))
    assert loaded(tesvarin.load(path))


def test_versions_without_a_column_are_written_as_16_a03(chk, read, tmp_path):
    """No version section, or a version of no known formchk: written as 16 A.03 writes it, with a note."""
    whole = read(complete_water(orient=QUARTER_Z)).fchk_entries()
    without = read(complete_water(orient=QUARTER_Z).without(VERSION))
    with pytest.warns(
        tesvarin.ChkWarning,
        match="without the version section 801 .molecule layout -12348.: written as 16 A.03's formchk writes it",
    ):
        left = without.fchk_entries()
    assert set(whole) - set(left) == {"Gaussian Version"} and set(left) <= set(whole)
    # Strict refuses damage, never a version alone.
    assert without.fchk_entries(strict=True).keys() == left.keys()


def turn(angle=0.7, axis=(1.0, 2.0, 3.0)):
    """A general rotation matrix M and the orientation record's column-by-column words."""
    k = np.array(axis) / np.linalg.norm(axis)
    cross = np.array([[0, -k[2], k[1]], [k[2], 0, -k[0]], [-k[1], k[0], 0]])
    m = np.eye(3) + np.sin(angle) * cross + (1 - np.cos(angle)) * cross @ cross
    return m, list(m.flatten(order="F"))


def sym(six, upper=False):
    """Full symmetric tensor from xx yx yy zx zy zz (or xx yy zz xy xz yz)."""
    xx, yx, yy, zx, zy, zz = (six[0], six[3], six[1], six[4], six[5], six[2]) if upper else six
    return np.array([[xx, yx, zx], [yx, yy, zy], [zx, zy, zz]])


LOWER, UPPER = ([1, 1, 2, 2, 2], [0, 1, 0, 1, 2]), ([0, 1, 2, 0, 0, 1], [0, 1, 2, 1, 2, 2])
HYPER = [(0, 0, 0), (0, 0, 1), (0, 1, 1), (1, 1, 1), (0, 0, 2), (0, 1, 2), (1, 1, 2), (0, 2, 2), (1, 2, 2), (2, 2, 2)]


def test_rotated_entries_follow_the_orientation_matrix(read):
    """Every rotated entry against the same rotation done by NumPy: vectors, rank-2 and rank-3 tensors, derivatives."""
    rng = np.random.default_rng(7)
    m, words = turn()
    values = {
        1: rng.normal(size=3),
        4: rng.normal(size=9 * N),
        4 + 9 * N: rng.normal(size=6),
        10 + 9 * N: rng.normal(size=18 * N),
        10 + 27 * N: rng.normal(size=10),
        47 + 126 * N: rng.normal(size=6),
    }
    chk = complete_water(orient=words).replace(ELECTRIC, electric_section(N, 1 | 2 | 4 | 16 | 32 | 1 << 12, values))
    chk.replace(ORIENT, orient_record(words, (0.5, -1.0, 2.0)))
    reader = read(chk)
    e = reader.fchk_entries()
    close = lambda ours, ref: np.testing.assert_allclose(ours, np.ravel(ref), rtol=1e-12, atol=1e-14)  # noqa: E731
    # Back to the input orientation: the inverse rotation (M transposed, given row by row), then -t.
    np.testing.assert_array_equal(e["RotTr to input orientation"], [*m.T.flatten(order="F"), -0.5, 1.0, -2.0])
    # The records hold what the file writes, in the frame of the coordinates.
    close(reader.further.electric.dipole, m @ values[1])
    close(reader.further.vibrations.modes.ravel(), e["Vib-Modes"])
    close(e["Dipole Moment"], m @ values[1])
    close(e["Cartesian Gradient"], (m @ (0.01 * np.arange(9.0)).reshape(3, 3).T).T)
    close(e["Vib-Modes"], (m @ np.full((9, 3), 0.1).T).T)
    rot2 = lambda t: m @ t @ m.T  # noqa: E731
    pol = rot2(sym(values[4 + 9 * N]))
    close(e["Polarizability"], [pol[i, j] for i, j in zip(*[[0, 1, 1, 2, 2, 2], [0, 0, 1, 0, 1, 2]], strict=True)])
    quad = rot2(sym(values[47 + 126 * N], upper=True))
    close(e["Quadrupole Moment"], quad[UPPER])
    close(
        e["QEq coupling tensors"],
        [
            rot2(sym([0.1, 0.0, 0.2, 0.0, 0.0, 0.3]))[i, j]
            for _ in range(N)
            for i, j in zip(*[[0, 1, 1, 2, 2, 2], [0, 0, 1, 0, 1, 2]], strict=True)
        ],
    )
    t = np.zeros((3, 3, 3))
    for v, idx in zip(values[10 + 27 * N], HYPER, strict=True):
        for a, b, c in {
            idx,
            idx[::-1],
            (idx[1], idx[0], idx[2]),
            (idx[0], idx[2], idx[1]),
            (idx[2], idx[0], idx[1]),
            (idx[1], idx[2], idx[0]),
        }:
            t[a, b, c] = v
    hyper = np.einsum("ia,jb,kc,abc->ijk", m, m, m, t)
    close(e["HyperPolarizability"], [hyper[idx] for idx in HYPER])
    dd = values[4].reshape(N, 3, 3)  # atom, direction, dipole component
    close(e["Dipole Derivatives"], np.einsum("qp,kl,apl->aqk", m, m, dd))
    pd = np.array([[sym(row) for row in atom] for atom in values[10 + 9 * N].reshape(N, 3, 6)])
    turned = np.einsum("qp,ik,jl,apkl->aqij", m, m, m, pd)
    close(
        e["Polarizability Derivatives"],
        [
            a[q][i, j]
            for a in turned
            for q in range(3)
            for i, j in zip(*[[0, 1, 1, 2, 2, 2], [0, 0, 1, 0, 1, 2]], strict=True)
        ],
    )


@pytest.mark.parametrize(
    "layout, before, after",
    [
        (-12346, ("Coordinates of each shell", "Constraint Structure"), ("IROHF", "QEq coupling tensors")),
        (-12347, ("Nuclear ZEff", "Nuclear QMom"), ("QEq coupling tensors", "Mulliken Charges")),
        (-12348, ("Nuclear ZEff", "Nuclear ZNuc"), ("Quadrupole Moment", "QEq coupling tensors")),
        (-12349, ("Info1-9", "Full Title"), ("ClPar Real Params", "Gaussian Version")),
    ],
)
def test_each_version_has_its_own_order_and_blocks(read, layout, before, after):
    """Version 09 (-12346, -12347) and 16 (-12348, -12349) files: neighbours per formchk, and every layout's block
    column reads the same per-atom values."""
    # Set general-array values: written only when non-zero, wherever their sign.
    chk = complete_water(layout).replace(
        GEN, gen({0: 2.0, 20: 1e-5, 22: 1e-9, 31: -74.9, 32: -75.2, 41: 0.98, 42: -74.96})
    )
    e = read(chk).fchk_entries()
    labels = list(e)
    for a, b in (
        before,
        after,
        ("SCF Energy", "MP2 Energy"),
        ("Post-SCF wavefunction norm", "RMS Force"),
        ("RMS Force", "RMS Density"),
    ):
        assert labels.index(b) == labels.index(a) + 1
    assert (e["MP2 Energy"], e["RMS Force"], e["IBond"].tolist()) == (-75.2, 1e-5, [2, 3, 1, 0, 1, 0])
    assert e["RBond"].tolist() == [1.0, 1.0, 1.0, 0.0, 1.0, 0.0]
    v16 = layout in (-12348, -12349)
    present = ("Full Title" in e, "Nuclear ZNuc" in e, "Constraint Structure" in e, "Vib-E2" in e)
    assert present == (v16, v16, not v16, v16)
    assert e["Real atomic weights"].tolist() == [1.5] * N and e["Integer atomic weights"].tolist() == [2] * N
    assert e["Nuclear spins"].tolist() == [1] * N and e["Nuclear ZEff"].tolist() == [-1.0] * N
    assert e["Nuclear GFac"].tolist() == [0.5] * N and e["MicOpt"].tolist() == [-1] * N
    assert e["Mulliken Charges"].tolist() == [-0.8, 0.4, 0.4] and e["NPA Charges"].tolist() == [-0.9, 0.45, 0.45]
    assert e["Opt point       1 Geometries"].tolist() == [0.1] * 9 + [0.2] * 9
    assert e["Atom Layers"].tolist() == [0] * N and e["ONIOM Multiplicities"].tolist() == [1] * 16
    if v16:
        assert e["ClPar Real Params"].tolist() == [0.25] * 2 and e["ClPar Int Params"].tolist() == [2] * 2
        assert e["Internal Force Constants"].tolist() == [0.5] * 6 and e["Internal Forces"].tolist() == [0.1, 0.2, 0.3]
        assert e["Redundant internal coordinates"].tolist() == [1.8, 1.8, 1.9]
        assert (e["NImag"], e["Number of Normal Modes"], e["Vib-LE2Fix"]) == (1, 3, 14)
        assert e["Gaussian Version"] == "ES64L-G16RevA.03" and e["Atom Types"] == " " * 12 * N


def test_basic_entries_keep_their_types_and_undecodable_text(read, tmp_path):
    """fchk_entries(False) is the basic file entry by entry; a title that is not UTF-8 comes back, not an error."""
    reader = read(water().replace(LABEL, label_record(b"caf\xe9", "#p HF")))
    e = reader.fchk_entries(complete=False)
    assert e["Full Title"] == "caf\udce9" and e["Route"] == "#p HF"
    assert type(e["Number of atoms"]) is int and type(e["SCF Energy"]) is float
    assert e["Atomic numbers"].dtype == np.int64 and e["Current cartesian coordinates"].dtype == np.float64
    reader.write_fchk(str(tmp_path / "b.fchk"))
    lines = (tmp_path / "b.fchk").read_text("latin-1").splitlines()[2:]
    assert list(e) == [line[:40].rstrip() for line in lines if re.match(r"\S.{39}   [IRC]  ", line)]
