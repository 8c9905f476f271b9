// The overlap matrix of a checkpoint's basis, S_mn = <m|n>, in the fchk's order of functions
// (an SP shell's S function before its P functions; pure functions as real solid harmonics).
//
// Each pair of primitives a, b on centres A, B gives
// (pi / p)^(3/2) exp(-mu |A - B|^2) prod_x E^(ix jx)_0 for the monomials x^i and x^j
// (McMurchie and Davidson, p = a + b, mu = a b / p), summed with the primitives' weights of the
// grid basis and turned into the shells' functions with their monomial expansions. Exact to
// rounding: no screening. A basis of more than 2^14 functions (a 2 GiB matrix) is refused.
#pragma once

#include <vector>

#include "tesvarin/records.hpp"

namespace tesvarin {

// nbasis x nbasis, row-major and symmetric.
std::vector<double> overlap_matrix(const ChkParams::Mol& mol);

}  // namespace tesvarin
