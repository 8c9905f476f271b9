// Step 5: the Cartesian force constants, rotated into the atoms' frame when the
// orientation record was applied, and expanded into the full symmetric Hessian.
//
// The packed triangle is read straight into the matrix's own storage and
// expanded there, so the parse holds one copy of the force constants.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "tesvarin/bulk_vector.hpp"
#include "tesvarin/parser.hpp"
#include "tesvarin/read/rotation.hpp"
#include "tesvarin/triangle.hpp"

namespace {
bool is_identity(const std::array<double, 9>& m) {
    static const std::array<double, 9> identity{1, 0, 0, 0, 1, 0, 0, 0, 1};
    return m == identity;
}

// Rotating by the identity changes nothing but a negative zero (which meets a
// +0 product) and the neighbours of an infinity or NaN (which meet 0 * inf).
bool identity_rotation_is_exact(const double* v, int64_t count) {
    for (int64_t i = 0; i < count; ++i) {
        if (!std::isfinite(v[i]) || (v[i] == 0 && std::signbit(v[i]))) return false;
    }
    return true;
}

// The n x n column-major matrix whose first n(n+1)/2 words hold the lower triangle
// row by row becomes the full symmetric matrix: v + 0 off the diagonal (turns -0
// into +0), (v + v) / 2 on it.
void expand_in_place(double* h, int64_t n) {
    // Row i of the triangle is column i's upper part (rows 0..i). Last row first:
    // column i starts at i n >= i (i + 1) / 2, past every row not yet moved.
    for (int64_t i = n - 1; i >= 0; --i) {
        double* column = h + i * n;
        std::memmove(column, h + i * (i + 1) / 2, static_cast<size_t>(i + 1) * sizeof(double));
        for (int64_t j = 0; j < i; ++j) column[j] += 0.0;
        column[i] = (column[i] + column[i]) * 0.5;
    }
    tesvarin::mirror_square(h, n);  // the upper part into the lower
}
}  // namespace

void Tesvarin::read_hessian() {
    auto& mol = params.mol;
    int index = -1;
    if (!has_magic(tesvarin::section::kForceConstants, index)) return;
    const tesvarin::SectionView section = open_section(index);
    const int64_t n = 3 * mol.natoms;
    const int64_t packed = n * (n + 1) / 2;
    check_count("force constant count", packed);
    claim_words("Hessian size", n * n);  // the packed values are expanded in the matrix's own storage
    mol.hessian.resize(n, n);
    double* h = mol.hessian.data();
    tesvarin::advise_huge_pages(h, static_cast<size_t>(n * n) * sizeof(double));
    section.fetch(h, 0, packed);
    if (rotated && !(is_identity(mol.stdrot) && identity_rotation_is_exact(h, packed))) {
        tesvarin::Rotation(mol.stdrot).force_constants(mol.natoms, h);
    }
    expand_in_place(h, n);
}
