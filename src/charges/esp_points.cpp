#include "tesvarin/charges/esp_points.hpp"

#include <cmath>
#include <string>

#include "tesvarin/checked.hpp"
#include "tesvarin/error.hpp"
#include "tesvarin/records.hpp"

namespace tesvarin {

namespace {

// clang-format off
// Merz-Kollman radii (Angstrom), hydrogen to chlorine, as the program takes them.
constexpr double kMerzKollman[] = {0.0,
    1.20, 1.20,
    1.37, 1.45, 1.45, 1.50, 1.50, 1.40, 1.35, 1.30,
    1.57, 1.36, 1.24, 1.17, 1.80, 1.75, 1.70};
// Breneman's radii (Angstrom), hydrogen to neon.
constexpr double kBreneman[] = {0.0,
    1.45, 1.45,
    1.50, 1.50, 1.50, 1.50, 1.70, 1.70, 1.70, 1.70};
// clang-format on

template <std::size_t N>
double from_table(const double (&table)[N], int64_t z) {
    return z > 0 && z < static_cast<int64_t>(N) ? table[z] : 0.0;
}

void check_atoms(const std::vector<double>& atoms, const std::vector<double>& radii) {
    if (atoms.size() % 3 != 0 || atoms.size() / 3 != radii.size())
        TESVARIN_THROW("expected one radius per atom and three coordinates each, got " + std::to_string(radii.size()) +
                       " radii for " + std::to_string(atoms.size()) + " coordinates");
    for (double r : radii)
        if (!(r > 0.0) || !std::isfinite(r)) TESVARIN_THROW("a radius must be positive, got " + std::to_string(r));
    for (double c : atoms)
        if (!std::isfinite(c)) TESVARIN_THROW("an atomic coordinate is not a finite number");
}

double distance2(const double* a, const double* b) {
    const double dx = a[0] - b[0], dy = a[1] - b[1], dz = a[2] - b[2];
    return dx * dx + dy * dy + dz * dz;
}

// Whether p lies at or outside every sphere (centre atoms[3k], radius r[k]) but `skip`'s.
bool outside_all(const double* p, const std::vector<double>& atoms, const std::vector<double>& r, std::size_t skip) {
    for (std::size_t k = 0; k < r.size(); ++k)
        if (k != skip && distance2(p, &atoms[3 * k]) < r[k] * r[k]) return false;
    return true;
}

// At most n dots on the unit sphere in rings of latitude from the north pole, each ring
// holding as many dots as its circumference allows at the equator's spacing.
std::vector<double> sphere_dots(int64_t n) {
    std::vector<double> dots;
    const double pi = std::acos(-1.0);
    const auto equator = static_cast<int64_t>(std::sqrt(pi * static_cast<double>(n)));
    const int64_t rings = equator / 2;
    if (rings < 1) return dots;
    dots.reserve(static_cast<std::size_t>(3 * n));
    int64_t made = 0;
    for (int64_t i = 0; i <= rings; ++i) {
        const double theta = pi * static_cast<double>(i) / static_cast<double>(rings);
        const double z = std::cos(theta), xy = std::sin(theta);
        int64_t around = static_cast<int64_t>(static_cast<double>(equator) * xy + 1e-10);
        if (around < 1) around = 1;
        for (int64_t j = 0; j < around; ++j) {
            if (made >= n) return dots;
            const double phi = 2.0 * pi * static_cast<double>(j) / static_cast<double>(around);
            dots.insert(dots.end(), {std::cos(phi) * xy, std::sin(phi) * xy, z});
            ++made;
        }
    }
    return dots;
}

// Fitting points are held in memory with the potential at each: a bound far beyond any molecule's.
constexpr int64_t kMaxPoints = int64_t{1} << 26;

}  // namespace

double merz_kollman_radius(int64_t z) { return from_table(kMerzKollman, z); }
double breneman_radius(int64_t z) { return from_table(kBreneman, z); }

std::vector<double> merz_kollman_points(const std::vector<double>& atoms, const std::vector<double>& radii,
                                        const std::vector<double>& scales, double density) {
    check_atoms(atoms, radii);
    if (!(density > 0.0) || density > 1e4)
        TESVARIN_THROW("the density of points must lie in (0, 10000] per Angstrom^2, got " + std::to_string(density));
    std::vector<double> points;
    for (double scale : scales) {
        if (!(scale > 0.0) || scale > 100.0)
            TESVARIN_THROW("a layer's scale factor must lie in (0, 100], got " + std::to_string(scale));
        std::vector<double> r(radii.size());
        for (std::size_t a = 0; a < radii.size(); ++a) r[a] = radii[a] * scale / bohr_to_angstrom;
        for (std::size_t a = 0; a < radii.size(); ++a) {
            const double area = 4.0 * std::acos(-1.0) * radii[a] * scale * radii[a] * scale;  // Angstrom^2
            const auto n = static_cast<int64_t>(density * area);
            if (static_cast<int64_t>(points.size() / 3) + n > kMaxPoints)
                TESVARIN_THROW("more than " + std::to_string(kMaxPoints) + " fitting points");
            const std::vector<double> dots = sphere_dots(n);
            for (std::size_t d = 0; d < dots.size(); d += 3) {
                const double p[3] = {atoms[3 * a] + r[a] * dots[d], atoms[3 * a + 1] + r[a] * dots[d + 1],
                                     atoms[3 * a + 2] + r[a] * dots[d + 2]};
                if (outside_all(p, atoms, r, a)) points.insert(points.end(), p, p + 3);
            }
        }
    }
    return points;
}

std::vector<double> breneman_points(const std::vector<double>& atoms, const std::vector<double>& radii, double spacing,
                                    double extension, std::array<int64_t, 3>& steps) {
    check_atoms(atoms, radii);
    if (radii.empty()) TESVARIN_THROW("a grid around no atoms");
    if (!(spacing > 0.0) || !(extension >= 0.0) || !std::isfinite(extension))
        TESVARIN_THROW("the grid needs a positive spacing and a finite extension, got " + std::to_string(spacing) +
                       " and " + std::to_string(extension) + " Angstrom");
    const double step = spacing / bohr_to_angstrom, reach = extension / bohr_to_angstrom;
    double lo[3], hi[3], start[3];
    for (int i = 0; i < 3; ++i) {
        lo[i] = hi[i] = atoms[i];
        for (std::size_t a = 1; a < radii.size(); ++a) {
            lo[i] = std::min(lo[i], atoms[3 * a + i]);
            hi[i] = std::max(hi[i], atoms[3 * a + i]);
        }
        lo[i] -= reach;
        hi[i] += reach;
        // The fewest nodes whose span covers the box, centred on it.
        const double intervals = std::ceil((hi[i] - lo[i]) / step - 1e-9);
        if (!(intervals < 1e6)) TESVARIN_THROW("the grid has more than a million nodes along an axis");
        steps[i] = static_cast<int64_t>(intervals) + 1;
        start[i] = 0.5 * (lo[i] + hi[i]) - 0.5 * intervals * step;
    }
    const Checked total = Checked(steps[0]) * steps[1] * steps[2];
    if (!total.ok() || total.value() > kMaxPoints)
        TESVARIN_THROW("the grid would have " + total.str() + " nodes, more than " + std::to_string(kMaxPoints));
    std::vector<double> r(radii.size());
    for (std::size_t a = 0; a < radii.size(); ++a) r[a] = radii[a] / bohr_to_angstrom;
    std::vector<double> points;
    for (int64_t i = 0; i < steps[0]; ++i)
        for (int64_t j = 0; j < steps[1]; ++j)
            for (int64_t k = 0; k < steps[2]; ++k) {
                const double p[3] = {start[0] + static_cast<double>(i) * step, start[1] + static_cast<double>(j) * step,
                                     start[2] + static_cast<double>(k) * step};
                bool near = false;
                for (std::size_t a = 0; a < r.size() && !near; ++a) near = distance2(p, &atoms[3 * a]) <= reach * reach;
                if (near && outside_all(p, atoms, r, r.size())) points.insert(points.end(), p, p + 3);
            }
    return points;
}

}  // namespace tesvarin
