// Fitting points and fitted charges on cases whose answers are known without the code: the
// program's point counts for methane, charges recovered from the potential of point charges,
// and a restraint worked by hand.
#include "tesvarin/charges/esp_fit.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "tesvarin/charges/esp_points.hpp"
#include "tesvarin/error.hpp"
#include "tesvarin/records.hpp"

using namespace tesvarin;

namespace {

// Methane at the geometry of the program's own MK and CHELPG runs (Bohr).
std::vector<double> methane() {
    const double h = 0.62750936 / bohr_to_angstrom;
    return {0, 0, 0, h, h, h, -h, -h, h, -h, h, -h, h, -h, -h};
}

// The potential of point charges q at atoms, at each point.
std::vector<double> potential_of(const std::vector<double>& atoms, const std::vector<double>& q,
                                 const std::vector<double>& points) {
    std::vector<double> v(points.size() / 3, 0.0);
    for (std::size_t p = 0; p < v.size(); ++p)
        for (std::size_t a = 0; a < q.size(); ++a) {
            const double dx = points[3 * p] - atoms[3 * a], dy = points[3 * p + 1] - atoms[3 * a + 1],
                         dz = points[3 * p + 2] - atoms[3 * a + 2];
            v[p] += q[a] / std::sqrt(dx * dx + dy * dy + dz * dz);
        }
    return v;
}

}  // namespace

TEST(EspPoints, MethaneCountsAreTheProgramsOwn) {
    const std::vector<double> mk = {merz_kollman_radius(6), 1.2, 1.2, 1.2, 1.2};
    EXPECT_EQ(merz_kollman_points(methane(), mk, {1.4, 1.6, 1.8, 2.0}, 1.0).size() / 3, 361u);
    const std::vector<double> br = {breneman_radius(6), 1.45, 1.45, 1.45, 1.45};
    std::array<int64_t, 3> steps{};
    EXPECT_EQ(breneman_points(methane(), br, 0.3, 2.8, steps).size() / 3, 5360u);
    EXPECT_EQ(steps, (std::array<int64_t, 3>{24, 24, 24}));
}

TEST(EspPoints, EveryPointOutsideTheScaledSpheres) {
    const std::vector<double> atoms = methane(), radii = {1.5, 1.2, 1.2, 1.2, 1.2};
    const std::vector<double> p = merz_kollman_points(atoms, radii, {1.4}, 3.0);
    ASSERT_GT(p.size(), 0u);
    for (std::size_t i = 0; i < p.size(); i += 3) {
        double nearest = 1e300;
        for (std::size_t a = 0; a < 5; ++a) {
            const double d = std::hypot(p[i] - atoms[3 * a], p[i + 1] - atoms[3 * a + 1], p[i + 2] - atoms[3 * a + 2]);
            EXPECT_GE(d, 1.4 * radii[a] / bohr_to_angstrom - 1e-9);
            nearest = std::min(nearest, d / (1.4 * radii[a] / bohr_to_angstrom));
        }
        EXPECT_NEAR(nearest, 1.0, 1e-9);  // on its own sphere
    }
}

TEST(ChargeFit, RecoversPointCharges) {
    ChargeFitProblem p;
    p.atoms = methane();
    p.points = merz_kollman_points(p.atoms, {1.5, 1.2, 1.2, 1.2, 1.2}, {1.4, 1.6, 1.8, 2.0}, 1.0);
    const std::vector<double> q = {-0.6, 0.1, 0.2, 0.12, 0.18};
    p.potential = potential_of(p.atoms, q, p.points);
    ChargeFit f = fit_charges(p);
    for (std::size_t a = 0; a < q.size(); ++a) EXPECT_NEAR(f.charges[a], q[a], 1e-9);
    EXPECT_LT(f.rms, 1e-12);

    // The dipole held at that of the charges themselves changes nothing; a shifted total
    // charge moves every charge and is met exactly.
    p.dipole = std::array<double, 3>{0, 0, 0};
    for (std::size_t a = 0; a < q.size(); ++a)
        for (int k = 0; k < 3; ++k) (*p.dipole)[k] += q[a] * p.atoms[3 * a + k];
    f = fit_charges(p);
    EXPECT_NEAR(f.charges[2], 0.2, 1e-9);
    p.dipole.reset();
    p.total_charge = 1.0;
    f = fit_charges(p);
    double sum = 0.0;
    for (double c : f.charges) sum += c;
    EXPECT_NEAR(sum, 1.0, 1e-12);
    EXPECT_GT(f.rms, 1e-3);
}

