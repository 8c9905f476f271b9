// Naming of the Vib-E2 blocks and broadening of stick spectra.
#include "tesvarin/thermo/vibration_blocks.hpp"

#include <cmath>
#include <string>

#include "tesvarin/error.hpp"
#include "tesvarin/thermo/physical_constants.hpp"

namespace tesvarin {

namespace {

// Block `k` of Vib-E2 (one value per mode), empty when absent.
std::vector<double> block(const Vibrations& v, int64_t k) {
    if (k >= v.le2fix) return {};
    const auto first = v.e2.begin() + static_cast<std::ptrdiff_t>(k * v.nmodes);
    return std::vector<double>(first, first + static_cast<std::ptrdiff_t>(v.nmodes));
}

std::vector<double> if_computed(std::vector<double> values) {
    for (double x : values)
        if (x != 0) return values;
    return {};
}

}  // namespace

VibrationBlocks vibration_blocks(const Vibrations& v) {
    VibrationBlocks out;
    out.nmodes = v.nmodes;
    out.natoms = v.ndim;
    out.masses = v.masses;
    // The reader has checked the length identity, so e2 holds le2fix * nmodes values.
    if (v.nmodes == 0 || static_cast<int64_t>(v.e2.size()) / v.nmodes < v.le2fix) return out;
    out.frequencies = block(v, 0);
    out.reduced_masses = block(v, 1);
    out.force_constants = block(v, 2);
    out.ir_intensities = block(v, 3);
    out.raman_activities = if_computed(block(v, 4));
    if (!out.raman_activities.empty()) {
        out.depolarization_plane = block(v, 5);
        out.depolarization_unpolarized = block(v, 6);
    }
    out.modes = v.modes;
    return out;
}

std::vector<double> broaden(const std::vector<double>& positions, const std::vector<double>& intensities,
                            const std::vector<double>& grid, double fwhm, LineShape shape) {
    if (positions.size() != intensities.size()) {
        TESVARIN_THROW("Spectrum: " + std::to_string(positions.size()) + " positions but " +
                       std::to_string(intensities.size()) + " intensities");
    }
    if (!(fwhm > 0) || !std::isfinite(fwhm))
        TESVARIN_THROW("Spectrum: the width must be positive, got " + std::to_string(fwhm));
    std::vector<double> out(grid.size(), 0.0);
    const double gamma = 0.5 * fwhm;                                     // Lorentzian half width
    const double sigma = fwhm / (2.0 * std::sqrt(2.0 * std::log(2.0)));  // Gaussian standard deviation
    const double gauss_norm = 1.0 / (sigma * std::sqrt(2.0 * PhysicalConstants::pi));
    for (size_t p = 0; p < positions.size(); ++p) {
        const double x0 = positions[p], weight = intensities[p];
        if (weight == 0) continue;
        for (size_t i = 0; i < grid.size(); ++i) {
            const double d = grid[i] - x0;
            out[i] += shape == LineShape::lorentzian
                          ? weight * gamma / (PhysicalConstants::pi * (d * d + gamma * gamma))
                          : weight * gauss_norm * std::exp(-0.5 * d * d / (sigma * sigma));
        }
    }
    return out;
}

}  // namespace tesvarin
