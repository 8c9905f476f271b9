// Rotation of stored coordinates, vectors, tensors and force constants from the
// input orientation into the standard orientation, with formchk's order of floating-point operations: every
// product and sum is one double operation, sums left to right, no contraction
// into fused multiply-adds (the core is built with -ffp-contract=off), so the
// last printed digit agrees.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tesvarin {

class Rotation {
public:
    // The orientation record's matrix, column by column: M(i, j) = r[i + 3j].
    explicit Rotation(const std::array<double, 9>& r) : r_(r) {}

    // Each consecutive triple as a vector.
    std::vector<double> vectors(const std::vector<double>& v) const;
    // The first `count` triples at `v` (atom positions), in place.
    void vectors_in_place(double* v, std::size_t count) const;
    // Each six values xx yx yy zx zy zz as a symmetric tensor, written back i >= j: A = M T,
    // then A M^T; with `right_first` (09 E.01's formchk) B = T M^T, then M B.
    std::vector<double> lower_tensors(const std::vector<double>& v, bool right_first = false) const;
    // xx yy zz xy xz yz, written back i <= j.
    std::vector<double> quadrupole(const std::vector<double>& v) const;
    // xxx xxy xyy yyy xxz xyz yyz xzz yzz zzz.
    std::vector<double> hyperpolarizability(const std::vector<double>& v) const;
    // Rows 3a+q (atom a, direction q) of 3 dipole components: each row, then each
    // atom's three directions per component.
    std::vector<double> dipole_derivatives(const std::vector<double>& v) const;
    // Rows 3a+q of 6 tensor components (xx yx yy zx zy zz): the same two steps.
    std::vector<double> polarizability_derivatives(const std::vector<double>& v) const;
    // Each 3x3 atom block B of the packed symmetric triangle at `ff` (side 3 natoms,
    // 3 natoms (3 natoms + 1) / 2 values) into M B M^T, in place: T = B M^T, then M T.
    void force_constants(int64_t natoms, double* ff) const;

private:
    double m(int i, int j) const { return r_[i + 3 * j]; }
    // out = M in; out may be in itself, but no other overlap of the two.
    void vector(const double* in, double* out, std::size_t stride) const;
    void tensor(const double T[3][3], double out[3][3]) const;
    void tensor_right_first(const double T[3][3], double out[3][3]) const;

    std::array<double, 9> r_;
};

}  // namespace tesvarin
