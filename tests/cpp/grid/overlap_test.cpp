// The overlap matrix over hand-made records: closed forms for S and P functions on two centres,
// the unit diagonal of a normalised basis of every kind up to L = 6, and the size refusal.
#include "tesvarin/grid/overlap.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "tesvarin/error.hpp"

namespace {

// One primitive of exponent a (S, or the shell type given) on each of two centres R apart along z.
ChkParams::Mol two_centres(int64_t type_a, int64_t type_b, double a, double b, double r, int64_t nbasis) {
    ChkParams::Mol mol;
    mol.natoms = 2, mol.nbasis = nbasis, mol.NShell = 2;
    mol.bparams.shelltypes = {type_a, type_b};
    mol.bparams.shellnprim = {1, 1};
    mol.bparams.primexp = {a, b};
    mol.concoeff = {1.0, 1.0};
    mol.cshell = {0, 0, 0, 0, 0, r};
    return mol;
}

TEST(Overlap, SAndPFunctionsOnTwoCentresHaveTheirClosedForms) {
    const double a = 0.8, b = 1.7, r = 1.3, p = a + b;
    // <s_a|s_b> = (2 sqrt(ab) / p)^(3/2) exp(-ab/p r^2); <s_a|p_z,b> = that times -2 a r sqrt(b) / p.
    const double ss = std::pow(2 * std::sqrt(a * b) / p, 1.5) * std::exp(-a * b / p * r * r);
    const auto s = tesvarin::overlap_matrix(two_centres(0, 0, a, b, r, 2));
    EXPECT_NEAR(s[1], ss, 1e-15);
    EXPECT_NEAR(s[2], ss, 1e-15);
    EXPECT_NEAR(s[0], 1.0, 1e-15);
    const auto sp = tesvarin::overlap_matrix(two_centres(0, 1, a, b, r, 4));
    EXPECT_NEAR(sp[3], -ss * 2 * a * r * std::sqrt(b) / p, 1e-15);  // p_z of B, above A: -a r / p from its centre
    EXPECT_EQ(sp[1], 0.0);
    EXPECT_EQ(sp[2], 0.0);
}

class NormalisedShell : public ::testing::TestWithParam<int64_t> {};

TEST_P(NormalisedShell, HasAUnitDiagonal) {
    const int64_t type = GetParam();
    const int64_t l = std::abs(type);
    const int64_t n = type < 0 ? 2 * l + 1 : (l + 1) * (l + 2) / 2;
    const auto s = tesvarin::overlap_matrix(two_centres(type, 0, 0.9, 1.1, 0.7, n + 1));
    for (int64_t i = 0; i < n; ++i) EXPECT_NEAR(s[static_cast<size_t>(i * (n + 2))], 1.0, 1e-13) << "function " << i;
    for (int64_t i = 0; i <= n; ++i)
        for (int64_t j = 0; j <= n; ++j)
            EXPECT_EQ(s[static_cast<size_t>(i * (n + 1) + j)], s[static_cast<size_t>(j * (n + 1) + i)]);
}

INSTANTIATE_TEST_SUITE_P(Kinds, NormalisedShell, ::testing::Values(2, -2, 3, -3, 4, -4, 5, -5, 6, -6));

TEST(Overlap, ABasisPastTheLimitIsRefusedBeforeTheMatrixIsMade) {
    ChkParams::Mol mol;
    const int64_t n = (int64_t{1} << 14) + 1;
    mol.natoms = 1, mol.nbasis = n, mol.NShell = n;
    mol.bparams.shelltypes.assign(static_cast<size_t>(n), 0);
    mol.bparams.shellnprim.assign(static_cast<size_t>(n), 1);
    mol.bparams.primexp.assign(static_cast<size_t>(n), 1.0);
    mol.concoeff.assign(static_cast<size_t>(n), 1.0);
    mol.cshell.assign(static_cast<size_t>(3 * n), 0.0);
    try {
        tesvarin::overlap_matrix(mol);
        FAIL() << "no refusal";
    } catch (const _Error& e) {
        EXPECT_NE(std::string(e.what()).find("the overlap of 16385 basis functions is not formed (at most 16384)"),
                  std::string::npos)
            << e.what();
    }
}

}  // namespace
