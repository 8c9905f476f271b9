// Packed triangles (lower triangle row by row, element (r, c), r >= c, at
// r (r + 1) / 2 + c) expanded into full square matrices.
#pragma once

#include <algorithm>
#include <complex>
#include <cstdint>

namespace tesvarin {

inline double mirror(double v) { return v; }
inline std::complex<double> mirror(std::complex<double> v) { return std::conj(v); }

// Completes an n x n square array from one half: a[r n + c] = mirror(a[c n + r]) for
// every c > r. Row-major, that fills the upper triangle from the lower; column-major,
// the lower from the upper. The copy reads across rows, so it goes tile by tile to
// stay in cache.
template <typename T>
void mirror_square(T* a, int64_t n) {
    constexpr int64_t kTile = 64;
    for (int64_t rb = 0; rb < n; rb += kTile) {
        for (int64_t cb = rb; cb < n; cb += kTile) {
            const int64_t rend = std::min(rb + kTile, n), cend = std::min(cb + kTile, n);
            for (int64_t r = rb; r < rend; ++r) {
                for (int64_t c = std::max(cb, r + 1); c < cend; ++c) a[r * n + c] = mirror(a[c * n + r]);
            }
        }
    }
}

// Writes the n x n row-major matrix of the packed triangle into `full`: the lower
// part as stored, the upper part its mirror (complex values: the conjugate, so a
// Hermitian matrix comes out whole).
template <typename T>
void unpack_triangle(const T* packed, int64_t n, T* full) {
    for (int64_t r = 0; r < n; ++r) std::copy_n(packed + r * (r + 1) / 2, r + 1, full + r * n);
    mirror_square(full, n);
}

}  // namespace tesvarin
