// Centre of mass, inertia tensor and the rotational symmetry number.
#include "tesvarin/thermo/rigid_rotor.hpp"

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

namespace tesvarin {

namespace {

Eigen::Vector3d position(const std::vector<double>& coords, size_t a) {
    return {coords[3 * a], coords[3 * a + 1], coords[3 * a + 2]};
}

}  // namespace

Eigen::Vector3d centre_of_mass(const std::vector<double>& coords, const std::vector<double>& masses) {
    Eigen::Vector3d sum = Eigen::Vector3d::Zero();
    double total = 0;
    for (size_t a = 0; a < masses.size(); ++a) {
        sum += masses[a] * position(coords, a);
        total += masses[a];
    }
    return total > 0 ? Eigen::Vector3d(sum / total) : Eigen::Vector3d::Zero();
}

Inertia principal_moments(const std::vector<double>& coords, const std::vector<double>& masses) {
    const Eigen::Vector3d com = centre_of_mass(coords, masses);
    Eigen::Matrix3d tensor = Eigen::Matrix3d::Zero();
    for (size_t a = 0; a < masses.size(); ++a) {
        const Eigen::Vector3d r = position(coords, a) - com;
        tensor += masses[a] * (r.squaredNorm() * Eigen::Matrix3d::Identity() - r * r.transpose());
    }
    Eigen::SelfAdjointEigenSolver<Eigen::Matrix3d> solver(tensor);
    return {solver.eigenvalues(), solver.eigenvectors()};
}

bool is_linear(const std::vector<double>& coords, const std::vector<double>& masses) {
    if (masses.size() < 2) return false;
    const Inertia inertia = principal_moments(coords, masses);
    return inertia.moments(0) <= 1e-6 * std::max(1.0, inertia.moments(2));
}

int64_t rotational_symmetry_number(const std::vector<double>& coords, const std::vector<int64_t>& atomic_numbers,
                                   const std::vector<double>& masses, double tolerance) {
    const size_t n = masses.size();
    if (n < 2) return 1;
    const Eigen::Vector3d com = centre_of_mass(coords, masses);
    std::vector<Eigen::Vector3d> r(n);
    for (size_t a = 0; a < n; ++a) r[a] = position(coords, a) - com;
    // Atoms that a rotation may exchange: same element, same mass, same distance from the centre.
    auto same_kind = [&](size_t a, size_t b) {
        return atomic_numbers[a] == atomic_numbers[b] && std::abs(masses[a] - masses[b]) <= 1e-6 * masses[a] &&
               std::abs(r[a].norm() - r[b].norm()) <= tolerance;
    };
    auto maps_onto_itself = [&](const Eigen::Matrix3d& rotation) {
        for (size_t a = 0; a < n; ++a) {
            const Eigen::Vector3d image = rotation * r[a];
            bool found = false;
            for (size_t b = 0; b < n && !found; ++b) found = same_kind(a, b) && (image - r[b]).norm() <= tolerance;
            if (!found) return false;
        }
        return true;
    };
    if (is_linear(coords, masses)) {
        // A half turn about an axis perpendicular to the line is a symmetry only when the
        // molecule has a centre of inversion.
        const Eigen::Vector3d axis = principal_moments(coords, masses).axes.col(2);
        const Eigen::Matrix3d half_turn = 2.0 * axis * axis.transpose() - Eigen::Matrix3d::Identity();
        return maps_onto_itself(half_turn) ? 2 : 1;
    }
    // The class of each atom off the centre; the rotation is fixed by where it takes two
    // atoms a and b whose positions are not parallel, taken from the smallest classes.
    std::vector<size_t> class_size(n, 0);
    for (size_t a = 0; a < n; ++a)
        for (size_t b = 0; b < n; ++b) class_size[a] += same_kind(a, b) ? 1 : 0;
    std::vector<size_t> order;
    for (size_t a = 0; a < n; ++a)
        if (r[a].norm() > tolerance) order.push_back(a);
    std::stable_sort(order.begin(), order.end(), [&](size_t x, size_t y) { return class_size[x] < class_size[y]; });
    if (order.empty()) return 1;
    const size_t a = order.front();
    size_t b = n;
    for (size_t c : order) {
        if (r[a].cross(r[c]).norm() > tolerance * std::max(1.0, r[a].norm())) {
            b = c;
            break;
        }
    }
    if (b == n) return 1;  // cannot happen for a non-linear molecule
    auto frame = [](const Eigen::Vector3d& u, const Eigen::Vector3d& v) {
        Eigen::Matrix3d f;
        f.col(0) = u.normalized();
        f.col(1) = (v - f.col(0).dot(v) * f.col(0)).normalized();
        f.col(2) = f.col(0).cross(f.col(1));
        return f;
    };
    const Eigen::Matrix3d from = frame(r[a], r[b]);
    int64_t count = 0;
    for (size_t a2 = 0; a2 < n; ++a2) {
        if (!same_kind(a, a2)) continue;
        for (size_t b2 = 0; b2 < n; ++b2) {
            if (b2 == a2 || !same_kind(b, b2)) continue;
            if (std::abs((r[a2] - r[b2]).norm() - (r[a] - r[b]).norm()) > tolerance) continue;
            const Eigen::Matrix3d rotation = frame(r[a2], r[b2]) * from.transpose();
            if (maps_onto_itself(rotation)) ++count;
        }
    }
    return std::max<int64_t>(count, 1);
}

}  // namespace tesvarin
