// The electrostatic potential: the density matrix, contracted with each pair of primitives
// into Hermite expansion coefficients once, then summed at every point through the
// McMurchie-Davidson R integrals, or far from a point through its atom's multipole moments (see the
// header for the formulas, the screening bound and the far field's bound).
#include "tesvarin/grid/potential.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>
#include <string>
#include <unordered_map>
#include <vector>

#include "tesvarin/checked.hpp"
#include "tesvarin/grid/boys.hpp"
#include "tesvarin/grid/combinations.hpp"
#include "tesvarin/grid/grid_basis.hpp"
#include "tesvarin/grid/hermite.hpp"
#include "tesvarin/grid/kernels.hpp"
#include "tesvarin/grid/points.hpp"

namespace tesvarin {
namespace {

constexpr int kMaxHermite = kMaxBoysOrder;  // t + u + v of a pair of shells, plus one for the field
constexpr int kLanes = kBoysLanes;          // points whose R integrals are built side by side

constexpr int hermite_count(int degree) { return (degree + 1) * (degree + 2) * (degree + 3) / 6; }

// The Hermite indices (t, u, v) ordered by degree t + u + v, so that those of degree <= L are the
// first hermite_count(L); with each, how the recursion builds it: R^n_tuv =
// (c - 1) R^(n+1)_(tuv - 2e) + X_e R^(n+1)_(tuv - e) along one direction e where its component c > 0.
struct HermiteIndex {
    std::vector<std::array<int, 3>> tuv;
    std::vector<int> dir, minus1, minus2, mult;
    std::array<std::vector<int>, 3> plus;  // index of tuv + e, for the field
    std::vector<int> at;                   // (t, u, v) -> index, (kMaxHermite + 1)^3
    int index(int t, int u, int v) const {
        return at[static_cast<size_t>((t * (kMaxHermite + 1) + u) * (kMaxHermite + 1) + v)];
    }

    HermiteIndex() : at(static_cast<size_t>((kMaxHermite + 1) * (kMaxHermite + 1) * (kMaxHermite + 1)), -1) {
        for (int n = 0; n <= kMaxHermite; ++n)
            for (int t = n; t >= 0; --t)
                for (int u = n - t; u >= 0; --u) {
                    at[static_cast<size_t>((t * (kMaxHermite + 1) + u) * (kMaxHermite + 1) + n - t - u)] =
                        static_cast<int>(tuv.size());
                    tuv.push_back({t, u, n - t - u});
                }
        // The written-out low degrees rely on this order: x y z, then xx xy xz yy yz zz.
        if (index(1, 0, 0) != 1 || index(0, 0, 1) != 3 || index(2, 0, 0) != 4 || index(1, 0, 1) != 6 ||
            index(0, 2, 0) != 7 || index(0, 0, 2) != 9)
            refuse_evaluation("the Hermite index order is not the one the low degrees use");
        for (const auto& c : tuv) {
            const int e = c[0] > 0 ? 0 : c[1] > 0 ? 1 : c[2] > 0 ? 2 : -1;
            dir.push_back(e);
            if (e < 0) {
                minus1.push_back(-1), minus2.push_back(-1), mult.push_back(0);
            } else {
                auto m = c;
                --m[static_cast<size_t>(e)];
                minus1.push_back(index(m[0], m[1], m[2]));
                mult.push_back(m[static_cast<size_t>(e)]);
                if (m[static_cast<size_t>(e)] > 0) {
                    --m[static_cast<size_t>(e)];
                    minus2.push_back(index(m[0], m[1], m[2]));
                } else {
                    minus2.push_back(-1);
                }
            }
            for (int d = 0; d < 3; ++d) {
                auto q = c;
                ++q[static_cast<size_t>(d)];
                const bool fits = q[0] + q[1] + q[2] <= kMaxHermite;
                plus[static_cast<size_t>(d)].push_back(fits ? index(q[0], q[1], q[2]) : -1);
            }
        }
    }
};

const HermiteIndex& hermite() {
    static const HermiteIndex h;
    return h;
}

}  // namespace

// Cartesian monomials of degree l, x^l first, and each function of a shell written over them.
std::vector<std::array<int, 3>> monomials(int l) {
    std::vector<std::array<int, 3>> m;
    for (int ax = l; ax >= 0; --ax)
        for (int ay = l - ax; ay >= 0; --ay) m.push_back({ax, ay, l - ax - ay});
    return m;
}

// T[f * ncart + c]: the coefficient of monomial c in function f of the shell.
std::vector<double> to_monomials(int l, bool pure) {
    const auto mono = monomials(l);
    const auto& functions = angular_functions(l, pure);
    std::vector<double> t(functions.size() * mono.size(), 0.0);
    for (size_t f = 0; f < functions.size(); ++f)
        for (const AngularTerm& term : functions[f]) {
            const auto it = std::find(mono.begin(), mono.end(), std::array<int, 3>{term.ax, term.ay, term.az});
            t[f * mono.size() + static_cast<size_t>(it - mono.begin())] += term.coef;
        }
    return t;
}

// Hermite expansion coefficients of a one-dimensional Gaussian product, without exp(-mu X_AB^2):
// e[(i * (lb + 1) + j) * (la + lb + 1) + t] = E^ij_t.
void hermite_1d(int la, int lb, double p, double xpa, double xpb, std::vector<double>& e) {
    const int w = la + lb + 1;
    e.assign(static_cast<size_t>((la + 1) * (lb + 1) * w), 0.0);
    const auto at = [&](int i, int j, int t) -> double& { return e[static_cast<size_t>((i * (lb + 1) + j) * w + t)]; };
    const double half = 0.5 / p;
    at(0, 0, 0) = 1.0;
    for (int i = 0; i <= la; ++i)
        for (int j = 0; j <= lb; ++j) {
            if (i == 0 && j == 0) continue;
            // Raise j when it can, else i, from a coefficient already known.
            const bool up_j = j > 0;
            const int pi = up_j ? i : i - 1, pj = up_j ? j - 1 : j;
            const double x = up_j ? xpb : xpa;
            for (int t = 0; t <= i + j; ++t) {
                double v = x * (t <= pi + pj ? at(pi, pj, t) : 0.0);
                if (t > 0) v += half * at(pi, pj, t - 1);
                if (t + 1 <= pi + pj) v += (t + 1) * at(pi, pj, t + 1);
                at(i, j, t) = v;
            }
        }
}

namespace {

// One Gaussian charge distribution: its potential at C is sum_i h[i] R_i(p, P - C), the sign of
// the electrons' charge and 2 pi / p already in h.
struct Distribution {
    double p;
    std::array<double, 3> centre;
    int degree;
    int64_t offset;              // into the coefficient pool
    std::array<double, 3> home;  // the atom whose far field takes it: its own, or that of the larger exponent
};

struct CentreKey {
    double p, x, y, z;
    bool operator==(const CentreKey& o) const { return std::memcmp(this, &o, sizeof(CentreKey)) == 0; }
};
struct CentreHash {
    size_t operator()(const CentreKey& k) const {
        uint64_t bits[4];
        std::memcpy(bits, &k, sizeof bits);
        uint64_t h = 1469598103934665603ull;
        for (uint64_t b : bits) h = (h ^ b) * 1099511628211ull ^ (b >> 29);
        return static_cast<size_t>(h);
    }
};

// A file of a few shells can still ask for more than any machine holds: each pair of primitives
// is a distribution of hermite_count(la + lb) coefficients, each set up from every pair of the
// two shells' Cartesian components. Both are counted (with overflow checked) before anything is
// built, and a basis past the limits is refused in words. The limits lie far beyond a molecule's
// basis: the 200-function def2-TZVPP checkpoint needs 7e4 coefficients and 1e6 steps.
constexpr int64_t kMaxCoefficients = int64_t{1} << 28;  // 2 GiB of doubles
constexpr int64_t kMaxSetupSteps = int64_t{1} << 36;

int64_t cartesian_count(int l) { return (l + 1) * (l + 2) / 2; }

void check_setup_size(const std::vector<GridShell>& shells) {
    Checked coefficients = 0, steps = 0;
    const auto within = [&] {
        return coefficients.ok() && steps.ok() && coefficients.value() <= kMaxCoefficients &&
               steps.value() <= kMaxSetupSteps;
    };
    for (size_t a = 0; a < shells.size() && within(); ++a) {
        for (size_t b = a; b < shells.size() && within(); ++b) {
            const GridShell& sa = shells[a];
            const GridShell& sb = shells[b];
            const Checked per_pair =
                Checked(sa.prim_end - sa.prim_begin) * (sb.prim_end - sb.prim_begin) * hermite_count(sa.l + sb.l);
            coefficients = coefficients + per_pair;
            steps = steps + per_pair * cartesian_count(sa.l) * cartesian_count(sb.l);
        }
    }
    if (!within())
        refuse_evaluation("the potential of this basis needs more than " + std::to_string(kMaxCoefficients) +
                          " Hermite coefficients or " + std::to_string(kMaxSetupSteps) +
                          " steps to set up (shells of far higher angular momentum, or far more primitives, than a "
                          "molecule's basis)");
}

// Every distribution of the density, merged by (p, P), with their coefficients.
class Distributions {
public:
    std::vector<Distribution> list;
    std::vector<double> pool;
    int max_degree = 0;

