// Step 6: regroups the shells by atom, expands combined SPD/SPDF shells, moves the
// coefficients between raw and normalised primitives, and leaves the signed
// shell-type codes with the flat coefficient lists of the formatted checkpoint.
#include <algorithm>

#include "tesvarin/checked.hpp"
#include "tesvarin/parser.hpp"

namespace {
using Bparams = ChkParams::Mol::Bparams;

// Atom type codes whose shells belong to the basis (others are dropped).
bool atom_keeps_shells(int64_t type_code) { return type_code == 0 || type_code == 1000 || type_code > 9999999; }

// One shell of the rebuilt basis: the shell it comes from, its angular momentum,
// whether it is an SP shell, and its 1-based primitive and D/F positions (D 0 below L 2).
struct NewShell {
    int64_t source, L, P, D;
    bool sp;
};
using Plan = tesvarin::bulk_vector<NewShell>;  // one per shell: huge pages, no fill

// Shell j of `v` takes the value of shell plan[j].source (every j is covered).
template <typename Vector>
void gather_shells(Vector& v, const Plan& plan) {
    Vector out(v.size(), typename Vector::value_type{});
    for (size_t j = 0; j < plan.size(); ++j) out[j] = v[static_cast<size_t>(plan[j].source)];
    v.swap(out);
}

// Moves each new shell's n primitives from the source shell's old position to its
// new one (positions from `old_start`/`new_start`, 1-based, only where `uses` holds);
// positions that no shell uses become zero.
template <typename Vector, typename Counts, typename Uses, typename OldStart, typename NewStart>
void gather_primitives(Vector& v, const Plan& plan, const Counts& nprim, Uses uses, OldStart old_start,
                       NewStart new_start) {
    Vector out(v.size(), 0.0);
    for (const NewShell& s : plan) {
        if (!uses(s)) continue;
        std::copy_n(v.begin() + (old_start(s) - 1), nprim[static_cast<size_t>(s.source)],
                    out.begin() + (new_start(s) - 1));
    }
    v.swap(out);
}
}  // namespace

