// What the libFuzzer harnesses share: the input as a file (a memory file, whose /proc name opens
// like any path, keeps the disk out of the loop) and the heap bytes held, tracked through the
// sanitizer's allocation hooks so that a harness can hold its peak against the input's size.
#pragma once

#include <sanitizer/allocator_interface.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace fuzz_input {

inline int fd = -1;
inline std::string path;

// Heap bytes allocated minus freed while `tracking`, and their peak.
inline int64_t live_bytes = 0;
inline int64_t peak_bytes = 0;
inline bool tracking = false;

inline void on_malloc(const volatile void*, size_t size) {
    if (!tracking) return;
    live_bytes += static_cast<int64_t>(size);
    peak_bytes = std::max(peak_bytes, live_bytes);
}
inline void on_free(const volatile void* ptr) {
    if (!tracking || ptr == nullptr) return;
    live_bytes -= static_cast<int64_t>(__sanitizer_get_allocated_size(const_cast<void*>(ptr)));
}

// From LLVMFuzzerInitialize: the memory file, the hooks, and standard output (where the reader
// says when it changes coordinates) to /dev/null.
inline void initialise() {
    fd = memfd_create("fuzz_chk", MFD_CLOEXEC);
    if (fd < 0) {
        std::perror("memfd_create");
        std::abort();
    }
    path = "/proc/self/fd/" + std::to_string(fd);
    __sanitizer_install_malloc_and_free_hooks(on_malloc, on_free);
    std::freopen("/dev/null", "w", stdout);
}

// The input becomes the file's whole content.
inline void write(const uint8_t* data, size_t size) {
    if (ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) std::abort();
}

}  // namespace fuzz_input
