// A minimal Gaussian input file from the records of a checkpoint.
#pragma once

#include <string>

#include "tesvarin/records.hpp"

namespace tesvarin {

// The checkpoint line names `chk`, then the route, title, charge and multiplicity, the geometry in
// Angstrom and a "Tv" line per translation vector. False (errno set) when `fgjf` cannot be written.
bool write_gjf(const ChkParams& params, const std::string& chk, const std::string& fgjf);

}  // namespace tesvarin
