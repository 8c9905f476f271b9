// Ideal-gas, rigid-rotor, harmonic-oscillator thermochemistry in the program's
// conventions (its "Thermochemistry" section): translational, electronic (the
// multiplicity's degeneracy only), rotational and vibrational contributions;
// imaginary modes left out; modes below 900 K listed one by one. Optional
// quasi-harmonic treatments of the low modes, off by default.
#pragma once

#include <Eigen/Dense>
#include <cstdint>
#include <vector>

#include "tesvarin/thermo/physical_constants.hpp"

namespace tesvarin {

// Low modes treated as the community does; each is off while its cut-off is 0.
struct QuasiHarmonicOptions {
    double entropy_cutoff = 0;       // cm^-1: Grimme's quasi-RRHO entropy (usually 100)
    double enthalpy_cutoff = 0;      // cm^-1: Head-Gordon's quasi-harmonic energy (usually 100)
    double damping_exponent = 4;     // alpha of the damping function 1 / (1 + (cutoff / nu)^alpha)
    double average_inertia = 1e-44;  // kg m^2: Grimme's B_av, the free rotor's limiting moment
    double raise_cutoff = 0;         // cm^-1: Truhlar's raising of lower frequencies, for the entropy
    double concentration = 0;        // mol/L: the translational entropy's standard state (1 M); 0 keeps the pressure's
};

struct ThermoOptions {
    double temperature = 298.15;  // K
    double pressure = 1.0;        // atm
    double scale = 1.0;           // factor on every frequency
    int64_t symmetry_number = 0;  // 0: detected from the geometry
    QuasiHarmonicOptions quasi_harmonic;
    PhysicalConstants constants = codata2010;  // codata2006 for Gaussian 09's numbers
};

struct ThermoInput {
    std::vector<int64_t> atomic_numbers;
    std::vector<double> coords;       // Bohr, x y z per atom
    std::vector<double> masses;       // amu
    std::vector<double> frequencies;  // cm^-1, unscaled, imaginary ones negative
    int64_t multiplicity = 1;
    double electronic_energy = 0;  // Hartree
};

// One row of the E / CV / S table.
struct Contribution {
    double energy = 0;   // kcal/mol
    double cv = 0;       // cal/(mol K)
    double entropy = 0;  // cal/(mol K)
};

// ln Q with the energy zero at the bottom of the well and at the zero-point level.
struct LnQ {
    double bottom = 0;
    double zero_point = 0;
};

enum class RotorKind { atom = 0, linear = 1, asymmetric = 2, prolate = 3, oblate = 4, spherical = 5 };

struct Thermochemistry {
    double temperature = 0;  // K
    double pressure = 0;     // atm
    double scale = 1;
    PhysicalConstants constants = codata2010;           // those used
    std::vector<double> masses;                         // amu, those used
    double molecular_mass = 0;                          // amu
    Eigen::Vector3d moments = Eigen::Vector3d::Zero();  // amu Bohr^2, ascending
    Eigen::Matrix3d axes = Eigen::Matrix3d::Identity();
    RotorKind rotor = RotorKind::atom;
    int64_t symmetry_number = 1;
    std::vector<double> rotational_temperatures;  // K: one for a linear molecule, three otherwise, none for an atom
    std::vector<double> rotational_constants;     // GHz, likewise
    int64_t imaginary_count = 0;
    std::vector<double> frequencies;               // cm^-1, the real modes, scaled
    std::vector<double> vibrational_temperatures;  // K
    double zero_point_energy = 0;                  // Hartree
    double electronic_energy = 0;                  // Hartree
    double thermal_energy = 0;                     // Hartree, correction including the ZPE
    double thermal_enthalpy = 0;
    double thermal_gibbs = 0;
    Contribution total, electronic, translational, rotational, vibrational;
    std::vector<int64_t> low_modes;  // indices into `frequencies` of the modes below 900 K
    std::vector<Contribution> low_mode_contributions;
    LnQ q_total, q_vibrational;
    double q_electronic = 0, q_translational = 0, q_rotational = 0;  // ln Q
    std::vector<LnQ> q_low_modes;
    // The quasi-harmonic results (equal to the harmonic ones where an option is off).
    double qh_vibrational_entropy = 0;    // cal/(mol K)
    double qh_vibrational_energy = 0;     // kcal/mol, including the ZPE
    double qh_translational_entropy = 0;  // cal/(mol K): at the chosen concentration
    double qh_entropy = 0;                // cal/(mol K), total
    double qh_enthalpy = 0;               // Hartree, correction
    double qh_gibbs = 0;                  // Hartree, correction
};

// Throws on a temperature or pressure that is not positive and finite, sizes that disagree,
// a mass that is not positive, or a negative scale factor.
Thermochemistry thermochemistry(const ThermoInput& input, const ThermoOptions& options);

}  // namespace tesvarin
