#include "tesvarin/write/number_format.hpp"

#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

namespace tesvarin {
namespace {

// A negative "*" precision counts as omitted in printf, which means 6.
constexpr int kDefaultPrecision = 6;

// Enough for the writers' precisions; anything longer goes to the heap.
constexpr std::size_t kStackBuffer = 384;

// printf treats a negative "*" width as the '-' flag plus its magnitude.
void append_padded(std::string& out, const char* text, std::size_t length, int width) {
    const bool left = width < 0;
    const std::size_t magnitude = left ? std::size_t(0) - std::size_t(width) : std::size_t(width);
    const std::size_t pad = magnitude > length ? magnitude - length : 0;
    if (pad == 0) {
        out.append(text, length);
        return;
    }
    if (!left) out.append(pad, ' ');
    out.append(text, length);
    if (left) out.append(pad, ' ');
}

// glibc prints the sign bit of a NaN too, so "-nan" is real printf output.
void append_non_finite(std::string& out, double v, int width, bool upper) {
    const char* text = std::isnan(v) ? (upper ? "-NAN" : "-nan") : (upper ? "-INF" : "-inf");
    if (!std::signbit(v)) ++text;
    append_padded(out, text, std::char_traits<char>::length(text), width);
}

// Holds one to_chars result: on the stack normally, on the heap for absurd precisions.
class Scratch {
public:
    explicit Scratch(std::size_t capacity) : capacity_(capacity) {
        if (capacity > kStackBuffer) {
            heap_.reset(new char[capacity]);
            data_ = heap_.get();
        }
    }
    char* begin() { return data_; }
    char* end() { return data_ + capacity_; }

private:
    char stack_[kStackBuffer];
    std::unique_ptr<char[]> heap_;
    char* data_ = stack_;
    std::size_t capacity_;
};

// Exact %.5E, %.8E and %.15E digits without the general algorithm: |v| 10^k for the k
// that leaves 6, 9 or 16 integer digits, computed as the 53-bit mantissa times a
// 128-bit 10^k rounded down. The product is less than 3 units of its last kept bit
// below the true one, so the digits and their rounding are exact except when the
// discarded part lies within 4 units of one half: then, and for ties, subnormals
// and non-finite values, the exact path decides.
constexpr int kMinPow10 = -302;
constexpr int kMaxPow10 = 326;

struct Pow10 {
    uint64_t hi, lo;  // top bit of hi set
    int exponent;     // 10^k >= (hi 2^64 + lo) 2^exponent > 10^k - 2^exponent
};

// Big unsigned integers, 32-bit limbs, least significant first.
using Limbs = std::vector<uint32_t>;

int bit_length(const Limbs& x) {
    for (std::size_t i = x.size(); i-- > 0;) {
        if (x[i] != 0) return int(32 * i) + 32 - __builtin_clz(x[i]);
    }
    return 0;
}

bool bit_at(const Limbs& x, int bit) { return bit >= 0 && (x[std::size_t(bit) / 32] >> (bit % 32) & 1) != 0; }

// The 128 bits of x from its top bit down (zeros past its end), and 10^k's exponent.
Pow10 top_bits(const Limbs& x, int scale) {
    const int length = bit_length(x);
    Pow10 p{0, 0, length - 128 + scale};
    for (int i = 0; i < 128; ++i) {
        const uint64_t bit = bit_at(x, length - 1 - i) ? 1 : 0;
        if (i < 64)
            p.hi = p.hi << 1 | bit;
        else
            p.lo = p.lo << 1 | bit;
    }
    return p;
}

const std::vector<Pow10>& pow10_table() {
    static const std::vector<Pow10> table = [] {
        std::vector<Pow10> t(std::size_t(kMaxPow10 - kMinPow10 + 1));
        Limbs up{1};  // 10^k
        for (int k = 0; k <= kMaxPow10; ++k) {
            t[std::size_t(k - kMinPow10)] = top_bits(up, 0);
            uint64_t carry = 0;
            for (uint32_t& limb : up) {
                carry += uint64_t(limb) * 10;
                limb = uint32_t(carry), carry >>= 32;
            }
            if (carry != 0) up.push_back(uint32_t(carry));
        }
        constexpr int kScale = 1536;  // floor(2^1536 / 10^n) keeps 128 bits down to 10^-302
        Limbs down(kScale / 32 + 1, 0);
        down.back() = 1;
        for (int k = -1; k >= kMinPow10; --k) {
            uint64_t rest = 0;
            for (std::size_t i = down.size(); i-- > 0;) {
                rest = rest << 32 | down[i];
                down[i] = uint32_t(rest / 10), rest %= 10;
            }
            t[std::size_t(k - kMinPow10)] = top_bits(down, -kScale);
        }
        return t;
    }();
    return table;
}

constexpr uint64_t kPow10[] = {1,
                               10,
                               100,
                               1000,
                               10000,
                               100000,
                               1000000,
                               10000000,
                               100000000,
                               1000000000,
                               10000000000,
                               100000000000,
                               1000000000000,
                               10000000000000,
                               100000000000000,
                               1000000000000000,
                               10000000000000000};

// |v| rounded to `significant` digits (6, 9 or 16) as digits * 10^(exponent - significant + 1).
// v must be finite, normal and nonzero. False when the exact path must decide.
bool round_significant(double v, int significant, uint64_t& digits, int& exponent) {
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    const int biased = int(bits >> 52 & 0x7ff);
    const uint64_t mantissa = (bits & ((uint64_t{1} << 52) - 1)) | uint64_t{1} << 52;
    const int binary = biased - 1075;            // v = mantissa 2^binary
    exponent = ((biased - 1023) * 78913) >> 18;  // floor(log10 2^e2): the exponent or one below
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int k = significant - 1 - exponent;
        if (k < kMinPow10 || k > kMaxPow10) return false;
        const Pow10& p = pow10_table()[std::size_t(k - kMinPow10)];
        const unsigned __int128 top =
            static_cast<unsigned __int128>(mantissa) * p.hi + (static_cast<unsigned __int128>(mantissa) * p.lo >> 64);
        const int shift = -(binary + p.exponent + 64);  // |v| 10^k = top 2^-shift
        if (shift <= 1 || shift >= 128) return false;
        const unsigned __int128 whole = top >> shift;
        if (whole >= kPow10[significant]) {
            ++exponent;
            continue;
        }
        if (whole < kPow10[significant - 1]) return false;
        const unsigned __int128 fraction = top & ((static_cast<unsigned __int128>(1) << shift) - 1);
        const unsigned __int128 half = static_cast<unsigned __int128>(1) << (shift - 1);
        if (fraction + 4 >= half && fraction <= half + 4) return false;
        digits = uint64_t(whole) + (fraction > half ? 1 : 0);
        if (digits == kPow10[significant]) digits = kPow10[significant - 1], ++exponent;
        return true;
    }
    return false;
}

// "-d.dddE+dd" right-aligned in `width` columns (no padding when it is wider).
char* put_sci(char* dst, bool negative, uint64_t digits, int significant, int exponent, int width) {
    const int magnitude = exponent < 0 ? -exponent : exponent;
    const int length = int(negative) + significant + 1 + 2 + (magnitude >= 100 ? 3 : 2);
    for (int i = length; i < width; ++i) *dst++ = ' ';
    if (negative) *dst++ = '-';
    // d.ddd: the fraction digits two at a time from the right, then the point.
    static const char kPairs[] =
        "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
        "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
        "8081828384858687888990919293949596979899";
    char* last = dst + significant - 1;
    if (significant == 9) {  // the arrays' format: 32-bit arithmetic is enough
        auto low = uint32_t(digits);
        for (int i = 0; i < 4; ++i, last -= 2) {
            std::memcpy(last, kPairs + 2 * (low % 100), 2);
            low /= 100;
        }
        digits = low;
    } else {
        for (int i = significant - 1; i > 1; i -= 2, last -= 2) {
            std::memcpy(last, kPairs + 2 * (digits % 100), 2);
            digits /= 100;
        }
        if (significant % 2 == 0) last[1] = char('0' + digits % 10), digits /= 10;
    }
    dst[1] = '.';
    dst[0] = char('0' + digits);
    dst += significant + 1;
    *dst++ = 'E';
    *dst++ = exponent < 0 ? '-' : '+';
    if (magnitude >= 100) *dst++ = char('0' + magnitude / 100);
    *dst++ = char('0' + magnitude / 10 % 10);
    *dst++ = char('0' + magnitude % 10);
    return dst;
}

// The fast path of %W.5E, %W.8E and %W.15E into `dst`; returns the end, or nullptr
// when the exact path must decide.
char* fast_sci(char* dst, double v, int width, int precision) {
    if (precision != 5 && precision != 8 && precision != 15) return nullptr;
    const bool negative = std::signbit(v);
    if (v == 0) return put_sci(dst, negative, 0, precision + 1, 0, width);
    if (!std::isfinite(v) || std::fabs(v) < std::numeric_limits<double>::min()) return nullptr;
    uint64_t digits = 0;
    int exponent = 0;
    if (!round_significant(v, precision + 1, digits, exponent)) return nullptr;
    return put_sci(dst, negative, digits, precision + 1, exponent, width);
}

}  // namespace