    Distributions() = default;
    Distributions(const GridBasis& basis, const std::vector<double>& density, int64_t n) {
        const auto& shells = basis.shells;
        std::vector<std::vector<double>> cart(shells.size());
        for (size_t s = 0; s < shells.size(); ++s) cart[s] = to_monomials(shells[s].l, shells[s].pure);
        std::unordered_map<CentreKey, size_t, CentreHash> where;
        std::vector<std::vector<double>> coefs;  // per distribution while they are gathered
        std::vector<double> dc, tmp, ex, ey, ez, h;
        for (size_t a = 0; a < shells.size(); ++a) {
            for (size_t b = a; b < shells.size(); ++b) {
                const GridShell& sa = shells[a];
                const GridShell& sb = shells[b];
                const auto ma = monomials(sa.l), mb = monomials(sb.l);
                const size_t na = ma.size(), nb = mb.size();
                // Dc = Ta^T D_ab Tb over the monomials.
                tmp.assign(static_cast<size_t>(sa.nfunc) * nb, 0.0);
                for (int64_t f = 0; f < sa.nfunc; ++f)
                    for (int64_t g = 0; g < sb.nfunc; ++g) {
                        const double d = density[static_cast<size_t>((sa.first + f) * n + sb.first + g)];
                        if (d == 0.0) continue;
                        for (size_t c = 0; c < nb; ++c)
                            tmp[static_cast<size_t>(f) * nb + c] += d * cart[b][static_cast<size_t>(g) * nb + c];
                    }
                dc.assign(na * nb, 0.0);
                double dmax = 0.0;
                for (int64_t f = 0; f < sa.nfunc; ++f)
                    for (size_t ca = 0; ca < na; ++ca) {
                        const double t = cart[a][static_cast<size_t>(f) * na + ca];
                        if (t == 0.0) continue;
                        for (size_t c = 0; c < nb; ++c) dc[ca * nb + c] += t * tmp[static_cast<size_t>(f) * nb + c];
                    }
                for (double v : dc) {
                    if (!std::isfinite(v))  // NaN would also pass the zero test below and drop the pair
                        refuse_evaluation("the density over shells " + std::to_string(a + 1) + " and " +
                                          std::to_string(b + 1) + " is beyond the range of a double");
                    dmax = std::max(dmax, std::fabs(v));
                }
                if (dmax == 0.0) continue;
                const double factor = a == b ? 1.0 : 2.0;
                const bool same_centre = sa.centre == sb.centre;
                std::array<double, 3> ab{};
                double ab2 = 0.0;
                for (int i = 0; i < 3; ++i) ab[i] = sa.centre[i] - sb.centre[i], ab2 += ab[i] * ab[i];
                const int degree = sa.l + sb.l;
                const int w = degree + 1;
                for (int64_t q = sa.prim_begin; q < sa.prim_end; ++q) {
                    for (int64_t r = sb.prim_begin; r < sb.prim_end; ++r) {
                        const double al = basis.alpha[static_cast<size_t>(q)], be = basis.alpha[static_cast<size_t>(r)];
                        const double p = al + be;
                        const double k = std::exp(-al * be / p * ab2);
                        const double scale =
                            factor * basis.weight[static_cast<size_t>(q)] * basis.weight[static_cast<size_t>(r)] * k;
                        if (scale == 0.0) continue;
                        std::array<double, 3> centre;
                        for (int i = 0; i < 3; ++i)
                            centre[i] = same_centre ? sa.centre[i] : (al * sa.centre[i] + be * sb.centre[i]) / p;
                        hermite_1d(sa.l, sb.l, p, centre[0] - sa.centre[0], centre[0] - sb.centre[0], ex);
                        hermite_1d(sa.l, sb.l, p, centre[1] - sa.centre[1], centre[1] - sb.centre[1], ey);
                        hermite_1d(sa.l, sb.l, p, centre[2] - sa.centre[2], centre[2] - sb.centre[2], ez);
                        h.assign(static_cast<size_t>(hermite_count(degree)), 0.0);
                        const HermiteIndex& hi = hermite();
                        const auto e1 = [&](const std::vector<double>& e, int i, int j, int t) {
                            return e[static_cast<size_t>((i * (sb.l + 1) + j) * w + t)];
                        };
                        for (size_t ca = 0; ca < na; ++ca)
                            for (size_t cb = 0; cb < nb; ++cb) {
                                const double d = dc[ca * nb + cb];
                                if (d == 0.0) continue;
                                const auto& A = ma[ca];
                                const auto& B = mb[cb];
                                for (int t = 0; t <= A[0] + B[0]; ++t) {
                                    const double vx = d * e1(ex, A[0], B[0], t);
                                    for (int u = 0; u <= A[1] + B[1]; ++u) {
                                        const double vxy = vx * e1(ey, A[1], B[1], u);
                                        for (int v = 0; v <= A[2] + B[2]; ++v)
                                            h[static_cast<size_t>(hi.index(t, u, v))] += vxy * e1(ez, A[2], B[2], v);
                                    }
                                }
                            }
                        // The electrons' charge and 2 pi / p.
                        const double c = -scale * 2 * M_PI / p;
                        for (double& v : h) v *= c;
                        const CentreKey key{p, centre[0], centre[1], centre[2]};
                        const auto [it, fresh] = where.try_emplace(key, list.size());
                        if (fresh) {
                            list.push_back({p, centre, degree, 0, al >= be ? sa.centre : sb.centre});
                            coefs.push_back(h);
                        } else {
                            auto& into = coefs[it->second];
                            if (into.size() < h.size()) into.resize(h.size(), 0.0);
                            for (size_t i = 0; i < h.size(); ++i) into[i] += h[i];
                            list[it->second].degree = std::max(list[it->second].degree, degree);
                        }
                    }
                }
            }
        }
        for (size_t i = 0; i < list.size(); ++i) {
            list[i].offset = static_cast<int64_t>(pool.size());
            pool.insert(pool.end(), coefs[i].begin(), coefs[i].end());
            max_degree = std::max(max_degree, list[i].degree);
        }
    }

