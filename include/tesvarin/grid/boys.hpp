// The Boys function F_n(T) = integral_0^1 t^(2n) exp(-T t^2) dt, which the Coulomb integrals of
// Gaussian charge distributions reduce to.
//
// Below kBoysTable(n) the highest order asked for comes from a table at steps of 0.1 by a Taylor
// series of kBoysTaylor terms (remainder below 5e-18 relative), the lower orders by the downward
// recursion F_n = (2T F_(n+1) + exp(-T)) / (2n + 1), which only adds positive terms. Beyond it
// F_0 = sqrt(pi / T) / 2 (erfc(6) < 3e-17 relative) and the upward recursion
// F_(n+1) = ((2n + 1) F_n - exp(-T)) / 2T, whose subtraction loses no digit that far out.
#pragma once

#include <cstdint>

namespace tesvarin {

// Highest order given: twice the grid evaluator's largest angular momentum, plus one for the field.
constexpr int kMaxBoysOrder = 27;

// F_0(T) .. F_n(T) into f[0 .. n]; n <= kMaxBoysOrder, T >= 0.
void boys(int n, double t, double* f);

// The same for kBoysLanes values of T side by side: F_m(t[l]) into f[m * kBoysLanes + l].
constexpr int kBoysLanes = 8;
void boys_lanes(int n, const double* t, double* f);

// The table's end for order n: the upward recursion is used from there on.
double boys_table_end(int n);

}  // namespace tesvarin
