// The per-atom blocks of the molecule section (997): after a 20-word header come
// blocks of N+3 words, an entry taking the first N words of its block. Which
// block holds what depends on the layout code (and, for -12349, on the block
// count), so the positions are one table with a column per layout.
#include "tesvarin/sections/further_sections.hpp"

namespace tesvarin {

namespace {
constexpr int64_t kHeaderWords = 20;
constexpr int64_t kPointChargesWord = 10;
constexpr int kNone = -1;

// One column of the block table: a layout code with its block count.
struct Layout {
    int64_t code;
    int64_t blocks;
};
constexpr Layout kLayouts[] = {{-12346, 18}, {-12347, 18}, {-12348, 42}, {-12349, 50}, {-12349, 58}};
constexpr int kLayoutCount = sizeof(kLayouts) / sizeof(kLayouts[0]);

enum Kind { Int, Real };
struct BlockRow {
    Kind kind;
    std::vector<int64_t> AtomProperties::* ints;
    std::vector<double> AtomProperties::* reals;
    int block[kLayoutCount];  // per column of kLayouts
};

using A = AtomProperties;
// clang-format off: one row per entry, aligned as a table
const BlockRow kBlocks[] = {
    // entry                      -12346 -12347 -12348 -12349/50 -12349/58
    {Int, &A::int_atom_types, nullptr, {5, 5, 5, 5, 5}},
    {Real, nullptr, &A::mm_charges, {6, 6, 17, 17, 25}},
    {Int, &A::integer_weights, nullptr, {8, 8, 6, 6, 6}},
    {Real, nullptr, &A::real_weights, {7, 7, 16, 16, 24}},
    {Int, &A::fragment_info, nullptr, {9, 9, 7, 7, 7}},
    {Int, &A::residue_numbers, nullptr, {10, 10, 8, 8, 8}},
    {Int, &A::nuclear_spins, nullptr, {12, 12, 9, 9, 9}},
    {Real, nullptr, &A::zeff, {13, 13, 18, 18, 26}},
    {Real, nullptr, &A::znuc, {kNone, 17, 21, 21, 29}},
    {Real, nullptr, &A::qmom, {14, 14, 19, 19, 27}},
    {Real, nullptr, &A::gfac, {15, 15, 20, 20, 28}},
    {Int, &A::micopt, nullptr, {16, 16, 41, 49, 57}},
};
// clang-format on
}  // namespace

AtomProperties read_atom_properties(const SectionView& s, int64_t natoms) {
    const Checked n(natoms);
    const int64_t code = s.word(0);
    if (s.word(1) != kHeaderWords) {
        s.fail("header length (word 1) = " + std::to_string(s.word(1)) + ", expected 20");
    }
    // The block count is whatever the length holds; it must be one the table knows for this code.
    int column = kNone;
    const Checked per_block = n + 3;
    for (int c = 0; c < kLayoutCount; ++c) {
        if (kLayouts[c].code == code && kLayouts[c].blocks * per_block + kHeaderWords == Checked(s.size())) column = c;
    }
    if (column == kNone) {
        std::string known;
        for (const Layout& l : kLayouts) {
            if (l.code == code) known += (known.empty() ? "" : " or ") + std::to_string(l.blocks);
        }
        if (known.empty()) s.fail("layout code " + std::to_string(code) + " has no known table of per-atom blocks");
        s.fail("expected 20 + nblocks*(N+3) with nblocks " + known + " for layout " + std::to_string(code) +
               ", N = " + n.str() + "; found " + std::to_string(s.size()) + " words");
    }

    AtomProperties a;
    a.layout = code;
    a.blocks = kLayouts[column].blocks;
    a.point_charges = s.word(kPointChargesWord);
    for (const BlockRow& row : kBlocks) {
        const int b = row.block[column];
        if (b == kNone) continue;
        const Checked at = kHeaderWords + b * per_block;
        if (row.kind == Int) {
            a.*row.ints = s.ints(at, n);
        } else {
            a.*row.reals = s.reals(at, n);
        }
    }
    return a;
}

}  // namespace tesvarin
