"""Basis fix-up, Hessian and densities."""

import gc
import math

import numpy as np
import pytest

from tests.python.chk_builder import (
    DENSITIES,
    FORCE_CONST,
    QUARTER_Z,
    REC534,
    Atom,
    Shell,
    basis_section,
    densities,
    ints,
    molecule,
    on_atoms,
    reals,
)

BOHR = 0.529177249


def norm(L, e):
    """sqrt(PrmNrm(1, L, e, e)): the norm of x^L exp(-e r^2)."""
    return math.sqrt((math.pi / (2 * e)) ** 1.5 * math.prod(range(1, 2 * L, 2)) / (4 * e) ** L)


def test_shells_regrouped_by_atom(read):
    atoms = [Atom(1), Atom(1, (0.0, 0.0, 1.4))]
    shells = [
        Shell(0, 2, [2.0], [0.9], centre=atoms[1].xyz),
        Shell(0, 1, [1.0, 0.5], [0.6, 0.5]),
        Shell(1, 2, [3.0], coefp=[1.0], cons=1, centre=atoms[1].xyz),
    ]
    m = read(molecule(atoms, shells)).params.mol
    assert (m.shell2map, m.shellnprim, m.shelltypes) == ([1, 2, 2], [2, 1, 1], [0, 0, 1])
    assert m.primexp == [1.0, 0.5, 2.0, 3.0]
    assert m.concoeff == pytest.approx([0.6 * norm(0, 1.0), 0.5 * norm(0, 0.5), 0.9 * norm(0, 2.0), norm(1, 3.0)])
    assert m.spconcoeff == [] and np.allclose(m.cshell, [[0, 0, 0], [0, 0, 1.4 * BOHR], [0, 0, 1.4 * BOHR]])


@pytest.mark.parametrize("cons", [0, 2, 5])
def test_sp_shell(read, cons):
    shells = [Shell(0, 1, [4.0], [-1.0]), Shell(1, 1, [2.0, 0.5], coefs=[0.3, 0.7], coefp=[0.2, 0.8], cons=cons)]
    m = read(molecule([Atom(1)], shells)).params.mol
    assert m.shelltypes == [0, -1] and m.shellnprim == [1, 2]
    assert m.concoeff == pytest.approx([-norm(0, 4.0), 0.3 * norm(0, 2.0), 0.7 * norm(0, 0.5)])
    assert m.spconcoeff == pytest.approx([0.0, 0.2 * norm(1, 2.0), 0.8 * norm(1, 0.5)])


@pytest.mark.parametrize(
    "cartd, cartf, codes",
    [(1, 1, [0, 1, 2, 3, 4]), (0, 1, [0, 1, -2, 3, 4]), (1, 0, [0, 1, 2, -3, -4]), (0, 0, [0, 1, -2, -3, -4])],
)
def test_shell_codes(read, cartd, cartf, codes):
    prims = [(0, 3.0, -0.5), (1, 2.0, 0.7), (2, 1.5, 0.9), (3, 0.8, -1.2), (4, 0.6, 0.4)]
    shells = [Shell(L, 1, [e], [c], [c], [c], cons=L) for L, e, c in prims]
    m = read(molecule([Atom(6)], basis_section(shells, cartd=cartd, cartf=cartf))).params.mol
    assert m.shelltypes == codes and m.spconcoeff == []
    assert m.concoeff == pytest.approx([c * norm(L, e) for L, e, c in prims])


S, NSHELL = Shell(0, 1, [1.0], [1.0]), "NShell != mol.NShell in fix_basis"


@pytest.mark.parametrize(
    "type_code, shell, message",
    [
        *[(t, S, None) for t in (0, 1000, 10000000)],
        *[(t, S, NSHELL) for t in (5, 999, 1001, 9999999)],
        (0, Shell(2, 1, [1.0], [0.5], [0.5], [0.5], cons=0), NSHELL),  # SPD is expanded into SP and D
        (0, Shell(0, 0, [1.0], [1.0]), "FixB is confused about JAn"),
        (0, Shell(0, 2, [1.0], [1.0]), "atom id out of range"),
        (0, Shell(0, 1, [1e-6], [1.0]), None),
        (0, Shell(0, 1, [1e-7], [1.0]), "Missing exponents in basis set"),
        (0, Shell(0, 1, [1.0] * 99, [0.1] * 99), None),
        (0, Shell(0, 1, [1.0] * 100, [0.1] * 100), "MaxCon too small in Renor1"),
        (0, Shell(0, 1, [1.0], [0.0]), "Unable to normalize a contracted basis function"),
    ],
)
def test_fix_basis_failures(read, fails, type_code, shell, message):
    chk = molecule([Atom(6, type_code=type_code)], [shell])
    if message is None:
        assert read(chk).params.mol.shell2map == [1]
    else:
        assert fails(chk) == message