    // Largest contribution of distribution i at any point (to the potential, or with `field`
    // also to each field component).
    double bound(size_t i, bool field) const {
        static const double kCramer = 1.086435 * 1.086435 * 1.086435;
        const Distribution& d = list[i];
        const HermiteIndex& hi = hermite();
        const auto rbound = [&](int t, int u, int v) {
            const int nn = t + u + v;
            return std::pow(2 * d.p, 0.5 * nn) * kCramer *
                   std::sqrt(std::tgamma(t + 1.0) * std::tgamma(u + 1.0) * std::tgamma(v + 1.0)) / (nn + 1);
        };
        double bv = 0.0, bf[3] = {0.0, 0.0, 0.0};
        for (int j = 0; j < hermite_count(d.degree); ++j) {
            const double a = std::fabs(pool[static_cast<size_t>(d.offset + j)]);
            if (a == 0.0) continue;
            const auto& c = hi.tuv[static_cast<size_t>(j)];
            bv += a * rbound(c[0], c[1], c[2]);
            if (field) {
                bf[0] += a * rbound(c[0] + 1, c[1], c[2]);
                bf[1] += a * rbound(c[0], c[1] + 1, c[2]);
                bf[2] += a * rbound(c[0], c[1], c[2] + 1);
            }
        }
        return std::max({bv, bf[0], bf[1], bf[2]});
    }

