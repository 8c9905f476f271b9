// Electric properties (619), stored in the input orientation at fixed offsets;
// the mask (word 0, high half) says which of them hold valid values.
#include "tesvarin/sections/further_sections.hpp"

namespace tesvarin {

namespace {
constexpr int64_t kDipole = 1 << 0, kDipoleDerivatives = 1 << 1, kPolarizability = 1 << 2;
constexpr int64_t kPolarizabilityDerivatives = 1 << 4, kHyperpolarizability = 1 << 5, kQuadrupole = 1 << 12;
constexpr int64_t kKnownBits =
    kDipole | kDipoleDerivatives | kPolarizability | kPolarizabilityDerivatives | kHyperpolarizability | kQuadrupole;
}  // namespace

ElectricProperties read_electric_properties(const SectionView& s, int64_t natoms) {
    ElectricProperties e;
    e.mask = s.high_half(0);
    if ((e.mask & ~kKnownBits) != 0) {
        s.fail("property mask (word 0, high half) " + std::to_string(e.mask) +
               " has bits other than 0, 1, 2, 4, 5, 12");
    }
    const Checked n(natoms);
    s.expect_length(53 + 144 * n, "53 + 144*N", "53 + 144*" + n.str());
    if (e.mask & kDipole) e.dipole = s.reals(1, 3);
    if (e.mask & kDipoleDerivatives) e.dipole_derivatives = s.reals(4, 9 * n);
    if (e.mask & kPolarizability) e.polarizability = s.reals(4 + 9 * n, 6);
    if (e.mask & kPolarizabilityDerivatives) e.polarizability_derivatives = s.reals(10 + 9 * n, 18 * n);
    if (e.mask & kHyperpolarizability) e.hyperpolarizability = s.reals(10 + 27 * n, 10);
    if (e.mask & kQuadrupole) e.quadrupole = s.reals(47 + 126 * n, 6);
    return e;
}

}  // namespace tesvarin
