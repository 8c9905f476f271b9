// Harmonic vibrational analysis from Cartesian force constants: the Hessian is
// mass-weighted, translations and rotations about the centre of mass are projected
// out (two rotations for a linear molecule, none for an atom), and what remains is
// diagonalised, as the program does for its "Frequencies --" table.
#pragma once

#include <Eigen/Dense>
#include <cstdint>
#include <vector>

#include "tesvarin/thermo/physical_constants.hpp"

namespace tesvarin {

struct HarmonicAnalysis {
    int64_t natoms = 0;
    int64_t nmodes = 0;  // 3N - 6, 3N - 5 when linear, 0 for an atom
    bool linear = false;
    std::vector<double> frequencies;      // cm^-1, ascending, imaginary ones negative
    std::vector<double> reduced_masses;   // amu
    std::vector<double> force_constants;  // mDyne/Angstrom, from |frequency| as the program prints them
    std::vector<double> modes;            // nmodes x natoms x 3 Cartesian displacements, each of unit length
    // km/mol, |d mu / d Q|^2 of each mode; empty when no dipole derivatives were given.
    std::vector<double> ir_intensities;
};

// `hessian`: 3N square, Hartree/Bohr^2; `coords`: at least 3N values, Bohr; `masses`: N values, amu,
// each positive. `dipole_derivatives`: empty, or 9N values d mu_k / d x_r at [3r + k] (e), in the
// frame of `coords`, which give the IR intensities. Throws on sizes that disagree, non-finite input
// or a mass that is not positive.
HarmonicAnalysis harmonic_analysis(const Eigen::MatrixXd& hessian, const std::vector<double>& coords,
                                   const std::vector<double>& masses, const PhysicalConstants& constants = codata2010,
                                   const std::vector<double>& dipole_derivatives = {});

}  // namespace tesvarin
