// Vibrational analysis (765): word 0 NDFDPol (low half) and NModes (high half),
// word 1 NDim (low) and NDim0 (high), word 2 LFlags; then the atomic masses
// [NDim], flags [LFlags*NModes] (integers), E2 [LE2Fix*NModes] starting with the
// frequencies, and the normal modes [3*NDim*NModes]. LE2Fix is not stored: it is
// what the length leaves per mode.
#include <limits>

#include "tesvarin/sections/further_sections.hpp"

namespace tesvarin {

Vibrations read_vibrations(const SectionView& s) {
    Vibrations v;
    v.ndfdpol = s.low_half(0);
    v.nmodes = s.high_half(0);
    v.ndim = s.low_half(1);
    v.ndim0 = s.high_half(1);
    v.lflags = s.word(2);
    s.expect_count("NModes (word 0, high half)", v.nmodes, 0, s.size());
    s.expect_count("NDim (word 1, low half)", v.ndim, 0, s.size());
    // LFlags sizes nothing without modes (a single atom stores 8 with 4 words).
    s.expect_count("LFlags (word 2)", v.lflags, 0, std::numeric_limits<int64_t>::max());
    const Checked modes(v.nmodes), dim(v.ndim), flags(v.lflags);
    const Checked fixed = 3 + dim + modes * (flags + 3 * dim);
    if (v.nmodes == 0) {  // a single atom: masses only
        s.expect_length(3 + dim, "3 + NDim (no modes)", "3 + " + dim.str());
        v.masses = s.reals(3, dim);
        return v;
    }
    const Checked rest = Checked(s.size()) - fixed;
    if (!rest.ok() || rest.value() < v.nmodes || rest.value() % v.nmodes != 0) {
        s.fail("expected 3 + NDim + NModes*(LFlags + LE2Fix + 3*NDim) = 3 + " + dim.str() + " + " + modes.str() + "*(" +
               flags.str() + " + LE2Fix + 3*" + dim.str() + ") with LE2Fix >= 1, found " + std::to_string(s.size()) +
               " words");
    }
    v.le2fix = rest.value() / v.nmodes;
    const Checked e2(v.le2fix);
    v.masses = s.reals(3, dim);
    v.iflags = s.ints(3 + dim, flags * modes);
    v.e2 = s.reals(3 + dim + flags * modes, e2 * modes);
    v.modes = s.reals(3 + dim + (flags + e2) * modes, 3 * dim * modes);
    return v;
}

}  // namespace tesvarin
