// Step 6: regroups the shells by atom, expands combined SPD/SPDF shells, moves the
// coefficients between raw and normalised primitives, and leaves the signed
// shell-type codes with the flat coefficient lists of the formatted checkpoint.
#include <algorithm>

#include "tesvarin/parser.hpp"

namespace {
using Bparams = ChkParams::Mol::Bparams;

// Atom type codes whose shells belong to the basis (others are dropped).
bool atom_keeps_shells(int64_t type_code) { return type_code == 0 || type_code == 1000 || type_code > 9999999; }

template <typename T>
void zero_fill(std::vector<T>& v) {
    std::fill(v.begin(), v.end(), T{});
}

void reset_basis(Bparams& b, int64_t nshell) {
    zero_fill(b.primexp), zero_fill(b.coefs), zero_fill(b.coefp), zero_fill(b.coefd), zero_fill(b.coefhi);
    zero_fill(b.dfstart), zero_fill(b.shellx), zero_fill(b.shelly), zero_fill(b.shellz);
    zero_fill(b.shell2map), zero_fill(b.primstart), zero_fill(b.shellnprim), zero_fill(b.shelltypes);
    zero_fill(b.ishaux1), zero_fill(b.ishaux2), zero_fill(b.rshaux1), zero_fill(b.rshaux2);
    b.shellcons.assign(static_cast<size_t>(nshell), 2);
}
}  // namespace

