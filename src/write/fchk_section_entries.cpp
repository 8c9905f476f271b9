// The entries of the complete formatted checkpoint that come from the further
// sections: each from its section's record, rotated into the standard orientation
// where formchk rotates it, and left out with a note when the section is damaged.
#include <cstdio>

#include "tesvarin/read/rotation.hpp"
#include "tesvarin/write/fchk_entry_builder.hpp"

const tesvarin::AtomProperties* FchkEntryBuilder::atom_blocks() const {
    if (!f.atoms.present) TESVARIN_THROW("No Mol sections in .chk");
    return use(f.atoms);
}

std::string FchkEntryBuilder::point_label(const char* point, const char* what) {
    char label[96];
    std::snprintf(label, sizeof label, "%s %7d %s", point, 1, what);
    return std::string(label).substr(0, 40);
}

void FchkEntryBuilder::point_charges(Entries& e) const {
    if (const auto* a = atom_blocks()) {
        e.push_back(FchkEntry::int_scalar("Number of point charges in /Mol/", a->point_charges));
    }
}

void FchkEntryBuilder::atom_blocks_first(Entries& e) const {
    const auto* blocks = atom_blocks();
    if (blocks == nullptr) return;
    const auto& a = *blocks;
    e.push_back(FchkEntry::real_view("MM charges", a.mm_charges));
    e.push_back(FchkEntry::int_view("Integer atomic weights", a.integer_weights));
    e.push_back(FchkEntry::real_view("Real atomic weights", a.real_weights));
    e.push_back(FchkEntry::int_view("Atom fragment info", a.fragment_info));
    e.push_back(FchkEntry::int_view("Atom residue num", a.residue_numbers));
    e.push_back(FchkEntry::int_view("Nuclear spins", a.nuclear_spins));
    e.push_back(FchkEntry::real_view("Nuclear ZEff", a.zeff));
}

void FchkEntryBuilder::int_atom_types(Entries& e) const {
    if (const auto* a = atom_blocks()) e.push_back(FchkEntry::int_view("Int Atom Types", a->int_atom_types));
}

void FchkEntryBuilder::znuc(Entries& e) const {
    const auto* a = atom_blocks();
    if (a == nullptr) return;
    if (a->znuc.empty()) return skip("Layout " + std::to_string(a->layout) + " holds no Nuclear ZNuc block");
    e.push_back(FchkEntry::real_view("Nuclear ZNuc", a->znuc));
}

void FchkEntryBuilder::atom_blocks_last(Entries& e) const {
    const auto* blocks = atom_blocks();
    if (blocks == nullptr) return;
    const auto& a = *blocks;
    e.push_back(FchkEntry::real_view("Nuclear QMom", a.qmom));
    e.push_back(FchkEntry::real_view("Nuclear GFac", a.gfac));
    e.push_back(FchkEntry::int_view("MicOpt", a.micopt));
}

void FchkEntryBuilder::redundant_internals(Entries& e) const {
    const auto* r = use(f.redundant_internals);
    if (r == nullptr) return;
    e.push_back(FchkEntry::int_view("Redundant internal dimensions", r->dimensions));
    e.push_back(FchkEntry::int_view("Redundant internal coordinate indices", r->indices));
    e.push_back(FchkEntry::real_view("Redundant internal coordinates", r->values));
    e.push_back(FchkEntry::int_view("ZRed-IntVec", r->int_vec));
    e.push_back(FchkEntry::real_view("ZRed-FPVec", r->fp_vec));
    e.push_back(FchkEntry::real_view("ZRed-Constraint1", r->constraint1));
    e.push_back(FchkEntry::real_view("ZRed-Constraint2", r->constraint2));
}

void FchkEntryBuilder::symmetry(Entries& e) const {
    const auto* s = use(f.symmetry);
    if (s == nullptr) return;
    e.push_back(FchkEntry::int_view("SymInf integers", s->syminf));
    e.push_back(FchkEntry::real_view("RotTr to input orientation", s->rottr));
}

