// The archive section (701), in either of its layouts: word 0 says which (11 an
// optimisation, 15 a trajectory), word 1 MaxStp, 2 NPt, 3 NRes, 4 NVar, 5 the job
// offset; words 8.. the geometry count of each point; then, with room for MaxStp
// steps each, the results, the geometries and NVar-value arrays per step: the
// gradients of an optimisation; the momenta and then the gradients of a
// trajectory. The points share those MaxStp places, one after the other, so
// every point's geometries are read.
#include <cmath>

#include "tesvarin/sections/further_sections.hpp"

namespace tesvarin {

namespace {
// The header and the geometry counts of either layout; `arrays` NVar-value arrays per step.
template <typename Archive>
Checked read_archive_head(const SectionView& s, Archive& a, int64_t arrays, const char* formula) {
    a.max_steps = s.word(1);
    const int64_t npt = s.word(2);
    a.results_per_geometry = s.word(3);
    a.nvar = s.word(4);
    a.job_offset = s.word(5);
    s.expect_count("MaxStp (word 1)", a.max_steps, 0, s.size());
    s.expect_count("NPt (word 2)", npt, 1, s.size());
    s.expect_count("NRes (word 3)", a.results_per_geometry, 0, s.size());
    s.expect_count("NVar (word 4)", a.nvar, 0, s.size());
    const Checked steps(a.max_steps), pts(npt), res(a.results_per_geometry), var(a.nvar);
    s.expect_length(8 + pts + steps * (res + arrays * var), formula,
                    "8 + " + pts.str() + " + " + steps.str() + "*(" + res.str() + " + " + std::to_string(arrays) + "*" +
                        var.str() + ")");
    a.geometries_per_point = s.ints(8, pts);
    a.geometries_count = s.word(8);
    Checked all(0);
    for (size_t p = 0; p < a.geometries_per_point.size(); ++p) {
        const std::string what = "number of geometries (word " + std::to_string(8 + p) + ")";
        s.expect_count(what.c_str(), a.geometries_per_point[p], 0, a.max_steps);
        all = all + a.geometries_per_point[p];
    }
    s.expect_count("geometries of all points", all.ok() ? all.value() : -1, 0, a.max_steps);
    return all;
}

// formchk writes the energies of a 16 C.01 archive relative to a whole number of Hartree:
// the first geometry's energy cut to its integer part (toward zero).
double reference_energy(const std::vector<double>& results, int64_t nres, int64_t column) {
    if (results.empty() || column >= nres) return 0;
    return std::trunc(results[static_cast<size_t>(column)]);
}
}  // namespace

bool is_trajectory_archive(const SectionView& s) { return s.size() > 0 && s.word(0) == kTrajectoryLayout; }

Trajectory read_trajectory(const SectionView& s) {
    Trajectory t;
    const Checked steps = read_archive_head(s, t, 3, "8 + NPt + MaxStp*(NRes + 3*NVar)");
    const Checked max(t.max_steps), res(t.results_per_geometry), var(t.nvar), results_at = 8 + Checked(s.word(2));
    t.results = s.reals(results_at, res * steps);
    t.geometries = s.reals(results_at + max * res, var * steps);
    t.momenta = s.reals(results_at + max * (res + var), var * steps);
    t.gradients = s.reals(results_at + max * (res + 2 * var), var * steps);
    t.reference_energy = reference_energy(t.results, t.results_per_geometry, Trajectory::kPotentialEnergy);
    return t;
}

OptimisationArchive read_optimisation_archive(const SectionView& s) {
    OptimisationArchive a;
    if (s.word(0) == kTrajectoryLayout) s.fail("layout (word 0) 15 is a trajectory, not an optimisation");
    const Checked all = read_archive_head(s, a, 2, "8 + NPt + MaxStp*(NRes + 2*NVar)");
    const Checked steps(a.max_steps), pts(static_cast<int64_t>(a.geometries_per_point.size()));
    const Checked res(a.results_per_geometry), var(a.nvar);
    const Checked geoms = all, results_at = 8 + pts;
    a.results = s.reals(results_at, res * geoms);
    a.geometries = s.reals(results_at + steps * res, var * geoms);
    a.gradients = s.reals(results_at + steps * (res + var), var * geoms);
    a.reference_energy = reference_energy(a.results, a.results_per_geometry, 0);
    return a;
}

}  // namespace tesvarin
