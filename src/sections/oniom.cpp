// ONIOM layers (674): charges and multiplicities of 16 layers, then per-atom
// layers, modifiers, modified types, link atoms, modified MM charges and four
// link distances per atom.
#include "tesvarin/sections/further_sections.hpp"

namespace tesvarin {

Oniom read_oniom(const SectionView& s, int64_t natoms) {
    const Checked n(natoms);
    s.expect_length(32 + 9 * n, "32 + 9*N", "32 + 9*" + n.str());
    Oniom o;
    o.charges = s.ints(0, 16);
    o.multiplicities = s.ints(16, 16);
    o.layers = s.ints(32, n);
    o.modifiers = s.ints(32 + n, n);
    o.int_modified_types = s.ints(32 + 2 * n, n);
    o.link_atoms = s.ints(32 + 3 * n, n);
    o.modified_mm_charges = s.reals(32 + 4 * n, n);
    o.link_distances = s.reals(32 + 5 * n, 4 * n);
    return o;
}

}  // namespace tesvarin
