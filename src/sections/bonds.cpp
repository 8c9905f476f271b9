// Bonds (503): word 0 holds the atom count n (low half) and MxBond, the most
// bonds of one atom (high half); then NBond[n], IBond[n*MxBond] and the bond
// orders RBond[n*MxBond], reals.
#include "tesvarin/sections/further_sections.hpp"

namespace tesvarin {

Bonds read_bonds(const SectionView& s, int64_t natoms) {
    const int64_t n = s.low_half(0);
    Bonds b;
    b.max_bonds = s.high_half(0);
    if (n != natoms) {
        s.fail("atom count (word 0, low half) = " + std::to_string(n) + ", expected N = " + std::to_string(natoms));
    }
    s.expect_count("MxBond (word 0, high half)", b.max_bonds, 0, s.size());
    const Checked cn(n), cb(b.max_bonds);
    s.expect_length(1 + cn + 2 * cn * cb, "1 + n + 2*n*MxBond",
                    "1 + " + cn.str() + " + 2*" + cn.str() + "*" + cb.str());
    b.bond_counts = s.ints(1, cn);
    b.partners = s.ints(1 + cn, cn * cb);
    b.orders = s.reals(1 + cn + cn * cb, cn * cb);
    return b;
}

}  // namespace tesvarin
