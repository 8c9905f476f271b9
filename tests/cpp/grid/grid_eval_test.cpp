// The grid evaluator over hand-made records: the angular tables for every L the reader takes,
// exact values of a lone primitive, refusals of records it cannot evaluate, and its threads.
#include "tesvarin/grid/grid_eval.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "tesvarin/grid/grid_basis.hpp"

namespace {

// Gauss-Legendre nodes and weights on [-1, 1], by Newton's iteration on P_n.
void gauss_legendre(int n, std::vector<double>& x, std::vector<double>& w) {
    x.resize(n), w.resize(n);
    for (int i = 0; i < n; ++i) {
        double z = std::cos(M_PI * (i + 0.75) / (n + 0.5)), dp = 0.0;
        for (int iter = 0; iter < 100; ++iter) {
            double p0 = 1.0, p1 = z;
            for (int k = 2; k <= n; ++k) {
                const double p2 = ((2 * k - 1) * z * p1 - (k - 1) * p0) / k;
                p0 = p1, p1 = p2;
            }
            dp = n * (z * p1 - p0) / (z * z - 1);
            const double step = p1 / dp;
            z -= step;
            if (std::fabs(step) < 1e-16) break;
        }
        x[i] = z, w[i] = 2 / ((1 - z * z) * dp * dp);
    }
}

double angular_value(const tesvarin::AngularFunction& f, double x, double y, double z) {
    double v = 0.0;
    for (const auto& t : f) v += t.coef * std::pow(x, t.ax) * std::pow(y, t.ay) * std::pow(z, t.az);
    return v;
}

class AngularTables : public ::testing::TestWithParam<int> {};

// With the radial part normalised for x^l, a function has unit norm exactly when its angular
// part has the sphere integral of x^(2l), 4 pi / (2l + 1); pure ones are also orthogonal.
TEST_P(AngularTables, FunctionsAreNormalisedAndPureOnesOrthogonal) {
    const int l = GetParam();
    std::vector<double> ct, wt;
    gauss_legendre(l + 2, ct, wt);
    const int nphi = 2 * l + 3;
    const double unit = 4 * M_PI / (2 * l + 1);
    for (bool pure : {false, true}) {
        const auto& fs = tesvarin::angular_functions(l, pure);
        ASSERT_EQ(fs.size(), pure ? size_t(2 * l + 1) : size_t((l + 1) * (l + 2) / 2));
        for (size_t a = 0; a < fs.size(); ++a) {
            for (size_t b = pure ? 0 : a; b <= (pure ? fs.size() - 1 : a); ++b) {
                double s = 0.0;
                for (int i = 0; i < l + 2; ++i)
                    for (int j = 0; j < nphi; ++j) {
                        const double phi = 2 * M_PI * j / nphi, st = std::sqrt(1 - ct[i] * ct[i]);
                        const double x = st * std::cos(phi), y = st * std::sin(phi), z = ct[i];
                        s += wt[i] * (2 * M_PI / nphi) * angular_value(fs[a], x, y, z) * angular_value(fs[b], x, y, z);
                    }
                EXPECT_NEAR(s, a == b ? unit : 0.0, 1e-12 * unit)
                    << "l " << l << (pure ? " pure " : " cart ") << a << b;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryL, AngularTables, ::testing::Range(0, tesvarin::kMaxGridL + 1));

// One S primitive (exponent 0.8) on each of two centres, and two orbitals over them.
ChkParams::Mol two_s() {
    ChkParams::Mol mol;
    mol.natoms = 2, mol.nbasis = 2, mol.nae = mol.nbe = 1, mol.NShell = 2;
    mol.bparams.shelltypes = {0, 0};
    mol.bparams.shellnprim = {1, 1};
    mol.bparams.primexp = {0.8, 0.8};
    mol.concoeff = {1.0, 1.0};
    mol.cshell = {0, 0, 0, 0, 0, 1.4};
    mol.amocoeff.assign({0.5, 0.5, 0.9, -0.9});
    return mol;
}

TEST(GridEval, LonePrimitiveHasItsNormalisedValueAndDensity) {
    const ChkParams::Mol mol = two_s();
    const std::vector<double> points{0.3, -0.2, 0.5, 0.0, 0.0, 40.0};
    std::vector<double> orbitals(4), density(10);
    tesvarin::evaluate_orbitals(mol, {{false, 0}, {true, 1}}, {points.data(), 2, nullptr}, {}, orbitals.data());
    tesvarin::evaluate_density(mol, {-1, tesvarin::DensityPart::Total, 2}, {points.data(), 2, nullptr}, {},
                               density.data());
    const auto chi = [](double x, double y, double z) {
        return std::pow(1.6 / M_PI, 0.75) * std::exp(-0.8 * (x * x + y * y + z * z));
    };
    const double a = chi(0.3, -0.2, 0.5), b = chi(0.3, -0.2, 0.5 - 1.4);
    EXPECT_NEAR(orbitals[0], 0.5 * a + 0.5 * b, 1e-15);
    EXPECT_NEAR(orbitals[1], 0.9 * a - 0.9 * b, 1e-15);  // beta of a restricted wavefunction: alpha
    EXPECT_NEAR(density[0], 2 * std::pow(0.5 * a + 0.5 * b, 2), 1e-15);
    // d/dx of 2 phi^2 with phi = 0.5 (a + b): 2 phi (-1.6 x)(a + b)
    EXPECT_NEAR(density[1], 2 * (0.5 * a + 0.5 * b) * (-1.6 * 0.3) * (a + b), 1e-14);
    EXPECT_EQ(density[5], 0.0);  // exp(-1280) is zero
}

TEST(GridEval, RecordsItCannotEvaluateAreRefusedWithTheReason) {
    const std::vector<double> point{0, 0, 0};
    double out[5];
    const tesvarin::PointSet one{point.data(), 1, nullptr};
    const auto refusal = [&](ChkParams::Mol mol, std::vector<tesvarin::OrbitalRef> orbitals = {{false, 0}}) {
        try {
            tesvarin::evaluate_orbitals(mol, orbitals, one, {}, out);
        } catch (const std::exception& e) {
            return std::string(e.what());
        }
        return std::string("no exception");
    };
    ChkParams::Mol high = two_s();
    high.bparams.shelltypes[1] = 14;
    EXPECT_NE(refusal(high).find("shell 2 has type 14; types from -13 to 13 are evaluated"), std::string::npos);
    ChkParams::Mol counted = two_s();
    counted.nbasis = 3;
    EXPECT_NE(refusal(counted).find("the basis has 2 functions but the checkpoint counts 3"), std::string::npos);
    ChkParams::Mol exponent = two_s();
    exponent.bparams.primexp[0] = -1.0;
    EXPECT_NE(refusal(exponent).find("a positive exponent is needed"), std::string::npos);
    ChkParams::Mol short_prims = two_s();
    short_prims.bparams.shellnprim[1] = 5;
    EXPECT_NE(refusal(short_prims).find("past the 2 exponents"), std::string::npos);
    EXPECT_NE(refusal(two_s(), {{false, 2}}).find("alpha orbital 3 asked for; the checkpoint holds 2"),
              std::string::npos);
    ChkParams::Mol complex = two_s();
    complex.value_kind = 2;
    EXPECT_NE(refusal(complex).find("complex and two-component wavefunctions are not evaluated"), std::string::npos);
    try {
        tesvarin::evaluate_density(two_s(), {0, tesvarin::DensityPart::Total, 0}, one, {}, out);
        FAIL() << "no exception";
    } catch (const std::exception& e) {
        EXPECT_NE(std::string(e.what()).find("the checkpoint holds no SCF Density (total)"), std::string::npos);
    }
}

TEST(GridEval, ThreadsGiveTheSameValuesAndAStopIsAnError) {
    const ChkParams::Mol mol = two_s();
    const tesvarin::GridSpec grid{{-3, -3, -3}, {{{0.31, 0, 0}, {0, 0.29, 0}, {0.01, 0, 0.27}}}, {21, 19, 23}};
    const int64_t n = tesvarin::grid_point_count(grid);
    std::vector<double> one(n * 2), three(n * 2);
    tesvarin::EvalOptions options;
    options.tolerance = 1e-12;
    options.threads = 1;
    tesvarin::evaluate_orbitals(mol, {{false, 0}, {false, 1}}, {nullptr, 0, &grid}, options, one.data());
    options.threads = 3;
    tesvarin::evaluate_orbitals(mol, {{false, 0}, {false, 1}}, {nullptr, 0, &grid}, options, three.data());
    EXPECT_EQ(one, three);
    options.progress = [](double) { return false; };
    options.threads = 2;
    try {
        tesvarin::evaluate_orbitals(mol, {{false, 0}}, {nullptr, 0, &grid}, options, one.data());
        FAIL() << "no exception";
    } catch (const std::exception& e) {
        EXPECT_NE(std::string(e.what()).find("stopped before the end"), std::string::npos);
    }
}

}  // namespace
