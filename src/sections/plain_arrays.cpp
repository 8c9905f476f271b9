// Sections that are plain runs of reals: the external field (521), the Cartesian
// gradient (584), the QEq coupling tensors (695), the constraint structure (698)
// and the nonadiabatic coupling (810). A job with NMR=SpinSpin extends 695 by the
// four contributions to the reduced spin-spin couplings K (Fermi contact,
// spin-dipolar, paramagnetic and diamagnetic spin-orbit), each a lower triangle of
// N(N+1)/2 reals row by row, in the unit the program prints K in.
#include "tesvarin/sections/further_sections.hpp"

namespace tesvarin {

namespace {
// The field and its derivatives: 35 reals up to 16 C.02, 105 in later development versions.
constexpr int64_t kExternalFieldWords = 35;
constexpr int64_t kLongExternalFieldWords = 105;
constexpr int64_t kQeqHeaderWords = 28;  // words before the per-atom data of 695
constexpr int64_t kQeqWordsPerAtom = 31;
constexpr int64_t kQeqTensorOffsetPerAtom = 25;  // tensors start at 28 + 25N, 6 per atom
constexpr int64_t kSpinSpinContributions = 4;

Checked qeq_length(Checked n) { return kQeqHeaderWords + kQeqWordsPerAtom * n; }
// The four lower triangles, N(N+1)/2 values each.
Checked spin_spin_length(int64_t n) {
    const Checked triangle = n % 2 == 0 ? Checked(n / 2) * (Checked(n) + 1) : Checked(n) * Checked(n / 2 + 1);
    return kSpinSpinContributions * triangle;
}

// 6N words of which the program fills, and formchk writes, the first 3N.
std::vector<double> first_half_of_six_per_atom(const SectionView& s, int64_t natoms) {
    const Checked n(natoms);
    s.expect_length(6 * n, "6*N", "6*" + n.str());
    return s.reals(0, 3 * n);
}
}  // namespace

std::vector<double> read_external_field(const SectionView& s) {
    if (s.size() != kExternalFieldWords && s.size() != kLongExternalFieldWords) {
        s.fail("expected 35 or 105 words, found " + std::to_string(s.size()));
    }
    return s.reals(0, s.size());
}

std::vector<double> read_gradient(const SectionView& s, int64_t natoms) {
    return first_half_of_six_per_atom(s, natoms);
}

std::vector<double> read_qeq_tensors(const SectionView& s, int64_t natoms) {
    const Checked n(natoms);
    if (Checked(s.size()) != qeq_length(n) + spin_spin_length(natoms)) {
        s.expect_length(qeq_length(n), "28 + 31*N", "28 + 31*" + n.str());
    }
    return s.reals(kQeqHeaderWords + kQeqTensorOffsetPerAtom * n, 6 * n);
}

std::vector<double> read_spin_spin(const SectionView& s, int64_t natoms) {
    const Checked n(natoms);
    const Checked couplings = spin_spin_length(natoms);
    if (Checked(s.size()) != qeq_length(n) + couplings) return {};  // no couplings (or the QEq reader's refusal)
    return s.reals(qeq_length(n), couplings);
}

std::vector<double> read_constraint_structure(const SectionView& s, int64_t natoms) {
    return first_half_of_six_per_atom(s, natoms);
}

std::vector<double> read_nonadiabatic_coupling(const SectionView& s, int64_t natoms) {
    const Checked n(natoms);
    s.expect_length(3 * n, "3*N", "3*" + n.str());
    return s.reals(0, 3 * n);
}

}  // namespace tesvarin
