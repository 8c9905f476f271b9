// The orientation section (551) as stored: 26 symmetry integers, the rotation
// r0..r8 into the standard orientation (words 26-34) and the translation t0..t2
// (words 35-37). formchk writes the way back: the rotation transposed, then the
// negated translation.
#include "tesvarin/sections/further_sections.hpp"

namespace tesvarin {

namespace {
constexpr int64_t kWords = 38;
constexpr int64_t kSymInfWords = 26;
constexpr int64_t kRotation = 26;
constexpr int64_t kTranslation = 35;
}  // namespace

SymmetryWords read_symmetry_words(const SectionView& s) {
    s.expect_length(kWords, "38", "38");
    SymmetryWords w;
    w.syminf = s.ints(0, kSymInfWords);
    for (int col = 0; col < 3; ++col)
        for (int row = 0; row < 3; ++row) w.rottr.push_back(s.real(kRotation + 3 * row + col));
    for (int k = 0; k < 3; ++k) w.rottr.push_back(-s.real(kTranslation + k));
    return w;
}

}  // namespace tesvarin
