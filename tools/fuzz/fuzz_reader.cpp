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
#include <sanitizer/allocator_interface.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>

#include "tesvarin/parser.hpp"

namespace {
constexpr int64_t kParseBytesPerByte = 5;            // four for the arrays, one for a section's words in passing
constexpr int64_t kParseSlack = int64_t{256} << 10;  // the reader's 32 KiB budget slack and fixed buffers
constexpr int64_t kWriteBytesPerByte = 16;
constexpr int64_t kWriteSlack = int64_t{8} << 20;

int input_fd = -1;
std::string input_path;

// Heap bytes allocated minus freed since the last reset, and their peak.
int64_t live_bytes = 0;
int64_t peak_bytes = 0;
bool tracking = false;

void on_malloc(const volatile void*, size_t size) {
    if (!tracking) return;
    live_bytes += static_cast<int64_t>(size);
    peak_bytes = std::max(peak_bytes, live_bytes);
}
void on_free(const volatile void* ptr) {
    if (!tracking || ptr == nullptr) return;
    live_bytes -= static_cast<int64_t>(__sanitizer_get_allocated_size(const_cast<void*>(ptr)));
}

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
    // A memory file keeps the disk out of the loop; its /proc name opens like any path.
    input_fd = memfd_create("fuzz_chk", MFD_CLOEXEC);
    if (input_fd < 0) {
        std::perror("memfd_create");
        std::abort();
    }
    input_path = "/proc/self/fd/" + std::to_string(input_fd);
    __sanitizer_install_malloc_and_free_hooks(on_malloc, on_free);
    // The reader says when it changes coordinates; the fuzzer needs none of that.
    std::freopen("/dev/null", "w", stdout);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (ftruncate(input_fd, 0) != 0 || pwrite(input_fd, data, size, 0) != static_cast<ssize_t>(size)) std::abort();
    const auto file_bytes = static_cast<int64_t>(size);
    live_bytes = peak_bytes = 0;
    tracking = true;
    std::unique_ptr<Tesvarin> t;
    try {
        t = std::make_unique<Tesvarin>(input_path);
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
    tracking = false;
    check_peak("the parse and the writers", kWriteBytesPerByte * file_bytes + kWriteSlack, size);
    return 0;
}
