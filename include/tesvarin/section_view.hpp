// A bounded view of one section of the checkpoint: its words, already read, its
// label for messages and checked access. The readers of the further sections
// take one of these and never see the file or the parser.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "tesvarin/checked.hpp"

namespace tesvarin {

// A damaged section. Kept as text by the parser and raised as _Error only when
// the section's data is asked for, so construction never fails on it.
class SectionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class SectionView {
public:
    SectionView(int64_t label, const char* name, std::vector<int64_t> words)
        : label_(label), name_(name), words_(std::move(words)) {}

    int64_t label() const { return label_; }
    // "Section 765 (vibrations)", the start of every message about it.
    std::string title() const;
    int64_t size() const { return static_cast<int64_t>(words_.size()); }

    int64_t word(int64_t k) const;
    double real(int64_t k) const;
    // Bits 0-31 and 32-63 of word k, each a signed 32-bit integer.
    int64_t low_half(int64_t k) const;
    int64_t high_half(int64_t k) const;
    std::vector<int64_t> ints(Checked at, Checked count) const;
    std::vector<double> reals(Checked at, Checked count) const;

    // Refuses the section unless its length equals `expected`. `formula` names the
    // terms ("1 + n + 2*n*B") and `terms` gives their values ("1 + 3 + 2*3*4").
    void expect_length(Checked expected, const std::string& formula, const std::string& terms) const;
    // Refuses a count read from the section: negative, or past what the section holds.
    void expect_count(const char* what, int64_t value, int64_t low, int64_t high) const;
    [[noreturn]] void fail(const std::string& what) const;

private:
    void check_range(Checked at, Checked count) const;

    int64_t label_;
    const char* name_;
    std::vector<int64_t> words_;
};

}  // namespace tesvarin
