// Step 4, the orbitals: energies and coefficients of the alpha and beta orbitals,
// and the orthonormal basis, each read only when its section holds what the
// molecule's counts ask for.
#include "tesvarin/checked.hpp"
#include "tesvarin/parser.hpp"

void Tesvarin::read_orbitals(int64_t spin_blocks, int64_t nmo, int64_t ncoef) {
    using namespace tesvarin::section;
    auto& mol = params.mol;
    int ene = -1, alpha = -1, beta = -1, orth = -1;
    if (mol.nbsuse <= 0 || mol.nbasis <= 0 || !has_magic(kAlphaOrbitals, alpha) || section_words(alpha) < ncoef ||
        !has_magic(kOrbitalEnergies, ene) || section_words(ene) < nmo) {
        return;
    }
    check_count("orbital count", nmo);
    check_count("MO coefficient count", ncoef);
    const tesvarin::SectionView energies = open_section(ene);
    const tesvarin::Checked beta_at = read_counted(energies, 0, mol.aoene, nmo, "orbital count");
    if (spin_blocks == 2) read_counted(energies, beta_at, mol.boene, nmo, "orbital count");
    read_counted(open_section(alpha), 0, mol.amocoeff, ncoef, "MO coefficient count");
    if (spin_blocks == 2 && has_magic(kBetaOrbitals, beta)) {
        read_counted(open_section(beta), 0, mol.bmocoeff, ncoef, "MO coefficient count");
    }
    if (has_magic(kOrthonormalBasis, orth) && section_words(orth) > 0 && section_words(orth) == ncoef) {
        read_counted(open_section(orth), 0, mol.orthbasis, ncoef, "MO coefficient count");
    }
}
