// The complete formatted checkpoint: formchk's rounding of real scalars, the further
// section readers on bent sections, the layout -12349 block columns, and the real files
// byte for byte against formchk's output (so the sanitizer build walks them too).
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "chk_builder.hpp"
#include "shared_data.hpp"
#include "tesvarin/write/fchk_entry.hpp"
#include "tesvarin/write/number_format.hpp"

using namespace chk;
namespace fs = std::filesystem;
using tesvarin::SectionView;

namespace {
std::string two_step(double v) {
    std::string out;
    tesvarin::append_sci_two_step(out, v);
    return out;
}

std::string text_of(const fs::path& p) {
    std::stringstream s;
    s << std::ifstream(p, std::ios::binary).rdbuf();
    return s.str();
}

// The first message a reader gives for `words`, or "read".
template <typename Read>
std::string refusal(int64_t label, const std::vector<int64_t>& words, Read read) {
    try {
        read(SectionView(label, "test", words));
    } catch (const tesvarin::SectionError& e) {
        return e.what();
    }
    return "read";
}
}  // namespace

TEST(CompleteFchk, RealScalarsRoundTwiceAsFormchkDoes) {
    for (const auto& [v, text] : std::vector<std::pair<double, std::string>>{
             {9.404737310238762450e-05, " 9.404737310238763E-05"},  // ...7624|5 -> ...7625 -> ...763
             {9.201243478477226462e-06, " 9.201243478477227E-06"},
             {-639.7831615302615, "-6.397831615302615E+02"},
             {9.9999999999999995e-01, " 1.000000000000000E+00"},  // the carry runs into the exponent
             {0.0, " 0.000000000000000E+00"},
             {-0.0, "-0.000000000000000E+00"},
             {1e-300, "1.000000000000000E-300"},  // three exponent digits fill all 22 columns
             {INFINITY, "                   INF"}}) {
        EXPECT_EQ(two_step(v), text) << v;
    }
}

TEST(CompleteFchk, BentSectionsAreRefusedWithTheirRule) {
    const int64_t max = INT64_MAX;
    using tesvarin::read_vibrations;
    EXPECT_EQ(refusal(765, {halves(1, 0), halves(1, 1), max, 0, 0}, read_vibrations),
              "Section 765 (test): expected 3 + NDim + NModes*(LFlags + LE2Fix + 3*NDim) = 3 + 1 + "
              "1*(9223372036854775807 + LE2Fix + 3*1) with LE2Fix >= 1, found 5 words");
    EXPECT_EQ(refusal(765, {halves(0, 0), halves(2, 2), 8, 0, 0}, read_vibrations), "read");  // one atom, no modes
    EXPECT_EQ(refusal(503, {halves(max >> 33, 1), 0, 0}, [](const SectionView& s) { tesvarin::read_bonds(s, 1); }),
              "Section 503 (test): MxBond (word 0, high half) = 1073741823, expected 0 to 3");
    EXPECT_EQ(refusal(511, {0, max, 0}, tesvarin::read_internal_forces),
              "Section 511 (test): NVar (word 1) = 9223372036854775807, expected 0 to 3");
    EXPECT_EQ(refusal(800, {1234, 1, 1, 1, 30, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, tesvarin::read_classical_parameters),
              "Section 800 (test): expected 16 + 2*MaxAn*LenBitVec + (NIntPar + NRealPar)*MaxAn = "
              "16 + 2*1*1 + (1 + 1)*1 = 20 words, found 16");
    const std::vector<int64_t> geometries_past_steps{11, 1, 1, 0, 0, 0, 0, 0, 2};
    EXPECT_EQ(refusal(701, geometries_past_steps, tesvarin::read_optimisation_archive),
              "Section 701 (test): number of geometries (word 8) = 2, expected 0 to 1");
    const SectionView three(521, "test", {1, 2, 3});
    EXPECT_EQ(refusal(521, {1, 2, 3}, [&](const SectionView&) { three.ints(2, max); }),
              "Section 521 (test): words 2 to overflow lie outside its 3 words");
}

TEST(CompleteFchk, Layout12349TakesItsBlockCountFromTheLength) {
    const std::vector<Atom> h{{1}};
    using Column = std::tuple<int64_t, int64_t, int64_t>;  // block count, real weights block, MicOpt block
    for (const auto& [blocks, weights, micopt] : std::vector<Column>{{50, 16, 49}, {58, 24, 57}}) {
        MolOpts o;
        o.layout = -12349, o.blocks = blocks, o.block = {{weights, reals({1.0078})}, {micopt, ints({-1})}};
        const Bytes mol = mol_section(h, o);
        const Tesvarin t(Chk().add(MOL, mol).add(VERSION, Bytes("ES64L-G16RevC.01") + Bytes(32, '\0')).write("b.chk"));
        const auto entries = t.fchk_entries(true);
        const auto find = [&](const std::string& label) {
            return *std::find_if(entries.begin(), entries.end(), [&](const auto& e) { return e.label == label; });
        };
        EXPECT_EQ(find("Real atomic weights").real_data()[0], 1.0078) << blocks;
        EXPECT_EQ(find("MicOpt").int_data()[0], -1) << blocks;
    }
    MolOpts bad;
    bad.layout = -12349, bad.blocks = 51;
    const Tesvarin odd(Chk().add(MOL, mol_section(h, bad)).add(VERSION, Bytes(48, ' ')).write("odd.chk"));
    EXPECT_NE(what_of([&] {
                  odd.write_complete_fchk(temp_path("odd.fchk"));
              }).find("with nblocks 50 or 58 for layout -12349"),
              std::string::npos);
    EXPECT_EQ(what_of([&] { odd.write_fchk(temp_path("basic.fchk")); }), "no exception");
}

TEST(CompleteFchk, RealFilesMatchFormchkByteForByte) {
    const fs::path shared = shared_folder();
    if (!fs::is_directory(shared / "realchk")) GTEST_SKIP() << "the shared realchk folder is absent beside the project";
    int compared = 0, written = 0;
    for (const char* folder : {"realchk", "realchk2"}) {
        if (!fs::is_directory(shared / folder)) continue;
        for (const auto& entry : fs::recursive_directory_iterator(shared / folder)) {
            const fs::path chk = entry.path();
            if (chk.extension() != ".chk" || parse_error(chk.string()) != "no exception") continue;
            const std::string out = temp_path("complete.fchk");
            Tesvarin(chk.string()).write_complete_fchk(out);
            ++written;
            fs::path formchk = chk;
            if (!fs::exists(formchk.replace_extension(".fchk"))) continue;
            EXPECT_TRUE(text_of(out) == text_of(formchk)) << chk;
            ++compared;
        }
    }
    EXPECT_EQ(compared, 15);
    EXPECT_GE(written, 28);
}