def packed(h):
    return [h[r][c] for r in range(len(h)) for c in range(r + 1)]


def test_hessian_expanded_and_read_only(read):
    h = read(molecule([Atom(6)]).add(FORCE_CONST, reals(1, 2, 3, 4, 5, 6))).params.mol.hessian
    gc.collect()  # the array alone keeps the reader alive
    assert h.tolist() == [[1, 2, 4], [2, 3, 5], [4, 5, 6]] and h.dtype == np.float64
    with pytest.raises(ValueError):
        h[0, 0] = 9.0
    assert read(molecule([Atom(6)])).params.mol.hessian.shape == (0, 0)
    # Built as lower triangle plus its transpose with the diagonal halved: -0 turns +0, 2*1e308 overflows.
    h = read(molecule([Atom(6)]).add(FORCE_CONST, reals(1e308, -0.0, 2, 3, 4, 5))).params.mol.hessian
    assert np.isinf(h[0, 0]) and np.signbit(h[1, 0]) == np.signbit(h[0, 1]) == False  # noqa: E712


IDENTITY = [1.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 1.0]


@pytest.mark.parametrize(
    "rot, basis, ilsw, diag",
    [
        (QUARTER_Z, False, {}, [2, 1, 3]),
        (QUARTER_Z, True, {}, [2, 1, 3]),  # matching atoms still rotate
        (QUARTER_Z, True, {25: 1}, [1, 2, 3]),
        (IDENTITY, False, {}, [1, 2, 3]),
        (None, False, {}, [1, 2, 3]),
    ],
)
def test_hessian_quarter_turn(read, rot, basis, ilsw, diag):
    atoms = [Atom(6)]
    chk = molecule(atoms, on_atoms(atoms) if basis else None, ilsw=ilsw, orient=rot and (rot, (0.0, 0.0, 0.0)))
    h = read(chk.add(FORCE_CONST, reals(*packed(np.diag([1.0, 2.0, 3.0]))))).params.mol.hessian
    assert np.allclose(h, np.diag(diag), rtol=0, atol=1e-15)


@np.errstate(invalid="ignore")
def rotated_by_identity(full):
    """One atom's block turned by the identity in the reader's operation order, then expanded:
    what the identity rotation does to -0 (meets +0 products) and to inf (0 * inf is NaN)."""
    r, b = np.array(IDENTITY), np.array(full, dtype=float)
    t = np.array([[b[s, 0] * r[q] + b[s, 1] * r[3 + q] + b[s, 2] * r[6 + q] for q in range(3)] for s in range(3)])
    out = np.array([[r[p] * t[0, q] + r[3 + p] * t[1, q] + r[6 + p] * t[2, q] for q in range(3)] for p in range(3)])
    low = np.tril(out, -1) + 0.0
    return low + low.T + np.diag((np.diag(out) + np.diag(out)) * 0.5)


@pytest.mark.parametrize(
    "full",
    [
        [[-0.0, 1, 2], [1, 3, 4], [2, 4, 5]],
        [[1, np.inf, 2], [np.inf, -0.0, 4], [2, 4, 5]],
        [[1, 2, 3], [2, -4, 5], [3, 5, np.nan]],
    ],
)
def test_hessian_identity_rotation_skipped_only_when_exact(read, full):
    chk = molecule([Atom(6)], orient=(IDENTITY, (0.0, 0.0, 0.0))).add(FORCE_CONST, reals(*packed(full)))
    h = read(chk).params.mol.hessian
    want = rotated_by_identity(full)
    assert np.array_equal(h, want, equal_nan=True) and np.array_equal(np.signbit(h), np.signbit(want))


def test_hessian_larger_than_a_tile(read):
    atoms = [Atom(1, (2.0 * i, 0.0, 0.0)) for i in range(30)]  # 90 coordinates: blocks of 64 and 26
    full = np.random.default_rng(3).normal(size=(90, 90))
    full += full.T
    h = read(molecule(atoms).add(FORCE_CONST, reals(*packed(full)))).params.mol.hessian
    assert np.array_equal(h, full)


