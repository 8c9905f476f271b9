// A bounded view of one section of the checkpoint: where its words lie in the
// file, its label for messages and checked access. Words are read from the file
// when asked for, straight into the caller's storage, so a large array is read
// once into the place it stays. Every step of the parse reads its sections
// through one of these and never sees the file.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "tesvarin/checked.hpp"

class FileSerializer;

namespace tesvarin {

// A damaged section. Kept as text by the parser and raised as _Error only when
// the section's data is asked for, so construction never fails on it.
class SectionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class SectionView {
public:
    // A section held in memory.
    SectionView(int64_t label, const char* name, std::vector<int64_t> words)
        : label_(label), name_(name), size_(static_cast<int64_t>(words.size())), words_(std::move(words)) {}
    // Words [start, start + size) of an open file, which must outlive the view. `size` is
    // the directory's length; the checked accessors below keep inside it.
    SectionView(int64_t label, const char* name, const FileSerializer& file, int64_t start, int64_t size)
        : label_(label), name_(name), file_(&file), start_(start), size_(size) {}

    int64_t label() const { return label_; }
    // "Section 765 (vibrations)", the start of every message about it.
    std::string title() const;
    int64_t size() const { return size_; }
    // Its first word in the file (0 for a section held in memory).
    int64_t first_word() const { return start_; }

    int64_t word(int64_t k) const;
    double real(int64_t k) const;
    // Bits 0-31 and 32-63 of word k, each a signed 32-bit integer.
    int64_t low_half(int64_t k) const;
    int64_t high_half(int64_t k) const;
    std::vector<int64_t> ints(Checked at, Checked count) const;
    std::vector<double> reals(Checked at, Checked count) const;
    // Words [at, at + count) into `dst`, which holds `count` words; refused outside the section.
    void read(void* dst, Checked at, Checked count) const;

    // The fixed-length records of the basic steps are read as the program reads them:
    // at their offset whatever the directory says their length is, up to the file's
    // end. Words (bytes) past the end of the file, or at an offset that overflows,
    // come back zero; the number of whole words (bytes) read is returned.
    int64_t fetch(void* dst, Checked at, int64_t count) const;
    int64_t fetch_bytes(char* dst, Checked byte_at, int64_t count) const;

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
    const FileSerializer* file_ = nullptr;  // null: the words are in words_
    int64_t start_ = 0;                     // first word in the file
    int64_t size_;
    std::vector<int64_t> words_;
};

// Sizes `values` to `count` and fills them with s.fetch() from word `at` (a bulk_vector is
// not cleared first: the read fills it); returns the word after them.
template <typename T, typename Alloc>
Checked fetch_array(const SectionView& s, Checked at, std::vector<T, Alloc>& values, int64_t count) {
    static_assert(sizeof(T) == 8, "checkpoint words are 8 bytes");
    values.clear();
    values.resize(count > 0 ? static_cast<size_t>(count) : 0);
    s.fetch(values.data(), at, count);
    return at + count;
}

}  // namespace tesvarin
