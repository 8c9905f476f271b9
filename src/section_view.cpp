#include "tesvarin/section_view.hpp"

#include <cstring>

namespace tesvarin {

std::string SectionView::title() const { return "Section " + std::to_string(label_) + " (" + name_ + ")"; }

void SectionView::fail(const std::string& what) const { throw SectionError(title() + ": " + what); }

void SectionView::check_range(Checked at, Checked count) const {
    if (!at.ok() || !count.ok() || !fits(at.value(), count.value(), size())) {
        fail("words " + at.str() + " to " + (at + count).str() + " lie outside its " + std::to_string(size()) +
             " words");
    }
}

int64_t SectionView::word(int64_t k) const {
    check_range(k, 1);
    return words_[static_cast<size_t>(k)];
}

double SectionView::real(int64_t k) const {
    const int64_t w = word(k);
    double v;
    std::memcpy(&v, &w, 8);
    return v;
}

int64_t SectionView::low_half(int64_t k) const {
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(word(k)) & 0xffffffffu));
}

int64_t SectionView::high_half(int64_t k) const {
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(word(k)) >> 32));
}

std::vector<int64_t> SectionView::ints(Checked at, Checked count) const {
    check_range(at, count);
    const auto first = words_.begin() + at.value();
    return std::vector<int64_t>(first, first + count.value());
}

std::vector<double> SectionView::reals(Checked at, Checked count) const {
    check_range(at, count);
    std::vector<double> out(static_cast<size_t>(count.value()));
    if (!out.empty()) std::memcpy(out.data(), &words_[static_cast<size_t>(at.value())], out.size() * 8);
    return out;
}

void SectionView::expect_length(Checked expected, const std::string& formula, const std::string& terms) const {
    if (expected != Checked(size())) {
        const std::string rule = formula == terms ? "" : formula + " = " + terms + " = ";
        fail("expected " + rule + expected.str() + " words, found " + std::to_string(size()));
    }
}

void SectionView::expect_count(const char* what, int64_t value, int64_t low, int64_t high) const {
    if (value < low || value > high) {
        fail(std::string(what) + " = " + std::to_string(value) + ", expected " + std::to_string(low) + " to " +
             std::to_string(high));
    }
}

}  // namespace tesvarin
