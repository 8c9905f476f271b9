// IOpCl decoding and the bit helpers of the switch words.
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <map>

#include "chk_builder.hpp"
#include "tesvarin/parser.hpp"
#include "tesvarin/read/bits.hpp"

using namespace chk;

TEST(ScfType, DecodeScOnEveryCode) {
    // spinBlocks, valueKind, components, above7, densityBlocks, above15
    const std::map<int64_t, std::array<int64_t, 6>> valid{
        {LLONG_MIN, {1, 1, 1, 0, 1, 0}}, {-1, {1, 1, 1, 0, 1, 0}}, {0, {1, 1, 1, 0, 1, 0}},  {1, {2, 1, 1, 0, 2, 0}},
        {2, {1, 2, 1, 0, 1, 0}},         {3, {2, 2, 1, 0, 2, 0}},  {6, {1, 2, 2, 0, 2, 0}},  {10, {1, 2, 1, 1, 1, 0}},
        {11, {2, 2, 1, 1, 2, 0}},        {14, {1, 2, 2, 1, 2, 0}}, {18, {1, 2, 1, 1, 1, 1}}, {22, {1, 2, 2, 1, 1, 1}}};
    Tesvarin t(minimal().write("decode.chk"));
    std::vector<int64_t> codes{LLONG_MIN};
    for (int64_t code = -1; code <= 23; ++code) codes.push_back(code);
    for (int64_t code : codes) {
        std::array<int64_t, 6> got{9, 9, 9, 9, 9, 9};
        bool above7 = true;
        const std::string what = what_of([&] { t.decode_sc(code, got[0], got[1], got[2], above7, got[4], got[5]); });
        got[3] = above7;
        if (valid.count(code))
            EXPECT_EQ(got, valid.at(code)) << code;
        else
            EXPECT_EQ(what, err("decode_sc", "Illegal IOpCl in decode_sc")) << code;
    }
}

TEST(Bits, BitHelpers) {
    for (const auto& [value, bit, set] : std::vector<std::tuple<int64_t, int, bool>>{{-1, 63, true},
                                                                                     {LLONG_MAX, 63, false},
                                                                                     {1, 0, true},
                                                                                     {2, 0, false},
                                                                                     {1LL << 62, 62, true},
                                                                                     {-2, 0, false}}) {
        EXPECT_EQ(LBit(value, bit), set) << value << " " << bit;
    }
    for (int bit : {64, -1}) EXPECT_EQ(what_of([&] { LBit(0, bit); }), err("LBit", "Bit number out of range in LBit"));
    for (const auto& [value, high, low] : std::vector<std::tuple<int64_t, int, int>>{{(5LL << 32) + 7, 5, 7},
                                                                                     {(1LL << 33) - 1, 1, -1},
                                                                                     {-5, -1, -1},
                                                                                     {LLONG_MIN, -1, 0},
                                                                                     {0x7fffffff, 0, 0x7fffffff}}) {
        int h = 9, l = 9;
        BNUPak(value, h, l);
        EXPECT_EQ(std::make_pair(h, l), std::make_pair(high, low)) << value;
    }
}
