// Effective core potentials (512): per atom, as arrays by kind, ten KFirst, ten
// KLast, then LMax, LPSkip and RNFroz (a real), 23 words per atom. 16 stores the
// section for every def2 basis, all zero but LPSkip = 1 on atoms without a potential.
#include <algorithm>
#include <limits>

#include "tesvarin/sections/further_sections.hpp"

namespace tesvarin {

CorePotentials read_core_potentials(const SectionView& s, int64_t natoms) {
    CorePotentials c;
    const Checked n(natoms), per_atom(CorePotentials::kShellsPerAtom);
    s.expect_length((2 * per_atom + 3) * n, "23*N", "23*" + n.str());
    c.kfirst = s.ints(0, per_atom * n);
    c.klast = s.ints(per_atom * n, per_atom * n);
    c.lmax = s.ints(2 * per_atom * n, n);
    c.lpskip = s.ints((2 * per_atom + 1) * n, n);
    c.frozen = s.reals((2 * per_atom + 2) * n, n);
    for (const int64_t k : c.klast) s.expect_count("KLast", k, 0, std::numeric_limits<int64_t>::max());
    return c;
}

int64_t CorePotentials::len_ncz() const { return klast.empty() ? 0 : *std::max_element(klast.begin(), klast.end()); }

}  // namespace tesvarin
