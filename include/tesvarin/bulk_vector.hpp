// Storage for the large arrays of a checkpoint (orbitals, densities, the basis).
//
// A std::vector zero-fills what it grows by, and the read then overwrites every
// word: twice the memory traffic for nothing. This allocator leaves new elements
// uninitialised (the read fills them and clears any unread tail), and asks the
// kernel for huge pages on blocks of a megabyte or more, so a gigabyte takes
// hundreds of page faults instead of a quarter of a million (and the basis of a
// large molecule, a few dozen arrays of a megabyte or two each, a few dozen).
#pragma once

#include <sys/mman.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <utility>
#include <vector>

namespace tesvarin {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

// Advises huge pages for the whole 2 MiB pages inside [data, data + bytes).
inline void advise_huge_pages(void* data, std::size_t bytes) {
#ifdef MADV_HUGEPAGE
    const auto begin = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (begin + kHugePage - 1) & ~(kHugePage - 1);
    const std::uintptr_t last = (begin + bytes) & ~(kHugePage - 1);
    if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
    (void)data, (void)bytes;
#endif
}

template <typename T>
struct BulkAllocator {
    using value_type = T;

    BulkAllocator() = default;
    template <typename U>
    BulkAllocator(const BulkAllocator<U>&) noexcept {}  // NOLINT: rebinding is implicit

    T* allocate(std::size_t n) {
        // No object may exceed PTRDIFF_MAX bytes, rounding up to whole huge pages included.
        if (n > (std::size_t(PTRDIFF_MAX) - kHugePage) / sizeof(T)) throw std::bad_array_new_length();
        const std::size_t bytes = n * sizeof(T);
        void* p = nullptr;
        if (bytes >= kHugePage / 2) {
            const std::size_t rounded = (bytes + kHugePage - 1) & ~(kHugePage - 1);
            p = std::aligned_alloc(kHugePage, rounded);
            // A block under one huge page takes a whole one; a larger block keeps its
            // partial last page in small pages, so that it holds no more than it uses.
            if (p != nullptr) advise_huge_pages(p, bytes < kHugePage ? rounded : bytes);
        } else {
            p = std::malloc(bytes == 0 ? 1 : bytes);
        }
        if (p == nullptr) throw std::bad_alloc();
        return static_cast<T*>(p);
    }
    void deallocate(T* p, std::size_t) noexcept { std::free(p); }

    // Growing without a value default-initialises: nothing is written for doubles.
    template <typename U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }

    friend bool operator==(const BulkAllocator&, const BulkAllocator&) { return true; }
    friend bool operator!=(const BulkAllocator&, const BulkAllocator&) { return false; }
};

template <typename T>
using bulk_vector = std::vector<T, BulkAllocator<T>>;

}  // namespace tesvarin
