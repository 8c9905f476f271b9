// The grid evaluator's hot loops, built twice and picked at load time. The two below are
// declared plain: their one definition (src/grid/kernels.cpp) carries the builds and the
// load-time choice, which every caller reaches through the plain name.
#pragma once

#include <cstdint>

// The hot loops come in two builds, picked at load time: AVX2 with FMA where the processor
// has them, and the compiler's default.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && !defined(TESVARIN_SANITIZE)
#define TESVARIN_HOT __attribute__((target_clones("arch=x86-64-v3", "default")))
#else
#define TESVARIN_HOT
#endif

namespace tesvarin {

// exp(x) for x <= 0, four at a time over n rounded up to a multiple of 4: x = k ln2 + r with
// |r| <= ln2 / 2, a degree-13 Taylor polynomial for exp(r) (truncation below 2e-17 relative)
// and 2^k put into the exponent bits. Below -708 the result is 0.
void exp_array(const double* x, double* out, int64_t n);

// phi (k rows, kBlockPoints apart) = w^T chi over the first np points (rounded up to 8), or
// phi += w^T chi with `accumulate`: row active[a] of w holds the k weights of the function whose
// values are row a of chi (kBlockPoints apart). Four combinations times eight points stay in
// registers while the functions are summed.
void combine(const double* w, const int64_t* active, const double* chi, int64_t nact, int64_t k, int64_t np,
             double* phi, bool accumulate);

}  // namespace tesvarin
