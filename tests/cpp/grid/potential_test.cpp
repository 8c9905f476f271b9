// The electrostatic potential over hand-made records: the Boys function against quadrature on
// both sides of its switch-overs, closed forms for S and P charge clouds, the field against
// differences of the potential, the screening bound, threads and refusals.
#include "tesvarin/grid/potential.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "tesvarin/grid/boys.hpp"

namespace {

// F_n(T) by Gauss-Legendre quadrature of t^2n exp(-T t^2) over [0, 1] in 40 panels.
double boys_quadrature(int n, double t) {
    static const double x[8] = {-0.9602898564975363, -0.7966664774136267, -0.5255324099163290, -0.1834346424956498,
                                0.1834346424956498,  0.5255324099163290,  0.7966664774136267,  0.9602898564975363};
    static const double w[8] = {0.1012285362903763, 0.2223810344533745, 0.3137066458778873, 0.3626837833783620,
                                0.3626837833783620, 0.3137066458778873, 0.2223810344533745, 0.1012285362903763};
    const int panels = 40;
    double sum = 0.0;
    for (int k = 0; k < panels; ++k) {
        const double a = double(k) / panels, h = 0.5 / panels;
        for (int i = 0; i < 8; ++i) {
            const double s = a + h * (1 + x[i]);
            sum += h * w[i] * std::pow(s, 2 * n) * std::exp(-t * s * s);
        }
    }
    return sum;
}

class Boys : public ::testing::TestWithParam<int> {};

TEST_P(Boys, EqualsQuadratureAcrossTheTableAndTheFarSide) {
    const int n = GetParam();
    const double end = tesvarin::boys_table_end(n);
    std::vector<double> f(static_cast<size_t>(n) + 1);
    for (double t :
         {0.0, 1e-9, 0.049, 0.05, 0.051, 0.7, 3.3333, 12.25, 29.95, end - 1e-9, end, end + 0.3, 80.0, 300.0}) {
        tesvarin::boys(n, t, f.data());
        for (int m = 0; m <= n; ++m) {
            // The quadrature itself is good to 1e-14 relative while the integrand is smooth on a panel.
            const double exact = t > 80 ? std::tgamma(m + 0.5) / (2 * std::pow(t, m + 0.5)) : boys_quadrature(m, t);
            EXPECT_NEAR(f[static_cast<size_t>(m)], exact, 2e-14 * exact) << "n " << m << " of " << n << ", T " << t;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Orders, Boys, ::testing::Values(0, 1, 2, 5, 9, 14, 20, tesvarin::kMaxBoysOrder));

// One S primitive (exponent a) on an atom of charge z at the origin, and one P shell (x, y, z) beside it;
// the density holds one electron in the S function (or, with `p`, in p_x).
ChkParams::Mol s_and_p(double a, double z, bool p) {
    ChkParams::Mol mol;
    mol.natoms = 1, mol.nbasis = 4, mol.nae = 1, mol.nbe = 0, mol.NShell = 2;
    mol.nucchg = {z};
    mol.coords = {0, 0, 0};
    mol.bparams.shelltypes = {0, 1};
    mol.bparams.shellnprim = {1, 1};
    mol.bparams.primexp = {a, a};
    mol.concoeff = {1.0, 1.0};
    mol.cshell = {0, 0, 0, 0, 0, 0};
    mol.amocoeff.assign(16, 0.0);
    mol.amocoeff[p ? 1 : 0] = 1.0;
    return mol;
}

std::vector<double> potential_at(const ChkParams::Mol& mol, const std::vector<double>& points, bool field,
                                 double tolerance = 0.0, unsigned threads = 1, double accuracy = 0.0) {
    std::vector<double> out(points.size() / 3 * (field ? 4 : 1));
    tesvarin::EvalOptions options;
    options.tolerance = tolerance;
    options.threads = threads;
    tesvarin::evaluate_potential(mol, {-1, tesvarin::DensityPart::Total, field, true, true, accuracy},
                                 {points.data(), int64_t(points.size() / 3), nullptr}, options, out.data());
    return out;
}

TEST(Potential, ChargeCloudsHaveTheirClosedForms) {
    // |S|^2 is a unit charge of exponent 2a: V = z / r - erf(sqrt(2a) r) / r.
    const double a = 0.7, z = 3.0;
    const ChkParams::Mol mol = s_and_p(a, z, false);
    const std::vector<double> points{0.3, -0.2, 0.5, 2.0, 1.0, -4.0, 0.0, 0.0, 35.0, 1e-3, 0, 0};
    const auto v = potential_at(mol, points, false);
    for (size_t i = 0; i < v.size(); ++i) {
        const double r = std::hypot(points[3 * i], points[3 * i + 1], points[3 * i + 2]);
        const double exact = z / r - std::erf(std::sqrt(2 * a) * r) / r;
        EXPECT_NEAR(v[i], exact, 1e-13 * std::fabs(z / r)) << "point " << i;
    }
    // |p_x|^2 is a radial function times angular parts of degree 0 and 2 only: beyond its tail
    // the potential is exactly -1/r - Q_nn / 2r^3 along an axis n, with <x^2> = 3/4a and
    // <y^2> = <z^2> = 1/4a, so Q_xx = <3x^2 - r^2> = 1/a and Q_yy = -1/2a.
    const ChkParams::Mol px = s_and_p(a, 0.0, true);
    const double r = 12.0;
    const auto far = potential_at(px, {r, 0, 0, 0, r, 0, 0, 0, -r}, false);
    EXPECT_NEAR(far[0], -1 / r - 0.5 / a / (r * r * r), 1e-15);
    EXPECT_NEAR(far[1], -1 / r + 0.25 / a / (r * r * r), 1e-15);
    EXPECT_NEAR(far[2], far[1], 1e-16);
}

TEST(Potential, FieldIsMinusTheGradientOfThePotential) {
    ChkParams::Mol mol = s_and_p(0.9, 2.0, true);
    mol.cshell[3] = 0.4;  // the P shell beside the S one: two-centre distributions
    mol.amocoeff[0] = 0.6;
    const std::vector<double> points{0.3, -0.2, 0.5, 1.7, 0.4, -1.1};
    const auto vf = potential_at(mol, points, true);
    const double h = 1e-4;
    for (size_t i = 0; i < 2; ++i)
        for (int d = 0; d < 3; ++d) {
            std::vector<double> plus(points.begin() + 3 * i, points.begin() + 3 * i + 3), minus = plus;
            plus[d] += h, minus[d] -= h;
            // Fourth-order central difference.
            auto p2 = plus, m2 = minus;
            p2[d] += h, m2[d] -= h;
            const double diff = (8 * (potential_at(mol, plus, false)[0] - potential_at(mol, minus, false)[0]) -
                                 (potential_at(mol, p2, false)[0] - potential_at(mol, m2, false)[0])) /
                                (12 * h);
            EXPECT_NEAR(vf[4 * i + 1 + d], -diff, 1e-8) << "point " << i << " component " << d;
            EXPECT_NEAR(vf[4 * i], potential_at(mol, {points[3 * i], points[3 * i + 1], points[3 * i + 2]}, false)[0],
                        1e-14);
        }
}

// Tight, diffuse and two-centre distributions (S and P shells 2.1 Bohr apart, exponents 0.1 to 900).
ChkParams::Mol spread_out() {
    ChkParams::Mol mol = s_and_p(0.9, 2.0, true);
    mol.bparams.shellnprim = {3, 3};
    mol.bparams.primexp = {900.0, 9.0, 0.2, 40.0, 2.0, 0.1};
    mol.concoeff = {0.01, 0.4, 0.7, 1e-7, 0.5, 0.6};
    mol.cshell[5] = 2.1;
    for (size_t i = 0; i < mol.amocoeff.size(); ++i) mol.amocoeff[i] = std::sin(1.0 + i);
    mol.nae = 2;
    return mol;
}

TEST(Potential, ScreeningStaysWithinItsBoundAndThreadsAgree) {
    const ChkParams::Mol mol = spread_out();
    std::vector<double> points;
    for (int i = 0; i < 300; ++i)
        points.push_back(4 * std::sin(1.3 * i)), points.push_back(3 * std::cos(0.7 * i)),
            points.push_back(2 * std::sin(0.3 * i + 1));
    const auto exact = potential_at(mol, points, true);
    for (double eps : {1e-4, 1e-8}) {
        const auto screened = potential_at(mol, points, true, eps, 3);
        double worst = 0.0;
        for (size_t i = 0; i < exact.size(); ++i) worst = std::max(worst, std::fabs(screened[i] - exact[i]));
        EXPECT_LE(worst, eps);
        EXPECT_GT(worst, 0.0) << "something is left out at " << eps;
    }
    EXPECT_EQ(potential_at(mol, points, true, 0.0, 3), exact);
}

// Runs of 128 points within 0.2 Bohr of each other, at distances from 0.3 to 60 Bohr of the atoms:
// each run one block, so that whole blocks lie beyond the distributions' radii.
std::vector<double> runs_of_points() {
    std::vector<double> points;
    for (int run = 0; run < 80; ++run) {
        const double r = 0.3 * std::pow(200.0, run / 79.0), theta = 2.4 * run, phi = 1.1 * run;
        for (int i = 0; i < 128; ++i) {
            const double j = 0.1 * std::sin(0.37 * i + run);
            points.push_back(r * std::sin(phi) * std::cos(theta) + j);
            points.push_back(r * std::sin(phi) * std::sin(theta) + 0.1 * std::cos(1.3 * i) + 1.0);
            points.push_back(r * std::cos(phi) + 0.1 * std::sin(2.9 * i));
        }
    }
    return points;
}

TEST(Potential, FarFieldStaysWithinItsAccuracyOnEveryThreadCount) {
    const ChkParams::Mol mol = spread_out();
    const std::vector<double> points = runs_of_points();
    const auto exact = potential_at(mol, points, false);
    for (double accuracy : {1e-3, 1e-7, 1e-11}) {
        const auto far = potential_at(mol, points, false, 0.0, 1, accuracy);
        double worst = 0.0;
        for (size_t i = 0; i < exact.size(); ++i)
            worst = std::max(worst, std::fabs(far[i] - exact[i]) - 1e-14 * std::fabs(exact[i]));
        EXPECT_LE(worst, accuracy);
        if (accuracy == 1e-3) EXPECT_GT(worst, 1e-12) << "the far field is not in use";
        EXPECT_EQ(potential_at(mol, points, false, 0.0, 3, accuracy), far);
    }
    // The field is always summed exactly.
    EXPECT_EQ(potential_at(mol, points, true, 0.0, 1, 1e-3), potential_at(mol, points, true));
}

TEST(Potential, RecordsItCannotEvaluateAreRefusedWithTheReason) {
    const std::vector<double> point{0, 0, 1};
    double out[4];
    const auto refusal = [&](const ChkParams::Mol& mol, int kind, std::vector<double> pts) {
        try {
            tesvarin::evaluate_potential(mol, {kind, tesvarin::DensityPart::Total, false}, {pts.data(), 1, nullptr}, {},
                                         out);
        } catch (const std::exception& e) {
            return std::string(e.what());
        }
        return std::string("no exception");
    };
    EXPECT_NE(refusal(s_and_p(1, 1, false), 9, point).find("density kind 9"), std::string::npos);
    EXPECT_NE(refusal(s_and_p(1, 1, false), 0, point).find("the checkpoint holds no SCF Density"), std::string::npos);
    EXPECT_NE(refusal(s_and_p(1, 1, false), -1, {0, NAN, 0}).find("point 1 is not finite"), std::string::npos);
    ChkParams::Mol charges = s_and_p(1, 1, false);
    charges.nucchg.clear();
    EXPECT_NE(refusal(charges, -1, point).find("0 nuclear charges and 1 positions for 1 atoms"), std::string::npos);
    ChkParams::Mol counted = s_and_p(1, 1, false);
    counted.nbasis = 5;
    EXPECT_NE(refusal(counted, -1, point).find("the basis has 4 functions but the checkpoint counts 5"),
              std::string::npos);
}

}  // namespace
