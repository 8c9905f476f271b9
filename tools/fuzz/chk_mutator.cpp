// A libFuzzer mutator that knows the checkpoint container: a leading record
// (entry count, file length in words), a directory of four-word entries (label,
// start word, end word, extra) and the sections they point at. Byte-level
// mutations almost never keep the length word true, so most of them would stop
// at the length test; these mutations edit the container as a whole instead and
// keep it consistent, or bend exactly one thing, so that inputs reach every
// section reader with counts and codes at their boundaries.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "tesvarin/section_labels.hpp"

extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t max_size);

namespace {
using Words = std::vector<int64_t>;

using tesvarin::kSectionLabels;
namespace label = tesvarin::section;

// The codes that select a layout or a kind (the labels come from the reader's table).
// 11 and 15: the archive section's optimisation and trajectory layouts; 16: values per excited state.
constexpr int64_t kCodes[] = {-12345, -12346, -12347, -12348, -12349, -12350, 0,  1,  2,
                              3,      6,      10,     11,     14,     15,     16, 18, 22};
constexpr int64_t kBoundaries[] = {0,
                                   1,
                                   -1,
                                   2,
                                   3,
                                   7,
                                   8,
                                   12,
                                   13,
                                   14,
                                   20,
                                   32,
                                   99,
                                   100,
                                   101,
                                   199,
                                   200,
                                   201,
                                   1000,
                                   9999999,
                                   10000000,
                                   249997,
                                   249998,
                                   INT32_MAX,
                                   int64_t{1} << 31,
                                   int64_t{1} << 32,
                                   int64_t{1} << 40,
                                   INT64_MAX,
                                   INT64_MIN,
                                   INT64_MIN + 1,
                                   INT64_MAX - 1};

// Reals at the edges of a double, for the numerics that run on what the reader accepts.
const double kExtremeReals[] = {1e300,    -1e300,    1e-300, -1e-300, 1e24, 1e100, -1e100, 1e-320,
                                HUGE_VAL, -HUGE_VAL, NAN,    0.0,     -0.0, 1e4,   -1e3,   1e5};

struct Entry {
    int64_t label, start, end, extra;
};

// The file as words, with its directory split out. The section data stays in `words`.
struct Container {
    Words words;
    size_t tail_bytes = 0;  // bytes after the last whole word
    uint8_t tail[8]{};

    static Container from(const uint8_t* data, size_t size) {
        Container c;
        c.words.resize(size / 8);
        if (!c.words.empty()) std::memcpy(c.words.data(), data, c.words.size() * 8);
        c.tail_bytes = size % 8;
        std::memcpy(c.tail, data + size - c.tail_bytes, c.tail_bytes);
        return c;
    }
    size_t to(uint8_t* data, size_t max_size) const {
        const size_t size = std::min(words.size() * 8 + tail_bytes, max_size);
        const size_t whole = std::min(words.size() * 8, size);
        if (whole) std::memcpy(data, words.data(), whole);
        std::memcpy(data + whole, tail, size - whole);
        return size;
    }
    // Entries that lie inside the words present.
    int64_t entries() const {
        if (words.size() < 4) return 0;
        return std::clamp<int64_t>(words[0], 0, static_cast<int64_t>((words.size() - 4) / 4));
    }
    Entry entry(int64_t i) const {
        const size_t w = 4 + 4 * static_cast<size_t>(i);
        return {words[w], words[w + 1], words[w + 2], words[w + 3]};
    }
    void set_entry(int64_t i, const Entry& e) {
        const size_t w = 4 + 4 * static_cast<size_t>(i);
        words[w] = e.label, words[w + 1] = e.start, words[w + 2] = e.end, words[w + 3] = e.extra;
    }
    // Inserts `n` words at word `at` (n < 0 removes) and moves every start and end behind it.
    void splice(size_t at, int64_t n, const Words& fill = {}) {
        at = std::min(at, words.size());
        if (n < 0) {
            const size_t k = std::min(static_cast<size_t>(-n), words.size() - at);
            words.erase(words.begin() + at, words.begin() + at + k);
            n = -static_cast<int64_t>(k);
        } else {
            Words add(fill);
            add.resize(static_cast<size_t>(n), 0);
            words.insert(words.begin() + at, add.begin(), add.end());
        }
        const int64_t count = entries();
        for (int64_t i = 0; i < count; ++i) {
            Entry e = entry(i);
            int64_t moved = 0;
            if (e.start >= static_cast<int64_t>(at) && !__builtin_add_overflow(e.start, n, &moved)) e.start = moved;
            if (e.end > static_cast<int64_t>(at) && !__builtin_add_overflow(e.end, n, &moved)) e.end = moved;
            set_entry(i, e);
        }
    }
    void fix_length() {
        if (words.size() >= 2) words[1] = static_cast<int64_t>(words.size());
    }
};

class Mutator {
public:
    Mutator(Container& c, unsigned seed) : c(c), rng(seed) {}

