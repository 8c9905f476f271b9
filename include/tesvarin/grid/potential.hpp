// The electrostatic potential of a checkpoint's nuclei and electrons at points in space, and
// optionally the electric field: V(C) = sum_A Z_A / |C - A| - sum_mn D_mn (m| 1/|r - C| |n), in
// Hartree per elementary charge (positive near the nuclei), E = -grad V in Hartree / (e Bohr).
//
// The density matrix is contracted with the basis before any point is seen: each pair of
// primitives becomes a Gaussian charge distribution at P = (a A + b B) / (a + b) written in
// Hermite Gaussians (McMurchie and Davidson), h_tuv = sum_mn D_mn c_m c_n E^mn_tuv, and
// distributions with the same exponent and centre (the S and P halves of an SP shell, pairs on
// one atom whose exponents add up alike) are summed into one. At a point C a distribution
// gives (2 pi / p) sum_tuv h_tuv R_tuv(p, P - C), the R from the Boys function by their
// recursion; points go in blocks over threads as in the grid evaluator.
//
// Screening (tolerance eps > 0): a distribution contributes at most
// B = (2 pi / p) sum_tuv |h_tuv| p^(n/2) k^3 sqrt(2^n t! u! v!) / (n + 1) at any point
// (n = t + u + v, k = 1.0865 from Cramer's bound on Hermite functions; one order higher for
// the field); the distributions with the smallest B are left out as long as their B add up
// to no more than eps, so the potential (and each field component) moves by at most eps
// Hartree/e anywhere. With eps = 0 every distribution is kept.
//
// The nuclear part is exact. At a nucleus the potential is infinite (and the field not a
// number): the values there are +inf and NaN, as the Coulomb law gives them. Anywhere else a
// value past the range of a double is refused, never handed on; beyond 1e100 Bohr a nucleus is
// left out and a distribution counts as its charge alone. A basis whose distributions would hold
// more than 2^28 coefficients, or take more than 2^36 steps to set up, is refused before any is
// built (a molecule's basis needs some 1e5 and 1e6).
#pragma once

#include <cstdint>

#include "tesvarin/grid/grid_eval.hpp"
#include "tesvarin/records.hpp"

namespace tesvarin {

// The density whose potential is asked for: kind and part as for DensityRef (kind -1: the
// occupied orbitals); `field` adds the three components of the field after each value;
// `nuclei` and `electrons` choose the parts summed (both by default).
struct PotentialRef {
    int kind = 0;
    DensityPart part = DensityPart::Total;
    bool field = false;
    bool nuclei = true;
    bool electrons = true;
    double accuracy = 0.0;  // Hartree/e the far field may move the potential by; 0: every sum exact
};

// Values per point: 1, or 4 with the field (V, Ex, Ey, Ez).
int64_t potential_width(bool field);

// The potential (and field) at every point of `points`: out holds count x potential_width values.
// A spin, alpha or beta part has no nuclei: with `nuclei` asked for, they count only in the total.
void evaluate_potential(const ChkParams::Mol& mol, const PotentialRef& ref, const PointSet& points,
                        const EvalOptions& options, double* out);

}  // namespace tesvarin
