// The density-fitting basis (724), stored in the layout of the basis section (670)
// with combined SPD and SPDF shells. It goes through the orbital basis' own steps:
// the words are read into the basis members, the combined shells are split the way
// formchk splits them (an SP shell, then one shell per higher L with the same
// exponents), and fix_basis() leaves the fchk's arrays; the orbital basis is put
// back afterwards, whatever happens.
#include <utility>

#include "tesvarin/parser.hpp"

namespace {
constexpr int64_t kBasisHeaderWords = 32;

// The basis members of the molecule record, moved out and back.
struct BasisMembers {
    int64_t NShell = 0, MaxTyp = 0, NPrim = 0, NPrimD = 0, CartD = 0, CartF = 0;
    ChkParams::Mol::Bparams bparams;
    tesvarin::bulk_vector<double> concoeff, spconcoeff;
    std::vector<double> cshell;

    void swap(ChkParams::Mol& mol) {
        std::swap(NShell, mol.NShell), std::swap(MaxTyp, mol.MaxTyp), std::swap(NPrim, mol.NPrim);
        std::swap(NPrimD, mol.NPrimD), std::swap(CartD, mol.CartD), std::swap(CartF, mol.CartF);
        std::swap(bparams, mol.bparams), concoeff.swap(mol.concoeff), spconcoeff.swap(mol.spconcoeff);
        cshell.swap(mol.cshell);
    }
};

// The shells and primitives the split makes: shells may share primitives, so the copies are
// counted (overflow-safe) before anything is sized.
std::pair<tesvarin::Checked, tesvarin::Checked> split_sizes(const ChkParams::Mol::Bparams& b) {
    tesvarin::Checked shells(0), prims(0);
    for (size_t k = 0; k < b.shelltypes.size(); ++k) {
        const int64_t T = b.shelltypes[k], parts = T >= 2 && b.shellcons[k] == 0 ? T : 1;
        shells = shells + parts;
        prims = prims + tesvarin::Checked(parts) * b.shellnprim[k];
    }
    return {shells, prims};
}

// Splits each combined shell (type T >= 2 with constraint 0: all of L = 0..T) into an SP shell
// and one shell per L from 2 to T, each with its own copy of the primitives.
void split_combined_shells(ChkParams::Mol& mol) {
    using Bparams = ChkParams::Mol::Bparams;
    const Bparams& b = mol.bparams;
    Bparams out;
    int64_t P = 1, D = 1;
    const auto add_shell = [&](size_t k, int64_t type, int64_t cons) {
        for (auto [to, from] : {std::pair{&out.shellx, &b.shellx},
                                {&out.shelly, &b.shelly},
                                {&out.shellz, &b.shellz},
                                {&out.rshaux1, &b.rshaux1},
                                {&out.rshaux2, &b.rshaux2}})
            to->push_back((*from)[k]);
        for (auto [to, from] : {std::pair{&out.shell2map, &b.shell2map},
                                {&out.shellnprim, &b.shellnprim},
                                {&out.ishaux1, &b.ishaux1},
                                {&out.ishaux2, &b.ishaux2}})
            to->push_back((*from)[k]);
        out.shelltypes.push_back(type), out.shellcons.push_back(cons);
        out.primstart.push_back(P), out.dfstart.push_back(type >= 2 ? D : 0);
    };
    for (size_t k = 0; k < b.shelltypes.size(); ++k) {
        const int64_t T = b.shelltypes[k], C = b.shellcons[k], n = b.shellnprim[k];
        // primstart is at least 1 (read_basis_arrays); dfstart only for shells with D or higher.
        const auto p = static_cast<size_t>(b.primstart[k] - 1), d = static_cast<size_t>(T >= 2 ? b.dfstart[k] - 1 : 0);
        const bool combined = T >= 2 && C == 0;
        for (int64_t L = combined ? 1 : T; L <= T; ++L) {
            add_shell(k, L, combined ? (L == 1 ? 0 : L) : C);
            for (int64_t i = 0; i < n; ++i) {
                out.primexp.push_back(b.primexp[p + i]);
                out.coefs.push_back(L <= 1 ? b.coefs[p + i] : 0.0);
                out.coefp.push_back(L <= 1 ? b.coefp[p + i] : 0.0);
                if (L >= 2) out.coefd.push_back(L == 2 ? b.coefd[d + i] : 0.0);
                if (L >= 2) out.coefhi.push_back(L >= 3 ? b.coefhi[d + i] : 0.0);
            }
            P += n;
            if (L >= 2) D += n;
        }
    }
    mol.NShell = static_cast<int64_t>(out.shelltypes.size());
    mol.NPrim = P - 1, mol.NPrimD = D - 1;
    mol.bparams = std::move(out);
}
}  // namespace

tesvarin::DensityBasis Tesvarin::read_density_basis(const tesvarin::SectionView& s) {
    auto& mol = params.mol;
    BasisMembers orbital;
    orbital.swap(mol);
    struct Restore {
        BasisMembers& kept;
        ChkParams::Mol& mol;
        ~Restore() { kept.swap(mol); }
    } restore{orbital, mol};
    if (s.size() < kBasisHeaderWords) {  // the header is read whole (as the orbital basis' is): it must be here
        s.fail("expected the 32 header words at least, found " + std::to_string(s.size()));
    }
    if (!read_basis_header(s)) s.fail("the basis header's counts and flags are garbage");
    const tesvarin::Checked shells(mol.NShell), prims(mol.NPrim), prims_df(mol.NPrimD);
    s.expect_length(kBasisHeaderWords + 3 * prims + 2 * prims_df + 13 * shells, "32 + 3*NPrim + 2*NPrimD + 13*NShell",
                    "32 + 3*" + prims.str() + " + 2*" + prims_df.str() + " + 13*" + shells.str());
    read_basis_words(s);
    try {
        read_basis_arrays();
        const auto [shells_out, prims_out] = split_sizes(mol.bparams);
        const tesvarin::Checked shell_words = shells_out * 13, prim_words = prims_out * 5;  // the arrays made
        if (!shell_words.ok() || !prim_words.ok()) s.fail("the split shells' sizes overflow");
        claim_words("density basis split shells", shell_words.value());
        claim_words("density basis split primitives", prim_words.value());
        split_combined_shells(mol);
        // Fitting functions are stored with another normalisation; formchk writes normalised contractions.
        convert_cc(0, 0, 1, 0);
        fix_basis();
    } catch (const _Error& e) {  // the orbital basis' message, said of this section
        const std::string text = e.what();
        const size_t from = text.rfind("Error: ", 0) == 0 ? 7 : 0;
        s.fail(text.substr(from, text.find('\n') - from));
    }

    tesvarin::DensityBasis d;
    const auto& b = mol.bparams;
    d.max_type = mol.MaxTyp, d.cart_d = mol.CartD, d.cart_f = mol.CartF;
    d.shell_types.assign(b.shelltypes.begin(), b.shelltypes.end());
    d.primitives_per_shell.assign(b.shellnprim.begin(), b.shellnprim.end());
    d.shell_to_atom.assign(b.shell2map.begin(), b.shell2map.end());
    d.exponents.assign(b.primexp.begin(), b.primexp.end());
    d.coefficients.assign(mol.concoeff.begin(), mol.concoeff.end());
    d.sp_coefficients.assign(mol.spconcoeff.begin(), mol.spconcoeff.end());
    d.shell_coordinates = mol.cshell;
    return d;
}