    void run(size_t max_words) {
        const int rounds = 1 + pick(3);
        for (int r = 0; r < rounds; ++r) one(max_words);
        if (c.words.size() > max_words) c.words.resize(max_words);
        if (pick(20) != 0) c.fix_length(), c.tail_bytes = 0;  // rarely keep a broken length test
    }

private:
    Container& c;
    std::minstd_rand rng;

    int pick(int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); }
    template <typename T, size_t N>
    T any(const T (&a)[N]) {
        return a[pick(N)];
    }
    int64_t section_length(const Entry& e) const {
        const auto size = static_cast<int64_t>(c.words.size());
        return e.start >= 0 && e.end >= e.start && e.end <= size ? e.end - e.start : 0;
    }
    // A value for a count or code: a boundary, a code, one off the section's or the file's
    // length, a small number, or a bit flip of what is there.
    int64_t value(int64_t old, int64_t section_words) {
        const auto file_words = static_cast<int64_t>(c.words.size());
        switch (pick(8)) {
            case 0:
                return any(kBoundaries);
            case 1:
                return any(kCodes);
            case 2:
                return section_words + pick(3) - 1;
            case 3:
                return file_words + pick(3) - 1;
            case 4:
                return pick(40);
            case 5:
                return static_cast<int64_t>(static_cast<uint64_t>(old) ^ (uint64_t{1} << pick(64)));
            case 6:
                return static_cast<int64_t>(static_cast<uint64_t>(old) + static_cast<uint64_t>(pick(5) - 2));
            default:
                return (file_words / (1 + pick(16))) * (pick(2) ? 1 : -1);
        }
    }

