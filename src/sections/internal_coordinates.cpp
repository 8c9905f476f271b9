// The optimiser's internal coordinates: the forces on them (511) and the
// redundant internal coordinate definitions (665). Neither is rotated.
#include "tesvarin/sections/further_sections.hpp"

namespace tesvarin {

namespace {
// w(w+1)/2, poisoned on overflow.
Checked triangle(Checked w) {
    const Checked t = w * (w + 1);
    return t.ok() ? Checked(t.value() / 2) : t;
}
}  // namespace

InternalForces read_internal_forces(const SectionView& s) {
    InternalForces f;
    f.energy = s.real(0);
    f.nvar = s.word(1);
    f.igetfc = s.word(2);
    s.expect_count("NVar (word 1)", f.nvar, 0, s.size());
    // A section sized for some variables may hold none (NVar 0, seen in files of
    // 16 B.01 and C.01): it is then present but empty, whatever its length.
    if (f.nvar == 0) return f;
    const Checked w(f.nvar);
    s.expect_length(3 + w + triangle(w), "3 + NVar + NVar*(NVar+1)/2",
                    "3 + " + w.str() + " + " + w.str() + "*" + (w + 1).str() + "/2");
    f.forces = s.reals(3, w);
    f.force_constants = s.reals(3 + w, triangle(w));
    return f;
}

RedundantInternals read_redundant_internals(const SectionView& s) {
    const int64_t count = s.word(0);
    s.expect_count("number of coordinates (word 0)", count, 0, s.size());
    const Checked v(count);
    s.expect_length(4 + 9 * v, "4 + 9*V", "4 + 9*" + v.str());
    RedundantInternals r;
    r.dimensions = s.ints(0, 4);
    r.indices = s.ints(4, 4 * v);
    r.values = s.reals(4 + 4 * v, v);
    r.int_vec = s.ints(4 + 5 * v, v);
    r.fp_vec = s.reals(4 + 6 * v, v);
    r.constraint1 = s.reals(4 + 7 * v, v);
    r.constraint2 = s.reals(4 + 8 * v, v);
    return r;
}

}  // namespace tesvarin
