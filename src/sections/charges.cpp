// Atomic charges (605): word 0's high half is a mask with one bit per stored
// set of N charges, the sets following in bit order from word 1. Bit 0 is
// Mulliken, bit 3 NPA; bits 1 and 2 hold sets formchk does not write.
#include "tesvarin/sections/further_sections.hpp"

namespace tesvarin {

namespace {
constexpr int64_t kMulliken = 1 << 0;
constexpr int64_t kNpa = 1 << 3;
constexpr int64_t kKnownBits = 0xf;
}  // namespace

Charges read_charges(const SectionView& s, int64_t natoms) {
    Charges c;
    c.mask = s.high_half(0);
    if ((c.mask & ~kKnownBits) != 0) {
        s.fail("charge mask (word 0, high half) " + std::to_string(c.mask) + " has bits other than 0-3");
    }
    const int sets = __builtin_popcountll(static_cast<uint64_t>(c.mask));
    const Checked n(natoms);
    s.expect_length(1 + sets * n, "1 + sets*N", "1 + " + std::to_string(sets) + "*" + n.str());
    if (c.mask & kMulliken) c.mulliken = s.reals(1, n);
    const int before_npa = __builtin_popcountll(static_cast<uint64_t>(c.mask & 0x7));
    if (c.mask & kNpa) c.npa = s.reals(1 + before_npa * n, n);
    return c;
}

}  // namespace tesvarin
