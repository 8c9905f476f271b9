// The linear combinations of basis functions that the grid evaluator sums: the orbitals
// asked for, the occupied orbitals of a density, or the eigenpairs of a stored density
// matrix. Internal to the grid evaluator.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tesvarin/grid/grid_eval.hpp"
#include "tesvarin/records.hpp"

namespace tesvarin {

// Throws "Grid evaluation: <what>".
[[noreturn]] void refuse_evaluation(const std::string& what);

// The combinations to evaluate: w (nbasis x k, row m holds w_km for every k) and, for a
// density, the lambda_k.
struct Combinations {
    int64_t k = 0;
    std::vector<double> w;
    std::vector<double> lambda;
};

// The orbitals asked for, each with lambda 1.
Combinations orbital_combinations(const ChkParams::Mol& mol, const std::vector<OrbitalRef>& orbitals);
// The occupied orbitals of the SCF density (or its spin part), weighted by occupation.
Combinations occupied_combinations(const ChkParams::Mol& mol, DensityPart part);
// The eigenpairs of stored density `kind`; with `truncate`, eigenvalues below
// 1e-14 of the largest are dropped.
Combinations matrix_combinations(const ChkParams::Mol& mol, int kind, DensityPart part, bool truncate);

// The density matrix itself, nbasis x nbasis (symmetric): stored matrix `kind` (0..8), or for
// kind -1 that of the occupied orbitals, sum_k lambda_k w_k w_k^T.
std::vector<double> density_matrix(const ChkParams::Mol& mol, int kind, DensityPart part);

}  // namespace tesvarin