    // Leaves out the distributions of smallest bound whose bounds add up to at most eps.
    void screen(double eps, bool field) {
        if (!(eps > 0.0)) return;
        std::vector<std::pair<double, size_t>> order;
        for (size_t i = 0; i < list.size(); ++i) order.push_back({bound(i, field), i});
        std::sort(order.begin(), order.end());
        double dropped = 0.0;
        std::vector<bool> keep(list.size(), true);
        for (const auto& [b, i] : order) {
            if (dropped + b > eps) break;
            dropped += b;
            keep[i] = false;
        }
        std::vector<Distribution> kept;
        for (size_t i = 0; i < list.size(); ++i)
            if (keep[i]) kept.push_back(list[i]);
        list.swap(kept);
    }
};

// The far field (see the header for the bound): each atom gathers the distributions it is home to,
// and a distribution joins the atom's multipole expansion at the points beyond its radius, the
// distance from which its share of the bound stays below its share of the accuracy.

constexpr int kFarOrders[] = {6, 9, 12, 16, 20};  // orders an atom's expansion is tried at
constexpr double kFarStep = 0.25;                 // Bohr: radii are rounded up to whole steps
constexpr double kNever = std::numeric_limits<double>::infinity();
constexpr double kLongestRadius = 1e6;                // Bohr: a distribution not far by then never is
constexpr int64_t kMaxFarMoments = int64_t{1} << 22;  // 32 MiB of gathered moments at most

// What the bound knows of a distribution about its atom: the offset d = |P - O|, the weights W_n of
// its point multipoles by degree, and the radius about P beyond which its penetration stays within
// half its share of the accuracy.
struct FarSize {
    double offset = 0.0;
    double penetration = 0.0;
    std::vector<double> weight;
};

// The penetration bound at distance D from P: sum_tuv |h_tuv| U_tuv, U built by the recursion with
// |X_e| <= D from U^m_000 = (2p)^m G_m(p D^2), G_m(T) <= exp(-T) sum_j (2m)! / (2m - j)! / (2T)^(j+1).
double penetration_bound(const Distribution& d, const double* h, double distance) {
    const HermiteIndex& hi = hermite();
    const int n = d.degree;
    const double t = d.p * distance * distance, et = std::exp(-t);
    double a[hermite_count(kMaxHermite)], b[hermite_count(kMaxHermite)];
    double* prev = a;
    double* cur = b;
    for (int m = n; m >= 0; --m) {
        double g = 0.0, term = 1.0 / (2 * t);
        for (int j = 0; j <= 2 * m; ++j) g += term, term *= (2 * m - j) / (2 * t);
        cur[0] = std::pow(2 * d.p, m) * et * g;
        for (int i = 1; i < hermite_count(n - m); ++i) {
            const int m2 = hi.minus2[static_cast<size_t>(i)];
            cur[i] = distance * prev[hi.minus1[static_cast<size_t>(i)]] +
                     (m2 < 0 ? 0.0 : hi.mult[static_cast<size_t>(i)] * prev[m2]);
        }
        std::swap(prev, cur);
    }
    double sum = 0.0;
    for (int i = 0; i < hermite_count(n); ++i) sum += std::fabs(h[i]) * prev[i];
    return sum;
}

// The smallest r >= lo from which the decreasing `bound` stays at or below `budget`, to 1%.
template <class Bound>
double radius_within(const Bound& bound, double lo, double budget) {
    if (!(lo < kLongestRadius)) return kNever;
    if (bound(lo) <= budget) return lo;
    double hi = lo;
    do {
        lo = hi, hi *= 2;
        if (hi > kLongestRadius) return kNever;
    } while (!(bound(hi) <= budget));
    while (hi - lo > 1e-2 * hi) {
        const double mid = 0.5 * (lo + hi);
        (bound(mid) <= budget ? hi : lo) = mid;
    }
    return hi;
}

FarSize far_size(const Distribution& d, const double* h, const std::array<double, 3>& origin, double budget) {
    static const double kCramer = 1.086435 * 1.086435 * 1.086435;
    const HermiteIndex& hi = hermite();
    FarSize s;
    const double dx = d.centre[0] - origin[0], dy = d.centre[1] - origin[1], dz = d.centre[2] - origin[2];
    s.offset = std::sqrt(dx * dx + dy * dy + dz * dz);
    s.weight.assign(static_cast<size_t>(d.degree) + 1, 0.0);
    for (int j = 0; j < hermite_count(d.degree); ++j) {
        const auto& c = hi.tuv[static_cast<size_t>(j)];
        const int n = c[0] + c[1] + c[2];
        // w = h sqrt(pi / p) / 2 times |d^tuv 1/|X|| <= B_tuv / |X|^(n+1).
        s.weight[static_cast<size_t>(n)] +=
            std::fabs(h[j]) * std::sqrt(M_PI / d.p) / 2 * kCramer *
            std::sqrt(std::pow(2.0, n) * std::tgamma(c[0] + 1.0) * std::tgamma(c[1] + 1.0) * std::tgamma(c[2] + 1.0)) *
            std::tgamma((n + 1) / 2.0) * std::pow(2.0, (n + 1) / 2.0) / std::sqrt(M_PI);
    }
    s.penetration = radius_within([&](double r) { return penetration_bound(d, h, r); }, std::sqrt((d.degree + 1) / d.p),
                                  budget / 2);
    return s;
}

// The truncation bound at distance r from the atom for an expansion of order l: the smallest over
// rho = lambda r of sum_n W_n / (r - rho)^(n+1) S_(l-n+1)(d / rho), S_m(x) = sum_(k >= m) (2k + 1) x^k.
double truncation_bound(const FarSize& s, int l, double r) {
    double best = kNever;
    for (double lambda : {0.2, 0.4, 0.6, 0.8}) {
        const double x = s.offset / (lambda * r);
        if (!(x < 1.0)) continue;
        double power[kMaxHermite + 2];  // x^k
        power[0] = 1.0;
        for (int k = 1; k <= l + 1; ++k) power[k] = power[k - 1] * x;
        const double inverse = 1.0 / ((1 - lambda) * r);
        double sum = 0.0, scale = inverse;  // 1 / (r - rho)^(n+1)
        for (size_t n = 0; n < s.weight.size(); ++n, scale *= inverse) {
            const int m = std::max(l - static_cast<int>(n) + 1, 0);
            sum += s.weight[n] * scale * power[m] * ((2 * m + 1) / (1 - x) + 2 * x / ((1 - x) * (1 - x)));
        }
        best = std::min(best, sum);
    }
    return best;
}

// Where a distribution joins an expansion of order l: beyond its penetration radius from P and where
// the truncation bound has fallen to the other half of its share.
double join_radius(const FarSize& s, int l, double budget) {
    if (s.offset == 0.0 && l + 1 >= static_cast<int>(s.weight.size())) return s.penetration;  // nothing truncated
    const double truncation =
        radius_within([&](double r) { return truncation_bound(s, l, r); }, std::max(2 * s.offset, 1e-3), budget / 2);
    return std::max(truncation, s.penetration + s.offset);
}

// Adds the multipole moments of d about `origin`, each over a! b! c!, up to order l into w:
// w_abc += sum_tuv c_tuv mu_(a-t)(Px - Ox) mu_(b-u)(Py - Oy) mu_(c-v)(Pz - Oz), with
// mu_j(x) = sqrt(pi / p) sum_m x^(j-2m) / ((j-2m)! m! (4p)^m) the moments of exp(-p y^2) over j!.
void add_moments(const Distribution& d, const double* h, const std::array<double, 3>& origin, int l, double* w) {
    const HermiteIndex& hi = hermite();
    double mu[3][kMaxHermite + 1];
    const double s = std::sqrt(M_PI / d.p);
    for (int axis = 0; axis < 3; ++axis) {
        const double x = d.centre[static_cast<size_t>(axis)] - origin[static_cast<size_t>(axis)];
        double power[kMaxHermite + 1];  // x^k / k!
        power[0] = 1.0;
        for (int k = 1; k <= l; ++k) power[k] = power[k - 1] * x / k;
        for (int j = 0; j <= l; ++j) {
            double sum = 0.0, gauss = 1.0;  // 1 / (m! (4p)^m)
            for (int m = 0; 2 * m <= j; ++m) {
                sum += power[j - 2 * m] * gauss;
                gauss /= (m + 1) * 4 * d.p;
            }
            mu[axis][j] = s * sum;
        }
    }
    const double scale = d.p / (2 * M_PI);
    for (int i = 0; i < hermite_count(std::min(d.degree, l)); ++i) {
        const double c = h[i] * scale;
        if (c == 0.0) continue;
        const auto& tuv = hi.tuv[static_cast<size_t>(i)];
        for (int a = tuv[0]; a <= l; ++a)
            for (int b = tuv[1]; a + b <= l; ++b) {
                const double cab = c * mu[0][a - tuv[0]] * mu[1][b - tuv[1]];
                for (int e = tuv[2]; a + b + e <= l; ++e)
                    w[static_cast<size_t>(hi.index(a, b, e))] += cab * mu[2][e - tuv[2]];
            }
    }
}

// Rewrites moments w (order l) for Hobson's theorem: sum_abc w_abc T_abc(X) = sum_n (-1)^n (2n - 1)!!
// h_n(X) / r^(2n+1), h_n the harmonic part of the degree-n polynomial p_n = sum w_abc x^a y^b z^c,
// h_n = sum_k (-1)^k (2n - 2k - 1)!! / ((2n - 1)!! (2k)!!) r^2k Laplacian^k p_n (the rest of p_n
// holds a factor r^2, whose Laplacian takes 1/r to 0 away from O). Each w_abc becomes the coefficient
// of x^a y^b z^c / r^(2n+1) = u^abc / r.
void to_hobson(int l, double* w) {
    const HermiteIndex& hi = hermite();
    const auto n_of = [&](int i) {
        const auto& t = hi.tuv[static_cast<size_t>(i)];
        return t[0] + t[1] + t[2];
    };
    const int nh = hermite_count(l);
    std::vector<double> out(static_cast<size_t>(nh), 0.0), q(out.size()), next(out.size()), term(out.size());
    for (int n = 0; n <= l; ++n) {
        std::fill(q.begin(), q.end(), 0.0);
        for (int i = hermite_count(n - 1); i < hermite_count(n); ++i) q[static_cast<size_t>(i)] = w[i];
        double odd = 1.0;  // (2n - 1)!!
        for (int j = 2 * n - 1; j > 1; j -= 2) odd *= j;
        double coefficient = 1.0;
        for (int k = 0; 2 * k <= n; ++k) {
            if (k > 0) {  // q = Laplacian q; the coefficient's ratio to the one before
                std::fill(next.begin(), next.end(), 0.0);
                for (int i = 0; i < nh; ++i) {
                    const double v = q[static_cast<size_t>(i)];
                    if (v == 0.0) continue;
                    const auto& t = hi.tuv[static_cast<size_t>(i)];
                    for (int e = 0; e < 3; ++e)
                        if (t[static_cast<size_t>(e)] >= 2) {
                            auto d = t;
                            d[static_cast<size_t>(e)] -= 2;
                            next[static_cast<size_t>(hi.index(d[0], d[1], d[2]))] +=
                                t[static_cast<size_t>(e)] * (t[static_cast<size_t>(e)] - 1) * v;
                        }
                }
                q.swap(next);
                coefficient *= -1.0 / ((2 * n - 2 * k + 1) * (2.0 * k));
            }
            term = q;  // times r^2k
            for (int j = 0; j < k; ++j) {
                std::fill(next.begin(), next.end(), 0.0);
                for (int i = 0; i < nh; ++i) {
                    const double v = term[static_cast<size_t>(i)];
                    if (v == 0.0) continue;
                    const auto& t = hi.tuv[static_cast<size_t>(i)];
                    for (int e = 0; e < 3; ++e) {
                        auto d = t;
                        d[static_cast<size_t>(e)] += 2;
                        if (d[0] + d[1] + d[2] <= l) next[static_cast<size_t>(hi.index(d[0], d[1], d[2]))] += v;
                    }
                }
                term.swap(next);
            }
            for (int i = 0; i < nh; ++i)
                if (n_of(i) == n) out[static_cast<size_t>(i)] += coefficient * term[static_cast<size_t>(i)];
        }
        const double scale = (n % 2 == 0 ? 1.0 : -1.0) * odd;
        for (int i = hermite_count(n - 1); i < hermite_count(n); ++i) out[static_cast<size_t>(i)] *= scale;
    }
    std::copy(out.begin(), out.end(), w);
}

// One atom's far field: bin k holds the distributions whose radius rounds up to sqrt(edges2[k]),
// the last bin those never summed through moments; row k of `moments` holds bins 0..k together.
struct FarCentre {
    std::array<double, 3> origin{};
    int order = 0;
    std::vector<double> edges2;
    std::vector<size_t> first;  // bin k: dist.list[first[k] .. first[k + 1]), edges2.size() + 2 entries
    std::vector<double> moments;
};

// Work per point, in multiply-adds, of a distribution summed exactly and of an expansion of order l.
double exact_work(int degree) { return hermite_count(degree) * (degree + 4) / 4.0 + hermite_count(degree) + 20; }
double far_work(int l) { return 2.0 * hermite_count(l) + 10; }
constexpr double kSetupWork = 4000;  // of a distribution's radius for one order

class FarField {
public:
    std::vector<FarCentre> centres;