    void one(size_t max_words) {
        const int64_t n = c.entries();
        if (c.words.size() < 4) {
            c.words.resize(4, 0);
            return;
        }
        switch (pick(15)) {
            case 0:
            case 1:
            case 2: {  // a header or count word near the start of a section
                if (n == 0) break;
                const Entry e = c.entry(pick(static_cast<int>(n)));
                const int64_t len = section_length(e);
                if (len == 0) break;
                const int64_t span = std::min<int64_t>(len, pick(4) ? 40 : len);
                const auto w = static_cast<size_t>(e.start + pick(static_cast<int>(std::min<int64_t>(span, 1 << 30))));
                c.words[w] = value(c.words[w], len);
                break;
            }
            case 10:
            case 11: {  // one element of a per-shell integer array of a basis (orbital or fitting), through its header
                for (int64_t i = 0; i < n; ++i) {
                    const Entry e = c.entry(i);
                    const int64_t len = section_length(e);
                    const bool basis = e.label == label::kBasis.number || e.label == label::kDensityBasis.number;
                    if (!basis || len < 32) continue;
                    const int64_t* h = &c.words[static_cast<size_t>(e.start)];
                    const int64_t nshell = h[0], nprim = h[2], nprimd = h[3];
                    if (nshell <= 0 || nprim < 0 || nprimd < 0 || nshell > len || nprim > len || nprimd > len) break;
                    // dfstart, then (after the three centre arrays) shell2map, primstart, shellnprim, types, cons.
                    static constexpr int kIntArrays[] = {0, 4, 5, 6, 7, 8};
                    const int64_t at =
                        32 + 3 * nprim + 2 * nprimd + any(kIntArrays) * nshell + pick(static_cast<int>(nshell));
                    if (at >= len) break;
                    int64_t& w = c.words[static_cast<size_t>(e.start + at)];
                    w = value(w, len);
                    break;
                }
                break;
            }
            case 3: {  // bend one directory word
                if (n == 0) break;
                const int64_t i = pick(static_cast<int>(n));
                Entry e = c.entry(i);
                const int64_t len = section_length(e);
                switch (pick(5)) {
                    case 0:
                        e.label = any(kSectionLabels).number;
                        break;
                    case 1:
                        e.start = value(e.start, len);
                        break;
                    case 2:
                        e.end = value(e.end, len);
                        break;
                    case 4:  // one off the section's own length, wrapping like the file's arithmetic must not
                        e.end = static_cast<int64_t>(static_cast<uint64_t>(e.start) + uint64_t(len + pick(3) - 1));
                        break;
                    default:
                        e = c.entry(pick(static_cast<int>(n))), e.label = c.entry(i).label;
                        break;
                }
                c.set_entry(i, e);
                break;
            }
            case 4: {  // a new section: a copy of another one or a run of boundary values
                if (c.words.size() + 4 + 64 > max_words) break;
                c.splice(4 + 4 * static_cast<size_t>(n), 4);
                c.words[0] = n + 1;
                Words data;
                const Entry src = n ? c.entry(pick(static_cast<int>(n))) : Entry{};
                const int64_t len = std::min<int64_t>(section_length(src), 1 << 12);
                if (len > 0 && pick(2)) {
                    data.assign(c.words.begin() + src.start, c.words.begin() + src.start + len);
                } else {
                    data.resize(static_cast<size_t>(1 + pick(64)));
                    for (int64_t& w : data) w = pick(2) ? any(kBoundaries) : pick(8);
                }
                if (c.words.size() + data.size() > max_words) data.resize(max_words - c.words.size());
                const auto start = static_cast<int64_t>(c.words.size());
                c.words.insert(c.words.end(), data.begin(), data.end());
                c.set_entry(n, {any(kSectionLabels).number, start, start + static_cast<int64_t>(data.size()), 0});
                break;
            }
            case 5: {  // drop a directory entry (its data stays)
                if (n == 0) break;
                const int64_t i = pick(static_cast<int>(n));
                c.words[0] = n - 1;
                c.splice(4 + 4 * static_cast<size_t>(i), -4);
                break;
            }
            case 6: {  // grow or shrink a section at its end, moving what follows
                if (n == 0) break;
                const int64_t i = pick(static_cast<int>(n));
                const Entry e = c.entry(i);
                const int64_t len = section_length(e);
                if (len == 0 || e.start < 4 + 4 * n) break;  // a section over the directory would move it
                const int64_t delta = pick(2) ? -(1 + pick(static_cast<int>(std::min<int64_t>(len, 64))))
                                              : 1 + pick(static_cast<int>(std::min<size_t>(64, max_words / 4)));
                if (delta > 0 && c.words.size() + static_cast<size_t>(delta) > max_words) break;
                c.splice(static_cast<size_t>(delta < 0 ? e.end + delta : e.end), delta);
                if (delta > 0) c.set_entry(i, {e.label, e.start, e.end + delta, e.extra});
                break;
            }
            case 7: {  // a switch word: IOpCl, the natural-orbital bits, IROHF, no-reorient, RLSW length
                for (int64_t i = 0; i < n; ++i) {
                    const Entry e = c.entry(i);
                    if (e.label != label::kSwitches.number || section_length(e) < 100) continue;
                    static constexpr int kSwitches[] = {0, 9, 21, 25, 57};
                    const int k = any(kSwitches);
                    int64_t& w = c.words[static_cast<size_t>(e.start + k)];
                    w = k == 0 ? any(kCodes) : k == 57 ? 47 + pick(60) : pick(2) ? pick(4) : value(w, 200);
                    break;
                }
                break;
            }
            case 12:
            case 13: {  // an extreme real in a section: an exponent, a coordinate, a coefficient, a frequency
                if (n == 0) break;
                const Entry e = c.entry(pick(static_cast<int>(n)));
                const int64_t len = section_length(e);
                if (len == 0) break;
                const auto w = static_cast<size_t>(e.start + pick(static_cast<int>(std::min<int64_t>(len, 1 << 30))));
                const double v = any(kExtremeReals);
                std::memcpy(&c.words[w], &v, sizeof v);
                break;
            }
            case 8: {  // cut the file
                const size_t keep = 4 + static_cast<size_t>(pick(static_cast<int>(c.words.size() - 3)));
                c.words.resize(std::min(keep, c.words.size()));
                break;
            }
            default: {  // libFuzzer's own byte mutations on one section or the directory
                const Entry e = n ? c.entry(pick(static_cast<int>(n))) : Entry{};
                int64_t from = 0, len = 4 + 4 * n;
                if (n && pick(3)) from = e.start, len = section_length(e);
                if (len <= 0) break;
                len = std::min<int64_t>(len, 512);
                auto* bytes = reinterpret_cast<uint8_t*>(c.words.data() + from);
                LLVMFuzzerMutate(bytes, static_cast<size_t>(len) * 8, static_cast<size_t>(len) * 8);
                break;
            }
        }
    }
};
}  // namespace

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t max_size, unsigned int seed) {
    // Now and then the plain byte mutations on the whole file, length word and all.
    if (seed % 8 == 0) return LLVMFuzzerMutate(data, size, max_size);
    Container c = Container::from(data, size);
    Mutator(c, seed).run(max_size / 8);
    return c.to(data, max_size);
}

