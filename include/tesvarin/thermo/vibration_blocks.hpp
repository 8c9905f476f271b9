// The stored harmonic analysis (section 765) by name. Vib-E2 holds LE2Fix blocks of
// one value per mode: frequencies (cm^-1, imaginary ones negative), reduced masses
// (amu), force constants (mDyne/A), IR intensities (km/mol), then, when the job
// computed them, Raman activities (A^4/amu) and the depolarisation ratios for plane
// and unpolarised incident light; blocks the job did not fill are zero.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "tesvarin/sections/further_sections.hpp"

namespace tesvarin {

struct VibrationBlocks {
    int64_t nmodes = 0;
    int64_t natoms = 0;  // NDim
    std::vector<double> frequencies, reduced_masses, force_constants, ir_intensities;
    // Empty when the job did not compute them (every value zero or the block absent).
    std::vector<double> raman_activities, depolarization_plane, depolarization_unpolarized;
    std::vector<double> masses;  // amu, NDim
    std::vector<double> modes;   // nmodes x NDim x 3, in the frame of the atoms' coordinates
};

// The named blocks of a vibrations record (whose modes the reader has already turned into the
// frame of the coordinates).
VibrationBlocks vibration_blocks(const Vibrations& v);

// The broadened spectrum on `grid` (cm^-1): each stick at `positions` with weight
// `intensities` becomes a peak of full width `fwhm` at half maximum whose area is its
// weight. Throws on sizes that disagree or a width that is not positive.
enum class LineShape { lorentzian, gaussian };
std::vector<double> broaden(const std::vector<double>& positions, const std::vector<double>& intensities,
                            const std::vector<double>& grid, double fwhm, LineShape shape);

}  // namespace tesvarin