void format_sci16_8(char* dst, double v) {
    if (fast_sci(dst, v, 16, 8) != nullptr) return;
    std::string text;
    append_sci(text, v, 16, 8);
    std::memcpy(dst, text.data(), 16);
}

void append_sci(std::string& out, double v, int width, int precision) {
    if (width >= 0 && width <= 64) {
        char buf[96];
        if (const char* end = fast_sci(buf, v, width, precision)) {
            out.append(buf, std::size_t(end - buf));
            return;
        }
    }
    if (!std::isfinite(v)) return append_non_finite(out, v, width, true);
    if (precision < 0) precision = kDefaultPrecision;

    // sign, digit, point, digits, "e+308"
    Scratch buf(std::size_t(precision) + 8);
    // libstdc++ rounds the exact binary value half-to-even, as glibc does, and
    // already writes at least two exponent digits; only the 'e' needs changing.
    const auto result = std::to_chars(buf.begin(), buf.end(), v, std::chars_format::scientific, precision);
    char* e = result.ptr - 4;  // "e+dd"
    if (*e != 'e') --e;        // "e+ddd"
    *e = 'E';
    append_padded(out, buf.begin(), std::size_t(result.ptr - buf.begin()), width);
}

void append_sci_two_step(std::string& out, double v) {
    if (!std::isfinite(v)) {
        append_sci(out, v, 22, 15);
        return;
    }
    // 17 significant digits, correctly rounded: [-]d.dddddddddddddddde[+-]xx
    std::string s;
    append_sci(s, v, 0, 16);
    const size_t mantissa = s[0] == '-' ? 1 : 0;
    const size_t e = s.find('E');
    std::string digits = s.substr(mantissa, 1) + s.substr(mantissa + 2, e - mantissa - 2);  // 17 digits
    int exponent = std::stoi(s.substr(e + 1));
    const bool up = digits[16] >= '5';
    digits.resize(16);
    if (up) {
        int k = 15;
        while (k >= 0 && digits[k] == '9') digits[k--] = '0';
        if (k >= 0) {
            ++digits[k];
        } else {  // 9.99...9 rounded up to 10.0...0
            digits.insert(digits.begin(), '1');
            digits.resize(16);
            ++exponent;
        }
    }
    std::string text = (mantissa ? "-" : "") + digits.substr(0, 1) + "." + digits.substr(1) + "E";
    text += exponent < 0 ? '-' : '+';
    const int mag = std::abs(exponent);
    if (mag < 10) text += '0';
    text += std::to_string(mag);
    if (text.size() < 22) out.append(22 - text.size(), ' ');
    out += text;
}

void append_fixed(std::string& out, double v, int width, int precision) {
    if (!std::isfinite(v)) return append_non_finite(out, v, width, false);
    if (precision < 0) precision = kDefaultPrecision;

    // sign, up to 309 integer digits (DBL_MAX), point, digits
    Scratch buf(std::size_t(precision) + 312);
    const auto result = std::to_chars(buf.begin(), buf.end(), v, std::chars_format::fixed, precision);
    append_padded(out, buf.begin(), std::size_t(result.ptr - buf.begin()), width);
}

void append_int(std::string& out, int64_t v, int width) {
    char buf[24];
    const auto result = std::to_chars(buf, buf + sizeof buf, v);
    append_padded(out, buf, std::size_t(result.ptr - buf), width);
}

void append_uint(std::string& out, uint64_t v, int width) {
    char buf[24];
    const auto result = std::to_chars(buf, buf + sizeof buf, v);
    append_padded(out, buf, std::size_t(result.ptr - buf), width);
}

}  // namespace tesvarin
