// The formatted checkpoint: two preamble lines, then the labelled entries of
// fchk_entries. Values are written as stored (lengths in Bohr, the basis as
// fix_basis left it, densities packed) or as formchk computes them. The file is
// streamed: its text never sits in memory whole.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <thread>

#include "tesvarin/write/fchk_entry.hpp"
#include "tesvarin/write/fchk_text.hpp"
#include "tesvarin/write/fchk_writer.hpp"

namespace {
// Text entries in whole 12-character pieces and formchk's rounding of real
// scalars in the complete file; the basic file keeps its own forms.
void format(tesvarin::FchkText& f, const tesvarin::FchkEntry& e, bool complete) {
    using Kind = tesvarin::FchkEntry::Kind;
    switch (e.kind) {
        case Kind::IntScalar:
            f.int_scalar(e.label, e.int_value);
            break;
        case Kind::RealScalar:
            complete ? f.real_scalar_two_step(e.label, e.real_value) : f.real_scalar(e.label, e.real_value);
            break;
        case Kind::IntArray:
            f.int_array(e.label, e.int_data(), e.size());
            break;
        case Kind::RealArray:
            f.real_array(e.label, e.real_data(), e.size());
            break;
        case Kind::Text:
            complete ? f.padded_text_array(e.label, e.text) : f.text_array(e.label, e.text);
            break;
    }
}

// Both cores by default: formatting, not the disk, bounds the writer.
unsigned default_threads() { return std::min(2u, std::max(1u, std::thread::hardware_concurrency())); }
}  // namespace

bool tesvarin::write_fchk(const ChkParams& p, const std::vector<FchkEntry>& entries, const std::string& fname,
                          bool complete, unsigned threads) {
    std::FILE* fp = std::fopen(fname.c_str(), "w");
    if (fp == nullptr) return false;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> closer(fp, std::fclose);  // closed on any exception too
    tesvarin::FchkText f(fp, threads == 0 ? default_threads() : threads);
    f.padded(p.title.size() > 72 ? p.title.substr(0, 71) : p.title, 72);
    f.out += '\n';
    // Each field ends at its first NUL, as a C string would (the info text may hold NULs).
    f.padded(p.jobtype.c_str(), 10);
    f.padded(p.method.c_str(), 60);
    f.padded(p.baset.c_str(), 20);
    f.out += '\n';
    for (const auto& e : entries) format(f, e, complete);
    const bool written = f.flush() && std::fflush(fp) == 0 && std::ferror(fp) == 0;
    return std::fclose(closer.release()) == 0 && written;
}
