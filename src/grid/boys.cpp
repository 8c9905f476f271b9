#include "tesvarin/grid/boys.hpp"

#include <cmath>
#include <vector>

#include "tesvarin/grid/kernels.hpp"

namespace tesvarin {
namespace {

constexpr double kStep = 0.1;     // table spacing in T
constexpr int kTaylor = 9;        // terms of the Taylor series about a table point
constexpr double kFarStart = 36;  // F_0 = sqrt(pi / T) / 2 from here on
// The upward recursion needs (2n + 1) F_n well above exp(-T): T beyond 36 + n keeps the
// subtraction within a few units of the last place up to n = kMaxBoysOrder.
constexpr double kTableEnd = kFarStart + kMaxBoysOrder + 1;
constexpr int kColumns = kMaxBoysOrder + kTaylor + 1;
constexpr int kRows = static_cast<int>(kTableEnd / kStep) + 2;

// F_0 .. F_(kColumns - 1) and exp(-T) at T = i * kStep: the highest order from its series
// exp(-T) sum_k (2T)^k / ((2n + 1)(2n + 3) ... (2n + 2k + 1)), whose terms are all positive, the
// others by the downward recursion.
struct Table {
    std::vector<double> f;             // kRows x kColumns
    std::vector<double> e;             // exp(-T)
    double inverse[2 * kColumns + 2];  // 1 / k
    Table() : f(static_cast<size_t>(kRows) * kColumns), e(static_cast<size_t>(kRows)) {
        inverse[0] = 0.0;
        for (int k = 1; k < 2 * kColumns + 2; ++k) inverse[k] = 1.0 / k;
        for (int i = 0; i < kRows; ++i) {
            const double t = i * kStep;
            const double et = std::exp(-t);
            const int top = kColumns - 1;
            double term = 1.0 / (2 * top + 1), sum = term;
            for (int k = 1; k < 2000 && term > 1e-18 * sum; ++k) {
                term *= 2 * t / (2 * top + 2 * k + 1);
                sum += term;
            }
            double* row = f.data() + static_cast<size_t>(i) * kColumns;
            row[top] = et * sum;
            for (int n = top - 1; n >= 0; --n) row[n] = (2 * t * row[n + 1] + et) / (2 * n + 1);
            e[static_cast<size_t>(i)] = et;
        }
    }
};

const Table& table() {
    static const Table t;
    return t;
}

}  // namespace

double boys_table_end(int n) { return kFarStart + n; }

void boys(int n, double t, double* f) {
    const Table& tab = table();
    if (t < kFarStart + n) {
        const int i = static_cast<int>(t * (1.0 / kStep) + 0.5);
        const double d = t - i * kStep;  // |d| <= kStep / 2
        const double* row = tab.f.data() + static_cast<size_t>(i) * kColumns;
        // F_n(T0 + d) = sum_k F_(n+k)(T0) (-d)^k / k!, by Horner from the last term.
        double s = row[n + kTaylor - 1];
        for (int k = kTaylor - 1; k >= 1; --k) s = row[n + k - 1] - d * s * tab.inverse[k];
        f[n] = s;
        if (n == 0) return;
        double ed = 1.0;  // exp(-d), |d| <= 0.05: ten terms leave 1e-19
        for (int k = 10; k >= 1; --k) ed = 1.0 - d * ed * tab.inverse[k];
        const double et = tab.e[static_cast<size_t>(i)] * ed;
        for (int m = n - 1; m >= 0; --m) f[m] = (2 * t * f[m + 1] + et) * tab.inverse[2 * m + 1];
        return;
    }
    f[0] = 0.5 * std::sqrt(M_PI / t);
    if (n == 0) return;
    const double et = t < 745 ? std::exp(-t) : 0.0, inv = 0.5 / t;
    for (int m = 0; m < n; ++m) f[m + 1] = ((2 * m + 1) * f[m] - et) * inv;
}

TESVARIN_HOT void boys_lanes(int n, const double* t, double* f) {
    constexpr int w = kBoysLanes;
    bool far = true;
    for (int l = 0; l < w; ++l) far = far && t[l] >= kFarStart + n;
    if (!far) {
        double one[kMaxBoysOrder + 1];
        for (int l = 0; l < w; ++l) {
            boys(n, t[l], one);
            for (int m = 0; m <= n; ++m) f[m * w + l] = one[m];
        }
        return;
    }
    for (int l = 0; l < w; ++l) f[l] = 0.5 * std::sqrt(M_PI / t[l]);
    if (n == 0) return;
    double x[w], et[w], inv[w];
    for (int l = 0; l < w; ++l) x[l] = -t[l], inv[l] = 0.5 / t[l];
    exp_array(x, et, w);
    for (int m = 0; m < n; ++m)
        for (int l = 0; l < w; ++l) f[(m + 1) * w + l] = ((2 * m + 1) * f[m * w + l] - et[l]) * inv[l];
}

}  // namespace tesvarin
