// Step 4: molecule, basis, orientation and orbital sections; reconciles atom
// coordinates with shell centres, sets the working IOpCl values, prefixes the
// method word with the wavefunction type and builds the cell.
#include <cstdio>
#include <cstring>
#include <limits>

#include "tesvarin/checked.hpp"
#include "tesvarin/parser.hpp"

namespace {
constexpr int64_t kMolHeaderWords = 20;  // words read of the molecule header
constexpr int64_t kOldLayout = -12345;   // fixed 12-word header
constexpr int64_t kOldHeaderLength = 12;
constexpr int64_t kNewestLayout = -12349;
constexpr int64_t kMaxAtoms = 249997;  // per-atom arrays hold natoms + 3 entries, at most 250000
constexpr int64_t kBasisHeaderWords = 32;
constexpr int64_t kOrientWords = 38;
constexpr int64_t kMaxShellType = 13;  // the highest L that the primitive norms handle

void print_line(const char* text) {
    std::fputs(text, stdout);
    std::fflush(stdout);
}
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

bool Tesvarin::read_basis_header(const tesvarin::SectionView& s) {
    auto& mol = params.mol;
    int64_t h[kBasisHeaderWords];
    s.fetch(h, 0, kBasisHeaderWords);
    mol.NShell = h[0], mol.MaxTyp = h[1], mol.NPrim = h[2], mol.NPrimD = h[3], mol.CartD = h[4], mol.CartF = h[5];
    if (mol.NShell < 0 || mol.MaxTyp < 0 || mol.NPrimD < 0 || mol.NPrim < mol.NPrimD ||
        (mol.MaxTyp > 1 && mol.NPrimD == 0) || (mol.CartD != 0 && mol.CartD != 1) ||
        (mol.CartF != 0 && mol.CartF != 1)) {
        return false;
    }
    return true;
}

void Tesvarin::read_basis_words(const tesvarin::SectionView& s) {
    auto& mol = params.mol;
    auto& b = mol.bparams;
    tesvarin::Checked at = kBasisHeaderWords;
    at = read_counted(s, at, b.primexp, mol.NPrim, "NPrim");
    for (auto* v : {&b.coefs, &b.coefp}) at = read_counted(s, at, *v, mol.NPrim, "NPrim");
    for (auto* v : {&b.coefd, &b.coefhi}) at = read_counted(s, at, *v, mol.NPrimD, "NPrimD");
    at = read_counted(s, at, b.dfstart, mol.NShell, "NShell");
    for (auto* v : {&b.shellx, &b.shelly, &b.shellz}) at = read_counted(s, at, *v, mol.NShell, "NShell");
    for (auto* v : {&b.shell2map, &b.primstart, &b.shellnprim, &b.shelltypes, &b.shellcons, &b.ishaux1, &b.ishaux2})
        at = read_counted(s, at, *v, mol.NShell, "NShell");
    for (auto* v : {&b.rshaux1, &b.rshaux2}) at = read_counted(s, at, *v, mol.NShell, "NShell");
}

void Tesvarin::read_basis_arrays() {
    auto& mol = params.mol;
    const auto& b = mol.bparams;
    // Every shell's primitive runs must lie inside the arrays they index.
    for (int64_t i = 0; i < mol.NShell; ++i) {
        const int64_t n = b.shellnprim[i], p = b.primstart[i], d = b.dfstart[i], type = b.shelltypes[i];
        // fits() also holds for a start near INT64_MIN, where p - 1 itself would overflow.
        const bool prims_ok = p >= 1 && tesvarin::fits(p - 1, n, mol.NPrim);
        const bool df_ok = type < 2 || (d >= 1 && tesvarin::fits(d - 1, n, mol.NPrimD));
        if (type < 0 || type > kMaxShellType) {
            TESVARIN_THROW("Bad basis in .chk: shell " + std::to_string(i + 1) + " has type " + std::to_string(type) +
                           ", outside 0 to " + std::to_string(kMaxShellType));
        }
        if (!prims_ok || !df_ok) {
            TESVARIN_THROW("Bad basis in .chk: shell " + std::to_string(i + 1) + " has " + std::to_string(n) +
                           " primitives from position " + std::to_string(p) + " (D/F position " +
                           std::to_string(d) + "), past NPrim = " + std::to_string(mol.NPrim) +
                           " or NPrimD = " + std::to_string(mol.NPrimD));
        }
    }
}

void Tesvarin::reconcile_orientation(bool have_basis) {
    auto& mol = params.mol;
    auto& b = mol.bparams;
    int index = -1;
    rotated = ilsw[kIlswNoReorient] != 1 && has_magic(tesvarin::section::kOrientation, index);
    if (rotated) {
        int64_t w[kOrientWords];
        open_section(index).fetch(w, 0, kOrientWords);
        std::memcpy(mol.orihdr.data(), w, 2 * 8);
        std::memcpy(mol.oritab.data(), w + 2, 24 * 8);
        std::memcpy(mol.stdrot.data(), w + 26, 9 * 8);
        std::memcpy(mol.stdtrans.data(), w + 35, 3 * 8);
        if (!have_basis) {
            translate();
            rotate();
            return;
        }
        if (!check_coor()) {
            translate();
            if (!check_coor()) {
                rotate();
                if (!check_coor()) {
                    print_line("Warning! Use Basis coords\n");
                    for (int64_t i = 0; i < mol.NShell; ++i) {
                        const int64_t a = b.shell2map[i];
                        if (a < 1 || a > mol.natoms) continue;
                        double* xyz = &mol.coords[static_cast<size_t>(3 * (a - 1))];
                        xyz[0] = b.shellx[i], xyz[1] = b.shelly[i], xyz[2] = b.shellz[i];
                    }
                }
            }
        }
    }
    if (have_basis && !check_coor()) {
        print_line("Warning! Coordinates do not match /B/. Transferring coordinates from /Mol/ to /B/\n");
        for (int64_t i = 0; i < mol.NShell; ++i) {
            const int64_t a = b.shell2map[i];
            if (a < 1 || a > mol.natoms) continue;
            const double* xyz = &mol.coords[static_cast<size_t>(3 * (a - 1))];
            b.shellx[i] = xyz[0], b.shelly[i] = xyz[1], b.shellz[i] = xyz[2];
        }
    }
}

void Tesvarin::read_orbitals(int64_t spin_blocks, int64_t nmo, int64_t ncoef) {
    using namespace tesvarin::section;
    auto& mol = params.mol;
    int ene = -1, alpha = -1, beta = -1, orth = -1;
    if (mol.nbsuse <= 0 || mol.nbasis <= 0 || !has_magic(kAlphaOrbitals, alpha) || section_words(alpha) < ncoef ||
        !has_magic(kOrbitalEnergies, ene) || section_words(ene) < nmo) {
        return;
    }
    check_count("orbital count", nmo);
    check_count("MO coefficient count", ncoef);
    const tesvarin::SectionView energies = open_section(ene);
    const tesvarin::Checked beta_at = read_counted(energies, 0, mol.aoene, nmo, "orbital count");
    if (spin_blocks == 2) read_counted(energies, beta_at, mol.boene, nmo, "orbital count");
    read_counted(open_section(alpha), 0, mol.amocoeff, ncoef, "MO coefficient count");
    if (spin_blocks == 2 && has_magic(kBetaOrbitals, beta)) {
        read_counted(open_section(beta), 0, mol.bmocoeff, ncoef, "MO coefficient count");
    }
    if (has_magic(kOrthonormalBasis, orth) && section_words(orth) > 0 && section_words(orth) == ncoef) {
        read_counted(open_section(orth), 0, mol.orthbasis, ncoef, "MO coefficient count");
    }
}

void Tesvarin::prefix_method(int64_t spin_blocks, int64_t value_kind, int64_t components) {
    // Without Info1-9 there is no slot 5 to decide on.
    if (params.info1_9.size() < 6) return;
    if (params.info1_9[5] % 1000 >= 200 || ilsw[kIlswIrohf] >= 2) return;
    std::string prefix;
    if (components == 2) {
        prefix = "G";
    } else {
        prefix = value_kind == 2 ? "C" : "";
        prefix.insert(0, spin_blocks == 2 ? "U" : ilsw[kIlswIrohf] == 1 ? "RO" : "R");
    }
    params.method.insert(0, prefix);
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

    if (has_magic(tesvarin::section::kSwitches, index)) {
        iopcl = iopcl_out = ilsw[kIlswIOpCl];
        irohf = ilsw[kIlswIrohf];
    } else {
        iopcl = iopcl_out = irohf = 0;
    }

    int64_t s = 1, c = 1, g = 1, density_blocks = 1, above15 = 0;
    bool above7 = false;
    decode_sc(iopcl, s, c, g, above7, density_blocks, above15);
    mol.value_kind = c, mol.components = g;
    // An overflowing count cannot match any section; it only fails if the orbitals are read.
    int64_t nmo = 0, ncoef = 0;
    if (__builtin_mul_overflow(mol.nbsuse, g, &nmo) || __builtin_mul_overflow(c * g, mol.nbasis, &ncoef) ||
        __builtin_mul_overflow(ncoef, nmo, &ncoef)) {
        ncoef = std::numeric_limits<int64_t>::max();
    }
    if (options.orbitals) read_orbitals(s, nmo, ncoef);
    prefix_method(s, c, g);

    if ((irohf == 1 || irohf == 2 || (irohf == 3 && has_magic(tesvarin::section::kRohfMarker, index))) &&
        (iopcl == 0 || iopcl == 2)) {
        iopcl += 1;
    }

    mol.cell.setZero();
    if (mol.ndim > 0) {
        const double* t = &mol.coords[static_cast<size_t>(3 * mol.natoms)];
        for (int k = 0; k < 3; ++k)
            for (int j = 0; j < 3; ++j) mol.cell(k, j) = t[3 * k + j];
    }
}
