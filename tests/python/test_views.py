"""Zero-copy NumPy views: they show the reader's own storage, read-only, as long as they live."""

import gc

import numpy as np
import pytest

from tests.python.chk_builder import (
    ALPHA_MO,
    BETA_MO,
    DENSITIES,
    FORCE_CONST,
    ORBENE,
    ORTH_BASIS,
    Atom,
    Shell,
    densities,
    molecule,
    reals,
)

ATOMS = [Atom(8, (0.0, 0.0, 0.2)), Atom(1, (0.0, 1.4, -0.9), charge=0.75)]
SHELLS = [
    Shell(0, 1, [3.0, 0.5], [0.4, 0.7], centre=ATOMS[0].xyz),
    Shell(1, 1, [2.0], [0.3], [0.6], centre=ATOMS[0].xyz),
    Shell(0, 2, [1.0], [1.0], centre=ATOMS[1].xyz),
]
NBASIS = 5  # the orbital and density arrays follow the declared count


def open_shell(iopcl=1, nbasis=NBASIS):
    """UHF-like checkpoint: every array family present, values distinct."""
    c = 2 if iopcl in (2, 3) else 1
    n = c * nbasis * nbasis
    chk = molecule(ATOMS, SHELLS, ilsw={0: iopcl}, nbasis=nbasis)
    chk.add(ORBENE, reals(*[-1.0 + 0.1 * i for i in range(2 * nbasis)]))
    chk.add(ALPHA_MO, reals(*[0.01 * i for i in range(n)])).add(BETA_MO, reals(*[-0.02 * i for i in range(n)]))
    chk.add(ORTH_BASIS, reals(*[0.5 + i for i in range(n)]))
    tri = c * nbasis * (nbasis + 1) // 2
    chk.add(DENSITIES, densities(0b101, *[0.1 * i for i in range(2 * 2 * tri if iopcl % 2 else 2 * tri)]))
    return chk.add(FORCE_CONST, reals(*[float(i) for i in range(21)]))


# view name -> (list property, shape as a function of the Mol)
VIEWS = {
    "atomic_numbers": ("atomicnums", lambda m: (m.natoms,)),
    "nuclear_charges": ("nucchg", lambda m: (m.natoms,)),
    "coordinates_bohr": ("coords", lambda m: (m.natoms, 3)),
    "alpha_orbital_energies": ("aoene", lambda m: (m.nbsuse,)),
    "beta_orbital_energies": ("boene", lambda m: (m.nbsuse,)),
    "alpha_mo_coefficients": ("amocoeff", lambda m: (m.nbsuse, m.nbasis)),
    "beta_mo_coefficients": ("bmocoeff", lambda m: (m.nbsuse, m.nbasis)),
    "orthonormal_basis": ("orthbasis", lambda m: (m.nbsuse, m.nbasis)),
    "shell_types": ("shelltypes", lambda m: (3,)),
    "primitives_per_shell": ("shellnprim", lambda m: (3,)),
    "shell_to_atom": ("shell2map", lambda m: (3,)),
    "primitive_exponents": ("primexp", lambda m: (4,)),
    "contraction_coefficients": ("concoeff", lambda m: (4,)),
    "sp_contraction_coefficients": ("spconcoeff", lambda m: (4,)),
    "shell_coordinates_bohr": ("cshell", lambda m: (3, 3)),
}
INTEGER_VIEWS = {"atomic_numbers", "shell_types", "primitives_per_shell", "shell_to_atom"}
BOHR = 0.529177249


@pytest.mark.parametrize("name", VIEWS)
def test_view_shares_the_readers_storage_and_equals_the_list(read, name):
    reader = read(open_shell())
    mol = reader.params.mol
    listed, shape = VIEWS[name]
    view = getattr(mol, name)
    assert view.shape == shape(mol) and view.dtype == (np.int64 if name in INTEGER_VIEWS else np.float64)
    assert np.shares_memory(view, getattr(mol, name)), "each access must show the same storage"
    assert isinstance(view.base, type(mol)) and not view.flags.writeable
    with pytest.raises(ValueError):
        view.flat[0] = 1
    expected = np.asarray(getattr(mol, listed), dtype=view.dtype)
    expected = expected / BOHR if name.endswith("_bohr") else expected
    del reader, mol
    gc.collect()  # the view alone keeps the reader and its storage alive
    assert np.allclose(view, expected.reshape(view.shape), rtol=1e-15, atol=0)


def test_complex_orbitals_and_hermitian_densities(read):
    mol = read(open_shell(iopcl=2)).params.mol
    mo = mol.alpha_mo_coefficients
    assert mo.dtype == np.complex128 and mo.shape == (NBASIS, NBASIS)
    assert mo.ravel().view(np.float64).tolist() == mol.amocoeff
    full = mol.total_density(0, full=True)
    off = ~np.eye(NBASIS, dtype=bool)  # the diagonal stays as stored
    assert full.dtype == np.complex128 and np.array_equal(full[off], full.conj().T[off])
    rows, cols = np.tril_indices(NBASIS)
    assert np.array_equal(full[rows, cols], mol.total_density("SCF"))


@pytest.mark.parametrize("kind", [0, "SCF", "scf density", "SCF Density"])
def test_densities_by_kind(read, kind):
    mol = read(open_shell()).params.mol
    tri = mol.total_density(kind)
    assert tri.tolist() == mol.totdens[0] and mol.spin_density(kind).tolist() == mol.spindens[0]
    assert np.shares_memory(tri, mol.total_density(kind)) and not tri.flags.writeable
    full = mol.spin_density(kind, full=True)
    rows, cols = np.tril_indices(NBASIS)
    assert np.array_equal(full, full.T) and np.array_equal(full[rows, cols], mol.spindens[0])
    assert full.flags.writeable and not np.shares_memory(full, mol.spin_density(kind))
    assert mol.total_density("MP2").tolist() == mol.totdens[2] and mol.total_density(1) is None


@pytest.mark.parametrize("kind, error", [(9, ValueError), (-1, ValueError), ("SCF Dens", ValueError), (1.0, TypeError)])
def test_density_kind_rejected(read, kind, error):
    with pytest.raises(error):
        read(open_shell()).params.mol.total_density(kind)


def test_full_density_larger_than_a_tile(read):
    nbasis = 70  # the mirror works in blocks of 64
    tri = np.random.default_rng(5).normal(size=nbasis * (nbasis + 1) // 2)
    mol = read(molecule(ATOMS, SHELLS, nbasis=nbasis).add(DENSITIES, densities(1, *tri))).params.mol
    full = np.zeros((nbasis, nbasis))
    full[np.tril_indices(nbasis)] = tri
    assert np.array_equal(mol.total_density(0, full=True), full + np.tril(full, -1).T)
