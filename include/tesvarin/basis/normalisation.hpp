// Norms of Gaussian primitives and of contracted functions, as the basis fix-up
// and the renormalisation pass apply them.
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
