// Orbitals and densities at points: every quantity is sum_k lambda_k phi_k^2 or the phi_k
// themselves, with phi_k = sum_m w_km chi_m a linear combination of basis functions. An orbital
// is one such combination; the density of the occupied orbitals uses them with their
// occupations; a stored density matrix is first written as its eigenpairs D = V diag(l) V^T,
// whose rank (the number of occupied orbitals for an SCF density) is what the work scales with.
//
// Points are taken in blocks (compact tiles of a grid, or runs of the caller's list); per block
// only the shells that reach it are evaluated, and the combinations are one matrix product
// over those functions.
#include "tesvarin/grid/grid_eval.hpp"

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>

#include "tesvarin/checked.hpp"
#include "tesvarin/error.hpp"
#include "tesvarin/grid/combinations.hpp"
#include "tesvarin/grid/grid_basis.hpp"
#include "tesvarin/grid/kernels.hpp"
#include "tesvarin/grid/points.hpp"

namespace tesvarin {
namespace {

// Basis functions evaluated at a block's points before they are summed into the combinations:
// the shells that reach a block are taken in slabs of at most this many functions (or one
// shell, when it has more).
constexpr int64_t kSlabFunctions = 1024;

// Per-thread buffers: basis values (and derivatives) of one slab of active functions of a block,
// function by function, kBlockPoints apart, and the combinations at the block's points. Memory
// per thread, whatever the basis: components x (kSlabFunctions or the largest shell) x
// kBlockPoints doubles for the slab (5 MiB with second derivatives), plus components x k x
// kBlockPoints for the combinations, whose k x nbasis weights the evaluation holds already.
struct Workspace {
    explicit Workspace(int64_t slab_rows, int64_t k, int components)
        : chi(static_cast<size_t>(components)), phi(static_cast<size_t>(components)) {
        for (auto& c : chi) c.resize(static_cast<size_t>(slab_rows * kBlockPoints));
        for (auto& p : phi) p.resize(static_cast<size_t>(std::max<int64_t>(k, 1) * kBlockPoints));
        std::fill_n(arg, kBlockPoints, 0.0);
    }
    std::vector<std::vector<double>> chi, phi;
    std::vector<int64_t> active;
    double dx[kBlockPoints], dy[kBlockPoints], dz[kBlockPoints], r2[kBlockPoints], arg[kBlockPoints], e[kBlockPoints],
        r0[kBlockPoints], r1[kBlockPoints], r2w[kBlockPoints], reach[kBlockPoints];
    std::vector<double> powers;  // x^a, y^a, z^a for a = 0..l
};

class Evaluator {
public:
    Evaluator(const GridBasis& basis, const Combinations& comb, int derivatives, bool density, double eps)
        : basis_(basis),
          comb_(comb),
          derivatives_(derivatives),
          density_(density),
          radii2_(basis.screening_radii2(eps, derivatives)) {
        shell_radius2_.reserve(basis.shells.size());
        for (const GridShell& sh : basis.shells) {
            slab_rows_ = std::max(slab_rows_, sh.nfunc);
            double r2 = 0.0;
            for (int64_t p = sh.prim_begin; p < sh.prim_end; ++p) r2 = std::max(r2, radii2_[static_cast<size_t>(p)]);
            shell_radius2_.push_back(r2);
        }
    }

    int components() const { return derivatives_ == 0 ? 1 : derivatives_ == 1 ? 4 : 5; }
    int64_t width() const { return density_ ? components() : comb_.k; }
    int64_t slab_rows() const { return slab_rows_; }

