#include "tesvarin/grid/grid_basis.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "tesvarin/checked.hpp"
#include "tesvarin/error.hpp"
#include "tesvarin/number_text.hpp"

namespace tesvarin {
namespace {

double factorial(int n) {
    double f = 1.0;
    for (int i = 2; i <= n; ++i) f *= i;
    return f;
}

double double_factorial(int n) {  // n!! with (-1)!! = 1
    double f = 1.0;
    for (int i = n; i > 1; i -= 2) f *= i;
    return f;
}

double binomial(int n, int k) {
    if (k < 0 || k > n) return 0.0;
    double b = 1.0;
    for (int i = 1; i <= k; ++i) b = b * (n - k + i) / i;
    return b;
}

// Cartesian exponents in the fchk's order: the program's own for D and F, reverse
// alphabetical from G on (x before y before z, alphabetical meaning xx..x first).
std::vector<std::array<int, 3>> cartesian_order(int l) {
    if (l == 2) return {{2, 0, 0}, {0, 2, 0}, {0, 0, 2}, {1, 1, 0}, {1, 0, 1}, {0, 1, 1}};
    if (l == 3)
        return {{3, 0, 0}, {0, 3, 0}, {0, 0, 3}, {1, 2, 0}, {2, 1, 0},
                {2, 0, 1}, {1, 0, 2}, {0, 1, 2}, {0, 2, 1}, {1, 1, 1}};
    std::vector<std::array<int, 3>> order;
    for (int nx = l; nx >= 0; --nx)
        for (int ny = l - nx; ny >= 0; --ny) order.push_back({nx, ny, l - nx - ny});
    if (l >= 4) std::reverse(order.begin(), order.end());
    return order;
}

// The real solid harmonic of degree l and order m (cosine-like for m >= 0, sine-like for
// m < 0), normalised so that with the x^l normalisation of the radial part the function
// has unit norm: sum over the expansion of Schlegel and Frisch.
AngularFunction solid_harmonic(int l, int m) {
    const int am = std::abs(m);
    const double norm = 1.0 / (std::pow(2.0, am) * factorial(l)) *
                        std::sqrt(2.0 * factorial(l + am) * factorial(l - am) / (m == 0 ? 2.0 : 1.0));
    AngularFunction terms;
    // k runs over integers for m >= 0 and over half integers (k2 = 2k odd) for m < 0.
    for (int i = 0; i <= (l - am) / 2; ++i) {
        for (int j = 0; j <= i; ++j) {
            for (int k2 = (m < 0 ? 1 : 0); k2 <= am; k2 += 2) {
                const int sign_power = i + (m < 0 ? (k2 - 1) / 2 : k2 / 2);
                const double c = (sign_power % 2 ? -1.0 : 1.0) * std::pow(0.25, i) * binomial(l, i) *
                                 binomial(l - i, am + i) * binomial(i, j) * binomial(am, k2) * norm;
                if (c == 0.0) continue;
                const int ax = 2 * i + am - 2 * j - k2, ay = 2 * j + k2, az = l - 2 * i - am;
                auto same = std::find_if(terms.begin(), terms.end(),
                                         [&](const AngularTerm& t) { return t.ax == ax && t.ay == ay && t.az == az; });
                if (same != terms.end())
                    same->coef += c;
                else
                    terms.push_back({c, ax, ay, az});
            }
        }
    }
    return terms;
}

struct AngularTables {
    std::array<std::vector<AngularFunction>, kMaxGridL + 1> cartesian, pure;
    AngularTables() {
        for (int l = 0; l <= kMaxGridL; ++l) {
            for (const auto& a : cartesian_order(l)) {
                const double scale = std::sqrt(
                    double_factorial(2 * l - 1) /
                    (double_factorial(2 * a[0] - 1) * double_factorial(2 * a[1] - 1) * double_factorial(2 * a[2] - 1)));
                cartesian[l].push_back({{scale, a[0], a[1], a[2]}});
            }
            pure[l].push_back(solid_harmonic(l, 0));
            for (int m = 1; m <= l; ++m) {
                pure[l].push_back(solid_harmonic(l, m));
                pure[l].push_back(solid_harmonic(l, -m));
            }
        }
    }
};

// Largest value of the bound sum_j c_j r^m_j exp(-a r^2) beyond r: the radius past which it
// stays below `limit` (it decreases beyond sqrt(max m / 2a)).
double radius_below(double limit, double alpha, const std::vector<std::pair<double, int>>& terms) {
    const auto bound = [&](double r) {
        double s = 0.0;
        for (const auto& [c, m] : terms) s += c * std::pow(r, m);
        return s * std::exp(-alpha * r * r);
    };
    int top = 0;
    for (const auto& t : terms) top = std::max(top, t.second);
    double lo = std::sqrt(top / (2.0 * alpha));
    if (bound(lo) <= limit) return lo;
    double step = std::max(lo, 1.0 / std::sqrt(alpha));
    double hi = lo + step;
    while (bound(hi) > limit) {
        lo = hi;
        step *= 2;
        hi = lo + step;
        if (!std::isfinite(hi)) return std::numeric_limits<double>::infinity();
    }
    for (int i = 0; i < 60 && hi - lo > 1e-6 * hi; ++i) {
        const double mid = 0.5 * (lo + hi);
        (bound(mid) > limit ? lo : hi) = mid;
    }
    return hi;
}

[[noreturn]] void refuse(const std::string& what) { TESVARIN_THROW("Grid evaluation: " + what); }

}  // namespace

const std::vector<AngularFunction>& angular_functions(int l, bool pure) {
    static const AngularTables tables;
    return pure ? tables.pure[static_cast<size_t>(l)] : tables.cartesian[static_cast<size_t>(l)];
}

GridBasis::GridBasis(const ChkParams::Mol& mol) {
    const auto& b = mol.bparams;
    const auto nshell = static_cast<int64_t>(b.shelltypes.size());
    if (static_cast<int64_t>(b.shellnprim.size()) < nshell || static_cast<int64_t>(mol.cshell.size()) / 3 < nshell)
        refuse("the shell arrays disagree in length (" + std::to_string(nshell) + " shell types, " +
               std::to_string(b.shellnprim.size()) + " primitive counts, " + std::to_string(mol.cshell.size()) +
               " shell coordinates)");
    int64_t prim = 0, functions = 0;
    for (int64_t s = 0; s < nshell; ++s) {
        const int64_t code = b.shelltypes[static_cast<size_t>(s)];
        const int64_t n = b.shellnprim[static_cast<size_t>(s)];
        if (code < -kMaxGridL || code > kMaxGridL)
            refuse("shell " + std::to_string(s + 1) + " has type " + std::to_string(code) + "; types from " +
                   std::to_string(-kMaxGridL) + " to " + std::to_string(kMaxGridL) + " are evaluated");
        if (n < 0 || !fits(prim, n, static_cast<int64_t>(b.primexp.size())) ||
            !fits(prim, n, static_cast<int64_t>(mol.concoeff.size())))
            refuse("shell " + std::to_string(s + 1) + " has " + std::to_string(n) + " primitives from primitive " +
                   std::to_string(prim + 1) + ", past the " +
                   std::to_string(std::min(b.primexp.size(), mol.concoeff.size())) + " exponents and coefficients");
        if (code == -1 && !fits(prim, n, static_cast<int64_t>(mol.spconcoeff.size())))
            refuse("SP shell " + std::to_string(s + 1) + " has no P coefficients");
        const std::array<double, 3> centre{mol.cshell[3 * s], mol.cshell[3 * s + 1], mol.cshell[3 * s + 2]};
        if (!std::isfinite(centre[0]) || !std::isfinite(centre[1]) || !std::isfinite(centre[2]))
            refuse("shell " + std::to_string(s + 1) + " has no finite centre");
        // An SP shell is the S function and then the P functions over the same exponents.
        const int parts = code == -1 ? 2 : 1;
        for (int part = 0; part < parts; ++part) {
            GridShell sh;
            sh.l = code == -1 ? part : static_cast<int>(std::abs(code));
            sh.pure = code < -1;
            sh.centre = centre;
            sh.first = functions;
            sh.nfunc = static_cast<int64_t>(angular_functions(sh.l, sh.pure).size());
            double bound = 0.0;
            for (const auto& f : angular_functions(sh.l, sh.pure)) {
                double s1 = 0.0;
                for (const auto& t : f) s1 += std::fabs(t.coef);
                bound = std::max(bound, s1);
            }
            sh.angular_bound = bound;
            sh.prim_begin = static_cast<int64_t>(alpha.size());
            const auto& coef = code == -1 && part == 1 ? mol.spconcoeff : mol.concoeff;
            const double lnorm = std::sqrt(double_factorial(2 * sh.l - 1));
            for (int64_t p = prim; p < prim + n; ++p) {
                const double a = b.primexp[static_cast<size_t>(p)];
                const double c = coef[static_cast<size_t>(p)];
                if (!(a > 0.0) || !std::isfinite(a) || !std::isfinite(c))
                    refuse("primitive " + std::to_string(p + 1) + " has exponent " + std::to_string(a) +
                           " and coefficient " + std::to_string(c) + "; a positive exponent is needed");
                const double w = c * std::pow(2.0 * a / M_PI, 0.75) * std::pow(4.0 * a, 0.5 * sh.l) / lnorm;
                if (!std::isfinite(w))
                    refuse("primitive " + std::to_string(p + 1) + " (exponent " + shortest(a) + ", l " +
                           std::to_string(sh.l) + ") has a normalisation beyond the range of a double");
                alpha.push_back(a);
                weight.push_back(w);
            }
            sh.prim_end = static_cast<int64_t>(alpha.size());
            functions += sh.nfunc;
            shells.push_back(sh);
        }
        prim += n;
    }
    if (functions == 0) refuse("the checkpoint holds no basis functions");
    if (functions != mol.nbasis)
        refuse("the basis has " + std::to_string(functions) + " functions but the checkpoint counts " +
               std::to_string(mol.nbasis));
    nbasis = functions;
}

std::vector<double> GridBasis::screening_radii2(double eps, int derivatives) const {
    std::vector<double> radii2(alpha.size(), std::numeric_limits<double>::infinity());
    if (!(eps > 0.0)) return radii2;
    for (const GridShell& sh : shells) {
        const double limit = eps / static_cast<double>(std::max<int64_t>(1, sh.prim_end - sh.prim_begin));
        const int l = sh.l;
        for (int64_t p = sh.prim_begin; p < sh.prim_end; ++p) {
            const double a = alpha[static_cast<size_t>(p)];
            const double c = std::fabs(weight[static_cast<size_t>(p)]) * sh.angular_bound;
            if (c == 0.0) {
                radii2[static_cast<size_t>(p)] = 0.0;
                continue;
            }
            // |P| <= c r^l; |dP/dx| <= l c r^(l-1); |lap P| <= l (l-1) c r^(l-2).
            double r = radius_below(limit, a, {{c, l}});
            if (derivatives >= 1)
                r = std::max(r, radius_below(limit, a, {{l * c, std::max(l - 1, 0)}, {2 * a * c, l + 1}}));
            if (derivatives >= 2)
                r = std::max(r, radius_below(limit, a,
                                             {{l * (l - 1) * c, std::max(l - 2, 0)},
                                              {2 * a * (2 * l + 3) * c, l},
                                              {4 * a * a * c, l + 2}}));
            radii2[static_cast<size_t>(p)] = r * r;
        }
    }
    return radii2;
}

}  // namespace tesvarin
