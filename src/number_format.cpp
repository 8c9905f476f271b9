#include "tesvarin/number_format.hpp"

#include <charconv>
#include <cmath>
#include <cstddef>
#include <memory>
#include <system_error>

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

}  // namespace

void append_sci(std::string& out, double v, int width, int precision) {
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
