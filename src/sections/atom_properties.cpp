// The per-atom blocks of the molecule section (997): after a 20-word header come
// blocks of N+3 words, an entry taking the first N words of its block. Which
// block holds what depends on the layout code (and, for -12349, on the block
// count), so the positions are one table with a column per layout.
//
// A job with molecular-mechanics input (PDB residue data, atom-type symbols) stores, in the
// 18-block layouts of version 09, three counts in header words 12 to 14 and their records
// between the blocks: the symbols (two words each) after block 15, the residue names, the
// residues' packed PDB numbers and the secondary structures (9 words each) after block 16.
// Block 9 then holds each atom's PDB name (8 characters) and block 11 its residue.
#include <cstring>

#include "tesvarin/sections/further_sections.hpp"

namespace tesvarin {

namespace {
constexpr int64_t kHeaderWords = 20;
constexpr int64_t kPointChargesWord = 10;
constexpr int kNone = -1;
constexpr int64_t kSymbolCountWord = 12;     // symbols the input defined (two words of text each)
constexpr int64_t kResidueCountWord = 13;    // PDB residues
constexpr int64_t kStructureCountWord = 14;  // secondary structures
constexpr int64_t kSymbolWords = 2;
constexpr int64_t kStructureWords = 9;
constexpr int64_t kSymbolsAfterBlock = 15;   // the symbols follow this block
constexpr int64_t kResiduesAfterBlock = 16;  // the residue records follow this block
constexpr int kAtomNamesBlock = 9, kAtomResiduesBlock = 11;

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

// Eight characters a word, up to the first NUL, trailing blanks removed; a byte that is not
// printable ASCII becomes '?', so the text is always valid UTF-8.
std::string word_text(const std::vector<int64_t>& words, size_t first, size_t count) {
    std::string text(8 * count, '\0');
    std::memcpy(text.data(), &words[first], text.size());
    text.resize(text.find('\0') == std::string::npos ? text.size() : text.find('\0'));
    for (char& c : text)
        if (c < ' ' || c > '~') c = '?';
    return text.substr(0, text.find_last_not_of(' ') + 1);
}

std::vector<std::string> word_texts(const std::vector<int64_t>& words, int64_t per_text) {
    std::vector<std::string> texts;
    for (size_t k = 0; k + static_cast<size_t>(per_text) <= words.size(); k += static_cast<size_t>(per_text))
        texts.push_back(word_text(words, k, static_cast<size_t>(per_text)));
    return texts;
}
}  // namespace

AtomProperties read_atom_properties(const SectionView& s, int64_t natoms) {
    const Checked n(natoms);
    const int64_t code = s.word(0);
    if (s.word(1) != kHeaderWords) {
        s.fail("header length (word 1) = " + std::to_string(s.word(1)) + ", expected 20");
    }
    // The records of a molecular-mechanics input, counted in the header (none in other jobs).
    const bool v09 = (code == -12346 || code == -12347) && s.size() >= kHeaderWords;
    const int64_t nsym = v09 ? s.word(kSymbolCountWord) : 0, nres = v09 ? s.word(kResidueCountWord) : 0,
                  nss = v09 ? s.word(kStructureCountWord) : 0;
    s.expect_count("symbols (word 12)", nsym, 0, s.size());
    s.expect_count("residues (word 13)", nres, 0, s.size());
    s.expect_count("secondary structures (word 14)", nss, 0, s.size());
    const Checked records = kSymbolWords * Checked(nsym) + 2 * Checked(nres) + kStructureWords * Checked(nss);
    // The block count is whatever the length holds; it must be one the table knows for this code.
    int column = kNone;
    const Checked per_block = n + 3;
    for (int c = 0; c < kLayoutCount; ++c) {
        if (kLayouts[c].code == code && kLayouts[c].blocks * per_block + kHeaderWords + records == Checked(s.size()))
            column = c;
    }
    if (column == kNone) {
        std::string known;
        for (const Layout& l : kLayouts) {
            if (l.code == code) known += (known.empty() ? "" : " or ") + std::to_string(l.blocks);
        }
        if (known.empty()) s.fail("layout code " + std::to_string(code) + " has no known table of per-atom blocks");
        if (records == Checked(0)) {
            s.fail("expected 20 + nblocks*(N+3) with nblocks " + known + " for layout " + std::to_string(code) +
                   ", N = " + n.str() + "; found " + std::to_string(s.size()) + " words");
        }
        s.fail("expected 20 + nblocks*(N+3) + 2*NSym + 2*NRes + 9*NSS with nblocks " + known + " for layout " +
               std::to_string(code) + ", N = " + n.str() + ", NSym = " + std::to_string(nsym) +
               ", NRes = " + std::to_string(nres) + ", NSS = " + std::to_string(nss) + "; found " +
               std::to_string(s.size()) + " words");
    }

    AtomProperties a;
    a.layout = code;
    a.blocks = kLayouts[column].blocks;
    a.point_charges = s.word(kPointChargesWord);
    // Where block b starts: the records shift the blocks after them.
    const auto block_at = [&](int64_t b) {
        Checked at = kHeaderWords + b * per_block;
        if (b > kSymbolsAfterBlock) at = at + kSymbolWords * Checked(nsym);
        if (b > kResiduesAfterBlock) at = at + 2 * Checked(nres) + kStructureWords * Checked(nss);
        return at;
    };
    for (const BlockRow& row : kBlocks) {
        const int b = row.block[column];
        if (b == kNone) continue;
        const Checked at = block_at(b);
        if (row.kind == Int) {
            a.*row.ints = s.ints(at, n);
        } else {
            a.*row.reals = s.reals(at, n);
        }
    }
    if (records != Checked(0)) {
        a.symbols = word_texts(
            s.ints(block_at(kSymbolsAfterBlock + 1) - kSymbolWords * Checked(nsym), kSymbolWords * Checked(nsym)),
            kSymbolWords);
        const Checked residues = block_at(kResiduesAfterBlock) + per_block;
        a.residue_names = word_texts(s.ints(residues, nres), 1);
        a.residue_codes = s.ints(residues + nres, nres);
        a.structures = s.ints(residues + 2 * Checked(nres), kStructureWords * Checked(nss));
    }
    if (nres > 0) {
        a.atom_names = word_texts(s.ints(block_at(kAtomNamesBlock), n), 1);
        a.atom_residues = s.ints(block_at(kAtomResiduesBlock), n);
    }
    return a;
}

}  // namespace tesvarin
