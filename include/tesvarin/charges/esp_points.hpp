// The fitting points of potential-derived charges, as the program builds them: the
// Merz-Kollman layers of dots on scaled van der Waals spheres, and Breneman's (CHELPG)
// cubic grid. Positions in Bohr throughout; radii, spacing and the dot density in
// Angstrom units, as the program states them.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace tesvarin {

// Radius of element `z` (Angstrom) in the Merz-Kollman set, or 0 where the set has none.
double merz_kollman_radius(int64_t z);
// Radius of element `z` (Angstrom) in Breneman's set, or 0 where the set has none.
double breneman_radius(int64_t z);

// Dots on the sphere of each atom for every scale factor, in the order scale, atom, dot;
// a dot inside another atom's scaled sphere is dropped. `atoms` (natoms x 3, Bohr),
// `radii` (Angstrom, one per atom), `density` dots per Angstrom^2. Returns (n x 3) Bohr.
std::vector<double> merz_kollman_points(const std::vector<double>& atoms, const std::vector<double>& radii,
                                        const std::vector<double>& scales, double density);

// The cubic grid of `spacing` over the atoms' box widened by `extension` on every side,
// centred on that box; kept are the nodes outside every atom's radius and within
// `extension` of some atom. Lengths as for merz_kollman_points; `steps` receives the
// nodes along x, y and z.
std::vector<double> breneman_points(const std::vector<double>& atoms, const std::vector<double>& radii, double spacing,
                                    double extension, std::array<int64_t, 3>& steps);

}  // namespace tesvarin