def test_hessian_general_rotation(read):
    m = np.array([[2.0, -1.0, 2.0], [2.0, 2.0, -1.0], [-1.0, 2.0, 2.0]]) / 3  # a rotation, not symmetric
    full = np.random.default_rng(7).normal(size=(6, 6)) + np.arange(36).reshape(6, 6)
    full += full.T
    atoms, shift = [Atom(6, (0.3, -1.0, 2.0)), Atom(8, (1.5, 0.2, -0.4))], np.array([0.1, 0.2, -0.3])
    chk = molecule(atoms, orient=(list(m.T.ravel()), tuple(shift))).add(FORCE_CONST, reals(*packed(full)))
    mol, r = read(chk).params.mol, np.kron(np.eye(2), m)
    assert np.allclose(mol.hessian, r @ full @ r.T, rtol=0, atol=1e-12)
    assert np.allclose(mol.coords, (np.array([a.xyz for a in atoms]) + shift) @ m.T * BOHR, rtol=0, atol=1e-12)


@pytest.mark.parametrize(
    "ilsw, nbasis, payload, total, spin",
    [
        ({}, 2, densities(5, 1, 2, 3, 4, 5, 6), {0: [1, 2, 3], 2: [4, 5, 6]}, {}),
        ({0: 1}, 2, densities(1, 1, 2, 3, 0.5, 0.5, 1), {0: [1.5, 2.5, 4]}, {0: [0.5, 1.5, 2]}),
        ({21: 1}, 2, densities(1, 1, 2, 3, 0.5, 0.5, 1), {0: [1.5, 2.5, 4]}, {0: [0.5, 1.5, 2]}),  # IROHF: IOpCl 0 -> 1
        ({0: 2}, 2, densities(2, *range(6)), {1: [0, 1, 2, 3, 4, 5]}, {}),  # complex
        ({0: 6}, 1, densities(16, *range(6)), {4: [0, 1, 2, 3, 4, 5]}, {}),  # two-component
        ({}, 2, densities(-1, *range(27)), {k: [3 * k, 3 * k + 1, 3 * k + 2] for k in range(9)}, {}),
        ({9: 1}, 2, densities(256, 7, 8, 9), {8: [7, 8, 9]}, {}),
        ({}, 2, ints(512 << 32 | 7) + reals(1, 2, 3), {}, {}),  # bit 9, low half unused
        ({}, 0, densities(1, 1, 2, 3), {}, {}),
    ],
)
def test_densities(read, ilsw, nbasis, payload, total, spin):
    m = read(molecule([Atom(1), Atom(1)], ilsw=ilsw, nbasis=nbasis).add(DENSITIES, payload)).params.mol
    assert (m.totdens, m.spindens) == ([total.get(k, []) for k in range(9)], [spin.get(k, []) for k in range(9)])


@pytest.mark.parametrize(
    "iopcl, irohf, rec534, words, spin",
    [  # one basis function: a triangle of one word
        (0, 2, False, 2, [0.5]),
        (0, 3, False, 1, []),
        (0, 3, True, 2, [0.5]),
        (2, 3, True, 4, [0.5, 0.5]),
        (1, 3, False, 2, [0.5]),
        (0, 4, True, 1, []),
        (6, 2, False, 6, []),
    ],
)
def test_rohf_switch_reads_alpha_and_beta(read, iopcl, irohf, rec534, words, spin):
    """IROHF 1 or 2, or 3 with record 534, turns IOpCl 0 or 2 into 1 or 3: densities in alpha and beta halves."""
    chk = molecule([Atom(1)], ilsw={0: iopcl, 21: irohf}, nbasis=1)
    values = [1.0] * (words - len(spin)) + [0.5] * len(spin)
    m = read((chk.add(REC534, b"") if rec534 else chk).add(DENSITIES, densities(1, *values))).params.mol
    assert m.spindens[0] == spin


@pytest.mark.parametrize(
    "ilsw, payload, message",
    [
        ({}, densities(5, *range(7)), "Error retrieving densities from rwf= 603, LenDen= 3, but length= 8"),
        ({0: 1}, densities(1, 1, 2, 3), "Error retrieving densities from rwf= 603, LenDen= 6, but length= 4"),
        ({}, b"", "Error retrieving densities from rwf= 603, LenDen= 3, but length= 0"),
        ({9: 2}, densities(1, 1, 2, 3), "Cannot do natural orbitals yet"),
        ({9: 6}, None, "Cannot do natural orbitals yet"),
    ],
)
def test_density_failures(fails, ilsw, payload, message):
    chk = molecule([Atom(1), Atom(1)], ilsw=ilsw, nbasis=2)
    assert fails(chk if payload is None else chk.add(DENSITIES, payload)) == message
