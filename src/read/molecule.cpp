// Step 4: the molecule section (header, atoms and cell), then the basis, the
// orientation, the SCF type and the orbitals, each read by its own piece.
#include <limits>

#include "tesvarin/checked.hpp"
#include "tesvarin/parser.hpp"
#include "tesvarin/read/scf_type.hpp"

namespace {
constexpr int64_t kMolHeaderWords = 20;  // words read of the molecule header
constexpr int64_t kOldLayout = -12345;   // fixed 12-word header
constexpr int64_t kOldHeaderLength = 12;
constexpr int64_t kNewestLayout = -12349;
constexpr int64_t kMaxAtoms = 249997;  // per-atom arrays hold natoms + 3 entries, at most 250000
}  // namespace

bool Tesvarin::read_mol_header(const tesvarin::SectionView& s, int64_t& moltyp) {
    auto& mol = params.mol;
    int64_t w[kMolHeaderWords];
    s.fetch(w, 0, kMolHeaderWords);
    moltyp = w[0];
    if (moltyp == kOldLayout) {
        mol.hdrlen = kOldHeaderLength;
        mol.natoms = w[1], mol.totchg = w[2], mol.multiplicity = w[3], mol.nae = w[4], mol.nbe = w[5];
        mol.ne = w[6], mol.nbasis = w[7], mol.nbsuse = w[8], mol.hdrw10 = w[9], mol.ndim = w[10];
        mol.hdrw12 = w[11];
    } else if (moltyp >= kNewestLayout && moltyp < kOldLayout) {
        mol.hdrlen = w[1];
        mol.natoms = w[2], mol.totchg = w[3], mol.multiplicity = w[4], mol.nae = w[5], mol.nbe = w[6];
        mol.ne = w[7], mol.nbasis = w[8], mol.nbsuse = w[9], mol.hdrw10 = w[10], mol.ndim = w[11];
        mol.hdrw12 = w[12], mol.hdrw13 = w[13], mol.hdrw14 = w[14], mol.hdrw15 = w[15], mol.hdrw16 = w[16];
        // The atoms start hdrlen words into the section; that must still be inside the file.
        const int64_t section_start = s.first_word();
        if (mol.hdrlen > 0 || section_start + mol.hdrlen < 0) check_count("molecule header length", mol.hdrlen);
    } else {
        return false;
    }
    return true;
}

void Tesvarin::read_mol() {
    auto& mol = params.mol;
    int index = -1;
    if (!has_magic(tesvarin::section::kMolecule, index)) TESVARIN_THROW("No Mol sections in .chk");
    const tesvarin::SectionView molecule = open_section(index);
    int64_t moltyp = 0;
    if (!read_mol_header(molecule, moltyp)) {
        TESVARIN_THROW("Bad MolTyp in rwmol: " + std::to_string(moltyp));
    }

    if (mol.natoms < 1) TESVARIN_THROW("Missing atom data in.chk");
    if (mol.natoms > kMaxAtoms) {
        TESVARIN_THROW("Too many atoms in .chk: " + std::to_string(mol.natoms) + ", at most " +
                       std::to_string(kMaxAtoms) + " are supported");
    }
    const int64_t n = mol.natoms + 3;
    check_count("atom coordinates", 3 * n);
    tesvarin::Checked at = mol.hdrlen;
    at = read_counted(molecule, at, mol.atomicnums, n, "atom count");
    at = read_counted(molecule, at, mol.nucchg, n, "atom count");
    at = read_counted(molecule, at, mol.coords, 3 * n, "atom coordinates");
    read_counted(molecule, at, mol.atomtypes, n, "atom count");

    const bool have_basis = has_magic(tesvarin::section::kBasis, index);
    if (have_basis) {
        const tesvarin::SectionView basis = open_section(index);
        if (!read_basis_header(basis)) TESVARIN_THROW("RdWrB1 read garbage pointers");
        read_basis_words(basis);
        read_basis_arrays();
    }
    reconcile_orientation(have_basis);

    const tesvarin::ScfType scf = read_scf_type();
    const int64_t c = scf.value_kind, g = scf.components;
    mol.value_kind = c, mol.components = g;
    // An overflowing count cannot match any section; it only fails if the orbitals are read.
    int64_t nmo = 0, ncoef = 0;
    if (__builtin_mul_overflow(mol.nbsuse, g, &nmo) || __builtin_mul_overflow(c * g, mol.nbasis, &ncoef) ||
        __builtin_mul_overflow(ncoef, nmo, &ncoef)) {
        ncoef = std::numeric_limits<int64_t>::max();
    }
    if (options.orbitals) read_orbitals(scf.spin_blocks, nmo, ncoef);
    prefix_method(scf);

    mol.cell.setZero();
    if (mol.ndim > 0) {
        const double* t = &mol.coords[static_cast<size_t>(3 * mol.natoms)];
        for (int k = 0; k < 3; ++k)
            for (int j = 0; j < 3; ++j) mol.cell(k, j) = t[3 * k + j];
    }
}
