#include "tesvarin/basis/normalisation.hpp"

#include <algorithm>
#include <cmath>

#include "tesvarin/error.hpp"

namespace {
constexpr double kPi = 3.141592653589793;
constexpr double kTwoPiSquared = 19.739208802178716;
constexpr int kMaxL = 13;
constexpr int kMaxM = 2 * kMaxL;
}  // namespace

double PrmNrm(int64_t IType, int64_t L, double a, double b) {
    if (IType == 0) return 1.0;
    if (IType != 1 && IType != 2) TESVARIN_THROW("Illegal IType in PrmNrm");
    if (L > kMaxL || L < 0) TESVARIN_THROW(" out of range in PrmNrm");

    // I[k][i][m]: x^k on the first primitive, x^i on the second, auxiliary order m.
    // Only the entries the recurrences below write are ever read.
    double I[kMaxL + 1][kMaxL + 1][kMaxM + 1];
    const int n = static_cast<int>(L);
    const double p = a + b;
    const int mtop = std::max(n + 3, 2 * n);
    if (IType == 1) {
        const double t = kPi / p;
        const double base = t * std::sqrt(t);
        for (int m = 0; m <= mtop; ++m) I[0][0][m] = base;
    } else {
        const double base = std::sqrt(kPi / p) * kTwoPiSquared / (a * b);
        for (int m = 0; m <= mtop; ++m) I[0][0][m] = base / (2 * m + 1);
    }

    const double ha = 0.5 / a, ra = (b * ha) / p;
    const double hb = 0.5 / b, rb = (a * hb) / p;
    const double hp = 0.5 / p;
    for (int k = 1; k <= n; k += 2) {
        for (int m = 0; m <= n; ++m) I[k][0][m] = 0.0;
    }
    for (int k = 2; k <= n; k += 2) {
        for (int m = 0; m <= 2 * n - k; ++m) {
            I[k][0][m] = (I[k - 2][0][m] * ha - I[k - 2][0][m + 1] * ra) * (k - 1);
        }
    }
    if (n == 0) return I[0][0][0];

    for (int m = 0; m <= n - 1; ++m) {
        I[0][1][m] = 0.0;
        for (int k = 1; k <= n; ++k) I[k][1][m] = (k * hp) * I[k - 1][0][m + 1];
    }
    for (int i = 2; i <= n; ++i) {
        for (int m = 0; m <= n - i; ++m) {
            I[0][i][m] = (I[0][i - 2][m] * hb - I[0][i - 2][m + 1] * rb) * (i - 1);
        }
    }
    for (int k = 1; k <= n; ++k) {
        for (int i = 2; i <= n; ++i) {
            for (int m = 0; m <= n - i; ++m) {
                I[k][i][m] =
                    (I[k][i - 2][m] * hb - I[k][i - 2][m + 1] * rb) * (i - 1) + I[k - 1][i - 1][m + 1] * (k * hp);
            }
        }
    }
    return I[n][n][0];
}

void NormCC(int64_t IType, int64_t /*shell*/, int64_t /*spare*/, int64_t L, int64_t n, const double* exps,
            std::vector<double>& cvec, const std::vector<double>& primNorms) {
    if (n <= 0) TESVARIN_THROW("Unable to normalize a contracted basis function");
    double S = cvec[0] * cvec[0] * primNorms[0];
    for (int64_t i = 1; i < n; ++i) {
        S += cvec[i] * cvec[i] * primNorms[i];
        for (int64_t j = 0; j < i; ++j) S += PrmNrm(IType, L, exps[i], exps[j]) * (2 * cvec[i] * cvec[j]);
    }
    if (S < 1e-30) TESVARIN_THROW("Unable to normalize a contracted basis function");
    const double scale = 1.0 / std::sqrt(S);
    for (int64_t i = 0; i < n; ++i) cvec[i] *= scale;
}
