// Step 3: the job description from the label record (title, route, orbital
// labels), the info record (Info1-9, method, basis set) and the version text.
#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <utility>

#include "tesvarin/parser.hpp"

namespace {
constexpr int64_t kLabelFlag = -12345;
constexpr int64_t kTitleAt = 32;  // bytes: after the flag and three spare words
constexpr size_t kTitleBytes = 800;
constexpr int64_t kRouteAt = kTitleAt + kTitleBytes;
constexpr size_t kRouteBytes = 32000;
constexpr int64_t kTokensAt = kRouteAt + kRouteBytes;
constexpr size_t kTokenMax = 199;        // a token buffer of 200 bytes keeps its NUL
constexpr size_t kInfoTextBytes = 1528;  // text area after the nine Info1-9 words
constexpr char kEndOfTokens = 7;

bool is_separator(unsigned char c) { return (c & ~0x20u) == 0x5Cu; }  // '\' or '|'

// A fixed-size text field at byte `at` of a section, read into its own string: the text up
// to its first NUL, without trailing blanks; a short read ends the text where the file ends.
std::string read_text_field(const tesvarin::SectionView& s, int64_t at, size_t bytes) {
    std::string text(bytes, '\0');
    text.resize(static_cast<size_t>(s.fetch_bytes(text.data(), at, static_cast<int64_t>(bytes))));
    text.resize(strnlen(text.data(), text.size()));
    const size_t last = text.find_last_not_of(' ');
    text.erase(last == std::string::npos ? 0 : last + 1);
    text.shrink_to_fit();  // the route field is 32000 bytes; routes are short
    return text;
}

std::string jobtype_from_ipf(int64_t ipf) {
    static const char* const names[] = {"FOpt", "FTS", "POpt", "PTS", "FSaddle", nullptr, "PSaddle", "BOMD", "ADMP"};
    if (ipf < 0 || ipf > 8 || names[ipf] == nullptr) return {};
    return names[ipf];
}

// The tokens of the list, as (start, length): tokens are split at separators, the list
// ends at byte 7, and text after the last separator is dropped. A token keeps at most
// 199 bytes and ends at its first NUL.
template <typename Visit>
void for_each_token(const std::vector<char>& bytes, Visit visit) {
    size_t begin = 0;
    for (size_t i = 0; i < bytes.size() && bytes[i] != kEndOfTokens; ++i) {
        if (!is_separator(static_cast<unsigned char>(bytes[i]))) continue;
        const char* token = bytes.data() + begin;
        visit(token, strnlen(token, std::min(i - begin, kTokenMax)));
        begin = i + 1;
    }
}

bool starts_label(const char* token, size_t length) { return length > 0 && token[0] >= '0' && token[0] <= '9'; }

// Orbital labels from the token list: a label starts at each token that begins with a
// digit and runs up to the next such token; tokens before the first one are dropped.
// `claim` is told the number of labels before any is built.
template <typename Claim>
std::vector<std::string> orbital_labels(const std::vector<char>& bytes, Claim claim) {
    int64_t count = 0;
    for_each_token(bytes, [&count](const char* token, size_t length) { count += starts_label(token, length); });
    claim(count);
    std::vector<std::string> labels;
    labels.reserve(static_cast<size_t>(count));
    for_each_token(bytes, [&labels](const char* token, size_t length) {
        if (starts_label(token, length)) {
            labels.emplace_back(token, length);
        } else if (!labels.empty()) {
            labels.back().append(token, length);
        }
    });
    return labels;
}

// A label's string object in words, as the memory budget counts it (its text is counted with the record).
constexpr int64_t kLabelWords = static_cast<int64_t>(sizeof(std::string) / 8);
}  // namespace

void Tesvarin::read_label() {
    int index = -1;
    if (has_magic(tesvarin::section::kLabel, index)) {
        const tesvarin::SectionView s = open_section(index);
        int64_t flag = 0;
        if (s.fetch(&flag, 0, 1) != 1 || flag != kLabelFlag) {
            TESVARIN_THROW("Label flag (-12345) not found");
        }
        params.title = read_text_field(s, kTitleAt, kTitleBytes);
        params.route = read_text_field(s, kRouteAt, kRouteBytes);

        // The token list runs to the section's end; nothing past the file can be read.
        const int64_t fsize = serializer->get_fsize();
        const int64_t pos = addresses[static_cast<size_t>(index)].start * 8 + kTokensAt;
        const int64_t end_word = std::clamp(addresses[static_cast<size_t>(index)].end, int64_t{0}, fsize / 8 + 1);
        const int64_t nbytes = std::min(end_word * 8 - pos, fsize - pos);
        if (nbytes > 0) {
            claim_words("label record length", nbytes / 8);
            std::vector<char> bytes(static_cast<size_t>(nbytes));
            bytes.resize(static_cast<size_t>(s.fetch_bytes(bytes.data(), kTokensAt, nbytes)));
            params.mol.orblabels = orbital_labels(
                bytes, [this](int64_t count) { claim_words("orbital label words", count * kLabelWords); });
        }
    }

    if (has_magic(tesvarin::section::kInfo, index)) {
        const tesvarin::SectionView s = open_section(index);
        tesvarin::fetch_array(s, 0, params.info1_9, 9);
        std::vector<char> text(kInfoTextBytes, '\0');
        s.fetch_bytes(text.data(), 9 * 8, kInfoTextBytes);
        std::vector<size_t> seps;
        for (size_t i = 0; i < kInfoTextBytes && seps.size() < 2; ++i) {
            if (is_separator(static_cast<unsigned char>(text[i]))) seps.push_back(i);
        }
        if (seps.size() == 2) {
            params.method.assign(text.data(), seps[0]);
            params.baset.assign(text.data() + seps[0] + 1, seps[1] - seps[0] - 1);
        }
        const int64_t ipf = params.info1_9[4];
        const int64_t itype = params.info1_9[6];
        static const char* const by_itype[] = {"SP",   "SP",        "",     "Guess=Only",           "LST",   "Force",
                                               "Freq", "Stability", "Scan", "Rearchive/MS-Restart", "Mixed", ""};
        if (itype < 0 || itype > 11) {
            TESVARIN_THROW("Unrecognized itype= " + std::to_string(itype));
        }
        if (itype == 2 || itype == 11) {
            params.jobtype = jobtype_from_ipf(ipf);
            if (params.jobtype.empty()) TESVARIN_THROW("Unrecognized ipf= " + std::to_string(ipf));
        } else {
            params.jobtype = by_itype[itype];
        }
    }

    if (has_magic(tesvarin::section::kVersion, index)) {
        const tesvarin::SectionView s = open_section(index);
        const int64_t words = s.size();
        // The text's buffer would be 8 (end - start) + 1 bytes: the allocation's own length error.
        if (words < 0) throw std::length_error("cannot create std::vector larger than max_size()");
        check_count("version record length", words);
        claim_words("version record length", words);
        params.gauver = read_text_field(s, 0, static_cast<size_t>(words) * 8);
    }
}