void FchkEntryBuilder::shell_kinds(Entries& e) const {
    const auto& n = mol.bparams.shellnprim;
    e.push_back(FchkEntry::int_scalar("Pure/Cartesian d shells", mol.CartD));
    e.push_back(FchkEntry::int_scalar("Pure/Cartesian f shells", mol.CartF));
    e.push_back(FchkEntry::int_scalar("Highest angular momentum", mol.MaxTyp));
    e.push_back(
        FchkEntry::int_scalar("Largest degree of contraction", n.empty() ? 0 : *std::max_element(n.begin(), n.end())));
}

void FchkEntryBuilder::density_basis(Entries& e) const {
    const auto* d = use(f.density_basis);
    if (d == nullptr) return;
    const auto shells = static_cast<int64_t>(d->shell_types.size());
    e.push_back(FchkEntry::int_scalar("Density Number of contracted shells", shells));
    e.push_back(FchkEntry::int_scalar("Density Number of primitive shells", static_cast<int64_t>(d->exponents.size())));
    e.push_back(FchkEntry::int_scalar("Density Pure/Cartesian d shells", d->cart_d));
    e.push_back(FchkEntry::int_scalar("Density Pure/Cartesian f shells", d->cart_f));
    e.push_back(FchkEntry::int_scalar("Density Highest angular momentum", d->max_type));
    e.push_back(FchkEntry::int_scalar("Density Largest degree of contraction", d->largest_contraction()));
    e.push_back(FchkEntry::int_view("Density Shell types", d->shell_types));
    e.push_back(FchkEntry::int_view("Density Number of primitives per shell", d->primitives_per_shell));
    e.push_back(FchkEntry::int_view("Density Shell to atom map", d->shell_to_atom));
    e.push_back(FchkEntry::real_view("Density Primitive exponents", d->exponents));
    e.push_back(FchkEntry::real_view("Density Contraction coefficients", d->coefficients));
    if (!d->sp_coefficients.empty()) {
        e.push_back(FchkEntry::real_view("Density P(S=P) Contraction coefficients", d->sp_coefficients));
    }
    e.push_back(FchkEntry::real_view("Density Coordinates of each shell", d->shell_coordinates));
}

// formchk's ECP block: its array bounds as constants, then the section's arrays. The
// coefficients of a real potential are kept where no known section holds them: then the
// block is left out (or refused), never written with made-up values.
void FchkEntryBuilder::core_potentials(Entries& e) const {
    const auto* c = use(f.core_potentials);
    if (c == nullptr) return;
    if (c->len_ncz() != 0) {
        return skip("Section 512 (core potentials): the coefficients NLP, CLP1, CLP2 and ZLP of its " +
                    std::to_string(c->len_ncz()) +
                    " core-potential terms lie in no section this reader knows; the ECP block is left out");
    }
    constexpr int64_t kMxAtEC = 250000;  // formchk's bounds, the same in every file
    e.push_back(FchkEntry::int_scalar("ECP-MxAtEC", kMxAtEC));
    e.push_back(FchkEntry::int_scalar("ECP-MaxLECP", tesvarin::CorePotentials::kShellsPerAtom));
    e.push_back(FchkEntry::int_scalar("ECP-MaxAtL", 9 * kMxAtEC));
    e.push_back(FchkEntry::int_scalar("ECP-MxTECP", 45 * kMxAtEC));
    e.push_back(FchkEntry::int_scalar("ECP-LenNCZ", 0));
    e.push_back(FchkEntry::int_view("ECP-KFirst", c->kfirst));
    e.push_back(FchkEntry::int_view("ECP-KLast", c->klast));
    e.push_back(FchkEntry::int_view("ECP-LMax", c->lmax));
    e.push_back(FchkEntry::int_view("ECP-LPSkip", c->lpskip));
    e.push_back(FchkEntry::real_view("ECP-RNFroz", c->frozen));
    // No terms: the coefficient arrays are zero scalars.
    e.push_back(FchkEntry::int_scalar("ECP-NLP", 0));
    for (const char* label : {"ECP-CLP1", "ECP-CLP2", "ECP-ZLP"}) e.push_back(FchkEntry::real_scalar(label, 0.0));
}

