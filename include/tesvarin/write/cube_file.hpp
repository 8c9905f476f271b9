// Gaussian cube files, in the layout the program's cubegen writes: two title lines; the atom
// count and the origin (I5, 3F12.6), negative for orbitals; per axis its point count and step
// vector (I5, 3F12.6); per atom its number, charge and position (I5, 4F12.6); for orbitals the
// orbital count and numbers (10I5 per line); then the values (6E13.5 per line) with the last
// axis fastest and, for several orbitals, the orbital fastest of all, each row along the last
// axis starting a new line. Lengths in Bohr.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tesvarin/grid/grid_eval.hpp"

namespace tesvarin {

struct CubeAtom {
    int64_t number = 0;
    double charge = 0.0;
    std::array<double, 3> xyz{};
};

struct CubeHeader {
    std::string title;    // first line
    std::string comment;  // second line
    GridSpec grid;
    std::vector<CubeAtom> atoms;
    std::vector<int64_t> orbitals;  // 1-based orbital numbers; empty for a density
};

// Writes the file at `path` (nx ny nz values, times the orbital count for orbitals, in the
// order above), formatting on `threads` threads (0: up to two). Throws with the system's
// reason when it cannot be written.
void write_cube(const std::string& path, const CubeHeader& header, const double* values, unsigned threads = 0);

}  // namespace tesvarin
