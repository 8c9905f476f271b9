// The writers promise output identical to glibc snprintf, so snprintf is the
// oracle here: hand-picked values that are easy to get wrong, then a large
// randomized comparison aimed at rounding boundaries.
#include "tesvarin/write/number_format.hpp"

#include <gtest/gtest.h>

#include <cinttypes>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

using tesvarin::append_fixed;
using tesvarin::append_int;
using tesvarin::append_sci;
using tesvarin::append_uint;

// About 3 s even under AddressSanitizer at -O0, so sanitizer builds run the full count.
constexpr int kRandomDoubles = 1'000'000;
constexpr int kRandomIntegers = 1'000'000;
constexpr int kFastPathDoubles = 2'000'000;

std::string printf_string(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string printf_string(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string text(std::size_t(length) + 1, '\0');
    std::vsnprintf(&text[0], text.size(), format, again);
    va_end(again);
    text.resize(std::size_t(length));
    return text;
}

std::string sci(double v, int width, int precision) {
    std::string out;
    append_sci(out, v, width, precision);
    return out;
}

std::string fixed(double v, int width, int precision) {
    std::string out;
    append_fixed(out, v, width, precision);
    return out;
}

std::string integer(int64_t v, int width) {
    std::string out;
    append_int(out, v, width);
    return out;
}

double from_bits(uint64_t bits) {
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

uint64_t to_bits(double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return bits;
}

double parse(const std::string& text) { return std::strtod(text.c_str(), nullptr); }

const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();

// Values that have broken printf replacements before: signs of zero and NaN,
// carries into a new power of ten, exponents of three digits, denormals.
// clang-format off: a list of values, kept dense
const std::vector<double> kEdgeValues = {
    0.0, -0.0, 1.0, -1.0, 0.1, 0.5, 1.5, 2.5, 1e-5, 123456789.0,
    9.999999999e5, -9.999999999e5, 9.99999999e5, 9.999999995e5, 9.9999999949e5, 9.9999999999999999e15,
    0.5e-99, 9.9999999995e-100, 1e100, -1e-100, 1e-100, 1e99, 9.9999999995e99, 1e300, -1e300, 1e-300,
    1e22, 1e23, 5e-324, -5e-324, 2.2250738585072009e-308, 2.2250738585072014e-308, 1e-310, 1.7976931348623157e308,
    -1.7976931348623157e308, 0.125, 0.375, 1234567885.0, 1234567895.0, 0.00000000499999999, 0.000000005,
    0.000000015, 0.000000025, -0.000000005, 999999.999999995, 99.999999995, 4503599627370495.5,
    kInf, -kInf, kNaN, -kNaN, from_bits(0x7FF0000000000001), from_bits(0xFFF0000000000001),
};
// clang-format on

TEST(NumberFormatTest, EdgeValuesMatchPrintfAcrossWidthsAndPrecisions) {
    const int widths[] = {0, 1, 4, 12, 16, 22, 40, -16, -30};
    const int precisions[] = {0, 1, 6, 8, 15, 16, 17, 25, -1};
    for (double v : kEdgeValues) {
        for (int w : widths) {
            for (int p : precisions) {
                SCOPED_TRACE(printf_string("bits 0x%016" PRIx64 " width %d precision %d", to_bits(v), w, p));
                EXPECT_EQ(sci(v, w, p), printf_string("%*.*E", w, p, v));
                EXPECT_EQ(fixed(v, w, p), printf_string("%*.*f", w, p, v));
            }
        }
    }
}

// Precisions past the stack buffer, and the longest fixed output of all.
TEST(NumberFormatTest, LongOutputsMatchPrintf) {
    const double values[] = {0.1, -1.7976931348623157e308, 5e-324, 1e-300, 2.0 / 3.0, -0.0};
    for (double v : values) {
        for (int p : {60, 380, 500, 1100}) {
            SCOPED_TRACE(printf_string("bits 0x%016" PRIx64 " precision %d", to_bits(v), p));
            EXPECT_EQ(sci(v, 16, p), printf_string("%16.*E", p, v));
            EXPECT_EQ(fixed(v, 12, p), printf_string("%12.*f", p, v));
            EXPECT_EQ(sci(v, 1200, p), printf_string("%1200.*E", p, v));
        }
    }
}

TEST(NumberFormatTest, AppendsWithoutDisturbingExistingText) {
    std::string out = "head:";
    append_sci(out, -1.5, 16, 8);
    append_fixed(out, 2.25, 12, 8);
    append_int(out, -42, 4);
    append_uint(out, 7, 3);
    append_sci(out, -kInf, 5, 8);
    out += '\n';
    EXPECT_EQ(out, "head: -1.50000000E+00  2.25000000 -42  7 -INF\n");
}

// Produces doubles that concentrate on the places where formatting goes
// wrong; every kind is emitted in turn so each gets an equal share.
class AdversarialDoubles {
public:
    explicit AdversarialDoubles(uint64_t seed) : rng_(seed) {}

    double next() {
        double v = 0.0;
        switch (kind_++ % 9) {
            case 0:
                v = from_bits(rng_());
                break;  // anything: NaN payloads, inf, denormals
            case 1:
                v = from_bits(rng_() & 0x800FFFFFFFFFFFFFull);
                break;  // denormals
            case 2:
                v = near_power_of_ten();
                break;
            case 3:
                v = near_decimal_tie(kTieDigits[rng_() % 3]);
                break;
            case 4:
                v = exact_decimal_tie(kTieDigits[rng_() % 3]);
                break;
            case 5:
                v = near_fixed_tie();
                break;
            case 6:
                v = std::ldexp(double(rng_() >> 11 | 1), -9 - int(rng_() % 4));
                break;  // exact %.8f ties
            case 7:
                v = realistic();
                break;
            default:
                v = near_listed();
                break;
        }
        return (rng_() & 1) ? -v : v;
    }

private:
    static constexpr int kTieDigits[3] = {6, 9, 16};  // %.5E, %.8E, %.15E

    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }

    double nudge(double v) {
        for (int steps = pick(-3, 3); steps != 0; steps += steps < 0 ? 1 : -1)
            v = std::nextafter(v, steps < 0 ? 0.0 : kInf);
        return v;
    }

    std::string digits(int count) {
        std::string text;
        for (int i = 0; i < count; ++i) text += char('0' + rng_() % 10);
        return text;
    }

    // 10^k itself and the 9.99...9[5] values on either side of the carry into it.
    double near_power_of_ten() {
        const int exponent = pick(-325, 308);
        std::string text;
        switch (rng_() % 3) {
            case 0:
                text = "1e" + std::to_string(exponent);
                break;
            case 1:
                text = "9." + std::string(std::size_t(pick(4, 16)), '9') + "5e" + std::to_string(exponent);
                break;
            default:
                text = "9." + std::string(std::size_t(pick(4, 16)), '9') + "e" + std::to_string(exponent);
                break;
        }
        return nudge(parse(text));
    }

    // Nearest double to a decimal half-way point at `significant` digits.
    double near_decimal_tie(int significant) {
        const std::string text =
            std::to_string(pick(1, 9)) + "." + digits(significant - 1) + "5e" + std::to_string(pick(-320, 305));
        return nudge(parse(text));
    }

    // Doubles that sit exactly on a half-way point at `significant` digits:
    // odd N * 2^-j has decimal digits N * 5^j, which always end in 5.
    double exact_decimal_tie(int significant) {
        const int j = pick(significant > 10 ? 2 : 0, 20);
        const double five_j = std::pow(5.0, j);
        const uint64_t lo = uint64_t(std::ceil(std::pow(10.0, significant) / five_j));
        const uint64_t hi = uint64_t(std::min(std::pow(10.0, significant + 1) / five_j, 9007199254740991.0));
        if (hi < lo + 2) return std::ldexp(double(rng_() >> 11 | 1), -j);
        const uint64_t n = (lo + rng_() % (hi - lo)) | 1;  // n * 5^j still below 10^(significant + 1)
        return std::ldexp(double(n), -j);
    }

    // Decimal half-way points at the 8th decimal place, as %12.8f sees them.
    double near_fixed_tie() {
        const std::string text = digits(pick(1, 18)) + "." + digits(8) + "5";
        return nudge(parse(text));
    }

    // What a checkpoint actually holds: moderate magnitudes, full mantissas.
    double realistic() {
        std::uniform_real_distribution<double> mantissa(1.0, 10.0);
        return mantissa(rng_) * std::pow(10.0, pick(-30, 30));
    }

    double near_listed() {
        // clang-format off: a list of values, kept dense
        static const double listed[] = {0.5e-99, 9.9999999995e-100, 1e100, 1e-100, 9.999999999e5, 5e-324,
                                        2.2250738585072014e-308, 1.7976931348623157e308, 1e-8, 5e-9};
        // clang-format on
        return nudge(listed[rng_() % (sizeof listed / sizeof listed[0])]);
    }

    std::mt19937_64 rng_;
    unsigned kind_ = 0;
};

std::string describe(double v) { return printf_string("%.17g (bits 0x%016" PRIx64 ")", v, to_bits(v)); }
std::string describe(int64_t v) { return std::to_string(v); }
std::string describe(uint64_t v) { return std::to_string(v); }

// Reports at most a handful of mismatches so a systematic fault stays readable.
class MismatchLog {
public:
    bool full() const { return count_ >= 10; }

    template <class T>
    void check(const std::string& ours, const char* theirs, const char* format, T value) {
        if (ours == theirs) return;
        ++count_;
        ADD_FAILURE() << format << " of " << describe(value) << ": got \"" << ours << "\", printf gives \"" << theirs
                      << "\"";
    }

private:
    int count_ = 0;
};

TEST(NumberFormatTest, RandomDoublesMatchPrintf) {
    AdversarialDoubles values(0x5eed'cafe'f00dULL);
    MismatchLog log;
    std::string ours;
    char theirs[512];
    for (int i = 0; i < kRandomDoubles && !log.full(); ++i) {
        const double v = values.next();

        ours.clear();
        append_sci(ours, v, 16, 8);
        std::snprintf(theirs, sizeof theirs, "%16.8E", v);
        log.check(ours, theirs, "%16.8E", v);

        ours.clear();
        append_sci(ours, v, 22, 15);
        std::snprintf(theirs, sizeof theirs, "%22.15E", v);
        log.check(ours, theirs, "%22.15E", v);

        ours.clear();
        append_fixed(ours, v, 12, 8);
        std::snprintf(theirs, sizeof theirs, "%12.8f", v);
        log.check(ours, theirs, "%12.8f", v);
    }
}

// The fixed-width writer of the fchk arrays, and %22.15E, on millions more values:
// their fast path decides rounding from a 128-bit product and must defer every
// case it cannot prove.
TEST(NumberFormatTest, FastScientificPathMatchesPrintf) {
    AdversarialDoubles values(0xfa57'0e16'0815ULL);
    MismatchLog log;
    std::string ours;
    char theirs[512], fixed16[17] = {};
    for (int i = 0; i < kFastPathDoubles && !log.full(); ++i) {
        const double v = values.next();
        tesvarin::format_sci16_8(fixed16, v);
        std::snprintf(theirs, sizeof theirs, "%16.8E", v);
        log.check(fixed16, theirs, "%16.8E", v);

        ours.clear();
        append_sci(ours, v, 22, 15);
        std::snprintf(theirs, sizeof theirs, "%22.15E", v);
        log.check(ours, theirs, "%22.15E", v);

        ours.clear();  // the cube files' values
        append_sci(ours, v, 13, 5);
        std::snprintf(theirs, sizeof theirs, "%13.5E", v);
        log.check(ours, theirs, "%13.5E", v);
    }
}

TEST(NumberFormatTest, RandomIntegersMatchPrintf) {
    std::mt19937_64 rng(0x1234'5678'9abcULL);
    MismatchLog log;
    std::string ours;
    char theirs[64];
    for (int i = 0; i < kRandomIntegers && !log.full(); ++i) {
        // Shifting spreads the digit counts evenly instead of nearly always 19.
        const uint64_t raw = rng() >> (rng() % 64);
        const int64_t v = int64_t((rng() & 1) ? 0 - raw : raw);

        ours.clear();
        append_int(ours, v, 12);
        std::snprintf(theirs, sizeof theirs, "%12" PRId64, v);
        log.check(ours, theirs, "%12ld", v);

        ours.clear();
        append_int(ours, v, 4);
        std::snprintf(theirs, sizeof theirs, "%4lld", static_cast<long long>(v));
        log.check(ours, theirs, "%4lld", v);

        ours.clear();
        append_uint(ours, raw, 12);
        std::snprintf(theirs, sizeof theirs, "%12zu", static_cast<std::size_t>(raw));
        log.check(ours, theirs, "%12zu", raw);
    }
    for (int64_t v : {INT64_MIN, INT64_MIN + 1, INT64_MAX, int64_t(0), int64_t(-1)}) {
        EXPECT_EQ(integer(v, 12), printf_string("%12" PRId64, v));
        EXPECT_EQ(integer(v, 4), printf_string("%4lld", static_cast<long long>(v)));
    }
}

}  // namespace