void FchkEntryBuilder::bonds(Entries& e) const {
    const auto* b = use(f.bonds);
    if (b == nullptr) return;
    e.push_back(FchkEntry::int_scalar("MxBond", b->max_bonds));
    e.push_back(FchkEntry::int_view("NBond", b->bond_counts));
    e.push_back(FchkEntry::int_view("IBond", b->partners));
    e.push_back(FchkEntry::real_view("RBond", b->orders));
}

void FchkEntryBuilder::nimag(Entries& e) const {
    const auto* v = use(f.vibrations);
    if (v == nullptr || v->nmodes == 0) return;
    const auto freq = v->e2.begin();  // the first NModes values are the frequencies
    const auto imaginary = std::count_if(freq, freq + v->nmodes, [](double x) { return x < 0; });
    e.push_back(FchkEntry::int_scalar("NImag", imaginary));
}

void FchkEntryBuilder::internal_forces(Entries& e) const {
    const auto* g = use(f.internal_forces);
    if (g == nullptr) return;
    e.push_back(FchkEntry::real_scalar("Grdnt Energy", g->energy));
    e.push_back(FchkEntry::int_scalar("Grdnt NVar", g->nvar));
    e.push_back(FchkEntry::int_scalar("Grdnt IGetFC", g->igetfc));
    if (g->nvar == 0) return;  // present but empty: the forces are left out
    e.push_back(FchkEntry::real_view("Internal Forces", g->forces));
    e.push_back(FchkEntry::real_view("Internal Force Constants", g->force_constants));
}

void FchkEntryBuilder::charges(Entries& e) const {
    const auto* c = use(f.charges);
    if (c == nullptr) return;
    if (!c->mulliken.empty()) e.push_back(FchkEntry::real_view("Mulliken Charges", c->mulliken));
    if (!c->npa.empty()) e.push_back(FchkEntry::real_view("NPA Charges", c->npa));
    // The APT charges have no entry in any formchk output known; an unknown set is noted.
    if (!c->note.empty()) skip(c->note);
}

void FchkEntryBuilder::optimisation(Entries& e) const {
    const auto* o = use(f.optimisation);
    if (o == nullptr) return;
    e.push_back(FchkEntry::int_scalar("Optimization MaxStp", o->max_steps));
    e.push_back(FchkEntry::int_scalar("Optimization Job offset", o->job_offset));
    e.push_back(FchkEntry::int_scalar("Optimization Num results per geometry", o->results_per_geometry));
    e.push_back(FchkEntry::int_scalar("Optimization Num geometry variables", o->nvar));
    // The first point only, as for every file formchk's output is known of (one point each).
    const auto first = static_cast<size_t>(o->geometries_count);
    const auto res = static_cast<size_t>(o->results_per_geometry), var = static_cast<size_t>(o->nvar);
    e.push_back(
        FchkEntry::real_view(point_label("Opt point", "Results for each geometry"), o->results.data(), res * first));
    e.push_back(FchkEntry::real_view(point_label("Opt point", "Geometries"), o->geometries.data(), var * first));
    e.push_back(
        FchkEntry::real_view(point_label("Opt point", "Gradient at each geometry"), o->gradients.data(), var * first));
    e.push_back(FchkEntry::int_view("Optimization Number of geometries", o->geometries_per_point));
}

// 16 C.01's archive entries, for an optimisation or a trajectory: the counts with MaxJob and
// the reference energy, then the first point's arrays with the energies relative to it.
template <typename Archive>
void FchkEntryBuilder::archive_c01(Entries& e, const Archive& a, const char* name, const char* point, const char* third,
                                   const std::vector<double>& values, int64_t energy) const {
    const std::string prefix = std::string(name) + " ";
    e.push_back(FchkEntry::int_scalar(prefix + "MaxStp", a.max_steps));
    e.push_back(FchkEntry::int_scalar(prefix + "MaxJob", static_cast<int64_t>(a.geometries_per_point.size())));
    e.push_back(FchkEntry::int_scalar(prefix + "Job offset", a.job_offset));
    e.push_back(FchkEntry::int_scalar(prefix + "Num results per geometry", a.results_per_geometry));
    e.push_back(FchkEntry::int_scalar(prefix + "Num geometry variables", a.nvar));
    e.push_back(FchkEntry::real_scalar(prefix + "Reference Energy", a.reference_energy));
    const auto first = static_cast<size_t>(a.geometries_count);
    const auto res = static_cast<size_t>(a.results_per_geometry), var = static_cast<size_t>(a.nvar);
    std::vector<double> results(a.results.begin(), a.results.begin() + static_cast<std::ptrdiff_t>(res * first));
    for (size_t k = static_cast<size_t>(energy); k < results.size(); k += res) results[k] -= a.reference_energy;
    e.push_back(FchkEntry::real_values(point_label(point, "Results for each geometry"), std::move(results)));
    e.push_back(FchkEntry::real_view(point_label(point, "Geometries"), a.geometries.data(), var * first));
    e.push_back(FchkEntry::real_view(point_label(point, third), values.data(), var * first));
    e.push_back(FchkEntry::int_view(prefix + "Number of geometries", a.geometries_per_point));
}