void Tesvarin::fix_basis() {
    auto& mol = params.mol;
    auto& b = mol.bparams;
    const Bparams old = b;
    reset_basis(b, mol.NShell);

    // FixB: keep the shells of basis atoms, ordered by atom (a counting sort keeps
    // the file order within one atom).
    std::vector<int64_t> per_atom(static_cast<size_t>(mol.natoms), 0);
    for (int64_t k = 0; k < mol.NShell; ++k) {
        const int64_t a = old.shell2map[k];
        if (a < 1 || a > mol.natoms) TESVARIN_THROW("FixB is confused about JAn");
        if (atom_keeps_shells(mol.atomtypes[a - 1])) ++per_atom[a - 1];
    }
    std::vector<int64_t> next(per_atom.size(), 0);
    for (size_t a = 1; a < per_atom.size(); ++a) next[a] = next[a - 1] + per_atom[a - 1];
    std::vector<int64_t> order(static_cast<size_t>(mol.NShell), -1);
    for (int64_t k = 0; k < mol.NShell; ++k) {
        const int64_t a = old.shell2map[k];
        if (atom_keeps_shells(mol.atomtypes[a - 1])) order[next[a - 1]++] = k;
    }

    // FixB: rebuild the shells in the new order; combined shells become one SP
    // shell and one shell per higher L, repeating the same exponents.
    int64_t P = 1, D = 1, j = 0;
    for (int64_t s : order) {
        if (s < 0) break;
        const int64_t T = old.shelltypes[s], C = old.shellcons[s], n = old.shellnprim[s];
        const bool combined = T >= 2 && C == 0;
        const int64_t first_l = (T == 1 || combined) ? 1 : T;
        for (int64_t L = first_l; L <= T; ++L) {
            const bool sp = (T == 1 && C != 1) || (combined && L == 1);
            if (j >= mol.NShell) TESVARIN_THROW("NShell != mol.NShell in fix_basis");
            if (P - 1 > mol.NPrim - n || (L >= 2 && D - 1 > mol.NPrimD - n)) {
                TESVARIN_THROW("FixB: the rebuilt shells need more primitives than NPrim = " +
                               std::to_string(mol.NPrim) + " and NPrimD = " + std::to_string(mol.NPrimD) + " hold");
            }
            const int64_t a = old.shell2map[s];
            if (a - 1 < static_cast<int64_t>(b.ishaux1.size())) ++b.ishaux1[a - 1];
            b.shell2map[j] = a;
            b.ishaux2[j] = old.ishaux2[s];
            b.shellnprim[j] = n;
            b.shellx[j] = old.shellx[s], b.shelly[j] = old.shelly[s], b.shellz[j] = old.shellz[s];
            b.rshaux1[j] = old.rshaux1[s], b.rshaux2[j] = old.rshaux2[s];
            b.primstart[j] = P;
            b.shelltypes[j] = L;
            b.shellcons[j] = sp ? 2 : L;
            const int64_t from = old.primstart[s] - 1;
            std::copy_n(old.primexp.begin() + from, n, b.primexp.begin() + (P - 1));
            std::copy_n(old.coefs.begin() + from, n, b.coefs.begin() + (P - 1));
            std::copy_n(old.coefp.begin() + from, n, b.coefp.begin() + (P - 1));
            if (L >= 2) {
                const int64_t dfrom = old.dfstart[s] - 1;
                std::copy_n(old.coefd.begin() + dfrom, n, b.coefd.begin() + (D - 1));
                std::copy_n(old.coefhi.begin() + dfrom, n, b.coefhi.begin() + (D - 1));
                b.dfstart[j] = D;
                D += n;
            }
            P += n;
            ++j;
        }
    }
    if (j != mol.NShell) TESVARIN_THROW("NShell != mol.NShell in fix_basis");

    convert_cc(0, 1, 0, 0);  // Renor1: to coefficients of normalised primitives

    // ExpBas: signed shell-type codes, then one coefficient per primitive.
    std::vector<int64_t> codes(static_cast<size_t>(mol.NShell), 0);
    bool have_sp = false;
    for (int64_t i = 0; i < mol.NShell; ++i) {
        const int64_t T = b.shelltypes[i], C = b.shellcons[i];
        if (T == 0) {
            codes[i] = 0;
        } else if (T == 1 && C == 1) {
            codes[i] = 1;
        } else if (T == 1 && (C == 0 || C == 2)) {
            codes[i] = -1;
            have_sp = true;
        } else if (T == 2) {
            codes[i] = mol.CartD != 0 ? 2 : -2;
        } else if (T != 1) {
            codes[i] = mol.CartF != 0 ? T : -T;
        }
        if (T > 1 && T != C) TESVARIN_THROW("ExpBas called with SPD or SPDF shells");
    }
    for (int64_t i = 0; i < mol.NShell; ++i) {
        const int64_t T = b.shelltypes[i], C = b.shellcons[i];
        const int64_t p0 = b.primstart[i] - 1, d0 = b.dfstart[i] - 1;
        for (int64_t k = 0; k < b.shellnprim[i]; ++k) {
            if (T >= 3) mol.concoeff.push_back(b.coefhi[d0 + k]);
            else if (T == 2) mol.concoeff.push_back(b.coefd[d0 + k]);
            else if (T == 1 && C == 1) mol.concoeff.push_back(b.coefp[p0 + k]);
            else mol.concoeff.push_back(b.coefs[p0 + k]);
        }
    }
    if (static_cast<int64_t>(mol.concoeff.size()) != mol.NPrim) TESVARIN_THROW("concoeff size != mol.NPrim in ExpBas");
    if (have_sp) {
        for (int64_t i = 0; i < mol.NShell; ++i) {
            const bool sp = b.shelltypes[i] == 1 && b.shellcons[i] != 1;
            const int64_t p0 = b.primstart[i] - 1;
            for (int64_t k = 0; k < b.shellnprim[i]; ++k) mol.spconcoeff.push_back(sp ? b.coefp[p0 + k] : 0.0);
        }
        if (static_cast<int64_t>(mol.spconcoeff.size()) != mol.NPrim) {
            TESVARIN_THROW("spconcoeff size != mol.NPrim in ExpBas");
        }
    }
    mol.cshell.resize(static_cast<size_t>(3 * mol.NShell));
    for (int64_t i = 0; i < mol.NShell; ++i) {
        mol.cshell[3 * i] = b.shellx[i], mol.cshell[3 * i + 1] = b.shelly[i], mol.cshell[3 * i + 2] = b.shellz[i];
    }

    convert_cc(1, 0, 1, 0);  // Renor1: back to raw primitives, unit-norm contractions
    b.shelltypes = codes;
}