    FarField() = default;
    // Gathers dist's distributions by atom, choosing each atom's order for `count` points spread over
    // `volume` Bohr^3, and puts dist.list in the order of the atoms' bins. Left empty (every sum exact)
    // where the exact sums cost less than ten times the set-up.
    FarField(Distributions& dist, double accuracy, double volume, int64_t count) {
        const size_t n = dist.list.size();
        double exact = 0.0;
        for (const Distribution& d : dist.list) exact += exact_work(d.degree);
        if (n == 0 || !(accuracy > 0.0) ||
            exact * static_cast<double>(count) < 10 * kSetupWork * static_cast<double>(n) * std::size(kFarOrders))
            return;
        const double budget = accuracy / static_cast<double>(n);
        std::unordered_map<CentreKey, size_t, CentreHash> where;
        std::vector<std::vector<size_t>> members;
        for (size_t i = 0; i < n; ++i) {
            const auto& o = dist.list[i].home;
            const auto [it, fresh] = where.try_emplace(CentreKey{0.0, o[0], o[1], o[2]}, centres.size());
            if (fresh) {
                centres.emplace_back().origin = o;
                members.emplace_back();
            }
            members[it->second].push_back(i);
        }
        std::vector<double> radius(n);
        for (size_t c = 0; c < centres.size(); ++c) choose_order(dist, centres[c], members[c], budget, volume, radius);
        std::vector<Distribution> ordered;
        ordered.reserve(n);
        for (double step = kFarStep;; step *= 2) {
            int64_t moments = 0;
            for (size_t c = 0; c < centres.size(); ++c)
                moments += bin(centres[c], members[c], radius, step) * hermite_count(centres[c].order);
            if (moments <= kMaxFarMoments) break;
        }
        for (size_t c = 0; c < centres.size(); ++c) {
            FarCentre& fc = centres[c];
            const size_t nh = static_cast<size_t>(hermite_count(fc.order));
            fc.moments.assign(fc.edges2.size() * nh, 0.0);
            for (size_t k = 0; k + 1 < fc.first.size(); ++k)
                for (size_t j = fc.first[k]; j < fc.first[k + 1]; ++j) {
                    const Distribution& d = dist.list[members[c][j]];
                    if (k < fc.edges2.size())
                        add_moments(d, dist.pool.data() + d.offset, fc.origin, fc.order, fc.moments.data() + k * nh);
                }
            for (size_t k = 1; k < fc.edges2.size(); ++k)
                for (size_t i = 0; i < nh; ++i) fc.moments[k * nh + i] += fc.moments[(k - 1) * nh + i];
            for (size_t k = 0; k < fc.edges2.size(); ++k) to_hobson(fc.order, fc.moments.data() + k * nh);
            const size_t start = ordered.size();
            for (size_t i : members[c]) ordered.push_back(dist.list[i]);
            for (size_t& f : fc.first) f += start;
        }
        dist.list.swap(ordered);
    }

private:
    // The order of least work over the volume, and each member's radius at it (kNever: summed
    // exactly everywhere, as all are when no order pays).
    static void choose_order(const Distributions& dist, FarCentre& fc, const std::vector<size_t>& members,
                             double budget, double volume, std::vector<double>& radius) {
        std::vector<FarSize> sizes;
        double best = 0.0;
        for (size_t i : members) {
            const Distribution& d = dist.list[i];
            sizes.push_back(far_size(d, dist.pool.data() + d.offset, fc.origin, budget));
            best += exact_work(d.degree) * volume;
        }
        fc.order = 0;
        std::vector<double> r(members.size());
        for (int l : kFarOrders) {
            double work = far_work(l) * volume;
            for (size_t j = 0; j < members.size(); ++j) {
                r[j] = join_radius(sizes[j], l, budget);
                const double inside = r[j] == kNever ? volume : std::min(volume, 4 * M_PI / 3 * std::pow(r[j], 3));
                work += exact_work(dist.list[members[j]].degree) * inside;
            }
            if (work < best) {
                best = work, fc.order = l;
                for (size_t j = 0; j < members.size(); ++j) radius[members[j]] = r[j];
            }
        }
        if (fc.order == 0)
            for (size_t i : members) radius[i] = kNever;
    }

