// Atomic point charges fitted by least squares to a potential at points: the total
// charge (and, if asked, the dipole) held by Lagrange multipliers, atoms made to share
// one charge or held at a given one, and RESP's hyperbolic restraint
// a * sum (sqrt(q^2 + b^2) - b) over the restrained atoms. Atomic units throughout.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace tesvarin {

struct ChargeFitProblem {
    std::vector<double> atoms;      // natoms x 3, Bohr
    std::vector<double> points;     // npoints x 3, Bohr
    std::vector<double> potential;  // npoints, Hartree/e
    double total_charge = 0.0;
    std::optional<std::array<double, 3>> dipole;  // e Bohr, about the origin
    // Per atom: the index of the charge it takes (atoms with one index share it), or -1 for
    // an atom held at `fixed`[atom]. Empty: every atom has its own charge.
    std::vector<int64_t> share;
    std::vector<double> fixed;
    double restraint_a = 0.0;      // Hartree^2/e^2 ... in the least-squares sum's units
    double restraint_b = 0.1;      // e
    std::vector<char> restrained;  // per atom; empty: none
    double tolerance = 1e-10;      // largest change of a charge that ends the restrained iterations
    int64_t max_iterations = 200;
};

struct ChargeFit {
    std::vector<double> charges;  // natoms, e
    double rms = 0.0;             // sqrt(mean squared residual), Hartree/e
    double rrms = 0.0;            // sqrt(sum of squared residuals / sum of squared potential)
    int64_t iterations = 0;       // solves of the normal equations (1 without a restraint)
};

ChargeFit fit_charges(const ChargeFitProblem& problem);

}  // namespace tesvarin
