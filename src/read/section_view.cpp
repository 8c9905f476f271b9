#include "tesvarin/read/section_view.hpp"

#include <algorithm>
#include <cstring>

#include "tesvarin/read/file_serializer.hpp"

namespace tesvarin {

std::string SectionView::title() const { return "Section " + std::to_string(label_) + " (" + name_ + ")"; }

void SectionView::fail(const std::string& what) const { throw SectionError(title() + ": " + what); }

void SectionView::check_range(Checked at, Checked count) const {
    if (!at.ok() || !count.ok() || !fits(at.value(), count.value(), size())) {
        fail("words " + at.str() + " to " + (at + count).str() + " lie outside its " + std::to_string(size()) +
             " words");
    }
}

int64_t SectionView::fetch(void* dst, Checked at, int64_t count) const {
    if (count <= 0) return 0;
    auto* out = static_cast<int64_t*>(dst);
    const Checked first = Checked(start_) + at;
    int64_t got = 0;
    if (first.ok() && first.value() >= 0) {
        if (file_ != nullptr) {
            const Checked byte = first * 8;
            if (byte.ok()) {
                file_->seek(byte.value());
                return file_->read_words(out, count);  // zero past the file's end
            }
        } else if (first.value() < size_) {
            got = std::min(count, size_ - first.value());
            std::memcpy(out, &words_[static_cast<size_t>(first.value())], static_cast<size_t>(got) * 8);
        }
    }
    std::memset(out + got, 0, static_cast<size_t>(count - got) * 8);
    return got;
}

int64_t SectionView::fetch_bytes(char* dst, Checked byte_at, int64_t count) const {
    if (count <= 0) return 0;
    const Checked first = Checked(start_) * 8 + byte_at;
    int64_t got = 0;
    if (first.ok() && first.value() >= 0) {
        if (file_ != nullptr) {
            file_->seek(first.value());
            got = static_cast<int64_t>(file_->read_bytes(dst, static_cast<size_t>(count)));
        } else if (first.value() < size_ * 8) {
            got = std::min(count, size_ * 8 - first.value());
            std::memcpy(dst, reinterpret_cast<const char*>(words_.data()) + first.value(), static_cast<size_t>(got));
        }
    }
    std::memset(dst + got, 0, static_cast<size_t>(count - got));
    return got;
}

void SectionView::read(void* dst, Checked at, Checked count) const {
    check_range(at, count);
    fetch(dst, at, count.value());
}

int64_t SectionView::word(int64_t k) const {
    int64_t w = 0;
    read(&w, k, 1);
    return w;
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
    std::vector<int64_t> out(static_cast<size_t>(count.value()));
    fetch(out.data(), at, count.value());
    return out;
}

std::vector<double> SectionView::reals(Checked at, Checked count) const {
    check_range(at, count);
    std::vector<double> out(static_cast<size_t>(count.value()));
    fetch(out.data(), at, count.value());
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