void Tesvarin::fix_basis() {
    auto& mol = params.mol;
    auto& b = mol.bparams;
    // The flat coefficient lists, the shell centres and codes and the rebuild plan count too.
    claim_words("basis size", 2 * mol.NPrim + 9 * mol.NShell);

    // FixB: keep the shells of basis atoms, ordered by atom (a counting sort keeps
    // the file order within one atom).
    std::vector<int64_t> per_atom(static_cast<size_t>(mol.natoms), 0);
    for (int64_t k = 0; k < mol.NShell; ++k) {
        const int64_t a = b.shell2map[k];
        if (a < 1 || a > mol.natoms) TESVARIN_THROW("FixB is confused about JAn");
        if (atom_keeps_shells(mol.atomtypes[a - 1])) ++per_atom[a - 1];
    }
    std::vector<int64_t> next(per_atom.size(), 0);
    for (size_t a = 1; a < per_atom.size(); ++a) next[a] = next[a - 1] + per_atom[a - 1];
    tesvarin::bulk_vector<int64_t> order(static_cast<size_t>(mol.NShell), -1);
    for (int64_t k = 0; k < mol.NShell; ++k) {
        const int64_t a = b.shell2map[k];
        if (atom_keeps_shells(mol.atomtypes[a - 1])) order[next[a - 1]++] = k;
    }

    // FixB: plan the shells in the new order; combined shells become one SP shell
    // and one shell per higher L, repeating the same exponents.
    Plan plan;
    plan.reserve(static_cast<size_t>(mol.NShell));
    int64_t P = 1, D = 1;
    bool in_place = true;  // every shell stays where it is, with its primitives where they are
    for (int64_t s : order) {
        if (s < 0) break;
        const int64_t T = b.shelltypes[s], C = b.shellcons[s], n = b.shellnprim[s];
        const bool combined = T >= 2 && C == 0;
        const int64_t first_l = (T == 1 || combined) ? 1 : T;
        for (int64_t L = first_l; L <= T; ++L) {
            const bool sp = (T == 1 && C != 1) || (combined && L == 1);
            const auto j = static_cast<int64_t>(plan.size());
            if (j >= mol.NShell) TESVARIN_THROW("NShell != mol.NShell in fix_basis");
            if (!tesvarin::fits(P - 1, n, mol.NPrim) || (L >= 2 && !tesvarin::fits(D - 1, n, mol.NPrimD))) {
                TESVARIN_THROW("FixB: the rebuilt shells need more primitives than NPrim = " +
                               std::to_string(mol.NPrim) + " and NPrimD = " + std::to_string(mol.NPrimD) + " hold");
            }
            plan.push_back(NewShell{s, L, P, L >= 2 ? D : 0, sp});
            in_place = in_place && s == j && b.primstart[s] == P && (L < 2 || b.dfstart[s] == D);
            if (L >= 2) D += n;
            P += n;
        }
    }
    if (static_cast<int64_t>(plan.size()) != mol.NShell) TESVARIN_THROW("NShell != mol.NShell in fix_basis");

    // FixB: rebuild. Usually the file lists the shells atom by atom with their
    // primitives in order, and only the unused tails are cleared.
    if (in_place) {
        std::fill(b.primexp.begin() + (P - 1), b.primexp.end(), 0.0);
        for (auto* v : {&b.coefs, &b.coefp}) std::fill(v->begin() + (P - 1), v->end(), 0.0);
        for (auto* v : {&b.coefd, &b.coefhi}) std::fill(v->begin() + (D - 1), v->end(), 0.0);
    } else {
        const auto all = [](const NewShell&) { return true; };
        const auto df = [](const NewShell& s) { return s.L >= 2; };
        const auto old_p = [&b](const NewShell& s) { return b.primstart[static_cast<size_t>(s.source)]; };
        const auto old_d = [&b](const NewShell& s) { return b.dfstart[static_cast<size_t>(s.source)]; };
        const auto new_p = [](const NewShell& s) { return s.P; };
        const auto new_d = [](const NewShell& s) { return s.D; };
        gather_primitives(b.primexp, plan, b.shellnprim, all, old_p, new_p);
        for (auto* v : {&b.coefs, &b.coefp}) gather_primitives(*v, plan, b.shellnprim, all, old_p, new_p);
        for (auto* v : {&b.coefd, &b.coefhi}) gather_primitives(*v, plan, b.shellnprim, df, old_d, new_d);
        for (auto* v : {&b.shell2map, &b.ishaux2, &b.shellnprim}) gather_shells(*v, plan);
        for (auto* v : {&b.shellx, &b.shelly, &b.shellz, &b.rshaux1, &b.rshaux2}) gather_shells(*v, plan);
    }
    std::fill(b.ishaux1.begin(), b.ishaux1.end(), 0);
    b.shellcons.assign(static_cast<size_t>(mol.NShell), 2);
    for (size_t j = 0; j < plan.size(); ++j) {
        const NewShell& s = plan[j];
        const int64_t a = b.shell2map[j];
        if (a - 1 < static_cast<int64_t>(b.ishaux1.size())) ++b.ishaux1[a - 1];
        b.primstart[j] = s.P;
        b.dfstart[j] = s.D;
        b.shelltypes[j] = s.L;
        b.shellcons[j] = s.sp ? 2 : s.L;
    }

    convert_cc(0, 1, 0, 0);  // Renor1: to coefficients of normalised primitives

    // ExpBas: signed shell-type codes, then one coefficient per primitive.
    tesvarin::bulk_vector<int64_t> codes(static_cast<size_t>(mol.NShell), 0);
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
    mol.concoeff.reserve(static_cast<size_t>(mol.NPrim));
    for (int64_t i = 0; i < mol.NShell; ++i) {
        const int64_t T = b.shelltypes[i], C = b.shellcons[i];
        const int64_t p0 = b.primstart[i] - 1, d0 = b.dfstart[i] - 1;
        for (int64_t k = 0; k < b.shellnprim[i]; ++k) {
            if (T >= 3)
                mol.concoeff.push_back(b.coefhi[d0 + k]);
            else if (T == 2)
                mol.concoeff.push_back(b.coefd[d0 + k]);
            else if (T == 1 && C == 1)
                mol.concoeff.push_back(b.coefp[p0 + k]);
            else
                mol.concoeff.push_back(b.coefs[p0 + k]);
        }
    }
    if (static_cast<int64_t>(mol.concoeff.size()) != mol.NPrim) TESVARIN_THROW("concoeff size != mol.NPrim in ExpBas");
    if (have_sp) {
        mol.spconcoeff.reserve(static_cast<size_t>(mol.NPrim));
        for (int64_t i = 0; i < mol.NShell; ++i) {
            const bool sp = b.shelltypes[i] == 1 && b.shellcons[i] != 1;
            const int64_t p0 = b.primstart[i] - 1;
            for (int64_t k = 0; k < b.shellnprim[i]; ++k) mol.spconcoeff.push_back(sp ? b.coefp[p0 + k] : 0.0);
        }
        if (static_cast<int64_t>(mol.spconcoeff.size()) != mol.NPrim) {
            TESVARIN_THROW("spconcoeff size != mol.NPrim in ExpBas");
        }
    }
    // A record array (a std::vector): huge pages for what it spans before the zero fill.
    mol.cshell.reserve(static_cast<size_t>(3 * mol.NShell));
    tesvarin::advise_huge_pages(mol.cshell.data(), mol.cshell.capacity() * sizeof(double));
    mol.cshell.resize(static_cast<size_t>(3 * mol.NShell));
    for (int64_t i = 0; i < mol.NShell; ++i) {
        mol.cshell[3 * i] = b.shellx[i], mol.cshell[3 * i + 1] = b.shelly[i], mol.cshell[3 * i + 2] = b.shellz[i];
    }

    convert_cc(1, 0, 1, 0);  // Renor1: back to raw primitives, unit-norm contractions
    b.shelltypes.swap(codes);
}
