// Overflow-checked 64-bit arithmetic for counts read from a checkpoint.
//
// A hostile file can put any value in a count word, so every product, sum and
// comparison that involves one must be exact or report that it is not.
// `Checked` carries a value and a poison flag: once an operation overflows,
// every later result stays poisoned, so a whole length identity such as
// 3 + NDim + NModes * (LFlags + LE2Fix + 3 * NDim) is written as ordinary
// arithmetic and tested once at the end.
#pragma once

#include <cstdint>
#include <string>

namespace tesvarin {

class Checked {
public:
    constexpr Checked(int64_t v) : value_(v), ok_(true) {}  // NOLINT: implicit on purpose

    constexpr bool ok() const { return ok_; }
    // The value; only meaningful when ok().
    constexpr int64_t value() const { return value_; }
    // "12" or "overflow", for messages.
    std::string str() const { return ok_ ? std::to_string(value_) : std::string("overflow"); }

    friend Checked operator+(Checked a, Checked b) {
        Checked r(0);
        r.ok_ = a.ok_ && b.ok_ && !__builtin_add_overflow(a.value_, b.value_, &r.value_);
        return r;
    }
    friend Checked operator-(Checked a, Checked b) {
        Checked r(0);
        r.ok_ = a.ok_ && b.ok_ && !__builtin_sub_overflow(a.value_, b.value_, &r.value_);
        return r;
    }
    friend Checked operator*(Checked a, Checked b) {
        Checked r(0);
        r.ok_ = a.ok_ && b.ok_ && !__builtin_mul_overflow(a.value_, b.value_, &r.value_);
        return r;
    }
    // Equal only when both are exact and the values agree.
    friend bool operator==(Checked a, Checked b) { return a.ok_ && b.ok_ && a.value_ == b.value_; }
    friend bool operator!=(Checked a, Checked b) { return !(a == b); }

private:
    int64_t value_;
    bool ok_;
};

// a + b, false on overflow.
inline bool add(int64_t a, int64_t b, int64_t& out) { return !__builtin_add_overflow(a, b, &out); }
// a * b, false on overflow.
inline bool mul(int64_t a, int64_t b, int64_t& out) { return !__builtin_mul_overflow(a, b, &out); }
// Whether [start, start + count) lies inside [0, limit), with no overflow on any input.
inline bool fits(int64_t start, int64_t count, int64_t limit) {
    return start >= 0 && count >= 0 && start <= limit && count <= limit - start;
}

}  // namespace tesvarin
