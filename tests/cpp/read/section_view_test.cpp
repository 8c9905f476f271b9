// SectionView reads a section of a file on demand: the checked accessors keep inside the
// section, fetch() reads fixed-length records up to the file's end and zero past it.
#include "tesvarin/read/section_view.hpp"

#include <gtest/gtest.h>

#include <climits>

#include "chk_builder.hpp"

using namespace chk;
using tesvarin::Checked;
using tesvarin::SectionError;
using tesvarin::SectionView;

TEST(SectionView, FetchStopsAtTheFileAndAccessorsAtTheSection) {
    const std::string path = write_raw("six.bin", ints({10, 11, 12, 13, 14, 15}));
    const FileSerializer file(path.c_str(), "rb", false);
    const SectionView s(584, "gradient", file, 2, 2);  // words 12 and 13
    struct Case {
        Checked at;
        int64_t count, got;
        std::vector<int64_t> words;
    };
    for (const Case& c : std::vector<Case>{{0, 2, 2, {12, 13}},
                                           {1, 4, 3, {13, 14, 15, 0}},  // past the section, then the file
                                           {-2, 2, 2, {10, 11}},
                                           {-3, 2, 0, {0, 0}},  // before the file
                                           {4, 1, 0, {0}},
                                           {Checked(INT64_MAX) + 1, 2, 0, {0, 0}}}) {
        std::vector<int64_t> out(c.words.size(), -1);
        EXPECT_EQ(s.fetch(out.data(), c.at, c.count), c.got) << c.at.str();
        EXPECT_EQ(out, c.words) << c.at.str();
    }
    char text[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(s.fetch_bytes(text, 8 * 3 + 6, 4), 2);  // the last two bytes of word 15
    EXPECT_EQ(std::string(text, 4), std::string("\0\0\0\0", 4));
    EXPECT_EQ(s.ints(0, 2), std::vector<int64_t>({12, 13}));
    EXPECT_EQ(s.word(1), 13);
    try {
        s.ints(1, 2);
        ADD_FAILURE() << "read past the section";
    } catch (const SectionError& e) {
        EXPECT_STREQ(e.what(), "Section 584 (gradient): words 1 to 3 lie outside its 2 words");
    }
    // A section held in memory answers the same.
    const SectionView m(584, "gradient", {12, 13});
    std::vector<int64_t> out(3, -1);
    EXPECT_EQ(m.fetch(out.data(), 1, 3), 1);
    EXPECT_EQ(out, std::vector<int64_t>({13, 0, 0}));
}
