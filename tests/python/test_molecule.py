"""Molecule section: header layouts, failures, orientation, method prefix, orbitals, cell, views."""

import gc
import warnings

import numpy as np
import pytest
import tesvarin

from tests.python.chk_builder import (
    ALPHA_MO,
    BETA_MO,
    MOL,
    ORBENE,
    ORTH_BASIS,
    QUARTER_Z,
    Atom,
    Shell,
    basis_section,
    info_record,
    molecule,
    on_atoms,
    reals,
)

BOHR = 0.529177249
H2 = [Atom(1), Atom(1, (0.0, 0.0, 1.4))]


@pytest.mark.parametrize("layout, hdrlen", [(-12345, 0), (-12346, 20), (-12347, 20), (-12348, 25), (-12349, 21)])
def test_header_layouts(read, layout, hdrlen):
    atoms = [Atom(8, (0.0, 0.0, 0.2)), Atom(1, (0.0, 1.4, -0.9))]
    m = read(molecule(atoms, layout=layout, hdrlen=hdrlen, charge=-1, mult=2, nae=6, nbe=4, nbasis=7, nbsuse=6))
    m = m.params.mol
    assert (m.natoms, m.totchg, m.multiplicity, m.ne, m.nae, m.nbe, m.nbasis, m.nbsuse) == (2, -1, 2, 10, 6, 4, 7, 6)
    assert m.atomicnums == [8, 1] and np.allclose(m.coords, np.array([a.xyz for a in atoms]) * BOHR)


def test_single_atom(read):
    m = read(molecule([Atom(6, (0.0, 0.0, 1.0))], on_atoms([Atom(6, (0.0, 0.0, 1.0))]))).params.mol
    assert (m.natoms, m.names, m.nucchg, m.coords.tolist()) == (1, ["C"], [6.0], [[0.0, 0.0, BOHR]])


def basis_header(words):
    return molecule(H2, basis_section(on_atoms(H2), header=words))


