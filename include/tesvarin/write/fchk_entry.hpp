// One labelled entry of a formatted checkpoint, before formatting: a scalar, an
// array or a text. Arrays point into the parsed record where the values are
// written as stored, and own their values where they are computed (rotated,
// repacked or constant).
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace tesvarin {

struct FchkEntry {
    enum class Kind { IntScalar, RealScalar, IntArray, RealArray, Text };

    std::string label;
    Kind kind = Kind::IntScalar;
    int64_t int_value = 0;
    double real_value = 0;
    std::string text;

    const int64_t* int_data() const { return owned_ints.empty() ? ints : owned_ints.data(); }
    const double* real_data() const { return owned_reals.empty() ? reals : owned_reals.data(); }
    size_t size() const { return count; }

    static FchkEntry int_scalar(std::string label, int64_t v);
    static FchkEntry real_scalar(std::string label, double v);
    static FchkEntry text_entry(std::string label, std::string text);
    // A view of values that outlive the entry.
    static FchkEntry int_view(std::string label, const int64_t* v, size_t n);
    static FchkEntry real_view(std::string label, const double* v, size_t n);
    static FchkEntry int_view(std::string label, const std::vector<int64_t>& v);
    static FchkEntry real_view(std::string label, const std::vector<double>& v);
    // The big arrays' storage (bulk_vector) and any other allocator.
    template <typename Alloc>
    static FchkEntry real_view(std::string label, const std::vector<double, Alloc>& v) {
        return real_view(std::move(label), v.data(), v.size());
    }
    template <typename Alloc>
    static FchkEntry int_view(std::string label, const std::vector<int64_t, Alloc>& v) {
        return int_view(std::move(label), v.data(), v.size());
    }
    // Values computed for the entry.
    static FchkEntry int_values(std::string label, std::vector<int64_t> v);
    static FchkEntry real_values(std::string label, std::vector<double> v);

private:
    const int64_t* ints = nullptr;
    const double* reals = nullptr;
    size_t count = 0;
    std::vector<int64_t> owned_ints;
    std::vector<double> owned_reals;
};

}  // namespace tesvarin
