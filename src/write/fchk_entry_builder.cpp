// The entries the basic formatted checkpoint holds: the project's own (molecule,
// basis, switches, energies, orbitals and densities), and the constants formchk
// writes with no place in the checkpoint.
#include "tesvarin/write/fchk_entry_builder.hpp"

#include <algorithm>

void FchkEntryBuilder::skip(const std::string& message) const {
    if (skipped == nullptr) TESVARIN_THROW(message);
    if (std::find(skipped->begin(), skipped->end(), message) == skipped->end()) skipped->push_back(message);
}

void FchkEntryBuilder::electron_counts(Entries& e) const {
    e.push_back(FchkEntry::int_scalar("Charge", mol.totchg));
    e.push_back(FchkEntry::int_scalar("Multiplicity", mol.multiplicity));
    e.push_back(FchkEntry::int_scalar("Number of electrons", mol.ne));
    e.push_back(FchkEntry::int_scalar("Number of alpha electrons", mol.nae));
    e.push_back(FchkEntry::int_scalar("Number of beta electrons", mol.nbe));
    e.push_back(FchkEntry::int_scalar("Number of basis functions", mol.nbasis));
    e.push_back(FchkEntry::int_scalar("Number of independent functions", mol.nbsuse));
}

void FchkEntryBuilder::translation_count(Entries& e) const {
    e.push_back(FchkEntry::int_scalar("Number of translation vectors", mol.ndim));
}

void FchkEntryBuilder::atoms(Entries& e) const {
    e.push_back(FchkEntry::int_view("Atomic numbers", mol.atomicnums.data(), natoms));
    e.push_back(FchkEntry::real_view("Nuclear charges", mol.nucchg.data(), natoms));
    e.push_back(FchkEntry::real_view("Current cartesian coordinates", mol.coords.data(), 3 * natoms));
}

void FchkEntryBuilder::translation_vectors(Entries& e) const {
    if (mol.ndim <= 0) return;
    std::vector<double> vectors;
    for (int64_t k = 0; k < std::min<int64_t>(mol.ndim, 3); ++k)
        for (int j = 0; j < 3; ++j) vectors.push_back(mol.cell(k, j));
    e.push_back(FchkEntry::real_values("Translation vectors", std::move(vectors)));
}

void FchkEntryBuilder::shell_counts(Entries& e) const {
    e.push_back(FchkEntry::int_scalar("Number of contracted shells", mol.NShell));
    e.push_back(FchkEntry::int_scalar("Number of primitive shells", mol.NPrim));
}

void FchkEntryBuilder::shells(Entries& e) const {
    const auto& b = mol.bparams;
    e.push_back(FchkEntry::int_view("Shell types", b.shelltypes));
    e.push_back(FchkEntry::int_view("Number of primitives per shell", b.shellnprim));
    e.push_back(FchkEntry::int_view("Shell to atom map", b.shell2map));
    e.push_back(FchkEntry::real_view("Primitive exponents", b.primexp));
    if (!mol.concoeff.empty()) e.push_back(FchkEntry::real_view("Contraction coefficients", mol.concoeff));
    if (!mol.spconcoeff.empty()) {
        e.push_back(FchkEntry::real_view("P(S=P) Contraction coefficients", mol.spconcoeff));
    }
    e.push_back(FchkEntry::real_view("Coordinates of each shell", mol.cshell));
}

void FchkEntryBuilder::switches(Entries& e) const {
    e.push_back(FchkEntry::int_scalar("Num ILSW", static_cast<int64_t>(sw.ilsw.size())));
    e.push_back(FchkEntry::int_view("ILSW", sw.ilsw));
    if (sw.rlsw.empty()) return;
    e.push_back(FchkEntry::int_scalar("Num RLSW", static_cast<int64_t>(sw.rlsw.size())));
    e.push_back(FchkEntry::real_view("RLSW", sw.rlsw));
}

void FchkEntryBuilder::virial_scf(Entries& e) const {
    e.push_back(FchkEntry::real_scalar("Virial Ratio", p.genarr[0]));
    e.push_back(FchkEntry::real_scalar("SCF Energy", p.genarr[31]));
}

void FchkEntryBuilder::scf_codes(Entries& e) const {
    e.push_back(FchkEntry::int_scalar("IOpCl", sw.iopcl));
    e.push_back(FchkEntry::int_scalar("IROHF", sw.irohf));
}

void FchkEntryBuilder::orbitals_densities(Entries& e) const {
    if (!mol.aoene.empty()) e.push_back(FchkEntry::real_view("Alpha Orbital Energies", mol.aoene));
    if (!mol.boene.empty()) e.push_back(FchkEntry::real_view("Beta Orbital Energies", mol.boene));
    if (!mol.amocoeff.empty()) e.push_back(FchkEntry::real_view("Alpha MO coefficients", mol.amocoeff));
    if (!mol.bmocoeff.empty()) e.push_back(FchkEntry::real_view("Beta MO coefficients", mol.bmocoeff));
    if (!mol.orthbasis.empty()) e.push_back(FchkEntry::real_view("Orthonormal basis", mol.orthbasis));
    for (int k = 0; k < 9; ++k) {
        const std::string kind = labdens[k];
        if (!mol.totdens[k].empty()) e.push_back(FchkEntry::real_view("Total " + kind, mol.totdens[k]));
        if (!mol.spindens[k].empty()) e.push_back(FchkEntry::real_view("Spin " + kind, mol.spindens[k]));
    }
}

void FchkEntryBuilder::no_orbitals(Entries& e) const {
    if (mol.nbasis != 0 || !mol.aoene.empty()) return;
    e.push_back(FchkEntry::real_values("Alpha Orbital Energies", {}));
    e.push_back(FchkEntry::real_values("Alpha MO coefficients", {}));
}

void FchkEntryBuilder::residue_counts(Entries& e) const {
    e.push_back(FchkEntry::int_scalar("Number of residues", 0));
    e.push_back(FchkEntry::int_scalar("Number of secondary structures", 0));
}

void FchkEntryBuilder::job_status(Entries& e) const {
    e.push_back(FchkEntry::int_scalar("Job Status", 1));
    // 2 with force constants; 1 with a gradient that holds a value other than zero (a single
    // point stores an all-zero gradient, of either sign); else 0. Every file seen fits this. A
    // damaged gradient counts as held, so that it costs only its own entry.
    const auto* g = f.gradient.intact();
    const bool gradient =
        f.gradient.damaged() || (g != nullptr && std::any_of(g->begin(), g->end(), [](double x) { return x != 0; }));
    const int64_t order = f.has_force_constants ? 2 : gradient ? 1 : 0;
    e.push_back(FchkEntry::int_scalar("Nuclear derivative order", order));
}
