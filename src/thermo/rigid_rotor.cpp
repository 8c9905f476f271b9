// Centre of mass, inertia tensor and the rotational symmetry number.
#include "tesvarin/thermo/rigid_rotor.hpp"

#include <algorithm>
#include <cmath>
#include <tuple>
#include <utility>

#include "tesvarin/error.hpp"

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

void check_geometry(const std::vector<double>& coords, const std::vector<double>& masses, const std::string& who) {
    // sqrt(m) r, a rotation's component, squares and sums without overflow below this moment.
    constexpr double kLargestMoment = 1e250;  // amu Bohr^2
    for (size_t a = 0; a < masses.size(); ++a) {
        if (!(masses[a] > 0) || !std::isfinite(masses[a]))
            TESVARIN_THROW(who + ": the mass of atom " + std::to_string(a + 1) + " is not a positive number");
    }
    for (size_t i = 0; i < 3 * masses.size(); ++i) {
        if (!std::isfinite(coords[i]))
            TESVARIN_THROW(who + ": coordinate " + std::to_string(i % 3 + 1) + " of atom " + std::to_string(i / 3 + 1) +
                           " is not finite");
    }
    const Eigen::Vector3d com = centre_of_mass(coords, masses);
    double spread = 0;  // sum m r^2, at least each principal moment
    for (size_t a = 0; a < masses.size(); ++a) spread += masses[a] * (position(coords, a) - com).squaredNorm();
    if (!com.allFinite() || !(spread <= kLargestMoment))
        TESVARIN_THROW(who +
                       ": the moments of inertia are beyond the range of a double (atoms too far out or too "
                       "heavy)");
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
    check_geometry(coords, masses, "Rotational symmetry number");
    const Eigen::Vector3d com = centre_of_mass(coords, masses);
    std::vector<Eigen::Vector3d> r(n);
    std::vector<double> radius(n);
    for (size_t a = 0; a < n; ++a) r[a] = position(coords, a) - com, radius[a] = r[a].norm();
    // Atoms that a rotation may exchange: same element, same mass (a relative 1e-6 apart, chained
    // in sorted order), same distance from the centre. kind[a] numbers the element and mass.
    std::vector<size_t> kind(n), by_kind(n);
    for (size_t a = 0; a < n; ++a) by_kind[a] = a;
    std::sort(by_kind.begin(), by_kind.end(), [&](size_t x, size_t y) {
        return std::tie(atomic_numbers[x], masses[x]) < std::tie(atomic_numbers[y], masses[y]);
    });
    for (size_t i = 1; i < n; ++i) {
        const size_t x = by_kind[i - 1], y = by_kind[i];
        const bool same = atomic_numbers[x] == atomic_numbers[y] && std::abs(masses[x] - masses[y]) <= 1e-6 * masses[y];
        kind[y] = kind[x] + (same ? 0 : 1);
    }
    auto same_kind = [&](size_t a, size_t b) {
        return kind[a] == kind[b] && std::abs(radius[a] - radius[b]) <= tolerance;
    };
    // Images are looked up in cells of kCell Bohr: an atom within `tolerance` of an image lies in
    // the image's cell or, when the image is that close to a face, in the cell beyond it. Cells far
    // out share the last index, which costs time, never a wrong answer.
    static constexpr double kCell = 1.0, kFarCell = 1e15;
    // Cells start half a cell off the centre: a planar molecule's plane then lies inside one layer.
    auto cell_index = [](double v) {
        return static_cast<int64_t>(std::clamp(std::floor(v / kCell + 0.5), -kFarCell, kFarCell));
    };
    auto cell_key = [](int64_t x, int64_t y, int64_t z) {
        return static_cast<uint64_t>(x) * 0x9E3779B97F4A7C15ULL ^ static_cast<uint64_t>(y) * 0xC2B2AE3D27D4EB4FULL ^
               static_cast<uint64_t>(z) * 0x165667B19E3779F9ULL;
    };
    std::vector<std::pair<uint64_t, size_t>> cells(n);  // (cell key, atom), sorted, so a cell's atoms are a run
    for (size_t a = 0; a < n; ++a)
        cells[a] = {cell_key(cell_index(r[a].x()), cell_index(r[a].y()), cell_index(r[a].z())), a};
    std::sort(cells.begin(), cells.end());
    // An open-addressed table from a cell's key to the start of its run.
    size_t slots = 2;
    while (slots < 2 * n) slots *= 2;
    std::vector<size_t> run_start(slots, n);
    for (size_t i = 0; i < n; ++i) {
        if (i > 0 && cells[i].first == cells[i - 1].first) continue;
        size_t h = (cells[i].first >> 20) & (slots - 1);
        while (run_start[h] != n) h = (h + 1) & (slots - 1);
        run_start[h] = i;
    }
    auto first_in_cell = [&](uint64_t key) {
        for (size_t h = (key >> 20) & (slots - 1); run_start[h] != n; h = (h + 1) & (slots - 1))
            if (cells[run_start[h]].first == key) return run_start[h];
        return n;
    };
    const double tolerance2 = tolerance * tolerance;
    auto has_image = [&](size_t a, const Eigen::Vector3d& image) {
        int64_t lo[3], hi[3];
        for (int k = 0; k < 3; ++k) {
            lo[k] = cell_index(image[k] - tolerance);
            hi[k] = cell_index(image[k] + tolerance);
        }
        for (int64_t x = lo[0]; x <= hi[0]; ++x)
            for (int64_t y = lo[1]; y <= hi[1]; ++y)
                for (int64_t z = lo[2]; z <= hi[2]; ++z) {
                    const uint64_t key = cell_key(x, y, z);
                    for (size_t i = first_in_cell(key); i < n && cells[i].first == key; ++i)
                        if ((image - r[cells[i].second]).squaredNorm() <= tolerance2 && same_kind(a, cells[i].second))
                            return true;
                }
        return false;
    };
    // n lookups of O(1) each (for atoms at least a cell apart): O(n) per rotation tried.
    auto maps_onto_itself = [&](const Eigen::Matrix3d& rotation) {
        for (size_t a = 0; a < n; ++a)
            if (!has_image(a, rotation * r[a])) return false;
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
    {
        std::vector<std::pair<size_t, double>> sorted(n);  // (kind, distance), for a count by binary search
        for (size_t a = 0; a < n; ++a) sorted[a] = {kind[a], radius[a]};
        std::sort(sorted.begin(), sorted.end());
        for (size_t a = 0; a < n; ++a) {
            const auto first =
                std::lower_bound(sorted.begin(), sorted.end(), std::make_pair(kind[a], radius[a] - tolerance));
            const auto last =
                std::upper_bound(sorted.begin(), sorted.end(), std::make_pair(kind[a], radius[a] + tolerance));
            class_size[a] = static_cast<size_t>(last - first);
        }
    }
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