    // Sorts the members by radius rounded up to whole steps and marks the bins; returns their count.
    static int64_t bin(FarCentre& fc, std::vector<size_t>& members, const std::vector<double>& radius, double step) {
        const auto edge = [&](size_t i) { return radius[i] == kNever ? kNever : std::ceil(radius[i] / step) * step; };
        std::stable_sort(members.begin(), members.end(), [&](size_t a, size_t b) { return edge(a) < edge(b); });
        fc.edges2.clear(), fc.first.clear();
        size_t never = members.size();
        for (size_t j = 0; j < members.size(); ++j) {
            const double e = edge(members[j]);
            if (e == kNever) {
                never = j;
                break;
            }
            if (fc.edges2.empty() || fc.edges2.back() != e * e) fc.edges2.push_back(e * e), fc.first.push_back(j);
        }
        fc.first.push_back(never);
        fc.first.push_back(members.size());
        return static_cast<int64_t>(fc.edges2.size());
    }
};

struct Nucleus {
    double z;
    std::array<double, 3> r;
};

// Beyond 1e100 Bohr from a point, a nucleus is left out (its potential is below 1e-100 Z) and a
// distribution counts as its charge alone: its other multipoles are smaller by (extent / r)^n,
// 1e-97 for the most diffuse primitive of a molecule's basis. So no square of a distance leaves
// the range of a double, and a point far out gets 0 (or the charge over r), not Inf times 0.
constexpr double kFarDistance2 = 1e200;

class PotentialEvaluator {
public:
    PotentialEvaluator(const Distributions& dist, const FarField& far, std::vector<Nucleus> nuclei, bool field)
        : dist_(dist), far_(far), nuclei_(std::move(nuclei)), field_(field) {}

    int64_t width() const { return potential_width(field_); }

    void block(const Block& blk, double* out) const {
        double acc[4][kBlockPoints];
        const int nc = field_ ? 4 : 1;
        bool on_nucleus[kBlockPoints] = {};
        for (int c = 0; c < nc; ++c) std::fill_n(acc[c], blk.size, 0.0);
        for (const Nucleus& nu : nuclei_) nucleus(nu, blk, acc, on_nucleus);
        if (far_.centres.empty())
            for (const Distribution& d : dist_.list) distribution(d, blk, acc);
        for (const FarCentre& c : far_.centres) {
            // The bins whose radius the whole block lies beyond go through the moments.
            const double d2 = distance2_to_box(c.origin, blk);
            const size_t k =
                static_cast<size_t>(std::upper_bound(c.edges2.begin(), c.edges2.end(), d2) - c.edges2.begin());
            if (k > 0)
                expansion(c, c.moments.data() + (k - 1) * static_cast<size_t>(hermite_count(c.order)), blk, acc[0]);
            for (size_t i = c.first[k]; i < c.first.back(); ++i) distribution(dist_.list[i], blk, acc);
        }
        for (int64_t p = 0; p < blk.size; ++p)
            for (int c = 0; c < nc; ++c) {
                // Off the nuclei, finite data can still sum past the range of a double (huge
                // coefficients or exponents): refused, never handed on.
                if (!on_nucleus[p] && !std::isfinite(acc[c][p]))
                    refuse_evaluation("the potential at point " + std::to_string(blk.row[p] + 1) +
                                      " is beyond the range of a double (coefficients or exponents too large)");
                out[blk.row[p] * nc + c] = acc[c][p];
            }
    }

private:
    void nucleus(const Nucleus& nu, const Block& blk, double (*acc)[kBlockPoints], bool* on_nucleus) const {
        for (int64_t p = 0; p < blk.size; ++p) {
            const double dx = blk.x[p] - nu.r[0], dy = blk.y[p] - nu.r[1], dz = blk.z[p] - nu.r[2];
            const double r2 = dx * dx + dy * dy + dz * dz;
            if (!(r2 <= kFarDistance2)) continue;  // Z / r below 1e-100 Z
            on_nucleus[p] = on_nucleus[p] || r2 == 0.0;
            const double inv = 1.0 / std::sqrt(r2);  // +inf at the nucleus
            acc[0][p] += nu.z * inv;
            if (field_) {
                const double f = nu.z * inv * inv * inv;
                acc[1][p] += f * dx, acc[2][p] += f * dy, acc[3][p] += f * dz;
            }
        }
    }

