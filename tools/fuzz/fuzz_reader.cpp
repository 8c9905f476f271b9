// libFuzzer entry point: the input becomes a file, as a user's checkpoint would be,
// and goes through the whole parse, the gjf, basic and complete fchk writers and the
// conversions that the Python module serves from the core (fchk_entries among them).
// A clean refusal (_Error or another standard exception) is the right answer to a
// damaged file; a crash, a sanitizer report, a hang or memory far beyond the file's
// size is a finding.
//
// Memory: the reader may hold arrays of at most four times the file's size plus a
// small slack, and reads a section's words in passing; the heap peak during the parse
// is checked against that, and the peak during the writers (whose text is about twice
// what it formats) against a looser bound.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>

#include "fuzz_input.hpp"
#include "tesvarin/parser.hpp"
#include "tesvarin/write/fchk_entry.hpp"

namespace {
constexpr int64_t kParseBytesPerByte = 5;            // four for the arrays, one for a section's words in passing
constexpr int64_t kParseSlack = int64_t{256} << 10;  // the reader's 32 KiB budget slack and fixed buffers
constexpr int64_t kWriteBytesPerByte = 16;
constexpr int64_t kWriteSlack = int64_t{8} << 20;

using fuzz_input::peak_bytes;

void check_peak(const char* stage, int64_t limit, size_t size) {
    if (peak_bytes <= limit) return;
    std::fprintf(stderr, "==fuzz_reader== %s of a %zu-byte file held %lld heap bytes, above the limit of %lld\n", stage,
                 size, static_cast<long long>(peak_bytes), static_cast<long long>(limit));
    std::abort();
}

// What the Python properties derive from the record: element symbols and the leading
// natoms entries of the per-atom arrays.
size_t python_views(const ChkParams& p) {
    const auto& mol = p.mol;
    const auto natoms = static_cast<size_t>(std::max<int64_t>(mol.natoms, 0));
    size_t sum = 0;
    for (size_t a = 0; a < std::min(natoms, mol.atomicnums.size()); ++a) sum += *element_symbol(mol.atomicnums[a]);
    sum += mol.coords.size() >= 3 * natoms ? 1 : 0;
    sum += mol.cshell.size() >= 3 * static_cast<size_t>(std::max<int64_t>(mol.NShell, 0)) ? 1 : 0;
    sum += static_cast<size_t>(mol.hessian.rows() * mol.hessian.cols());
    return sum + static_cast<size_t>(p.genarr.size() > 42 ? p.genarr[42] != 0 : 0);
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz_input::initialise();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_input::write(data, size);
    const auto file_bytes = static_cast<int64_t>(size);
    fuzz_input::live_bytes = peak_bytes = 0;
    fuzz_input::tracking = true;
    std::unique_ptr<Tesvarin> t;
    try {
        t = std::make_unique<Tesvarin>(fuzz_input::path);
    } catch (const std::exception&) {
        // A clean refusal.
    }
    check_peak("the parse", kParseBytesPerByte * file_bytes + kParseSlack, size);
    if (t) {
        volatile size_t sink = python_views(t->get_params());
        (void)sink;
        for (auto write : {&Tesvarin::write_fchk, &Tesvarin::write_gjf, &Tesvarin::write_complete_fchk}) {
            try {
                ((*t).*write)("/dev/null");
            } catch (const std::exception&) {
                // A further section that is damaged refuses the complete file only.
            }
        }
        for (bool complete : {false, true}) {  // what the module's fchk_entries hands to Python
            try {
                sink = sink + t->fchk_entries(complete).size();
            } catch (const std::exception&) {
            }
        }
        // The module's default: a damaged section is left out, never refused.
        Tesvarin::Skipped skipped;
        sink = sink + t->fchk_entries(true, &skipped).size() + t->get_further().damage().size();
        t->write_fchk("/dev/null", true, 1, &skipped);
    }
    t.reset();
    fuzz_input::tracking = false;
    check_peak("the parse and the writers", kWriteBytesPerByte * file_bytes + kWriteSlack, size);
    return 0;
}
