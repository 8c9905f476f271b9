// Times snprintf against tesvarin::append_* on the formats the text writers use,
// and checks that both produce the same bytes. Build and run: see README.md.
#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "tesvarin/write/number_format.hpp"

namespace {

constexpr std::size_t kCount = 5'000'000;
constexpr int kRepeats = 3;

// Best of kRepeats, in seconds; `fill` rebuilds `out` from scratch each time.
template <class Fill>
double best_time(std::string& out, Fill fill) {
    double best = 1e300;
    for (int r = 0; r < kRepeats; ++r) {
        out.clear();
        const auto start = std::chrono::steady_clock::now();
        fill(out);
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        best = std::min(best, elapsed.count());
    }
    return best;
}

// Prints one result line; returns false if the two outputs differ.
bool report(const char* format, const std::string& reference, double reference_time, const std::string& fast,
            double fast_time) {
    const bool same = reference == fast;
    std::printf("%-8s snprintf %7.3f s   tesvarin %7.3f s   ratio %5.2fx   %s\n", format, reference_time, fast_time,
                reference_time / fast_time, same ? "identical" : "OUTPUT DIFFERS");
    return same;
}

}  // namespace

int main() {
    std::mt19937_64 rng(20240607);

    // Something like checkpoint contents: signed mantissas over a spread of
    // magnitudes, with some exact zeros.
    std::vector<double> doubles(kCount);
    std::normal_distribution<double> mantissa(0.0, 1.0);
    std::uniform_int_distribution<int> exponent(-12, 12);
    for (double& d : doubles) d = (rng() % 16 == 0) ? 0.0 : mantissa(rng) * std::pow(10.0, exponent(rng));

    std::vector<int64_t> ints(kCount);
    for (int64_t& i : ints) i = int64_t(rng()) >> (rng() % 64);

    bool ok = true;
    std::string reference, fast;
    reference.reserve(kCount * 23);
    fast.reserve(kCount * 23);

    {
        const double t_ref = best_time(reference, [&](std::string& out) {
            char buf[64];
            for (double d : doubles) out.append(buf, std::size_t(std::snprintf(buf, sizeof buf, "%16.8E", d)));
        });
        const double t_fast = best_time(fast, [&](std::string& out) {
            for (double d : doubles) tesvarin::append_sci(out, d, 16, 8);
        });
        ok &= report("%16.8E", reference, t_ref, fast, t_fast);
    }
    {
        const double t_ref = best_time(reference, [&](std::string& out) {
            char buf[64];
            for (double d : doubles) out.append(buf, std::size_t(std::snprintf(buf, sizeof buf, "%22.15E", d)));
        });
        const double t_fast = best_time(fast, [&](std::string& out) {
            for (double d : doubles) tesvarin::append_sci(out, d, 22, 15);
        });
        ok &= report("%22.15E", reference, t_ref, fast, t_fast);
    }
    {
        const double t_ref = best_time(reference, [&](std::string& out) {
            char buf[64];
            for (int64_t i : ints) out.append(buf, std::size_t(std::snprintf(buf, sizeof buf, "%12" PRId64, i)));
        });
        const double t_fast = best_time(fast, [&](std::string& out) {
            for (int64_t i : ints) tesvarin::append_int(out, i, 12);
        });
        ok &= report("%12ld", reference, t_ref, fast, t_fast);
    }
    return ok ? EXIT_SUCCESS : EXIT_FAILURE;
}
