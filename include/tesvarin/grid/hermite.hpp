// Pieces of the McMurchie-Davidson integrals shared by the potential and the overlap: the
// Cartesian monomials of a shell, each basis function written over them, and the Hermite
// expansion coefficients of a one-dimensional Gaussian product. Internal to the grid code.
#pragma once

#include <array>
#include <vector>

namespace tesvarin {

// Cartesian monomials of degree l, x^l first.
std::vector<std::array<int, 3>> monomials(int l);

// T[f * ncart + c]: the coefficient of monomial c in function f of a shell (fchk order).
std::vector<double> to_monomials(int l, bool pure);

// Hermite expansion coefficients of a one-dimensional Gaussian product, without exp(-mu X_AB^2):
// e[(i * (lb + 1) + j) * (la + lb + 1) + t] = E^ij_t.
void hermite_1d(int la, int lb, double p, double xpa, double xpb, std::vector<double>& e);

}  // namespace tesvarin
