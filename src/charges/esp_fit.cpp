#include "tesvarin/charges/esp_fit.hpp"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <string>

#include "tesvarin/error.hpp"

namespace tesvarin {

namespace {

using Matrix = Eigen::MatrixXd;
using Vector = Eigen::VectorXd;

constexpr int64_t kBlock = 512;  // points whose inverse distances are held at once

void check_problem(const ChargeFitProblem& p, int64_t natoms, int64_t npoints, int64_t& nvar) {
    if (p.atoms.size() % 3 != 0 || p.points.size() % 3 != 0)
        TESVARIN_THROW("atoms and points need three coordinates each, got " + std::to_string(p.atoms.size()) + " and " +
                       std::to_string(p.points.size()) + " numbers");
    if (natoms == 0) TESVARIN_THROW("no atoms to fit charges to");
    if (static_cast<int64_t>(p.potential.size()) != npoints)
        TESVARIN_THROW("expected the potential at each of the " + std::to_string(npoints) + " points, got " +
                       std::to_string(p.potential.size()) + " values");
    for (const auto* v : {&p.atoms, &p.points, &p.potential})
        for (double x : *v)
            if (!std::isfinite(x)) TESVARIN_THROW("a coordinate or potential value is not a finite number");
    if (!p.share.empty() && static_cast<int64_t>(p.share.size()) != natoms)
        TESVARIN_THROW("expected a charge index for each of the " + std::to_string(natoms) + " atoms, got " +
                       std::to_string(p.share.size()));
    if (!p.restrained.empty() && static_cast<int64_t>(p.restrained.size()) != natoms)
        TESVARIN_THROW("expected a restraint flag for each of the " + std::to_string(natoms) + " atoms, got " +
                       std::to_string(p.restrained.size()));
    nvar = p.share.empty() ? natoms : 0;
    bool any_fixed = false;
    for (int64_t s : p.share) {
        if (s < -1 || s >= natoms)
            TESVARIN_THROW("a charge index must be -1 (held) or lie in [0, " + std::to_string(natoms) + "), got " +
                           std::to_string(s));
        nvar = std::max(nvar, s + 1);
        any_fixed = any_fixed || s == -1;
    }
    std::vector<char> used(static_cast<std::size_t>(nvar), p.share.empty() ? 1 : 0);
    for (int64_t s : p.share)
        if (s >= 0) used[static_cast<std::size_t>(s)] = 1;
    for (int64_t j = 0; j < nvar; ++j)
        if (!used[static_cast<std::size_t>(j)])
            TESVARIN_THROW("charge index " + std::to_string(j) +
                           " is taken by no atom; indices run 0, 1, ... without gaps");
    if (any_fixed && static_cast<int64_t>(p.fixed.size()) != natoms)
        TESVARIN_THROW("atoms held at a charge need one held charge per atom, got " + std::to_string(p.fixed.size()) +
                       " for " + std::to_string(natoms) + " atoms");
    if (!(p.restraint_a >= 0.0) || !(p.restraint_b > 0.0) || !std::isfinite(p.restraint_a) ||
        !std::isfinite(p.restraint_b))
        TESVARIN_THROW("the restraint needs a >= 0 and b > 0, got a = " + std::to_string(p.restraint_a) +
                       ", b = " + std::to_string(p.restraint_b));
    if (npoints < nvar)
        TESVARIN_THROW("cannot fit " + std::to_string(nvar) + " charges to the potential at " +
                       std::to_string(npoints) + " points");
}

// Inverse distances of points [first, first + n) to every atom, one point per row.
Matrix inverse_distances(const ChargeFitProblem& p, int64_t first, int64_t n, int64_t natoms) {
    Matrix d(n, natoms);
    for (int64_t i = 0; i < n; ++i) {
        const double* x = &p.points[static_cast<std::size_t>(3 * (first + i))];
        for (int64_t a = 0; a < natoms; ++a) {
            const double* c = &p.atoms[static_cast<std::size_t>(3 * a)];
            const double r = std::sqrt((x[0] - c[0]) * (x[0] - c[0]) + (x[1] - c[1]) * (x[1] - c[1]) +
                                       (x[2] - c[2]) * (x[2] - c[2]));
            if (r < 1e-8)
                TESVARIN_THROW("fitting point " + std::to_string(first + i + 1) + " lies on atom " +
                               std::to_string(a + 1));
            d(i, a) = 1.0 / r;
        }
    }
    return d;
}

}  // namespace

ChargeFit fit_charges(const ChargeFitProblem& p) {
    const auto natoms = static_cast<int64_t>(p.atoms.size() / 3);
    const auto npoints = static_cast<int64_t>(p.points.size() / 3);
    int64_t nvar = 0;
    check_problem(p, natoms, npoints, nvar);

    // Normal equations over all atoms, built a block of points at a time.
    Matrix a = Matrix::Zero(natoms, natoms);
    Vector b = Vector::Zero(natoms);
    for (int64_t first = 0; first < npoints; first += kBlock) {
        const int64_t n = std::min(kBlock, npoints - first);
        const Matrix d = inverse_distances(p, first, n, natoms);
        a.selfadjointView<Eigen::Lower>().rankUpdate(d.transpose());
        b.noalias() += d.transpose() * Eigen::Map<const Vector>(&p.potential[static_cast<std::size_t>(first)], n);
    }
    a.triangularView<Eigen::StrictlyUpper>() = a.transpose();

    // Atom charges q = T x + f, with x the charges fitted and f those held.
    Matrix t = Matrix::Zero(natoms, nvar);
    Vector f = Vector::Zero(natoms);
    for (int64_t at = 0; at < natoms; ++at) {
        const int64_t s = p.share.empty() ? at : p.share[static_cast<std::size_t>(at)];
        if (s >= 0)
            t(at, s) = 1.0;
        else
            f(at) = p.fixed[static_cast<std::size_t>(at)];
    }
    const Eigen::Map<const Eigen::Matrix<double, Eigen::Dynamic, 3, Eigen::RowMajor>> xyz(p.atoms.data(), natoms, 3);
    const int64_t ncon = p.dipole ? 4 : 1;
    Matrix c(ncon, nvar);
    Vector target(ncon);
    c.row(0) = t.colwise().sum();
    target(0) = p.total_charge - f.sum();
    for (int k = 0; k < 3 && p.dipole; ++k) {
        c.row(1 + k) = xyz.col(k).transpose() * t;
        target(1 + k) = (*p.dipole)[static_cast<std::size_t>(k)] - xyz.col(k).dot(f);
    }
    const Matrix reduced = t.transpose() * a * t;
    const Vector rhs = t.transpose() * (b - a * f);
    Vector restrained_count = Vector::Zero(nvar);
    for (int64_t at = 0; at < natoms && p.restraint_a > 0.0; ++at)
        if (!p.restrained.empty() && p.restrained[static_cast<std::size_t>(at)])
            restrained_count += t.row(at).transpose();

    ChargeFit fit;
    Vector x = Vector::Zero(nvar);
    const int64_t size = nvar + ncon;
    Matrix m = Matrix::Zero(size, size);
    m.topRightCorner(nvar, ncon) = c.transpose();
    m.bottomLeftCorner(ncon, nvar) = c;
    Vector full_rhs(size);
    full_rhs << rhs, target;
    const bool restrained = restrained_count.sum() > 0.0;
    for (fit.iterations = 1; nvar > 0; ++fit.iterations) {
        m.topLeftCorner(nvar, nvar) = reduced;
        for (int64_t j = 0; j < nvar && restrained; ++j)
            m(j, j) += p.restraint_a * restrained_count(j) / std::sqrt(x(j) * x(j) + p.restraint_b * p.restraint_b);
        const Eigen::FullPivLU<Matrix> lu(m);
        Vector solution;
        if (lu.isInvertible()) {
            solution = lu.solve(full_rhs);
        } else {
            // Redundant constraints (the dipole across a planar molecule): the least-norm solution,
            // provided every constraint still holds.
            solution = m.completeOrthogonalDecomposition().solve(full_rhs);
            if ((m * solution - full_rhs).norm() > 1e-8 * (1.0 + full_rhs.norm()))
                TESVARIN_THROW("the charges cannot meet the total charge and dipole asked for with these atoms");
        }
        const double change = (solution.head(nvar) - x).cwiseAbs().maxCoeff();
        x = solution.head(nvar);
        if (!restrained || change < p.tolerance) break;
        if (fit.iterations >= p.max_iterations)
            TESVARIN_THROW("the restrained fit did not settle in " + std::to_string(p.max_iterations) +
                           " iterations (last change " + std::to_string(change) + " e)");
    }
    if (nvar == 0) fit.iterations = 0;
    const Vector q = t * x + f;
    fit.charges.assign(q.data(), q.data() + natoms);

    double residual2 = 0.0, potential2 = 0.0;
    for (int64_t first = 0; first < npoints; first += kBlock) {
        const int64_t n = std::min(kBlock, npoints - first);
        const Eigen::Map<const Vector> v(&p.potential[static_cast<std::size_t>(first)], n);
        residual2 += (v - inverse_distances(p, first, n, natoms) * q).squaredNorm();
        potential2 += v.squaredNorm();
    }
    fit.rms = npoints > 0 ? std::sqrt(residual2 / static_cast<double>(npoints)) : 0.0;
    fit.rrms = potential2 > 0.0 ? std::sqrt(residual2 / potential2) : 0.0;
    return fit;
}

}  // namespace tesvarin