@pytest.mark.parametrize(
    "make, message",
    [
        (lambda: molecule(H2).without(MOL), "No Mol sections in .chk"),
        (lambda: molecule(H2, layout=-12344), "Bad MolTyp in rwmol: -12344"),
        (lambda: molecule(H2, layout=-12350), "Bad MolTyp in rwmol: -12350"),
        *[(lambda n=n: molecule(H2, natoms=n), "Missing atom data in.chk") for n in (0, -2)],
        (lambda: molecule(H2, natoms=249998), "Too many atoms in .chk: 249998, at most 249997 are supported"),
        (
            lambda: molecule(H2, natoms=249997),
            "Bad count in .chk: atom coordinates = 750000, but the file holds only {words} words",
        ),
        *[
            (lambda w=w: basis_header(w), "RdWrB1 read garbage pointers")  # MaxTyp 2 without D/F, CartD, CartF, NShell,
            for w in ({1: 2}, {4: 2}, {5: -1}, {0: -1}, {3: 3})
        ],  # NPrim < NPrimD
        (
            lambda: basis_header({2: len(basis_header({}).build()) // 8 + 1}),  # NPrim one more than the file's words
            "Bad count in .chk: NPrim = {next}, but the file holds only {words} words",
        ),
        (lambda: molecule(H2, ilsw={0: 4}), "Illegal IOpCl in decode_sc"),
    ],
)
def test_molecule_failures(fails, make, message):
    chk = make()
    words = len(chk.build()) // 8
    assert fails(chk) == message.format(words=words, next=words + 1)


A, T = np.array([[1.0, 0.0, 0.0], [0.0, 0.0, 2.0]]), np.array([0.5, 0.0, 0.0])
ROTATED = (A + T) @ np.reshape(QUARTER_Z, (3, 3))  # M (x) for M held column by column
USE_B = "Warning! Use Basis coords\n"
TRANSFER = "Warning! Coordinates do not match /B/. Transferring coordinates from /Mol/ to /B/\n"


@pytest.mark.parametrize(
    "shells, orient, ilsw, coords, out",
    [
        (A, True, {}, A, ""),
        (A + T, True, {}, A + T, ""),
        (ROTATED, True, {}, ROTATED, ""),
        (A + 5, True, {}, A + 5, USE_B),
        (A + 5, False, {}, A, TRANSFER),
        (A + T, True, {25: 1}, A, TRANSFER),  # the orientation record is ignored
        (None, True, {}, ROTATED, ""),  # no basis: translate and rotate unchecked
        (A + [5e-5, 0.0, 0.0], False, {}, A, ""),
        (A + [0.0, 2e-4, 0.0], False, {}, A, TRANSFER),
    ],  # tolerance 1e-4
    ids=["match", "translate", "rotate", "basis-coords", "transfer", "ilsw25", "no-basis", "close", "off"],
)
def test_orientation(read, capfd, shells, orient, ilsw, coords, out):
    atoms = [Atom(1, tuple(p)) for p in A]
    basis = None if shells is None else [Shell(0, i + 1, [1.0], [1.0], centre=tuple(c)) for i, c in enumerate(shells)]
    m = read(molecule(atoms, basis, ilsw=ilsw, orient=(QUARTER_Z, tuple(T)) if orient else None)).params.mol
    assert capfd.readouterr().out == out
    assert np.allclose(m.coords, coords * BOHR, rtol=0, atol=1e-12)
    if shells is not None:
        assert np.allclose(m.cshell, coords * BOHR, rtol=0, atol=1e-4)


@pytest.mark.parametrize(
    "iopcl, irohf, slot5, method",
    [
        (0, 0, 0, "RB3LYP"),
        (1, 0, 0, "UB3LYP"),
        (0, 1, 0, "ROB3LYP"),
        (1, 1, 0, "UB3LYP"),
        (2, 0, 0, "RCB3LYP"),
        (3, 0, 0, "UCB3LYP"),
        (6, 0, 0, "GB3LYP"),
        (22, 0, 0, "GB3LYP"),
        (-1, 0, 0, "RB3LYP"),
        (0, 2, 0, "B3LYP"),
        (0, 1, 1150, "ROB3LYP"),
        (0, 1, 1250, "B3LYP"),
        (0, 0, 199, "RB3LYP"),
        (0, 0, 200, "B3LYP"),
        (0, 0, -1250, "RB3LYP"),
    ],
)  # the remainder keeps the sign of the dividend
def test_method_prefix(read, iopcl, irohf, slot5, method):
    info = info_record(slot5=slot5, text="B3LYP\\def2SVP\\")
    assert read(molecule(H2, ilsw={0: iopcl, 21: irohf}, info=info)).params.method == method


@pytest.mark.parametrize(
    "iopcl, nalpha, northo, nmo, ncoef",
    [
        (0, 4, 4, 2, 4),
        (1, 4, 4, 2, 4),
        (0, 4, 5, 2, 4),
        (0, 4, 3, 2, 4),
        (1, 3, 4, 0, 0),  # nbasis * nbsuse = 4
        (6, 32, 32, 4, 32),
        (6, 31, 32, 0, 0),
    ],
)  # complex two-component: 2 x 2 nbasis x 2 nbsuse
def test_orbitals(read, iopcl, nalpha, northo, nmo, ncoef):
    chk = molecule(H2, ilsw={0: iopcl}, nbasis=2).add(ORBENE, reals(-1.0, -0.5, -0.9, -0.4))
    chk.add(ALPHA_MO, reals(*range(1, nalpha + 1))).add(BETA_MO, reals(5, 6, 7, 8))
    m = read(chk.add(ORTH_BASIS, reals(*[0.25] * northo))).params.mol
    open_shell = ncoef > 0 and iopcl == 1
    assert (m.aoene, m.amocoeff) == ([-1.0, -0.5, -0.9, -0.4][:nmo], list(range(1, ncoef + 1)))
    assert (m.boene, m.bmocoeff) == (([-0.9, -0.4], [5, 6, 7, 8]) if open_shell else ([], []))
    assert m.orthbasis == ([0.25] * ncoef if northo == ncoef else [])
    # The view: one orbital per row over the spinor's two components (complex) for IOpCl 6.
    view = m.alpha_mo_coefficients
    assert view.shape == ((nmo, 4) if iopcl == 6 else (nmo, 2)) if nmo else view.size == 0
    assert view.ravel().view(np.float64).tolist() == list(range(1, ncoef + 1))


VECTORS = [(1.0, 2.0, 3.0), (4.0, 5.0, 6.0), (7.0, 8.0, 9.0)]


@pytest.mark.parametrize("layout", [-12346, -12345])  # the old 12-word header keeps ndim in word 10
@pytest.mark.parametrize("ndim", [0, 1, 3])
def test_cell(chk, ndim, layout):
    path = chk(molecule(H2, ndim=ndim, cell=VECTORS, layout=layout))
    m = tesvarin.ChkReader_(path).params.mol
    assert m.ndim == ndim and m.coords.shape == (2, 3) and m.names == ["H", "H"]
    assert np.allclose(m.cell, np.array(VECTORS) * BOHR if ndim else np.zeros((3, 3)), rtol=0, atol=1e-15)
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", tesvarin.ChkWarning)
        cell = tesvarin.load(path).cell  # Bohr, as stored
    assert (cell is None) if ndim == 0 else cell.tolist() == [list(v) for v in VECTORS[:ndim]]


def test_per_atom_properties(read):
    m = read(molecule([Atom(0, (0.0, 0.0, 1.0)), Atom(1, charge=0.5), Atom(111), Atom(112)])).params.mol
    assert (m.names, m.atomicnums, m.nucchg) == (["X", "H", "Rg", "Rg"], [0, 1, 111, 112], [0.0, 0.5, 111.0, 112.0])
    coords = m.coords
    assert coords.dtype == np.float64 and coords.shape == (4, 3) and coords[0, 2] == pytest.approx(BOHR, rel=1e-15)
    coords[0, 2] = 7.0
    assert m.coords[0, 2] == pytest.approx(BOHR, rel=1e-15)
    with pytest.raises(AttributeError):
        m.natoms = 3


def test_element_symbols_against_iodata(read):
    num2sym = pytest.importorskip("iodata.periodic").num2sym
    names = read(molecule([Atom(z, (0.0, 0.0, 0.1 * z)) for z in range(113)])).params.mol.names
    assert names == ["X"] + [num2sym[z] for z in range(1, 112)] + ["Rg"]


def test_mol_view_outlives_reader(read):
    reader = read(molecule(H2, on_atoms(H2)))
    mol = reader.params.mol
    del reader
    gc.collect()
    assert mol.natoms == 2 and mol.coords[1].tolist() == [0.0, 0.0, 1.4 * BOHR] and mol.shell2map == [1, 2]
