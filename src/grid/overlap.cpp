// The overlap of the basis functions: every pair of shells once, through the primitives'
// Hermite coefficients of order zero (see the header for the formula).
#include "tesvarin/grid/overlap.hpp"

#include <cmath>
#include <string>

#include "tesvarin/checked.hpp"
#include "tesvarin/grid/combinations.hpp"
#include "tesvarin/grid/grid_basis.hpp"
#include "tesvarin/grid/hermite.hpp"

namespace tesvarin {
namespace {

constexpr int64_t kMaxOverlapFunctions = int64_t{1} << 14;

// <a|b> over the monomials of two shells: m[ca * nb + cb].
void monomial_overlaps(const GridBasis& basis, const GridShell& sa, const GridShell& sb,
                       const std::vector<std::array<int, 3>>& ma, const std::vector<std::array<int, 3>>& mb,
                       std::vector<double>& m) {
    const size_t na = ma.size(), nb = mb.size();
    m.assign(na * nb, 0.0);
    std::array<double, 3> ab{};
    double ab2 = 0.0;
    for (size_t i = 0; i < 3; ++i) ab[i] = sa.centre[i] - sb.centre[i], ab2 += ab[i] * ab[i];
    const int w = sa.l + sb.l + 1;
    std::array<std::vector<double>, 3> e;
    for (int64_t q = sa.prim_begin; q < sa.prim_end; ++q) {
        for (int64_t r = sb.prim_begin; r < sb.prim_end; ++r) {
            const double al = basis.alpha[static_cast<size_t>(q)], be = basis.alpha[static_cast<size_t>(r)];
            const double p = al + be;
            const double scale = basis.weight[static_cast<size_t>(q)] * basis.weight[static_cast<size_t>(r)] *
                                 std::exp(-al * be / p * ab2) * std::pow(M_PI / p, 1.5);
            if (scale == 0.0) continue;
            for (size_t i = 0; i < 3; ++i) {
                const double centre = (al * sa.centre[i] + be * sb.centre[i]) / p;
                hermite_1d(sa.l, sb.l, p, centre - sa.centre[i], centre - sb.centre[i], e[i]);
            }
            const auto e0 = [&](size_t i, int x, int y) { return e[i][static_cast<size_t>((x * (sb.l + 1) + y) * w)]; };
            for (size_t ca = 0; ca < na; ++ca)
                for (size_t cb = 0; cb < nb; ++cb)
                    m[ca * nb + cb] +=
                        scale * e0(0, ma[ca][0], mb[cb][0]) * e0(1, ma[ca][1], mb[cb][1]) * e0(2, ma[ca][2], mb[cb][2]);
        }
    }
}

}  // namespace

std::vector<double> overlap_matrix(const ChkParams::Mol& mol) {
    const GridBasis basis(mol);
    const int64_t n = basis.nbasis;
    const Checked size = Checked(n) * n;
    if (n > kMaxOverlapFunctions || !size.ok())
        refuse_evaluation("the overlap of " + std::to_string(n) + " basis functions is not formed (at most " +
                          std::to_string(kMaxOverlapFunctions) + ")");
    std::vector<double> s(static_cast<size_t>(size.value()), 0.0);
    const auto& shells = basis.shells;
    std::vector<double> m, half;
    for (size_t a = 0; a < shells.size(); ++a) {
        const GridShell& sa = shells[a];
        const auto ma = monomials(sa.l);
        const auto ta = to_monomials(sa.l, sa.pure);
        for (size_t b = a; b < shells.size(); ++b) {
            const GridShell& sb = shells[b];
            const auto mb = monomials(sb.l);
            const auto tb = to_monomials(sb.l, sb.pure);
            const size_t na = ma.size(), nb = mb.size();
            monomial_overlaps(basis, sa, sb, ma, mb, m);
            // S_fg = Ta_f . M . Tb_g
            half.assign(static_cast<size_t>(sa.nfunc) * nb, 0.0);
            for (int64_t f = 0; f < sa.nfunc; ++f)
                for (size_t ca = 0; ca < na; ++ca) {
                    const double t = ta[static_cast<size_t>(f) * na + ca];
                    if (t == 0.0) continue;
                    for (size_t cb = 0; cb < nb; ++cb) half[static_cast<size_t>(f) * nb + cb] += t * m[ca * nb + cb];
                }
            for (int64_t f = 0; f < sa.nfunc; ++f)
                for (int64_t g = 0; g < sb.nfunc; ++g) {
                    double v = 0.0;
                    for (size_t cb = 0; cb < nb; ++cb)
                        v += half[static_cast<size_t>(f) * nb + cb] * tb[static_cast<size_t>(g) * nb + cb];
                    const auto row = static_cast<size_t>(sa.first + f), col = static_cast<size_t>(sb.first + g);
                    s[row * static_cast<size_t>(n) + col] = v;
                    s[col * static_cast<size_t>(n) + row] = v;
                }
        }
    }
    return s;
}

}  // namespace tesvarin
