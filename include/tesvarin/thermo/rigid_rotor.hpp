// The rigid rotor of a molecule: centre of mass, principal moments and axes of
// inertia, linearity, and the rotational symmetry number (the order of the group of
// proper rotations that map the nuclei, with their masses, onto themselves).
#pragma once

#include <Eigen/Dense>
#include <cstdint>
#include <string>
#include <vector>

namespace tesvarin {

// `coords`: x y z per atom, Bohr (at least 3N values); `masses`: N values, amu.
Eigen::Vector3d centre_of_mass(const std::vector<double>& coords, const std::vector<double>& masses);

struct Inertia {
    Eigen::Vector3d moments;  // amu Bohr^2, ascending
    Eigen::Matrix3d axes;     // column k: the axis of moments(k)
};
Inertia principal_moments(const std::vector<double>& coords, const std::vector<double>& masses);

// Throws "<who>: ..." when a coordinate is not finite, or when the centre of mass or the moments
// of inertia leave the range in which the rigid rotor and the rotations of a harmonic analysis
// stay finite (an atom far out or heavy).
void check_geometry(const std::vector<double>& coords, const std::vector<double>& masses, const std::string& who);

// True for two or more atoms on one line (the smallest moment vanishes).
bool is_linear(const std::vector<double>& coords, const std::vector<double>& masses);

// The number of proper rotations (the identity included) that carry every atom onto an
// atom of the same element and mass within `tolerance` Bohr: 2 for water, 12 for methane,
// 2 for a centrosymmetric linear molecule, 1 for any other linear one or an atom.
int64_t rotational_symmetry_number(const std::vector<double>& coords, const std::vector<int64_t>& atomic_numbers,
                                   const std::vector<double>& masses, double tolerance = 1e-4);

}  // namespace tesvarin