    void block(const Block& blk, Workspace& ws, double* out) const {
        const int64_t np = blk.size;
        const int64_t k = comb_.k;
        const int ncomp = components();
        // The shells that reach the block, a slab at a time, summed into phi.
        bool summed = false;
        int64_t nact = 0;
        ws.active.clear();
        const auto add_slab = [&] {
            for (int c = 0; c < ncomp; ++c)
                combine(comb_.w.data(), ws.active.data(), ws.chi[c].data(), nact, k, np, ws.phi[c].data(), summed);
            summed = true;
            nact = 0;
            ws.active.clear();
        };
        for (size_t s = 0; s < basis_.shells.size() && k > 0; ++s) {
            const GridShell& sh = basis_.shells[s];
            const double d2 = distance2_to_box(sh.centre, blk);
            if (d2 > shell_radius2_[s]) continue;
            if (nact + sh.nfunc > slab_rows_) add_slab();
            shell_values(sh, d2, blk, ws, nact);
            for (int64_t f = 0; f < sh.nfunc; ++f) ws.active.push_back(sh.first + f);
            nact += sh.nfunc;
        }
        if (nact > 0) add_slab();
        if (!summed) {
            for (int64_t p = 0; p < np; ++p) std::fill_n(out + blk.row[p] * width(), width(), 0.0);
            return;
        }
        const auto at = [](const std::vector<double>& v, int64_t j, int64_t p) {
            return v[static_cast<size_t>(j * kBlockPoints + p)];
        };
        if (!density_) {
            for (int64_t p = 0; p < np; ++p)
                for (int64_t j = 0; j < k; ++j) out[blk.row[p] * k + j] = at(ws.phi[0], j, p);
            check_finite(blk, out);
            return;
        }
        const double* lambda = comb_.lambda.data();
        double sums[5][kBlockPoints] = {};
        for (int64_t j = 0; j < k; ++j) {
            const double* v = ws.phi[0].data() + j * kBlockPoints;
            const double lj = lambda[j];
            for (int64_t p = 0; p < np; ++p) sums[0][p] += lj * v[p] * v[p];
            if (derivatives_ == 0) continue;
            const double* gx = ws.phi[1].data() + j * kBlockPoints;
            const double* gy = ws.phi[2].data() + j * kBlockPoints;
            const double* gz = ws.phi[3].data() + j * kBlockPoints;
            for (int64_t p = 0; p < np; ++p) {
                sums[1][p] += lj * v[p] * gx[p];
                sums[2][p] += lj * v[p] * gy[p];
                sums[3][p] += lj * v[p] * gz[p];
            }
            if (derivatives_ == 1) continue;
            const double* lap = ws.phi[4].data() + j * kBlockPoints;
            for (int64_t p = 0; p < np; ++p)
                sums[4][p] += lj * (gx[p] * gx[p] + gy[p] * gy[p] + gz[p] * gz[p] + v[p] * lap[p]);
        }
        for (int64_t p = 0; p < np; ++p) {
            double* o = out + blk.row[p] * ncomp;
            o[0] = sums[0][p];
            for (int c = 1; c < ncomp; ++c) o[c] = 2 * sums[c][p];
        }
        check_finite(blk, out);
    }

private:
    // Finite data can still reach past the range of a double (huge coefficients, or a function
    // whose polynomial overflows where its exponential has not yet vanished): refused, never
    // handed on.
    void check_finite(const Block& blk, const double* out) const {
        const int64_t w = width();
        for (int64_t p = 0; p < blk.size; ++p)
            for (int64_t c = 0; c < w; ++c)
                if (!std::isfinite(out[blk.row[p] * w + c]))
                    refuse_evaluation("the value at point " + std::to_string(blk.row[p] + 1) +
                                      " is beyond the range of a double (coefficients or exponents too large)");
    }

