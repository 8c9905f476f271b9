#include "tesvarin/grid/kernels.hpp"

#include <cstring>

#include "tesvarin/grid/grid_eval.hpp"

namespace tesvarin {
namespace {

// Four doubles; the compiler maps it to whatever vector registers the build has. The helpers
// that pass them by value are inlined and local to this file, so the calling convention of
// 32-byte vectors, which differs with and without AVX, never matters.
#pragma GCC diagnostic ignored "-Wpsabi"
typedef double Vec4 __attribute__((vector_size(32)));
typedef int64_t Int4 __attribute__((vector_size(32)));

inline __attribute__((always_inline)) Vec4 load4(const double* p) {
    Vec4 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
inline __attribute__((always_inline)) void store4(double* p, Vec4 v) { std::memcpy(p, &v, sizeof v); }

}  // namespace

TESVARIN_HOT void exp_array(const double* x, double* out, int64_t n) {
    constexpr double kLog2e = 1.4426950408889634, kLn2Hi = 0.6931471805598903, kLn2Lo = 5.497923018708371e-14;
    constexpr double kShifter = 6755399441055744.0;  // 1.5 2^52: adding it rounds to an integer
    constexpr int64_t kShifterBits = 0x4338000000000000LL;
    constexpr double kInverseFactorials[14] = {1.0 / 6227020800.0,
                                               1.0 / 479001600.0,
                                               1.0 / 39916800.0,
                                               1.0 / 3628800.0,
                                               1.0 / 362880.0,
                                               1.0 / 40320.0,
                                               1.0 / 5040.0,
                                               1.0 / 720.0,
                                               1.0 / 120.0,
                                               1.0 / 24.0,
                                               1.0 / 6.0,
                                               0.5,
                                               1.0,
                                               1.0};
    for (int64_t i = 0; i < n; i += 4) {
        const Vec4 xi = load4(x + i);
        const Int4 live = xi >= -708.0;
        const Vec4 v = live ? xi : Vec4{} - 708.0;
        const Vec4 kd = v * kLog2e + kShifter;
        const Vec4 k = kd - kShifter;
        const Vec4 r = (v - k * kLn2Hi) - k * kLn2Lo;
        Vec4 p = Vec4{} + kInverseFactorials[0];
        for (int j = 1; j < 14; ++j) p = p * r + kInverseFactorials[j];
        Int4 bits;
        std::memcpy(&bits, &kd, sizeof bits);
        const Int4 scale_bits = (bits - kShifterBits + 1023) << 52;
        Vec4 scale;
        std::memcpy(&scale, &scale_bits, sizeof scale);
        store4(out + i, live ? p * scale : Vec4{});
    }
}

TESVARIN_HOT void combine(const double* w, const int64_t* active, const double* chi, int64_t nact, int64_t k,
                          int64_t np, double* phi, bool accumulate) {
    for (int64_t p = 0; p < np; p += 8) {
        int64_t j = 0;
        for (; j + 4 <= k; j += 4) {
            Vec4 acc[4][2] = {};
            if (accumulate)
                for (int q = 0; q < 4; ++q) {
                    acc[q][0] = load4(phi + (j + q) * kBlockPoints + p);
                    acc[q][1] = load4(phi + (j + q) * kBlockPoints + p + 4);
                }
            for (int64_t a = 0; a < nact; ++a) {
                const Vec4 x0 = load4(chi + a * kBlockPoints + p), x1 = load4(chi + a * kBlockPoints + p + 4);
                const double* wa = w + active[a] * k + j;
                for (int q = 0; q < 4; ++q) {
                    acc[q][0] += wa[q] * x0;
                    acc[q][1] += wa[q] * x1;
                }
            }
            for (int q = 0; q < 4; ++q) {
                store4(phi + (j + q) * kBlockPoints + p, acc[q][0]);
                store4(phi + (j + q) * kBlockPoints + p + 4, acc[q][1]);
            }
        }
        for (; j < k; ++j) {
            Vec4 acc0 = {}, acc1 = {};
            if (accumulate) acc0 = load4(phi + j * kBlockPoints + p), acc1 = load4(phi + j * kBlockPoints + p + 4);
            for (int64_t a = 0; a < nact; ++a) {
                acc0 += w[active[a] * k + j] * load4(chi + a * kBlockPoints + p);
                acc1 += w[active[a] * k + j] * load4(chi + a * kBlockPoints + p + 4);
            }
            store4(phi + j * kBlockPoints + p, acc0);
            store4(phi + j * kBlockPoints + p + 4, acc1);
        }
    }
}

}  // namespace tesvarin