TEST(ChargeFit, SharedAndHeldCharges) {
    ChargeFitProblem p;
    p.atoms = methane();
    p.points = merz_kollman_points(p.atoms, {1.5, 1.2, 1.2, 1.2, 1.2}, {1.4, 1.6, 1.8, 2.0}, 1.0);
    p.potential = potential_of(p.atoms, {-0.4, 0.1, 0.1, 0.1, 0.1}, p.points);
    p.share = {-1, 0, 0, 0, 0};  // carbon held, hydrogens share one charge
    p.fixed = {-0.2, 0, 0, 0, 0};
    const ChargeFit f = fit_charges(p);
    EXPECT_DOUBLE_EQ(f.charges[0], -0.2);
    for (int a = 1; a < 5; ++a) EXPECT_NEAR(f.charges[a], 0.05, 1e-12);  // the total decides
}

// Atoms at x = 0 and 2 Bohr, points at x = -1 and 3, the potential of +0.5 and -0.5, neutral.
// With q2 = -q1 and u = 1/r1 - 1/r2 = (2/3, -2/3), the normal equation of q1 is
// (8/9) q1 + a q1 / sqrt(q1^2 + b^2) = 4/9: unrestrained q1 = 0.5; with a = 1/9 and b = 0.3 on
// atom 1 only, q1 = 0.4 solves it (sqrt(0.16 + 0.09) = 0.5).
TEST(ChargeFit, RestraintWorkedByHand) {
    ChargeFitProblem p;
    p.atoms = {0, 0, 0, 2, 0, 0};
    p.points = {-1, 0, 0, 3, 0, 0};
    p.potential = {1.0 / 3.0, -1.0 / 3.0};
    EXPECT_NEAR(fit_charges(p).charges[0], 0.5, 1e-12);
    p.restraint_a = 1.0 / 9.0;
    p.restraint_b = 0.3;
    p.restrained = {1, 0};
    const ChargeFit f = fit_charges(p);
    EXPECT_NEAR(f.charges[0], 0.4, 1e-9);
    EXPECT_NEAR(f.charges[1], -0.4, 1e-9);
    EXPECT_GT(f.iterations, 2);
    p.restrained = {1, 1};  // both restrained, symmetric: 8/9 q + 2 a q / sqrt(q^2 + b^2) ... still one root
    EXPECT_LT(fit_charges(p).charges[0], 0.4);
}

TEST(ChargeFit, RefusesBadProblems) {
    struct Row {
        std::string message;
        void (*change)(ChargeFitProblem&);
    };
    const std::vector<Row> rows = {
        {"expected the potential at each of the 2 points, got 1 values",
         [](ChargeFitProblem& p) { p.potential.pop_back(); }},
        {"a charge index must be -1 (held) or lie in [0, 2), got 5", [](ChargeFitProblem& p) { p.share = {0, 5}; }},
        {"charge index 0 is taken by no atom", [](ChargeFitProblem& p) { p.share = {1, 1}; }},
        {"atoms held at a charge need one held charge per atom", [](ChargeFitProblem& p) { p.share = {0, -1}; }},
        {"fitting point 2 lies on atom 2", [](ChargeFitProblem& p) { p.points[3] = 2; }},
        {"cannot fit 2 charges to the potential at 1 points",
         [](ChargeFitProblem& p) {
             p.points.resize(3);
             p.potential.resize(1);
         }},
        {"the restraint needs a >= 0 and b > 0", [](ChargeFitProblem& p) { p.restraint_b = 0; }},
        {"a coordinate or potential value is not a finite number", [](ChargeFitProblem& p) { p.potential[0] = NAN; }},
    };
    for (const Row& row : rows) {
        ChargeFitProblem p;
        p.atoms = {0, 0, 0, 2, 0, 0};
        p.points = {-1, 0, 0, 3, 0, 0};
        p.potential = {1.0 / 3.0, -1.0 / 3.0};
        row.change(p);
        try {
            fit_charges(p);
            ADD_FAILURE() << "accepted: " << row.message;
        } catch (const _Error& e) {
            EXPECT_NE(std::string(e.what()).find(row.message), std::string::npos) << e.what();
        }
    }
}

TEST(EspPoints, RefusesBadGrids) {
    std::array<int64_t, 3> steps{};
    EXPECT_THROW(breneman_points({0, 0, 0}, {1.5}, 0.0, 2.8, steps), _Error);
    EXPECT_THROW(breneman_points({0, 0, 0}, {1.5}, 1e-6, 2.8, steps), _Error);  // too many nodes
    EXPECT_THROW(breneman_points({0, 0, 0}, {1.5, 1.2}, 0.3, 2.8, steps), _Error);
    EXPECT_THROW(merz_kollman_points({0, 0, 0}, {0.0}, {1.4}, 1.0), _Error);
    EXPECT_THROW(merz_kollman_points({0, 0, 0}, {1.5}, {1.4}, -1.0), _Error);
    EXPECT_EQ(merz_kollman_radius(0), 0.0);
    EXPECT_EQ(merz_kollman_radius(18), 0.0);
    EXPECT_EQ(breneman_radius(11), 0.0);
}
