// The optimisation archive (701): word 1 MaxStp, 2 NPt, 3 NRes, 4 NVar, 5 the
// job offset; words 8.. the geometry count of each point; then results,
// geometries and gradients with room for MaxStp steps each. The points share
// those MaxStp places, one after the other, so every point's geometries are read.
#include "tesvarin/sections/further_sections.hpp"

namespace tesvarin {

OptimisationArchive read_optimisation_archive(const SectionView& s) {
    OptimisationArchive a;
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
    s.expect_length(8 + pts + steps * (res + 2 * var), "8 + NPt + MaxStp*(NRes + 2*NVar)",
                    "8 + " + pts.str() + " + " + steps.str() + "*(" + res.str() + " + 2*" + var.str() + ")");
    a.geometries_per_point = s.ints(8, pts);
    a.geometries_count = s.word(8);
    Checked all(0);
    for (size_t p = 0; p < a.geometries_per_point.size(); ++p) {
        const std::string what = "number of geometries (word " + std::to_string(8 + p) + ")";
        s.expect_count(what.c_str(), a.geometries_per_point[p], 0, a.max_steps);
        all = all + a.geometries_per_point[p];
    }
    s.expect_count("geometries of all points", all.ok() ? all.value() : -1, 0, a.max_steps);
    const Checked geoms = all, results_at = 8 + pts;
    a.results = s.reals(results_at, res * geoms);
    a.geometries = s.reals(results_at + steps * res, var * geoms);
    a.gradients = s.reals(results_at + steps * (res + var), var * geoms);
    return a;
}

}  // namespace tesvarin