// Grafts one section of the second file into the first, as a new entry or over one of its own.
extern "C" size_t LLVMFuzzerCustomCrossOver(const uint8_t* data1, size_t size1, const uint8_t* data2, size_t size2,
                                            uint8_t* out, size_t max_out_size, unsigned int seed) {
    Container a = Container::from(data1, size1);
    const Container b = Container::from(data2, size2);
    std::minstd_rand rng(seed);
    const int64_t nb = b.entries();
    if (nb == 0 || a.words.size() < 4) return a.to(out, max_out_size);
    const Entry e = b.entry(static_cast<int64_t>(rng() % static_cast<unsigned>(nb)));
    const auto bsize = static_cast<int64_t>(b.words.size());
    if (e.start < 0 || e.end < e.start || e.end > bsize) return a.to(out, max_out_size);
    const Words data(b.words.begin() + e.start, b.words.begin() + e.end);
    if ((a.words.size() + 4 + data.size()) * 8 > max_out_size) return a.to(out, max_out_size);
    const int64_t na = a.entries();
    int64_t slot = na;
    for (int64_t i = 0; i < na; ++i) {
        if (a.entry(i).label == e.label) slot = i;  // replace the same section when there is one
    }
    if (slot == na) {
        a.splice(4 + 4 * static_cast<size_t>(na), 4);
        a.words[0] = na + 1;
    }
    const auto start = static_cast<int64_t>(a.words.size());
    a.words.insert(a.words.end(), data.begin(), data.end());
    a.set_entry(slot, {e.label, start, start + static_cast<int64_t>(data.size()), e.extra});
    a.fix_length();
    a.tail_bytes = 0;
    return a.to(out, max_out_size);
}