void FchkEntryBuilder::optimisation_c01(Entries& e) const {
    if (const auto* o = use(f.optimisation))
        archive_c01(e, *o, "Optimization", "Opt point", "Gradient at each geometry", o->gradients, 0);
}

void FchkEntryBuilder::trajectory(Entries& e) const {
    if (const auto* t = use(f.trajectory)) {
        archive_c01(e, *t, "Trajectory", "Traj num", "Momentum at each geometry", t->momenta,
                    tesvarin::Trajectory::kPotentialEnergy);
    }
}

void FchkEntryBuilder::oniom_first(Entries& e) const {
    const auto* o = use(f.oniom);
    if (o == nullptr) return;
    e.push_back(FchkEntry::int_view("ONIOM Charges", o->charges));
    e.push_back(FchkEntry::int_view("ONIOM Multiplicities", o->multiplicities));
    e.push_back(FchkEntry::int_view("Atom Layers", o->layers));
    e.push_back(FchkEntry::int_view("Atom Modifiers", o->modifiers));
}

void FchkEntryBuilder::oniom_last(Entries& e) const {
    const auto* o = use(f.oniom);
    if (o == nullptr) return;
    e.push_back(FchkEntry::int_view("Link Atoms", o->link_atoms));
    e.push_back(FchkEntry::real_view("Atom Modified MM Charges", o->modified_mm_charges));
    e.push_back(FchkEntry::real_view("Link Distances", o->link_distances));
}

void FchkEntryBuilder::int_modified_types(Entries& e) const {
    if (const auto* o = use(f.oniom))
        e.push_back(FchkEntry::int_view("Int Atom Modified Types", o->int_modified_types));
}

void FchkEntryBuilder::gradient(Entries& e) const {
    if (const auto* g = use(f.gradient)) e.push_back(FchkEntry::real_view("Cartesian Gradient", *g));
}

void FchkEntryBuilder::force_constants(Entries& e) const {
    const auto& h = mol.hessian;
    if (h.rows() == 0) return;
    std::vector<double> lower;
    lower.reserve(static_cast<size_t>(h.rows() * (h.rows() + 1) / 2));
    for (Eigen::Index r = 0; r < h.rows(); ++r)
        for (Eigen::Index c = 0; c <= r; ++c) lower.push_back(h(r, c));
    e.push_back(FchkEntry::real_values("Cartesian Force Constants", std::move(lower)));
}

void FchkEntryBuilder::electric(Entries& e) const {
    const auto* p619 = use(f.electric);
    if (p619 == nullptr) return;
    // An empty array: its mask bit is unset.
    const auto add = [&e](const char* label, const std::vector<double>& v) {
        if (!v.empty()) e.push_back(FchkEntry::real_view(label, v));
    };
    add("Dipole Moment", p619->dipole);
    add("Dipole Derivatives", p619->dipole_derivatives);
    add("Polarizability", p619->polarizability);
    add("Polarizability Derivatives", p619->polarizability_derivatives);
    add("HyperPolarizability", p619->hyperpolarizability);
    add("Quadrupole Moment", p619->quadrupole);
}

void FchkEntryBuilder::qeq_turned(Entries& e, bool right_first) const {
    const auto* q = use(f.qeq_tensors);
    if (q == nullptr) return;
    if (!f.turned) return e.push_back(FchkEntry::real_view("QEq coupling tensors", *q));
    e.push_back(
        FchkEntry::real_values("QEq coupling tensors", tesvarin::Rotation(mol.stdrot).lower_tensors(*q, right_first)));
}

