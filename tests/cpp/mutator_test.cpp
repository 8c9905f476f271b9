// The fuzz mutator draws its labels from the reader's table: starting from a file with
// only the molecule and the switch record, its relabel and new-section mutations must
// reach every section the reader knows, the further sections included.
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "chk_builder.hpp"

// libFuzzer's byte mutation, which the mutator calls now and then: here it changes nothing.
extern "C" size_t LLVMFuzzerMutate(uint8_t*, size_t size, size_t) { return size; }
extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t max_size, unsigned int seed);

using namespace chk;

TEST(Mutator, MakesEveryLabelOfTheTable) {
    const Bytes seed = Chk().add(MOL, mol_section({{8}, {1}})).add(XLSW, xlsw()).build();
    std::set<int64_t> made;
    for (unsigned s = 1; s < 200000 && made.size() < tesvarin::kSectionCount; ++s) {
        std::vector<uint8_t> data(seed.begin(), seed.end());
        data.resize(1 << 16);
        const size_t size = LLVMFuzzerCustomMutator(data.data(), seed.size(), data.size(), s);
        std::vector<int64_t> words(size / 8);
        std::memcpy(words.data(), data.data(), words.size() * 8);
        if (words.size() < 4) continue;
        const int64_t n = std::clamp<int64_t>(words[0], 0, static_cast<int64_t>(words.size() - 4) / 4);
        for (int64_t i = 0; i < n; ++i) made.insert(words[static_cast<size_t>(4 + 4 * i)]);
    }
    for (const tesvarin::SectionLabel& s : tesvarin::kSectionLabels) EXPECT_EQ(made.count(s.number), 1u) << s.name;
}
