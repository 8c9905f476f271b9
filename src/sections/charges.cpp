// Atomic charges (605): word 0's high half is a mask with one bit per stored
// set of N charges, the sets following in bit order from word 1. Bit 0 is
// Mulliken, bit 3 NPA, bit 4 the APT charges of a frequency job (development
// versions); bits 1 and 2 hold sets formchk does not write. A higher bit is a set
// this reader does not know: the sets before it are read, it and those after it
// are not, and the record says so.
#include "tesvarin/sections/further_sections.hpp"

namespace tesvarin {

namespace {
constexpr int64_t kMulliken = 1 << 0;
constexpr int64_t kNpa = 1 << 3;
constexpr int64_t kApt = 1 << 4;
constexpr int64_t kKnownBits = 0x1f;

// The set of `bit`, or nothing when the mask lacks it or an unknown bit comes first.
std::vector<double> charge_set(const SectionView& s, int64_t mask, int64_t bit, const Checked& n) {
    if ((mask & bit) == 0 || (mask & ~kKnownBits & (bit - 1)) != 0) return {};
    const int before = __builtin_popcountll(static_cast<uint64_t>(mask & (bit - 1)));
    return s.reals(1 + before * n, n);
}
}  // namespace

Charges read_charges(const SectionView& s, int64_t natoms) {
    Charges c;
    c.mask = s.high_half(0);
    if (c.mask < 0) s.fail("charge mask (word 0, high half) " + std::to_string(c.mask) + " is negative");
    const int sets = __builtin_popcountll(static_cast<uint64_t>(c.mask));
    const Checked n(natoms);
    s.expect_length(1 + sets * n, "1 + sets*N", "1 + " + std::to_string(sets) + "*" + n.str());
    c.mulliken = charge_set(s, c.mask, kMulliken, n);
    c.npa = charge_set(s, c.mask, kNpa, n);
    c.apt = charge_set(s, c.mask, kApt, n);
    if (const int64_t unknown = c.mask & ~kKnownBits) {
        const int bit = __builtin_ctzll(static_cast<uint64_t>(unknown));
        c.note = s.title() + ": charge mask " + std::to_string(c.mask) + " has bit " + std::to_string(bit) +
                 ", a set this reader does not know; it and the sets after it are left out";
    }
    return c;
}

}  // namespace tesvarin
