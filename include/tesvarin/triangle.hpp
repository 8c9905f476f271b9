// Packed triangles (lower triangle row by row, element (r, c), r >= c, at
// r (r + 1) / 2 + c) expanded into full square matrices.
#pragma once

#include <algorithm>
#include <complex>
#include <cstdint>

namespace tesvarin {

inline double mirror(double v) { return v; }
inline std::complex<double> mirror(std::complex<double> v) { return std::conj(v); }

// Writes the n x n row-major matrix of the packed triangle into `full`: the lower
// part as stored, the upper part its mirror (complex values: the conjugate, so a
// Hermitian matrix comes out whole).
template <typename T>
void unpack_triangle(const T* packed, int64_t n, T* full) {
    for (int64_t r = 0; r < n; ++r) std::copy_n(packed + r * (r + 1) / 2, r + 1, full + r * n);
    constexpr int64_t kTile = 64;  // the mirror reads columns: tile it to stay in cache
    for (int64_t rb = 0; rb < n; rb += kTile) {
        for (int64_t cb = rb; cb < n; cb += kTile) {
            const int64_t rend = std::min(rb + kTile, n), cend = std::min(cb + kTile, n);
            for (int64_t r = rb; r < rend; ++r) {
                for (int64_t c = std::max(cb, r + 1); c < cend; ++c) full[r * n + c] = mirror(full[c * n + r]);
            }
        }
    }
}

}  // namespace tesvarin
