// Free numeric helpers: primitive and contraction norms, bit unpacking and the
// rotation of packed force constants.
#pragma once

#include <cstdint>
#include <vector>

// Same-centre integral of x^L exp(-a r^2) with x^L exp(-b r^2): overlap for IType 1,
// Coulomb repulsion for IType 2, and 1.0 for IType 0. L runs from 0 to 13.
double PrmNrm(int64_t IType, int64_t L, double a, double b);

// Scales the first n coefficients of one contracted function to unit norm.
// `exps` holds the n exponents, `primNorms` PrmNrm(IType, L, e_i, e_i).
void NormCC(int64_t IType, int64_t shell, int64_t spare, int64_t L, int64_t n, const double* exps,
            std::vector<double>& cvec, const std::vector<double>& primNorms);

// Whether bit `bit` (0 = least significant, 63 = sign) of `value` is set.
bool LBit(int64_t value, int bit);

// Splits a word into its two 32-bit halves; a half whose top bit is set reads as -1.
void BNUPak(int64_t value, int& high, int& low);

// Rotates each 3x3 atom block B of the packed symmetric matrix `ff` (side 3 natoms)
// into R^T B R, where R[3i + j] is row i, column j.
void RotFF1(int64_t natoms, const double* R, std::vector<double>& ff);
// The same on a packed triangle of 3 natoms (3 natoms + 1) / 2 values at `ff`.
void RotFF1(int64_t natoms, const double* R, double* ff);
