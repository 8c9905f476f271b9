// Harmonic analysis and thermochemistry of a parsed checkpoint: the force constants,
// geometry and masses of its records, its stored harmonic analysis, its multiplicity
// and total energy, gathered for the numerics of src/thermo (which know no parser).
// The functions take the parser because their errors name them so.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "tesvarin/parser.hpp"
#include "tesvarin/thermo/harmonic.hpp"
#include "tesvarin/thermo/thermochemistry.hpp"
#include "tesvarin/thermo/vibration_blocks.hpp"

namespace tesvarin {

// The atomic masses the program used (amu): the molecule section's real atomic weights,
// else the stored harmonic analysis's. Empty when the file holds neither.
std::vector<double> checkpoint_masses(const Tesvarin& chk);

// The stored harmonic analysis by name, with the modes in the frame of the coordinates;
// nullopt when the file holds no section 765.
std::optional<VibrationBlocks> checkpoint_vibrations(const Tesvarin& chk);

// The harmonic analysis of the stored force constants with `masses` (amu, one per atom), or
// the file's own masses when empty. Throws when the file holds no force constants.
HarmonicAnalysis checkpoint_harmonic(const Tesvarin& chk, const std::vector<double>& masses);

// The constants of the program that wrote the file: CODATA 2010 for Gaussian 16 (whose files
// hold a version text), CODATA 2006 before.
const PhysicalConstants& checkpoint_constants(const Tesvarin& chk);

// The rotational symmetry number: 1 when the program found no symmetry operation but the
// identity (the symmetry section's word 1), else the order of the rotation group of the
// geometry with these masses.
int64_t checkpoint_symmetry_number(const Tesvarin& chk, const std::vector<double>& masses);

// Thermochemistry of the checkpoint, with the constants of its program whatever `options` says. With the file's own
// masses the stored frequencies are used (the force constants when none are stored); other masses need the force
// constants. Throws with a message saying what is missing.
Thermochemistry checkpoint_thermochemistry(const Tesvarin& chk, const std::vector<double>& masses,
                                           const ThermoOptions& options);

}  // namespace tesvarin