void FchkEntryBuilder::vibrations(Entries& e) const {
    const auto* v = use(f.vibrations);
    if (v == nullptr || v->nmodes == 0) return;  // a single atom stores masses only
    e.push_back(FchkEntry::int_scalar("Number of Normal Modes", v->nmodes));
    e.push_back(FchkEntry::int_scalar("Vib-LE2Fix", v->le2fix));
    e.push_back(FchkEntry::int_scalar("Vib-NDFDPol", v->ndfdpol));
    e.push_back(FchkEntry::int_scalar("Vib-NumROA", 0));
    e.push_back(FchkEntry::int_scalar("Vib-NDim", v->ndim));
    e.push_back(FchkEntry::int_scalar("Vib-NDim0", v->ndim0));
    e.push_back(FchkEntry::int_scalar("Vib-LFlags", v->lflags));
    e.push_back(FchkEntry::int_view("Vib-IFlags", v->iflags));
    e.push_back(FchkEntry::real_view("Vib-AtMass", v->masses));
    e.push_back(FchkEntry::real_view("Vib-E2", v->e2));
    e.push_back(FchkEntry::real_view("Vib-Modes", v->modes));
}

// 09's formchk writes neither LE2Fix nor the flags (which its files leave at LFlags = 0).
void FchkEntryBuilder::vibrations_v09(Entries& e) const {
    const auto* v = use(f.vibrations);
    if (v == nullptr || v->nmodes == 0) return;
    e.push_back(FchkEntry::int_scalar("Number of Normal Modes", v->nmodes));
    e.push_back(FchkEntry::int_scalar("Vib-NDFDPol", v->ndfdpol));
    e.push_back(FchkEntry::int_scalar("Vib-NumROA", 0));
    e.push_back(FchkEntry::int_scalar("Vib-NDim", v->ndim));
    e.push_back(FchkEntry::int_scalar("Vib-NDim0", v->ndim0));
    e.push_back(FchkEntry::real_view("Vib-AtMass", v->masses));
    e.push_back(FchkEntry::real_view("Vib-E2", v->e2));
    e.push_back(FchkEntry::real_view("Vib-Modes", v->modes));
}

void FchkEntryBuilder::excited_states(Entries& e) const {
    const auto* x = use(f.excited_states);
    if (x == nullptr) return;
    e.push_back(FchkEntry::int_scalar("ETran NETS", x->nets()));
    e.push_back(FchkEntry::int_scalar("ETran NETV", x->netv()));
    e.push_back(FchkEntry::int_view("ETran scalars", x->scalars));
    e.push_back(FchkEntry::int_view("ETran spin", x->spin));
    e.push_back(FchkEntry::int_view("ETran sym", x->symmetry));
    e.push_back(FchkEntry::real_view("ETran state values", x->state_values));
}

void FchkEntryBuilder::classical(Entries& e) const {
    const auto* c = use(f.classical);
    if (c == nullptr) return;
    e.push_back(FchkEntry::int_scalar("ClPar MaxAn", c->max_an));
    e.push_back(FchkEntry::int_scalar("ClPar NIntPar", c->nintpar));
    e.push_back(FchkEntry::int_scalar("ClPar NRealPar", c->nrealpar));
    e.push_back(FchkEntry::int_scalar("ClPar NBits", c->nbits));
    e.push_back(FchkEntry::int_scalar("ClPar LenBitVec", c->lenbitvec));
    e.push_back(FchkEntry::int_view("ClPar Read BitMap", c->read_bitmap));
    e.push_back(FchkEntry::int_view("ClPar Default BitMap", c->default_bitmap));
    e.push_back(FchkEntry::int_view("ClPar Int Params", c->int_params));
    e.push_back(FchkEntry::real_view("ClPar Real Params", c->real_params));
}

void FchkEntryBuilder::version(Entries& e) const {
    if (const auto* v = use(f.version)) e.push_back(FchkEntry::text_entry("Gaussian Version", *v));
}
