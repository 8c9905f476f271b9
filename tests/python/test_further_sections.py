"""The further sections behind the complete fchk: what they give, in each version's layout and orientation.

How a bent one fails is in test_bent_further_sections.py.
"""

import re

import numpy as np
import pytest
import tesvarin

from tests.python.chk_builder import (
    CHARGES,
    CORE_POTENTIALS,
    DENSITY_BASIS,
    EFIELD,
    ELECTRIC,
    GEN,
    GRADIENT,
    INTERNAL_FORCES,
    LABEL,
    MOL,
    OPT_ARCHIVE,
    ORIENT,
    QUARTER_Z,
    VERSION,
    VIBRATIONS,
    Atom,
    atom_blocks,
    charges_section,
    complete_water,
    core_potentials_section,
    density_basis_section,
    electric_section,
    gen,
    internal_forces_section,
    label_record,
    mol_section,
    opt_archive_section,
    orient_record,
    padded,
    reals,
    vibrations_section,
    water,
)

N = 3
WATER = [Atom(8, (0.0, 0.0, 0.2)), Atom(1, (0.0, 1.4, -0.9)), Atom(1, (0.0, -1.4, -0.9))]


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
        "605 APT charges (bit 4)",
        CHARGES,
        charges_section(1 | 16, Q[0], Q[1]),
        lambda e: e["Mulliken Charges"].tolist() == Q[0] and "NPA Charges" not in e,
        lambda cp: cp.mulliken_charges.tolist() == Q[0] and cp.apt_charges.tolist() == Q[1],
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
        "765 blocks by name",
        VIBRATIONS,
        vibrations_section([16.0, 1.0, 1.0], [-100.0, 60.0, 3700.0], [0.1] * 27, blocks=[1.1, 1.2, 1.3, 2.1, 2.2, 2.3]),
        lambda e: e["NImag"] == 1,
        lambda cp: (cp.reduced_masses.tolist(), cp.force_constants.tolist()) == ([1.1, 1.2, 1.3], [2.1, 2.2, 2.3]),
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
        "single point with an all-zero gradient",
        GRADIENT,
        reals(*[0.0] * 9, *[-0.0] * 9),
        lambda e: e["Nuclear derivative order"] == 0,
        lambda cp: cp.gradient.tolist() == [[0.0] * 3] * 3,
    ),
    (
        "single point with a gradient",
        GRADIENT,
        reals(*[0.0] * 8, 1e-9, *[0.0] * 9),
        lambda e: e["Nuclear derivative order"] == 1,
        lambda cp: cp.gradient[2, 2] == 1e-9,
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


def c01(chk):
    return chk.replace(VERSION, padded("ES64L-G16RevC.01", 48, b"\0"))


# (row id, archive section, version 16 C.01's archive entries in file order, loaded trajectory fields)
C01_ARCHIVES = [
    (
        "optimisation",
        opt_archive_section(3, [[-76.25, 0.1], [-76.5, 0.0]], [geometry(0), geometry(1)], [geometry(-1)] * 2),
        {
            "Optimization MaxStp": 3,
            "Optimization MaxJob": 1,
            "Optimization Job offset": 0,
            "Optimization Num results per geometry": 2,
            "Optimization Num geometry variables": 9,
            "Optimization Reference Energy": -76.0,
            "Opt point       1 Results for each geome": [-0.25, 0.1, -0.5, 0.0],
            "Opt point       1 Geometries": geometry(0) + geometry(1),
            "Opt point       1 Gradient at each geome": geometry(-1) * 2,
            "Optimization Number of geometries": [2],
        },
        ([-76.25, -76.5], None),
    ),
    (
        "trajectory",
        opt_archive_section(
            4,
            [[0.0, 0.0, 0.1, 0.0, -75.75, 0.0, -75.65], [0.1, 0.0, 0.09, 0.01, -75.5, 0.0, -75.4]],
            [geometry(0), geometry(1)],
            [geometry(-1)] * 2,
            momenta=[geometry(2), geometry(3)],
        ),
        {
            "Trajectory MaxStp": 4,
            "Trajectory MaxJob": 1,
            "Trajectory Job offset": 0,
            "Trajectory Num results per geometry": 7,
            "Trajectory Num geometry variables": 9,
            "Trajectory Reference Energy": -75.0,
            "Traj num       1 Results for each geomet": [0.0, 0.0, 0.1, 0.0, -0.75, 0.0, -75.65]
            + [0.1, 0.0, 0.09, 0.01, -0.5, 0.0, -75.4],
            "Traj num       1 Geometries": geometry(0) + geometry(1),
            "Traj num       1 Momentum at each geomet": geometry(2) + geometry(3),
            "Trajectory Number of geometries": [2],
        },
        ([-75.75, -75.5], [geometry(2), geometry(3)]),
    ),
]


@pytest.mark.parametrize("archive, entries, loaded", [r[1:] for r in C01_ARCHIVES], ids=[r[0] for r in C01_ARCHIVES])
def test_16_c01_archive_entries_and_order(read, chk, archive, entries, loaded):
    """16 C.01's own column: its two moved entries, and the archive with MaxJob and the reference energy."""
    e = read(c01(complete_water()).replace(OPT_ARCHIVE, archive)).fchk_entries(strict=True)
    labels = list(e)
    for before, after in (
        ("Number of symbols in /Mol/", "Int Atom Types"),
        ("Atom Modifiers", "Int Atom Modified Types"),
    ):
        assert labels.index(after) == labels.index(before) + 1
    first = labels.index(next(iter(entries)))
    assert labels[first : first + len(entries)] == list(entries)
    assert labels[first - 1] == "NPA Charges" and labels[first + len(entries)] == "ONIOM Charges"
    for label, value in entries.items():
        assert np.asarray(e[label]).tolist() == value, label
    cp = tesvarin.load(chk(c01(complete_water()).replace(OPT_ARCHIVE, archive)))
    energies, momenta = loaded
    assert cp.trajectory_energies.tolist() == energies
    assert cp.trajectory_coordinates.reshape(2, -1).tolist() == [geometry(0), geometry(1)]
    assert cp.trajectory_gradients.reshape(2, -1).tolist() == [geometry(-1)] * 2
    assert (
        momenta is None if cp.trajectory_momenta is None else cp.trajectory_momenta.reshape(2, -1).tolist() == momenta
    )


E01 = "EM64W-G09RevE.01"


@pytest.mark.parametrize(
    "version, written_as",
    [
        ("ES64L-G16RevC.02", "16 C.01"),
        ("ES64L-GDVRevJ.30", "16 A.03"),
        ("ES64L-G16RevB.01", None),
        ("ES64L-G09RevD.01", "09 E.01"),  # of its own program: 09's column, not 16's
    ],
)
def test_versions_without_a_column_are_written_in_the_nearest(read, version, written_as):
    """A revision with no column of its own: the nearest known one of its program, with a note naming it;
    B.01 is A.03's."""
    r = read(complete_water().replace(VERSION, padded(version, 48, b"\0")))
    if written_as is None:
        assert list(r.fchk_entries(strict=True)) == list(read(complete_water()).fchk_entries())
        return
    with pytest.warns(tesvarin.ChkWarning, match=f"written as {written_as}'s formchk writes it"):
        left = r.fchk_entries()
    nearest = {"16 C.01": c01(complete_water()), "16 A.03": complete_water()}.get(
        written_as, complete_water().replace(VERSION, padded(E01, 48, b"\0"))
    )
    assert list(left) == list(read(nearest).fchk_entries(strict=True))


def test_09_e01_writes_09_entries_with_16s_additions(read):
    """09 E.01: version 09's entries (no title, route or version entries), ZNuc after ZEff, the symmetry entries
    after MicOpt, the job status after the RMS density, the QEq tensors last of the electric properties."""
    e01 = complete_water(-12347, orient=QUARTER_Z).add(VERSION, padded(E01, 48, b"\0"))
    labels = list(read(e01).fchk_entries(strict=True))
    assert not {"Full Title", "Route", "Gaussian Version", "Atom Types", "Number of residues"} & set(labels)
    for before, after in [
        ("Nuclear ZEff", "Nuclear ZNuc"),
        ("MicOpt", "SymInf integers"),
        ("RMS Density", "Job Status"),
        ("Quadrupole Moment", "QEq coupling tensors"),
    ]:
        assert labels.index(after) == labels.index(before) + 1, after


def test_density_basis_is_split_and_normalised_as_formchk_writes_it(read):
    """The fitting basis' combined SPD shell becomes an SP and a D shell with the same exponent, its
    F-only shell stays one shell; every contraction is normalised over normalised primitives."""
    e = read(complete_water()).fchk_entries(strict=True)
    labels = list(e)
    first = labels.index("Density Number of contracted shells")
    assert labels[first - 1] == "Coordinates of each shell" and labels[first + 13] == "Num ILSW"
    counts = [e[f"Density {k}"] for k in ("Number of contracted shells", "Number of primitive shells")]
    kinds = [e[f"Density {k}"] for k in ("Pure/Cartesian d shells", "Pure/Cartesian f shells")]
    assert counts == [6, 7] and kinds == [0, 0]
    assert (e["Density Highest angular momentum"], e["Density Largest degree of contraction"]) == (3, 2)
    assert e["Density Shell types"].tolist() == [0, -1, -2, -3, 0, 0]
    assert e["Density Number of primitives per shell"].tolist() == [2, 1, 1, 1, 1, 1]
    assert e["Density Shell to atom map"].tolist() == [1, 1, 1, 1, 2, 3]
    assert e["Density Primitive exponents"].tolist() == [8.0, 2.0, 1.5, 1.5, 0.8, 1.0, 1.0]
    np.testing.assert_allclose(e["Density P(S=P) Contraction coefficients"], [0, 0, 1, 0, 0, 0, 0], rtol=1e-14)
    c = e["Density Contraction coefficients"]
    np.testing.assert_allclose(c[2:], 1.0, rtol=1e-14)
    overlap = (2 * np.sqrt(8.0 * 2.0) / 10.0) ** 1.5  # of the two normalised s primitives
    assert c[0] / c[1] == pytest.approx(3.0 * (2.0 / 8.0) ** 0.75, rel=1e-12)  # raw ratio 3:1, normalised
    assert c[0] ** 2 + c[1] ** 2 + 2 * c[0] * c[1] * overlap == pytest.approx(1.0, rel=1e-12)
    assert e["Density Coordinates of each shell"].reshape(-1, 3)[-1].tolist() == [0.0, -1.4, -0.9]
    # The orbital basis is left as it was.
    assert (
        e["Shell types"].tolist()
        == read(complete_water().without(DENSITY_BASIS)).fchk_entries()["Shell types"].tolist()
    )


def test_density_basis_ignores_the_df_start_of_s_and_p_shells(read):
    """Only shells with D or higher read their D/F start: a wild one elsewhere changes nothing (a
    fuzzing find: the split once subtracted 1 from it first)."""
    wild = density_basis_section(dfstart=[-(2**63), 1, 2, 2**62, 0])
    e = read(complete_water().replace(DENSITY_BASIS, wild)).fchk_entries(strict=True)
    whole = read(complete_water()).fchk_entries(strict=True)
    assert all(np.array_equal(e[k], whole[k]) for k in whole if k.startswith("Density "))


def test_core_potentials_without_terms_are_written_whole(read, chk):
    """A def2 basis stores the section with no potential: formchk's whole block, zero scalars last."""
    e = read(complete_water()).fchk_entries(strict=True)
    labels = list(e)
    start = labels.index("ECP-MxAtEC")
    block = labels[start : labels.index("MxBond")]
    assert labels[start - 1] in ("ILSW", "RLSW")
    assert block == [f"ECP-{k}" for k in ECP_LABELS]
    assert [e[f"ECP-{k}"] for k in ("MxAtEC", "MaxLECP", "MaxAtL", "MxTECP", "LenNCZ")] == [
        250000,
        10,
        2250000,
        11250000,
        0,
    ]
    assert e["ECP-LPSkip"].tolist() == [1, 1, 1] and e["ECP-KFirst"].tolist() == [0] * 30
    assert (e["ECP-NLP"], e["ECP-CLP1"], e["ECP-CLP2"], e["ECP-ZLP"]) == (0, 0.0, 0.0, 0.0)
    assert tesvarin.load(chk(complete_water())).ecp_core_electrons.tolist() == [0, 0, 0]
    assert tesvarin.load(chk(complete_water().without(CORE_POTENTIALS))).ecp_core_electrons.tolist() == [0, 0, 0]


ECP_LABELS = ("MxAtEC", "MaxLECP", "MaxAtL", "MxTECP", "LenNCZ", "KFirst", "KLast", "LMax", "LPSkip", "RNFroz")
ECP_LABELS += ("NLP", "CLP1", "CLP2", "ZLP")


def test_a_real_core_potential_costs_only_its_block(read, chk):
    """Its coefficients lie in no known section: the block is left out with a warning naming 512."""
    bent = complete_water().replace(CORE_POTENTIALS, core_potentials_section(3, [10.0, 0.0, 0.0], terms=3))
    r = read(bent)
    message = "Section 512 (core potentials): the coefficients NLP, CLP1, CLP2 and ZLP of its 3 core-potential terms"
    with pytest.raises(RuntimeError, match=re.escape(message)):
        r.fchk_entries(strict=True)
    with pytest.warns(tesvarin.ChkWarning, match=re.escape(message)):
        left = r.fchk_entries()
    whole = read(complete_water()).fchk_entries()
    assert set(whole) - set(left) == {f"ECP-{k}" for k in ECP_LABELS} and set(left) <= set(whole)
    assert r.further.core_potentials.klast[0, :4].tolist() == [1, 2, 3, 0]
    assert tesvarin.load(chk(bent)).ecp_core_electrons.tolist() == [10, 0, 0]


@pytest.mark.parametrize(
    "mask, mulliken, npa, apt",
    [(1 | 32, True, False, False), (1 | 8 | 64, True, True, False), (32 | 16, False, False, True)],
)
def test_an_unknown_charge_bit_costs_its_set_and_those_after_it(read, chk, mask, mulliken, npa, apt):
    sets = [Q[k % 4] for k in range(bin(mask).count("1"))]
    path = chk(complete_water().replace(CHARGES, charges_section(mask, *sets)))
    bit = (mask & ~0x1F).bit_length() - 1
    message = f"Section 605 (charges): charge mask {mask} has bit {bit}, a set this reader does not know"
    with pytest.warns(tesvarin.ChkWarning, match=re.escape(message)):
        cp = tesvarin.load(path)
    assert (cp.mulliken_charges is not None, cp.npa_charges is not None, cp.apt_charges is not None) == (
        mulliken,
        npa,
        apt,
    )
    with pytest.raises(RuntimeError, match=re.escape(message)):
        tesvarin.ChkReader_(path).fchk_entries(strict=True)
    with pytest.warns(tesvarin.ChkWarning, match=re.escape(message)):
        e = tesvarin.ChkReader_(path).fchk_entries()
    assert ("Mulliken Charges" in e, "NPA Charges" in e) == (mulliken, npa)


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
        (-12346, ("Density Coordinates of each shell", "Constraint Structure"), ("IROHF", "QEq coupling tensors")),
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
    present = ("Full Title" in e, "Nuclear ZNuc" in e, "Constraint Structure" in e, "Vib-LE2Fix" in e, "Vib-E2" in e)
    assert present == (v16, v16, not v16, v16, True)
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
