// Step 7: total and spin densities of up to nine kinds, each a packed triangle.
#include <limits>

#include "tesvarin/parser.hpp"
#include "tesvarin/read/bits.hpp"

namespace {
constexpr int kDensityKinds = 9;
}  // namespace

void Tesvarin::read_densities() {
    auto& mol = params.mol;
    if (LBit(switches.ilsw[kIlswNaturalOrbitals], 1)) TESVARIN_THROW("Cannot do natural orbitals yet");

    const tesvarin::ScfType scf = scf_factors(iopcl);
    const int64_t s = scf.spin_blocks, c = scf.value_kind, g = scf.components;
    // Beyond 2^31 basis functions one triangle outgrows any file; keep the product finite.
    const bool too_many = mol.nbasis > (int64_t{1} << 31) || mol.nbasis < -(int64_t{1} << 31);
    const __int128 n = static_cast<__int128>(too_many ? int64_t{1} << 31 : mol.nbasis) * g;
    const __int128 len_den = c * n * (n + 1) / 2;
    const __int128 m = len_den * s;

    int index = -1;
    if (m < 1 || !has_magic(tesvarin::section::kDensities, index)) return;
    if (too_many || m > std::numeric_limits<int64_t>::max()) {
        TESVARIN_THROW("Bad count in .chk: the density length overflows for " + std::to_string(mol.nbasis) +
                       " basis functions");
    }
    const int64_t len = section_words(index);
    if ((static_cast<__int128>(len) - 1) % m != 0) {
        const int64_t label = tesvarin::section::kDensities.number;
        TESVARIN_THROW("Error retrieving densities from rwf= " + std::to_string(label) +
                       ", LenDen= " + std::to_string(static_cast<int64_t>(m)) + ", but length= " + std::to_string(len));
    }
    const tesvarin::SectionView section = open_section(index);
    int64_t presence = 0;
    section.fetch(&presence, 0, 1);
    int mask = 0, unused = 0;
    BNUPak(presence, mask, unused);

    const auto per_kind = static_cast<int64_t>(m);
    const auto triangle = static_cast<int64_t>(len_den);
    int64_t stored_before = 0;
    for (int k = 0; k < kDensityKinds; ++k) {
        if (!LBit(mask, k)) continue;
        check_count("density length", per_kind);
        claim_words("density length", per_kind);
        const tesvarin::Checked at = tesvarin::Checked(1) + tesvarin::Checked(per_kind) * stored_before;
        ++stored_before;
        // Alpha goes straight into the total and beta into the spin slot; a short
        // read leaves zeros, as one read of both blocks would.
        auto& total = mol.totdens[k];
        const tesvarin::Checked beta_at = tesvarin::fetch_array(section, at, total, triangle);
        if (s == 2) {
            auto& spin = mol.spindens[k];
            tesvarin::fetch_array(section, beta_at, spin, triangle);
            for (size_t e = 0; e < static_cast<size_t>(triangle); ++e) {
                const double alpha = total[e], beta = spin[e];
                total[e] = alpha + beta;
                spin[e] = alpha - beta;
            }
        }
    }
}