    TESVARIN_HOT void distribution(const Distribution& d, const Block& blk, double (*acc)[kBlockPoints]) const {
        const double* h = dist_.pool.data() + d.offset;
        const int degree = d.degree + (field_ ? 1 : 0);
        const HermiteIndex& hi = hermite();
        const int nh = hermite_count(degree);
        const int nd = hermite_count(d.degree);
        double power[kMaxHermite + 1];
        power[0] = 1.0;
        for (int n = 1; n <= degree; ++n) power[n] = power[n - 1] * (-2 * d.p);
        alignas(64) double X[3][kLanes];
        alignas(64) double T[kLanes];
        alignas(64) double F[(kMaxHermite + 1) * kLanes];
        std::vector<double>& buf = buffer();
        if (buf.size() < static_cast<size_t>(2 * nh * kLanes)) buf.resize(static_cast<size_t>(2 * nh * kLanes));
        for (int64_t p0 = 0; p0 < blk.size; p0 += kLanes) {
            const int lanes = static_cast<int>(std::min<int64_t>(kLanes, blk.size - p0));
            for (int l = 0; l < kLanes; ++l) {
                const int64_t p = p0 + std::min(l, lanes - 1);
                X[0][l] = d.centre[0] - blk.x[p];
                X[1][l] = d.centre[1] - blk.y[p];
                X[2][l] = d.centre[2] - blk.z[p];
                const double r2 = X[0][l] * X[0][l] + X[1][l] * X[1][l] + X[2][l] * X[2][l];
                T[l] = d.p * r2;
                if (!(r2 <= kFarDistance2)) X[0][l] = X[1][l] = X[2][l] = 0.0;  // its charge alone, as far away
            }
            boys_lanes(degree, T, F);
            if (degree <= 2 && !field_) {
                low_degree(degree, h, power, F, X, acc[0] + p0, lanes);
                continue;
            }
            double* prev = buf.data();
            double* cur = prev + nh * kLanes;
            for (int n = degree; n >= 0; --n) {
                recursion_step(power[n], F + n * kLanes, X, prev, cur, hermite_count(degree - n));
                std::swap(prev, cur);
            }
            // prev holds R^0_tuv for every tuv of degree <= degree.
            double v[kLanes] = {}, fx[kLanes] = {}, fy[kLanes] = {}, fz[kLanes] = {};
            for (int i = 0; i < nd; ++i) {
                const double c = h[i];
                if (c == 0.0) continue;
                const double* r = prev + i * kLanes;
                for (int l = 0; l < kLanes; ++l) v[l] += c * r[l];
                if (field_) {
                    const double* rx = prev + hi.plus[0][static_cast<size_t>(i)] * kLanes;
                    const double* ry = prev + hi.plus[1][static_cast<size_t>(i)] * kLanes;
                    const double* rz = prev + hi.plus[2][static_cast<size_t>(i)] * kLanes;
                    for (int l = 0; l < kLanes; ++l) fx[l] += c * rx[l], fy[l] += c * ry[l], fz[l] += c * rz[l];
                }
            }
            for (int l = 0; l < lanes; ++l) {
                acc[0][p0 + l] += v[l];
                if (field_) acc[1][p0 + l] += fx[l], acc[2][p0 + l] += fy[l], acc[3][p0 + l] += fz[l];
            }
        }
    }

    // The potential of an atom's expansion (order l) in Hobson's form: sum_abc g_abc u^abc / r with
    // u = (O - C) / r^2, built monomial by monomial along the Hermite order.
    TESVARIN_HOT void expansion(const FarCentre& c, const double* g, const Block& blk, double* acc) const {
        const HermiteIndex& hi = hermite();
        const int nh = hermite_count(c.order);
        alignas(64) double u[3][kLanes];
        std::vector<double>& buf = buffer();
        if (buf.size() < static_cast<size_t>(nh * kLanes)) buf.resize(static_cast<size_t>(nh * kLanes));
        double* m = buf.data();
        for (int64_t p0 = 0; p0 < blk.size; p0 += kLanes) {
            const int lanes = static_cast<int>(std::min<int64_t>(kLanes, blk.size - p0));
            double v[kLanes];
            for (int i = 0; i < kLanes; ++i) {
                const int64_t p = p0 + std::min(i, lanes - 1);
                const double x = c.origin[0] - blk.x[p], y = c.origin[1] - blk.y[p], z = c.origin[2] - blk.z[p];
                const double r2 = x * x + y * y + z * z;
                const double inv = 1.0 / std::sqrt(r2);
                // Beyond 1e100 Bohr the charge alone, as for a distribution.
                const double s = r2 <= kFarDistance2 ? inv * inv : 0.0;
                u[0][i] = x * s, u[1][i] = y * s, u[2][i] = z * s;
                m[i] = inv;
                v[i] = g[0] * inv;
            }
            for (int k = 1; k < nh; ++k) {
                const double* __restrict ud = u[hi.dir[static_cast<size_t>(k)]];
                const double* __restrict from = m + hi.minus1[static_cast<size_t>(k)] * kLanes;
                double* __restrict to = m + k * kLanes;
                const double a = g[k];
                for (int i = 0; i < kLanes; ++i) {
                    to[i] = ud[i] * from[i];
                    v[i] += a * to[i];
                }
            }
            for (int i = 0; i < lanes; ++i) acc[p0 + i] += v[i];
        }
    }

