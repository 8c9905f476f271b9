// The basis of a parsed checkpoint in the form the grid evaluator uses: one shell per
// angular momentum (an SP shell becomes an S and a P shell over the same exponents), each
// primitive's weight holding its contraction coefficient and the x^l normalisation, and
// every function's angular part as a homogeneous polynomial.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "tesvarin/records.hpp"

namespace tesvarin {

// Largest angular momentum the evaluator takes (the reader's normalisation stops there too).
constexpr int kMaxGridL = 13;

struct AngularTerm {
    double coef;
    int ax, ay, az;
};

// The angular part of one function: sum of coef x^ax y^ay z^az, ax + ay + az = l.
using AngularFunction = std::vector<AngularTerm>;

// The functions of a shell of angular momentum l, in the fchk's order: Cartesian ones with
// the factor that normalises each of them relative to x^l, pure ones as real solid harmonics.
const std::vector<AngularFunction>& angular_functions(int l, bool pure);

struct GridShell {
    int l = 0;
    bool pure = false;
    std::array<double, 3> centre{};        // Bohr
    int64_t prim_begin = 0, prim_end = 0;  // into GridBasis::alpha and ::weight
    int64_t first = 0;                     // its first basis function
    int64_t nfunc = 0;
    double angular_bound = 1.0;  // |angular part| <= angular_bound r^l for each function
};

class GridBasis {
public:
    // Throws when the basis members of `mol` disagree with each other or with nbasis.
    explicit GridBasis(const ChkParams::Mol& mol);

    std::vector<GridShell> shells;
    std::vector<double> alpha;   // exponent of each primitive, Bohr^-2
    std::vector<double> weight;  // contraction coefficient times (2a/pi)^(3/4) (4a)^(l/2) / sqrt((2l-1)!!)
    int64_t nbasis = 0;

    // Per primitive, the squared distance beyond which it contributes less than
    // eps / (primitives of its shell) to every function of its shell, and to the first
    // `derivatives` derivatives (gradient components, Laplacian) of each. eps = 0: infinite.
    std::vector<double> screening_radii2(double eps, int derivatives) const;
};

}  // namespace tesvarin
