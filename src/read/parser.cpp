// Construction, the parse sequence and the directory helpers shared by every step.
#include "tesvarin/parser.hpp"

#include <limits>

#include "tesvarin/checked.hpp"

namespace {
// The arrays sized by counts from the file may together hold this many times the
// file's words, plus kSlackWords so that small files keep their small fixed-size arrays.
constexpr int64_t kWordsPerFileWord = 4;
constexpr int64_t kSlackWords = int64_t{1} << 12;
}  // namespace

Tesvarin::Tesvarin(const string& fname) : Tesvarin(fname, tesvarin::ReadOptions{}) {}

Tesvarin::Tesvarin(const string& fname, const tesvarin::ReadOptions& options)
    : serializer(std::make_unique<FileSerializer>(fname.c_str(), "rb", false)), fname(fname), options(options) {
    params.route = "None";
    params.gauver = "Unknown";
    params.title = "Unknown";
    params.jobtype = "Unknown";
    params.method = "Unknown";
    params.baset = "Unknown";
    do_parser();
}

void Tesvarin::do_parser() {
    read_header();
    read_genarr();
    read_label();
    read_mol();
    if (options.hessian) read_hessian();
    fix_basis();
    if (options.densities) read_densities();
    read_further_sections();
    // Everything is read: a parsed reader holds no descriptor.
    serializer.reset();
}

bool Tesvarin::has_magic(tesvarin::SectionLabel label, int& index) const {
    index = -1;
    const int64_t wanted = label.number;
    for (size_t i = 0; i < addresses.size(); ++i) {
        if (addresses[i].label == wanted) {
            index = static_cast<int>(i);
            return true;
        }
    }
    return false;
}

void Tesvarin::seek_section(int index) const {
    const Address& a = addresses[static_cast<size_t>(index)];
    // A start outside the file would make every later read land somewhere else.
    if (a.start < 0 || a.start > serializer->get_fsize() / 8) {
        TESVARIN_THROW("Section " + std::to_string(a.label) + " starts at word " + std::to_string(a.start) +
                       ", outside the file of " + std::to_string(serializer->get_fsize()) + " bytes");
    }
}

tesvarin::SectionView Tesvarin::open_section(int index) const {
    seek_section(index);
    const Address& a = addresses[static_cast<size_t>(index)];
    const char* name = tesvarin::section_name(a.label);
    return tesvarin::SectionView(a.label, name != nullptr ? name : "unknown", *serializer, a.start,
                                 section_words(index));
}

int64_t Tesvarin::section_words(int index) const {
    const Address& a = addresses[static_cast<size_t>(index)];
    // Saturates instead of overflowing, so every length test keeps its own message.
    int64_t words = 0;
    if (__builtin_sub_overflow(a.end, a.start, &words)) {
        return a.end < a.start ? std::numeric_limits<int64_t>::min() : std::numeric_limits<int64_t>::max();
    }
    return words;
}

void Tesvarin::check_count(const char* what, int64_t count) const {
    const int64_t file_words = serializer->get_fsize() / 8;
    if (count < 0 || count > file_words) {
        TESVARIN_THROW(std::string("Bad count in .chk: ") + what + " = " + std::to_string(count) +
                       ", but the file holds only " + std::to_string(file_words) + " words");
    }
}

void Tesvarin::claim_words(const char* what, int64_t count) const {
    const int64_t file_words = serializer->get_fsize() / 8;
    const tesvarin::Checked limit = tesvarin::Checked(file_words) * kWordsPerFileWord + kSlackWords;
    const tesvarin::Checked total = tesvarin::Checked(claimed_words) + count;
    if (!total.ok() || !limit.ok() || total.value() > limit.value()) {
        TESVARIN_THROW(std::string("Bad count in .chk: ") + what + " = " + std::to_string(count) +
                       " would make the arrays read from the file hold more than " + std::to_string(kWordsPerFileWord) +
                       " times its " + std::to_string(serializer->get_fsize()) + " bytes");
    }
    claimed_words = total.value();
}