    // The potential of a distribution of degree 0, 1 or 2 written out: with F'_n = (-2p)^n F_n,
    // R_000 = F'_0, R_t00 = X F'_1 (and y, z alike), R_200 = F'_1 + X^2 F'_2, R_110 = X Y F'_2.
    TESVARIN_HOT static void low_degree(int degree, const double* h, const double* power, const double* F,
                                        const double (*X)[kLanes], double* __restrict acc, int lanes) {
        double v[kLanes];
        for (int l = 0; l < kLanes; ++l) v[l] = h[0] * F[l];
        if (degree >= 1) {
            const double p1 = power[1];
            double c1 = 0.0, p2 = 0.0;
            if (degree == 2) c1 = h[4] + h[7] + h[9], p2 = power[2];
            for (int l = 0; l < kLanes; ++l) {
                const double x = X[0][l], y = X[1][l], z = X[2][l];
                double s1 = h[1] * x + h[2] * y + h[3] * z + c1;
                v[l] += p1 * F[kLanes + l] * s1;
                if (degree == 2) {
                    const double s2 =
                        h[4] * x * x + h[7] * y * y + h[9] * z * z + h[5] * x * y + h[6] * x * z + h[8] * y * z;
                    v[l] += p2 * F[2 * kLanes + l] * s2;
                }
            }
        }
        for (int l = 0; l < lanes; ++l) acc[l] += v[l];
    }

    // R^n (the first `count` Hermite indices) from R^(n+1) in `prev`, for kLanes points.
    TESVARIN_HOT static void recursion_step(double power, const double* __restrict f, const double (*X)[kLanes],
                                            const double* __restrict prev, double* __restrict cur, int count) {
        const HermiteIndex& hi = hermite();
        for (int l = 0; l < kLanes; ++l) cur[l] = power * f[l];
        for (int i = 1; i < count; ++i) {
            const double* __restrict xd = X[hi.dir[static_cast<size_t>(i)]];
            const double* __restrict r1 = prev + hi.minus1[static_cast<size_t>(i)] * kLanes;
            double* __restrict o = cur + i * kLanes;
            const int m2 = hi.minus2[static_cast<size_t>(i)];
            if (m2 < 0) {
                for (int l = 0; l < kLanes; ++l) o[l] = xd[l] * r1[l];
            } else {
                const double* __restrict r2 = prev + m2 * kLanes;
                const double c = hi.mult[static_cast<size_t>(i)];
                for (int l = 0; l < kLanes; ++l) o[l] = xd[l] * r1[l] + c * r2[l];
            }
        }
    }

    static std::vector<double>& buffer() {
        thread_local std::vector<double> b;
        return b;
    }

    const Distributions& dist_;
    const FarField& far_;
    std::vector<Nucleus> nuclei_;
    bool field_;
};

// The volume of the box around the points, Bohr^3 (at least 1): how the far field weighs its work.
double spread(const PointSet& points) {
    std::array<double, 3> lo, hi;
    lo.fill(std::numeric_limits<double>::infinity()), hi.fill(-std::numeric_limits<double>::infinity());
    const auto take = [&](double x, double y, double z) {
        const double r[3] = {x, y, z};
        for (size_t i = 0; i < 3; ++i) lo[i] = std::min(lo[i], r[i]), hi[i] = std::max(hi[i], r[i]);
    };
    if (points.grid != nullptr) {
        const GridSpec& g = *points.grid;
        for (int corner = 0; corner < 8; ++corner) {
            std::array<double, 3> r = g.origin;
            for (size_t a = 0; a < 3; ++a)
                if (corner & (1 << a))
                    for (size_t i = 0; i < 3; ++i)
                        r[i] += g.axes[a][i] * static_cast<double>(std::max<int64_t>(g.counts[a] - 1, 0));
            take(r[0], r[1], r[2]);
        }
    } else {
        for (int64_t p = 0; p < points.count; ++p)
            take(points.points[3 * p], points.points[3 * p + 1], points.points[3 * p + 2]);
    }
    double volume = 1.0;
    for (size_t i = 0; i < 3; ++i) volume *= std::max(hi[i] - lo[i], 1.0);
    return std::min(volume, 1e30);
}

}  // namespace

int64_t potential_width(bool field) { return field ? 4 : 1; }

void evaluate_potential(const ChkParams::Mol& mol, const PotentialRef& ref, const PointSet& points,
                        const EvalOptions& options, double* out) {
    if (ref.kind < -1 || ref.kind > 8) refuse_evaluation("density kind " + std::to_string(ref.kind));
    check_points(points);
    std::vector<Nucleus> nuclei;
    if (ref.nuclei && ref.part == DensityPart::Total) {
        if (mol.natoms < 0 || static_cast<int64_t>(mol.nucchg.size()) < mol.natoms ||
            static_cast<int64_t>(mol.coords.size()) / 3 < mol.natoms)
            refuse_evaluation("the checkpoint holds " + std::to_string(mol.nucchg.size()) + " nuclear charges and " +
                              std::to_string(mol.coords.size() / 3) + " positions for " + std::to_string(mol.natoms) +
                              " atoms");
        for (int64_t a = 0; a < mol.natoms; ++a) {
            const auto i = static_cast<size_t>(a);
            const Nucleus nu{mol.nucchg[i], {mol.coords[3 * i], mol.coords[3 * i + 1], mol.coords[3 * i + 2]}};
            if (!std::isfinite(nu.z) || !std::isfinite(nu.r[0]) || !std::isfinite(nu.r[1]) || !std::isfinite(nu.r[2]))
                refuse_evaluation("atom " + std::to_string(a + 1) + " has no finite charge and position");
            if (nu.z != 0.0) nuclei.push_back(nu);
        }
    }
    Distributions dist;
    if (ref.electrons) {
        const GridBasis basis(mol);
        check_setup_size(basis.shells);  // before the density matrix, which the basis sizes too
        dist = Distributions(basis, density_matrix(mol, ref.kind, ref.part), basis.nbasis);
        dist.screen(options.tolerance, ref.field);
    }
    // The field is always summed exactly.
    const int64_t count = points.grid != nullptr ? grid_point_count(*points.grid) : points.count;
    const FarField far =
        ref.field || !(ref.accuracy > 0.0) ? FarField() : FarField(dist, ref.accuracy, spread(points), count);
    const PotentialEvaluator ev(dist, far, std::move(nuclei), ref.field);
    run_blocks(Points(points), options,
               [&]() -> BlockWork { return [&ev, out](const Block& blk) { ev.block(blk, out); }; });
}

}  // namespace tesvarin