    // Values (and derivatives) of the functions of one shell at the block's points, into rows
    // row0.. of the workspace.
    TESVARIN_HOT void shell_values(const GridShell& sh, double block_d2, const Block& blk, Workspace& ws,
                                   int64_t row0) const {
        const int64_t np = blk.size;
        for (int64_t p = 0; p < np; ++p) {
            ws.dx[p] = blk.x[p] - sh.centre[0];
            ws.dy[p] = blk.y[p] - sh.centre[1];
            ws.dz[p] = blk.z[p] - sh.centre[2];
            ws.r2[p] = ws.dx[p] * ws.dx[p] + ws.dy[p] * ws.dy[p] + ws.dz[p] * ws.dz[p];
        }
        // Radial parts: r0 = sum w e^(-a r^2); r1 = sum -2a w e^(-a r^2) (grad R = r1 (x, y, z));
        // r2w = sum 4a^2 w e^(-a r^2).
        std::fill_n(ws.r0, np, 0.0);
        std::fill_n(ws.reach, np, 0.0);
        if (derivatives_ >= 1) std::fill_n(ws.r1, np, 0.0);
        if (derivatives_ >= 2) std::fill_n(ws.r2w, np, 0.0);
        for (int64_t q = sh.prim_begin; q < sh.prim_end; ++q) {
            if (block_d2 > radii2_[static_cast<size_t>(q)]) continue;
            const double a = basis_.alpha[static_cast<size_t>(q)], w = basis_.weight[static_cast<size_t>(q)];
            if (w == 0.0) continue;
            for (int64_t p = 0; p < np; ++p) ws.arg[p] = -a * ws.r2[p];
            exp_array(ws.arg, ws.e, (np + 3) / 4 * 4);
            for (int64_t p = 0; p < np; ++p) ws.r0[p] += w * ws.e[p];
            for (int64_t p = 0; p < np; ++p) ws.reach[p] += ws.e[p];
            if (derivatives_ >= 1) {
                const double w1 = -2 * a * w;
                for (int64_t p = 0; p < np; ++p) ws.r1[p] += w1 * ws.e[p];
            }
            if (derivatives_ >= 2) {
                const double w2 = 4 * a * a * w;
                for (int64_t p = 0; p < np; ++p) ws.r2w[p] += w2 * ws.e[p];
            }
        }
        // Where every exponential has vanished the functions are 0, even where the polynomial
        // overflows (points 1e24 Bohr out, which would give 0 x inf); the `reach` selects below.
        const int l = sh.l;
        // Powers x^a, y^a, z^a, a = 0..l, kBlockPoints apart.
        ws.powers.resize(static_cast<size_t>(3 * (l + 1) * kBlockPoints));
        double* xp = ws.powers.data();
        double* yp = xp + (l + 1) * kBlockPoints;
        double* zp = yp + (l + 1) * kBlockPoints;
        for (int64_t p = 0; p < np; ++p) xp[p] = yp[p] = zp[p] = 1.0;
        for (int a = 1; a <= l; ++a)
            for (int64_t p = 0; p < np; ++p) {
                xp[a * kBlockPoints + p] = xp[(a - 1) * kBlockPoints + p] * ws.dx[p];
                yp[a * kBlockPoints + p] = yp[(a - 1) * kBlockPoints + p] * ws.dy[p];
                zp[a * kBlockPoints + p] = zp[(a - 1) * kBlockPoints + p] * ws.dz[p];
            }
        const auto& functions = angular_functions(l, sh.pure);
        double poly[kBlockPoints], px[kBlockPoints], py[kBlockPoints], pz[kBlockPoints], plap[kBlockPoints];
        for (size_t f = 0; f < functions.size(); ++f) {
            const int64_t row = (row0 + static_cast<int64_t>(f)) * kBlockPoints;
            std::fill_n(poly, np, 0.0);
            if (derivatives_ >= 1) std::fill_n(px, np, 0.0), std::fill_n(py, np, 0.0), std::fill_n(pz, np, 0.0);
            if (derivatives_ >= 2) std::fill_n(plap, np, 0.0);
            for (const AngularTerm& t : functions[f]) {
                const double* X = xp + t.ax * kBlockPoints;
                const double* Y = yp + t.ay * kBlockPoints;
                const double* Z = zp + t.az * kBlockPoints;
                for (int64_t p = 0; p < np; ++p) poly[p] += t.coef * X[p] * Y[p] * Z[p];
                if (derivatives_ >= 1) {
                    if (t.ax > 0) {
                        const double c = t.coef * t.ax;
                        const double* Xm = X - kBlockPoints;
                        for (int64_t p = 0; p < np; ++p) px[p] += c * Xm[p] * Y[p] * Z[p];
                    }
                    if (t.ay > 0) {
                        const double c = t.coef * t.ay;
                        const double* Ym = Y - kBlockPoints;
                        for (int64_t p = 0; p < np; ++p) py[p] += c * X[p] * Ym[p] * Z[p];
                    }
                    if (t.az > 0) {
                        const double c = t.coef * t.az;
                        const double* Zm = Z - kBlockPoints;
                        for (int64_t p = 0; p < np; ++p) pz[p] += c * X[p] * Y[p] * Zm[p];
                    }
                }
                if (derivatives_ >= 2) {
                    if (t.ax > 1) {
                        const double c = t.coef * t.ax * (t.ax - 1);
                        const double* Xm = X - 2 * kBlockPoints;
                        for (int64_t p = 0; p < np; ++p) plap[p] += c * Xm[p] * Y[p] * Z[p];
                    }
                    if (t.ay > 1) {
                        const double c = t.coef * t.ay * (t.ay - 1);
                        const double* Ym = Y - 2 * kBlockPoints;
                        for (int64_t p = 0; p < np; ++p) plap[p] += c * X[p] * Ym[p] * Z[p];
                    }
                    if (t.az > 1) {
                        const double c = t.coef * t.az * (t.az - 1);
                        const double* Zm = Z - 2 * kBlockPoints;
                        for (int64_t p = 0; p < np; ++p) plap[p] += c * X[p] * Y[p] * Zm[p];
                    }
                }
            }
            double* v = ws.chi[0].data() + row;
            for (int64_t p = 0; p < np; ++p) v[p] = ws.reach[p] > 0 ? ws.r0[p] * poly[p] : 0.0;
            if (derivatives_ >= 1) {
                double* gx = ws.chi[1].data() + row;
                double* gy = ws.chi[2].data() + row;
                double* gz = ws.chi[3].data() + row;
                for (int64_t p = 0; p < np; ++p) {
                    const double rp = ws.r1[p] * poly[p];
                    const bool live = ws.reach[p] > 0;
                    gx[p] = live ? rp * ws.dx[p] + ws.r0[p] * px[p] : 0.0;
                    gy[p] = live ? rp * ws.dy[p] + ws.r0[p] * py[p] : 0.0;
                    gz[p] = live ? rp * ws.dz[p] + ws.r0[p] * pz[p] : 0.0;
                }
            }
            if (derivatives_ >= 2) {
                // lap(R P) = P lap R + 2 grad R . grad P + R lap P, with grad R . grad P = r1 l P.
                double* lv = ws.chi[4].data() + row;
                for (int64_t p = 0; p < np; ++p)
                    lv[p] = ws.reach[p] > 0
                                ? poly[p] * (ws.r2w[p] * ws.r2[p] + (3.0 + 2.0 * l) * ws.r1[p]) + ws.r0[p] * plap[p]
                                : 0.0;
            }
        }
    }

