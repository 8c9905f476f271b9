// Harmonic analysis: mass-weighted Hessian, an orthonormal basis of the internal
// motions (the complement of the translations and rotations), its eigenvalues and
// eigenvectors, and the Cartesian modes with their reduced masses and force constants.
#include "tesvarin/thermo/harmonic.hpp"

#include <cmath>
#include <string>
#include <utility>

#include "tesvarin/error.hpp"
#include "tesvarin/thermo/physical_constants.hpp"
#include "tesvarin/thermo/rigid_rotor.hpp"

namespace tesvarin {

namespace {

// Orthonormal columns spanning the translations and rotations about the centre of mass
// (mass-weighted), with directions of zero length (an atom's rotations, the rotation
// about a linear molecule's axis) dropped.
Eigen::MatrixXd external_motions(const std::vector<double>& coords, const std::vector<double>& masses) {
    const auto n = static_cast<Eigen::Index>(masses.size());
    const Eigen::Vector3d com = centre_of_mass(coords, masses);
    Eigen::MatrixXd d = Eigen::MatrixXd::Zero(3 * n, 6);
    for (Eigen::Index a = 0; a < n; ++a) {
        const double w = std::sqrt(masses[static_cast<size_t>(a)]);
        const Eigen::Vector3d r = Eigen::Vector3d(coords[3 * a], coords[3 * a + 1], coords[3 * a + 2]) - com;
        for (int k = 0; k < 3; ++k) {
            d(3 * a + k, k) = w;
            const Eigen::Vector3d e = Eigen::Vector3d::Unit(k).cross(r) * w;
            d.block<3, 1>(3 * a, 3 + k) = e;
        }
    }
    // Modified Gram-Schmidt; a column left shorter than this (relative to its length) is dependent.
    Eigen::MatrixXd kept(3 * n, 6);
    Eigen::Index count = 0;
    for (int c = 0; c < 6; ++c) {
        Eigen::VectorXd v = d.col(c);
        const double length = v.norm();
        if (!(length > 0)) continue;
        for (Eigen::Index j = 0; j < count; ++j) v -= kept.col(j).dot(v) * kept.col(j);
        for (Eigen::Index j = 0; j < count; ++j) v -= kept.col(j).dot(v) * kept.col(j);
        if (!(v.norm() >= 1e-6 * length) || count == 3 * n) continue;  // written so that NaN counts as dependent
        kept.col(count++) = v.normalized();
    }
    return kept.leftCols(count);
}

}  // namespace

HarmonicAnalysis harmonic_analysis(const Eigen::MatrixXd& hessian, const std::vector<double>& coords,
                                   const std::vector<double>& masses, const PhysicalConstants& c,
                                   const std::vector<double>& dipole_derivatives) {
    const auto n = static_cast<int64_t>(masses.size());
    if (n == 0) TESVARIN_THROW("Harmonic analysis: no atoms");
    if (hessian.rows() != 3 * n || hessian.cols() != 3 * n) {
        TESVARIN_THROW("Harmonic analysis: expected a " + std::to_string(3 * n) + " x " + std::to_string(3 * n) +
                       " Hessian for " + std::to_string(n) + " atoms, found " + std::to_string(hessian.rows()) + " x " +
                       std::to_string(hessian.cols()));
    }
    if (static_cast<int64_t>(coords.size()) < 3 * n) {
        TESVARIN_THROW("Harmonic analysis: expected " + std::to_string(3 * n) + " coordinates, found " +
                       std::to_string(coords.size()));
    }
    for (int64_t a = 0; a < n; ++a) {
        const double m = masses[static_cast<size_t>(a)];
        if (!(m > 0) || !std::isfinite(m)) {
            TESVARIN_THROW("Harmonic analysis: the mass of atom " + std::to_string(a + 1) +
                           " is not a positive number (" + std::to_string(m) + ")");
        }
    }
    if (!hessian.allFinite()) TESVARIN_THROW("Harmonic analysis: the Hessian holds a value that is not finite");
    for (int64_t i = 0; i < 3 * n; ++i) {
        if (!std::isfinite(coords[static_cast<size_t>(i)])) {
            TESVARIN_THROW("Harmonic analysis: coordinate " + std::to_string(i + 1) + " is not finite");
        }
    }
    check_geometry(coords, masses, "Harmonic analysis");
    if (!dipole_derivatives.empty() && static_cast<int64_t>(dipole_derivatives.size()) != 9 * n) {
        TESVARIN_THROW("Harmonic analysis: expected " + std::to_string(9 * n) + " dipole derivatives for " +
                       std::to_string(n) + " atoms, found " + std::to_string(dipole_derivatives.size()));
    }

    HarmonicAnalysis out;
    out.natoms = n;
    out.linear = is_linear(coords, masses);
    const Eigen::MatrixXd external = external_motions(coords, masses);
    const Eigen::Index dim = 3 * n;
    // The complement of the external motions: the last columns of a full orthogonal basis
    // whose first columns span them.
    Eigen::MatrixXd internal;
    {
        Eigen::HouseholderQR<Eigen::MatrixXd> qr(external);
        const Eigen::MatrixXd q = qr.householderQ() * Eigen::MatrixXd::Identity(dim, dim);
        internal = q.rightCols(dim - external.cols());
    }
    out.nmodes = internal.cols();
    if (out.nmodes == 0) return out;

    Eigen::VectorXd inv_sqrt_mass(dim);
    for (Eigen::Index i = 0; i < dim; ++i) inv_sqrt_mass(i) = 1.0 / std::sqrt(masses[static_cast<size_t>(i / 3)]);
    const Eigen::MatrixXd weighted = inv_sqrt_mass.asDiagonal() * hessian * inv_sqrt_mass.asDiagonal();
    Eigen::MatrixXd projected = internal.transpose() * weighted * internal;
    projected = 0.5 * (projected + projected.transpose()).eval();
    Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> solver(projected);
    if (solver.info() != Eigen::Success) TESVARIN_THROW("Harmonic analysis: the eigenvalue solver did not converge");

    const Eigen::MatrixXd cartesian = inv_sqrt_mass.asDiagonal() * (internal * solver.eigenvectors());
    const auto m = static_cast<size_t>(out.nmodes);
    out.frequencies.resize(m);
    out.reduced_masses.resize(m);
    out.force_constants.resize(m);
    out.modes.resize(m * static_cast<size_t>(dim));
    const double to_wavenumber = 1.0 / (2.0 * PhysicalConstants::pi * PhysicalConstants::light_speed_cm);
    for (size_t k = 0; k < m; ++k) {
        const double lambda = solver.eigenvalues()(static_cast<Eigen::Index>(k));  // Hartree/(Bohr^2 amu)
        const double omega = std::sqrt(std::abs(lambda) * c.au_force_to_si());
        out.frequencies[k] = std::copysign(omega * to_wavenumber, lambda);
        const Eigen::VectorXd x = cartesian.col(static_cast<Eigen::Index>(k));
        const double mu = 1.0 / x.squaredNorm();  // the internal eigenvector has unit length
        out.reduced_masses[k] = mu;
        out.force_constants[k] = std::abs(lambda) * mu * c.hartree_bohr2_to_mdyne_angstrom();
        const Eigen::VectorXd unit = x * std::sqrt(mu);
        for (Eigen::Index i = 0; i < dim; ++i)
            out.modes[k * static_cast<size_t>(dim) + static_cast<size_t>(i)] = unit(i);
    }
    // Finite force constants and masses can still take a frequency past the range of a double
    // (a mass of 1e-300 amu, a force constant of 1e300): refused by name, never handed on.
    const std::pair<const char*, const std::vector<double>*> results[] = {{"frequencies", &out.frequencies},
                                                                          {"reduced masses", &out.reduced_masses},
                                                                          {"force constants", &out.force_constants},
                                                                          {"normal modes", &out.modes}};
    for (const auto& [name, values] : results)
        for (double v : *values)
            if (!std::isfinite(v))
                TESVARIN_THROW(std::string("Harmonic analysis: the ") + name +
                               " are beyond the range of a double (force constants too large or masses too small)");
    if (!dipole_derivatives.empty()) {
        // Row r of the derivatives is d mu / d x_r; a column of `cartesian` is d x / d Q of one mode
        // (Q the mass-weighted normal coordinate, amu^1/2 Bohr), so their product is d mu / d Q.
        const Eigen::Map<const Eigen::Matrix<double, Eigen::Dynamic, 3, Eigen::RowMajor>> dmu_dx(
            dipole_derivatives.data(), dim, 3);
        if (!dmu_dx.allFinite()) TESVARIN_THROW("Harmonic analysis: a dipole derivative is not finite");
        const Eigen::MatrixXd dmu_dq = cartesian.transpose() * dmu_dx;  // nmodes x 3
        out.ir_intensities.resize(m);
        for (size_t k = 0; k < m; ++k)
            out.ir_intensities[k] = dmu_dq.row(static_cast<Eigen::Index>(k)).squaredNorm() * c.ir_intensity_km_mol();
    }
    return out;
}

}  // namespace tesvarin
