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
// Far field (accuracy a > 0, the potential only; the field is always summed exactly): each atom
// gathers the distributions whose P is its own or, for a pair of atoms, lies nearer the atom of the
// larger exponent; O is the atom. A distribution rho = sum c_tuv Lambda_tuv, Lambda_tuv =
// d^tuv/dP^tuv exp(-p |r - P|^2), c = h p / (2 pi), has the Cartesian moments over a! b! c! about O
//   W_abc = sum_tuv c_tuv mu_(a-t)(Px - Ox) mu_(b-u)(Py - Oy) mu_(c-v)(Pz - Oz),
//   mu_j(x) = sqrt(pi / p) sum_m x^(j-2m) / ((j - 2m)! m! (4p)^m),
// and at a point C the atom's expansion of order L gives sum_(a+b+c <= L) W_abc T_abc(O - C),
// T_abc = d^abc 1/|X|. By Hobson's theorem the degree-n part is (-1)^n (2n - 1)!! h_n(X) / r^(2n+1),
// h_n the harmonic part of p_n = sum W_abc x^a y^b z^c (the rest of p_n holds a factor r^2, whose
// Laplacian takes 1/r to 0), so each point costs two operations a coefficient: monomials of
// u = X / r^2, over r.
// The error bound: a distribution's exact potential is that of its point multipoles at P,
// w_tuv d^tuv 1/|P - C| (w = h sqrt(pi / p) / 2), less a penetration; the moments' terms that carry
// the width (m > 0) are Laplacians of 1/r and vanish, so the expansion is the point multipoles' own
// Taylor series about O, cut at order L. Hence, with D = |P - C|, d = |P - O|, r = |O - C| > d:
//  - penetration: sum_tuv |h_tuv| U_tuv(D), U from the recursion with every |X_e| taken as D and
//    U^m_000 = (2p)^m exp(-T) sum_(j <= 2m) (2m)! / (2m - j)! / (2T)^(j+1), T = p D^2, which bounds
//    (2p)^m times integral_1^inf t^(2m) exp(-T t^2) dt, the difference of F_m from its point value;
//  - truncation: the degree-n point multipoles are harmonic in P within the ball of radius rho about
//    O (d < rho < r) and at most W_n / (r - rho)^(n+1) on its sphere, W_n = sum_(t+u+v=n) |w_tuv|
//    k^3 sqrt(2^n t! u! v!) Gamma((n + 1) / 2) 2^((n+1)/2) / sqrt(pi) (Cramer's bound inside
//    1/|X| = (2 / sqrt(pi)) integral exp(-X^2 s^2) ds); their degree-k Taylor term is then at most
//    (2k + 1) (d / rho)^k times that (the Poisson kernel), so the terms past order L - n add up to
//    at most W_n / (r - rho)^(n+1) S_(L-n+1)(d / rho), S_m(x) = x^m ((2m + 1) / (1 - x) +
//    2x / (1 - x)^2); the least over rho = 0.2, 0.4, 0.6, 0.8 r is taken.
// Both fall with distance. Each of the N distributions kept gets the share a / N: half for each
// term. Its radius is the distance from O beyond which both stay within their halves (the
// penetration's radius about P plus d, and the truncation's about O, found by bisection on the
// falling side and rounded up to quarter Bohrs). A block of points whose box lies beyond a
// distribution's radius takes it through the moments; every other block sums it exactly. At any
// point the far field thus moves the potential by at most the shares of the distributions it
// took, at most a (besides the rounding of sums taken in another order). Each atom's L is the one of 6, 9, 12, 16, 20
// (or none) of least estimated work for points spread over their box (a list's points go in runs of 128 as given: in
// spatial order most runs' boxes lie off the atoms); the moments of the distributions that join at each radius are kept
// summed (at most 2^22 numbers: coarser radii beyond). Where the exact sums cost less than ten
// times this set-up (a few thousand points), every sum stays exact.
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
