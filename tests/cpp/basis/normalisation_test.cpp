// Primitive and contraction norms, and coefficient access by angular momentum.
#include "tesvarin/basis/normalisation.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "chk_builder.hpp"

using namespace chk;

TEST(Norms, PrmNrmReferenceValuesAndClosedForm) {
    EXPECT_NEAR(PrmNrm(1, 2, 0.3, 0.3) / 24.9606962939, 1, 1e-12);
    EXPECT_NEAR(PrmNrm(2, 0, 1, 1) / 24.739429451193143, 1, 1e-12);
    EXPECT_NEAR(PrmNrm(2, 1, 1, 1), 2.0616191209, 1e-10);
    EXPECT_NEAR(PrmNrm(2, 2, 1, 1), 5.0509668463, 1e-10);
    for (const auto& [a, b] : {std::pair{0.3, 0.3}, {1.7, 0.2}, {40.0, 0.05}}) {
        double closed = std::pow(M_PI / (a + b), 1.5);  // (pi/p)^(3/2) (2L-1)!! / (2p)^L
        for (int L = 0; L <= 13; ++L) {
            if (L > 0) closed *= (2 * L - 1) / (2 * (a + b));
            EXPECT_NEAR(PrmNrm(1, L, a, b) / closed, 1, 1e-12) << L << " " << a << " " << b;
            EXPECT_NEAR(PrmNrm(2, L, a, b) / PrmNrm(2, L, b, a), 1, 1e-13) << L;
        }
    }
    EXPECT_EQ(std::make_pair(PrmNrm(0, 50, 1, 2), PrmNrm(0, -1, 1, 2)), std::make_pair(1.0, 1.0));
    EXPECT_EQ(what_of([] { PrmNrm(3, 0, 1, 1); }), err("PrmNrm", "Illegal IType in PrmNrm"));
    for (int L : {14, -1}) EXPECT_EQ(what_of([&] { PrmNrm(1, L, 1, 1); }), err("PrmNrm", " out of range in PrmNrm"));
}

TEST(Norms, NormCCGivesUnitNorm) {
    const double e[3] = {1.3, 0.9, 0.15};
    std::vector<double> one{-0.7, 5.0};
    NormCC(1, 0, 0, 2, 1, e, one, {PrmNrm(1, 2, e[0], e[0])});
    EXPECT_DOUBLE_EQ(one[0], -1 / std::sqrt(PrmNrm(1, 2, e[0], e[0])));
    EXPECT_EQ(one[1], 5.0);  // past n: untouched
    for (int64_t type : {1, 2}) {
        for (int64_t L : {0, 3}) {
            std::vector<double> c{0.2, -0.5, 0.9}, p;
            for (double x : e) p.push_back(PrmNrm(type, L, x, x));
            NormCC(type, 0, 0, L, 3, e, c, p);
            double s = 0;
            for (int i = 0; i < 3; ++i)
                for (int j = 0; j < 3; ++j) s += c[i] * c[j] * PrmNrm(type, L, e[i], e[j]);
            EXPECT_NEAR(s, 1, 1e-13) << type << " " << L;
        }
    }
    std::vector<double> zero{0.0, 0.0};
    for (int64_t n : {2, 0}) {
        EXPECT_EQ(what_of([&] { NormCC(1, 0, 0, 0, n, e, zero, {1, 1}); }),
                  err("NormCC", "Unable to normalize a contracted basis function"));
    }
}

TEST(ShellCodes, GetPutCoefficientsByAngularMomentum) {
    Tesvarin t(minimal().write("ccb.chk"));
    auto& m = TesvarinTestAccess::params(t).mol;
    auto& b = m.bparams;
    // Shells S(2 primitives), P, SP, SPD, D(3), F; the arrays hold 10+i, 20+i, 30+i and 40+i.
    m.NShell = 6;
    b.shelltypes = {0, 1, 1, 2, 2, 3}, b.shellcons = {0, 1, 0, 0, 2, 3}, b.shellnprim = {2, 1, 1, 1, 3, 1};
    b.primstart = {1, 3, 4, 5, 6, 9}, b.dfstart = {0, 0, 0, 1, 2, 5};
    for (auto [v, base] : {std::pair{&b.coefs, 10}, {&b.coefp, 20}, {&b.coefd, 30}, {&b.coefhi, 40}}) {
        v->resize(base < 30 ? 9 : 5);
        for (size_t i = 0; i < v->size(); ++i) (*v)[i] = base + i;
    }
    const std::map<std::pair<int, int>, std::vector<double>> allowed{
        {{0, 0}, {10, 11}}, {{1, 1}, {22}}, {{2, 0}, {13}},         {{2, 1}, {23}}, {{3, 0}, {14}},
        {{3, 1}, {24}},     {{3, 2}, {30}}, {{4, 2}, {31, 32, 33}}, {{5, 3}, {44}}};
    for (int shell = 0; shell < 6; ++shell) {
        for (int L = -1; L <= 4; ++L) {
            const auto it = allowed.find({shell, L});
            if (it == allowed.end()) {
                EXPECT_EQ(what_of([&] { t.GetCCB(shell, L); }), err("GetCCB", "L out of range in GetCCB")) << L;
                EXPECT_EQ(what_of([&] { t.PutCCB(shell, L, std::vector<double>(100)); }),
                          err("PutCCB", "L out of range in PutCCB"));
                continue;
            }
            std::vector<double> want = it->second;
            want.resize(100, 0.0);
            EXPECT_EQ(t.GetCCB(shell, L), want) << shell << " " << L;
            for (double& x : want) x = -x;
            t.PutCCB(shell, L, want);
            EXPECT_EQ(t.GetCCB(shell, L), want);
        }
    }
    EXPECT_EQ(b.coefs[2], 12);  // neighbours untouched
    for (int64_t shell : {-1, 6}) {
        EXPECT_EQ(what_of([&] { t.GetCCB(shell, 0); }), err("GetCCB", "Bad arguments to GetCCB"));
        EXPECT_EQ(what_of([&] { t.PutCCB(shell, 0, {}); }), err("PutCCB", "Bad arguments to PutCCB"));
    }
    EXPECT_EQ(what_of([&] { t.PutCCB(4, 2, {1, 2}); }), err("copy_vec", "copy_vec: src out of range"));
    b.primstart[0] = 9;
    EXPECT_EQ(what_of([&] { t.GetCCB(0, 0); }), err("copy_vec", "copy_vec: src out of range"));
    b.primstart[0] = 1, b.shellnprim[0] = 101, b.coefs.resize(200);
    EXPECT_EQ(what_of([&] { t.GetCCB(0, 0); }), err("copy_vec", "copy_vec: dst out of range"));
}
