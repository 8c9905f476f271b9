// The program version text (801): 48 bytes, e.g. "ES64L-G16RevA.03".
#include "tesvarin/sections/further_sections.hpp"

namespace tesvarin {

std::string read_version_text(const SectionView& s) {
    s.expect_length(6, "6", "6");
    std::string text;
    for (int64_t w = 0; w < 6; ++w) {
        const auto word = static_cast<uint64_t>(s.word(w));
        for (int b = 0; b < 8; ++b) text.push_back(static_cast<char>((word >> (8 * b)) & 0xff));
    }
    text.resize(text.find('\0') == std::string::npos ? text.size() : text.find('\0'));
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

}  // namespace tesvarin