    const GridBasis& basis_;
    const Combinations& comb_;
    int derivatives_;
    bool density_;
    std::vector<double> radii2_;
    std::vector<double> shell_radius2_;
    int64_t slab_rows_ = kSlabFunctions;
};

// The blocks over threads, each with its own workspace of at most slab_rows functions.
void run(const Evaluator& ev, const Points& points, int64_t k, const EvalOptions& options, double* out) {
    run_blocks(points, options, [&]() -> BlockWork {
        auto ws = std::make_shared<Workspace>(ev.slab_rows(), k, ev.components());
        return [&ev, ws, out](const Block& blk) { ev.block(blk, *ws, out); };
    });
}

}  // namespace

int64_t density_width(int derivatives) { return derivatives <= 0 ? 1 : derivatives == 1 ? 4 : 5; }

int64_t grid_point_count(const GridSpec& grid) {
    Checked n = 1;
    for (int64_t c : grid.counts) {
        if (c < 0) refuse_evaluation("a grid with a negative number of points on an axis");
        n = n * c;
    }
    if (!n.ok() || n.value() > (int64_t{1} << 40)) refuse_evaluation("a grid of more than 2^40 points");
    return n.value();
}

void evaluate_orbitals(const ChkParams::Mol& mol, const std::vector<OrbitalRef>& orbitals, const PointSet& points,
                       const EvalOptions& options, double* out) {
    check_points(points);
    const GridBasis basis(mol);
    const Combinations comb = orbital_combinations(mol, orbitals);
    const Evaluator ev(basis, comb, 0, false, options.tolerance);
    run(ev, Points(points), comb.k, options, out);
}

void evaluate_coefficients(const ChkParams::Mol& mol, const std::vector<double>& rows, int64_t k,
                           const PointSet& points, const EvalOptions& options, double* out) {
    check_points(points);
    const GridBasis basis(mol);
    const Checked size = Checked(k) * basis.nbasis;
    if (k < 0 || !size.ok() || static_cast<int64_t>(rows.size()) != size.value())
        refuse_evaluation(std::to_string(rows.size()) + " coefficients for " + std::to_string(k) + " combinations of " +
                          std::to_string(basis.nbasis) + " basis functions");
    Combinations comb;
    comb.k = k;
    comb.w.resize(rows.size());
    for (int64_t j = 0; j < k; ++j)
        for (int64_t m = 0; m < basis.nbasis; ++m)
            comb.w[static_cast<size_t>(m * k + j)] = rows[static_cast<size_t>(j * basis.nbasis + m)];
    const Evaluator ev(basis, comb, 0, false, options.tolerance);
    run(ev, Points(points), comb.k, options, out);
}

void evaluate_density(const ChkParams::Mol& mol, const DensityRef& density, const PointSet& points,
                      const EvalOptions& options, double* out) {
    if (density.kind < -1 || density.kind > 8) refuse_evaluation("density kind " + std::to_string(density.kind));
    if (density.derivatives < 0 || density.derivatives > 2) refuse_evaluation("derivatives must be 0, 1 or 2");
    check_points(points);
    const GridBasis basis(mol);
    const Combinations comb = density.kind < 0
                                  ? occupied_combinations(mol, density.part)
                                  : matrix_combinations(mol, density.kind, density.part, options.tolerance > 0);
    const Evaluator ev(basis, comb, density.derivatives, true, options.tolerance);
    run(ev, Points(points), comb.k, options, out);
}

}  // namespace tesvarin
