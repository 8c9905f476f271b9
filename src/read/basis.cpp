// Step 4, the basis: the header's counts and flags, the arrays behind it, and a
// check of every shell's primitive runs against those arrays.
#include "tesvarin/checked.hpp"
#include "tesvarin/parser.hpp"

namespace {
constexpr int64_t kBasisHeaderWords = 32;
constexpr int64_t kMaxShellType = 13;  // the highest L that the primitive norms handle
}  // namespace

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
                           " primitives from position " + std::to_string(p) + " (D/F position " + std::to_string(d) +
                           "), past NPrim = " + std::to_string(mol.NPrim) +
                           " or NPrimD = " + std::to_string(mol.NPrimD));
        }
    }
}
