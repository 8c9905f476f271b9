// The entries of the formatted checkpoint and their order. Each writer flavour
// is a column of one table: the basic file, and the complete file as formchk of
// version 09 (09 A.02) or 16 (16 A.03) writes it. A row is a group of entries
// that always travel together; its emitter skips what the file does not hold.
#include <algorithm>
#include <cstdio>

#include "tesvarin/parser.hpp"
#include "tesvarin/read/rotation.hpp"
#include "tesvarin/write/fchk_entry.hpp"

using tesvarin::FchkEntry;

// Appends one row's entries; reads the parser through friendship only. A damaged
// section costs only its own entries: they are left out and its message kept in
// `skipped`, or, without `skipped` (strict), the message is raised.
class FchkEntryBuilder {
public:
    using Entries = std::vector<FchkEntry>;
    using Emit = void (FchkEntryBuilder::*)(Entries&) const;

    FchkEntryBuilder(const Tesvarin& t, std::vector<std::string>* skipped)
        : t(t),
          p(t.params),
          mol(t.params.mol),
          f(t.further),
          natoms(static_cast<size_t>(std::max<int64_t>(mol.natoms, 0))),
          skipped(skipped) {}

    // Refuses in strict mode; otherwise notes `message` once and lets the caller leave its entries out.
    void skip(const std::string& message) const {
        if (skipped == nullptr) TESVARIN_THROW(message);
        if (std::find(skipped->begin(), skipped->end(), message) == skipped->end()) skipped->push_back(message);
    }

    // The project's own entries.
    void atom_count(Entries& e) const { e.push_back(FchkEntry::int_scalar("Number of atoms", mol.natoms)); }
    void info(Entries& e) const { e.push_back(FchkEntry::int_view("Info1-9", p.info1_9)); }
    void full_title(Entries& e) const { e.push_back(FchkEntry::text_entry("Full Title", p.title)); }
    void route(Entries& e) const { e.push_back(FchkEntry::text_entry("Route", p.route)); }
    void electron_counts(Entries& e) const {
        e.push_back(FchkEntry::int_scalar("Charge", mol.totchg));
        e.push_back(FchkEntry::int_scalar("Multiplicity", mol.multiplicity));
        e.push_back(FchkEntry::int_scalar("Number of electrons", mol.ne));
        e.push_back(FchkEntry::int_scalar("Number of alpha electrons", mol.nae));
        e.push_back(FchkEntry::int_scalar("Number of beta electrons", mol.nbe));
        e.push_back(FchkEntry::int_scalar("Number of basis functions", mol.nbasis));
        e.push_back(FchkEntry::int_scalar("Number of independent functions", mol.nbsuse));
    }
    void translation_count(Entries& e) const {
        e.push_back(FchkEntry::int_scalar("Number of translation vectors", mol.ndim));
    }
    void atoms(Entries& e) const {
        e.push_back(FchkEntry::int_view("Atomic numbers", mol.atomicnums.data(), natoms));
        e.push_back(FchkEntry::real_view("Nuclear charges", mol.nucchg.data(), natoms));
        e.push_back(FchkEntry::real_view("Current cartesian coordinates", mol.coords.data(), 3 * natoms));
    }
    void translation_vectors(Entries& e) const {
        if (mol.ndim <= 0) return;
        std::vector<double> vectors;
        for (int64_t k = 0; k < std::min<int64_t>(mol.ndim, 3); ++k)
            for (int j = 0; j < 3; ++j) vectors.push_back(mol.cell(k, j));
        e.push_back(FchkEntry::real_values("Translation vectors", std::move(vectors)));
    }
    void shell_counts(Entries& e) const {
        e.push_back(FchkEntry::int_scalar("Number of contracted shells", mol.NShell));
        e.push_back(FchkEntry::int_scalar("Number of primitive shells", mol.NPrim));
    }
    void shells(Entries& e) const {
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
    void switches(Entries& e) const {
        e.push_back(FchkEntry::int_scalar("Num ILSW", static_cast<int64_t>(t.ilsw.size())));
        e.push_back(FchkEntry::int_view("ILSW", t.ilsw));
        if (t.rlsw.empty()) return;
        e.push_back(FchkEntry::int_scalar("Num RLSW", static_cast<int64_t>(t.rlsw.size())));
        e.push_back(FchkEntry::real_view("RLSW", t.rlsw));
    }
    void virial_scf(Entries& e) const {
        e.push_back(FchkEntry::real_scalar("Virial Ratio", p.genarr[0]));
        e.push_back(FchkEntry::real_scalar("SCF Energy", p.genarr[31]));
    }
    void total_energy(Entries& e) const { e.push_back(FchkEntry::real_scalar("Total Energy", p.genarr[42])); }
    void rms_density(Entries& e) const { e.push_back(FchkEntry::real_scalar("RMS Density", p.genarr[22])); }
    void scf_codes(Entries& e) const {
        e.push_back(FchkEntry::int_scalar("IOpCl", t.iopcl_out));
        e.push_back(FchkEntry::int_scalar("IROHF", t.irohf));
    }
    void orbitals_densities(Entries& e) const {
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

    // Constants formchk writes with no place in the checkpoint.
    void symbol_count(Entries& e) const { e.push_back(FchkEntry::int_scalar("Number of symbols in /Mol/", 0)); }
    void force_field(Entries& e) const { e.push_back(FchkEntry::int_scalar("Force Field", 0)); }
    void atom_types(Entries& e) const { e.push_back(blank_pieces("Atom Types")); }
    void atom_modified_types(Entries& e) const { e.push_back(blank_pieces("Atom Modified Types")); }
    void residue_counts(Entries& e) const {
        e.push_back(FchkEntry::int_scalar("Number of residues", 0));
        e.push_back(FchkEntry::int_scalar("Number of secondary structures", 0));
    }
    void job_status(Entries& e) const {
        e.push_back(FchkEntry::int_scalar("Job Status", 1));
        // 2 with force constants as in every file seen; below that the order of derivatives held.
        e.push_back(FchkEntry::int_scalar("Nuclear derivative order",
                                          f.has_force_constants ? 2 : f.gradient.present ? 1 : 0));
    }

    // The molecule section's header and per-atom blocks.
    void point_charges(Entries& e) const {
        if (const auto* a = atom_blocks()) {
            e.push_back(FchkEntry::int_scalar("Number of point charges in /Mol/", a->point_charges));
        }
    }
    void atom_blocks_first(Entries& e) const {
        const auto* blocks = atom_blocks();
        if (blocks == nullptr) return;
        const auto& a = *blocks;
        e.push_back(FchkEntry::int_view("Int Atom Types", a.int_atom_types));
        e.push_back(FchkEntry::real_view("MM charges", a.mm_charges));
        e.push_back(FchkEntry::int_view("Integer atomic weights", a.integer_weights));
        e.push_back(FchkEntry::real_view("Real atomic weights", a.real_weights));
        e.push_back(FchkEntry::int_view("Atom fragment info", a.fragment_info));
        e.push_back(FchkEntry::int_view("Atom residue num", a.residue_numbers));
        e.push_back(FchkEntry::int_view("Nuclear spins", a.nuclear_spins));
        e.push_back(FchkEntry::real_view("Nuclear ZEff", a.zeff));
    }
    void znuc(Entries& e) const {
        const auto* a = atom_blocks();
        if (a == nullptr) return;
        if (a->znuc.empty()) return skip("Layout " + std::to_string(a->layout) + " holds no Nuclear ZNuc block");
        e.push_back(FchkEntry::real_view("Nuclear ZNuc", a->znuc));
    }
    void atom_blocks_last(Entries& e) const {
        const auto* blocks = atom_blocks();
        if (blocks == nullptr) return;
        const auto& a = *blocks;
        e.push_back(FchkEntry::real_view("Nuclear QMom", a.qmom));
        e.push_back(FchkEntry::real_view("Nuclear GFac", a.gfac));
        e.push_back(FchkEntry::int_view("MicOpt", a.micopt));
    }

    void redundant_internals(Entries& e) const {
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
    void symmetry(Entries& e) const {
        const auto* s = use(f.symmetry);
        if (s == nullptr) return;
        e.push_back(FchkEntry::int_view("SymInf integers", s->syminf));
        e.push_back(FchkEntry::real_view("RotTr to input orientation", s->rottr));
    }
    void shell_kinds(Entries& e) const {
        const auto& n = mol.bparams.shellnprim;
        e.push_back(FchkEntry::int_scalar("Pure/Cartesian d shells", mol.CartD));
        e.push_back(FchkEntry::int_scalar("Pure/Cartesian f shells", mol.CartF));
        e.push_back(FchkEntry::int_scalar("Highest angular momentum", mol.MaxTyp));
        e.push_back(FchkEntry::int_scalar("Largest degree of contraction",
                                          n.empty() ? 0 : *std::max_element(n.begin(), n.end())));
    }
    void constraint_structure(Entries& e) const { add_reals(e, "Constraint Structure", f.constraint_structure); }
    void bonds(Entries& e) const {
        const auto* b = use(f.bonds);
        if (b == nullptr) return;
        e.push_back(FchkEntry::int_scalar("MxBond", b->max_bonds));
        e.push_back(FchkEntry::int_view("NBond", b->bond_counts));
        e.push_back(FchkEntry::int_view("IBond", b->partners));
        e.push_back(FchkEntry::real_view("RBond", b->orders));
    }
    // General-array values written only when set.
    void mp2_energy(Entries& e) const { add_nonzero(e, "MP2 Energy", 32); }
    void post_scf_norm(Entries& e) const { add_nonzero(e, "Post-SCF wavefunction norm", 41); }
    void rms_force(Entries& e) const { add_nonzero(e, "RMS Force", 20); }
    void nimag(Entries& e) const {
        const auto* v = use(f.vibrations);
        if (v == nullptr || v->nmodes == 0) return;
        const auto freq = v->e2.begin();  // the first NModes values are the frequencies
        const auto imaginary = std::count_if(freq, freq + v->nmodes, [](double x) { return x < 0; });
        e.push_back(FchkEntry::int_scalar("NImag", imaginary));
    }
    void external_field(Entries& e) const { add_reals(e, "External E-field", f.external_field); }
    void qeq_stored(Entries& e) const { add_reals(e, "QEq coupling tensors", f.qeq_tensors); }
    void internal_forces(Entries& e) const {
        const auto* g = use(f.internal_forces);
        if (g == nullptr) return;
        e.push_back(FchkEntry::real_scalar("Grdnt Energy", g->energy));
        e.push_back(FchkEntry::int_scalar("Grdnt NVar", g->nvar));
        e.push_back(FchkEntry::int_scalar("Grdnt IGetFC", g->igetfc));
        if (g->nvar == 0) return;  // present but empty: the forces are left out
        e.push_back(FchkEntry::real_view("Internal Forces", g->forces));
        e.push_back(FchkEntry::real_view("Internal Force Constants", g->force_constants));
    }
    void charges(Entries& e) const {
        const auto* c = use(f.charges);
        if (c == nullptr) return;
        if (!c->mulliken.empty()) e.push_back(FchkEntry::real_view("Mulliken Charges", c->mulliken));
        if (!c->npa.empty()) e.push_back(FchkEntry::real_view("NPA Charges", c->npa));
    }
    void optimisation(Entries& e) const {
        const auto* o = use(f.optimisation);
        if (o == nullptr) return;
        e.push_back(FchkEntry::int_scalar("Optimization MaxStp", o->max_steps));
        e.push_back(FchkEntry::int_scalar("Optimization Job offset", o->job_offset));
        e.push_back(FchkEntry::int_scalar("Optimization Num results per geometry", o->results_per_geometry));
        e.push_back(FchkEntry::int_scalar("Optimization Num geometry variables", o->nvar));
        // The first point only, as for every file formchk's output is known of (one point each).
        const auto first = static_cast<size_t>(o->geometries_count);
        const auto res = static_cast<size_t>(o->results_per_geometry), var = static_cast<size_t>(o->nvar);
        e.push_back(FchkEntry::real_view(opt_point_label("Results for each geometry"), o->results.data(), res * first));
        e.push_back(FchkEntry::real_view(opt_point_label("Geometries"), o->geometries.data(), var * first));
        e.push_back(FchkEntry::real_view(opt_point_label("Gradient at each geometry"), o->gradients.data(), var * first));
        e.push_back(FchkEntry::int_view("Optimization Number of geometries", o->geometries_per_point));
    }
    void oniom_first(Entries& e) const {
        const auto* o = use(f.oniom);
        if (o == nullptr) return;
        e.push_back(FchkEntry::int_view("ONIOM Charges", o->charges));
        e.push_back(FchkEntry::int_view("ONIOM Multiplicities", o->multiplicities));
        e.push_back(FchkEntry::int_view("Atom Layers", o->layers));
        e.push_back(FchkEntry::int_view("Atom Modifiers", o->modifiers));
    }
    void oniom_last(Entries& e) const {
        const auto* o = use(f.oniom);
        if (o == nullptr) return;
        e.push_back(FchkEntry::int_view("Int Atom Modified Types", o->int_modified_types));
        e.push_back(FchkEntry::int_view("Link Atoms", o->link_atoms));
        e.push_back(FchkEntry::real_view("Atom Modified MM Charges", o->modified_mm_charges));
        e.push_back(FchkEntry::real_view("Link Distances", o->link_distances));
    }
    void gradient(Entries& e) const {
        if (const auto* g = use(f.gradient)) e.push_back(FchkEntry::real_view("Cartesian Gradient", *g));
    }
    void force_constants(Entries& e) const {
        const auto& h = mol.hessian;
        if (h.rows() == 0) return;
        std::vector<double> lower;
        lower.reserve(static_cast<size_t>(h.rows() * (h.rows() + 1) / 2));
        for (Eigen::Index r = 0; r < h.rows(); ++r)
            for (Eigen::Index c = 0; c <= r; ++c) lower.push_back(h(r, c));
        e.push_back(FchkEntry::real_values("Cartesian Force Constants", std::move(lower)));
    }
    void nonadiabatic(Entries& e) const { add_reals(e, "Nonadiabatic coupling", f.nonadiabatic_coupling); }
    void electric(Entries& e) const {
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
    void qeq_rotated(Entries& e) const {
        const auto* q = use(f.qeq_tensors);
        if (q == nullptr) return;
        if (!t.rotated) return e.push_back(FchkEntry::real_view("QEq coupling tensors", *q));
        e.push_back(FchkEntry::real_values("QEq coupling tensors", tesvarin::Rotation(mol.stdrot).lower_tensors(*q)));
    }
    void vibrations(Entries& e) const {
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
    void classical(Entries& e) const {
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
    void version(Entries& e) const {
        if (const auto* v = use(f.version)) e.push_back(FchkEntry::text_entry("Gaussian Version", *v));
    }

private:
    // The section's record, nullptr when it is absent or (not strict) damaged.
    template <typename T>
    const T* use(const tesvarin::Loaded<T>& slot) const {
        if (!slot.damaged()) return slot.intact();
        skip(slot.error);
        return nullptr;
    }
    const tesvarin::AtomProperties* atom_blocks() const {
        if (!f.atoms.present) TESVARIN_THROW("No Mol sections in .chk");
        return use(f.atoms);
    }
    FchkEntry blank_pieces(const char* label) const {
        return FchkEntry::text_entry(label, std::string(static_cast<size_t>(12 * natoms), ' '));
    }
    void add_nonzero(Entries& e, const char* label, size_t slot) const {
        if (p.genarr[slot] != 0) e.push_back(FchkEntry::real_scalar(label, p.genarr[slot]));
    }
    void add_reals(Entries& e, const char* label, const tesvarin::Loaded<std::vector<double>>& slot) const {
        if (const auto* v = use(slot)) e.push_back(FchkEntry::real_view(label, *v));
    }
    static std::string opt_point_label(const char* what) {
        char label[64];
        std::snprintf(label, sizeof label, "Opt point %7d %s", 1, what);
        return std::string(label).substr(0, 40);
    }
    const Tesvarin& t;
    const ChkParams& p;
    const ChkParams::Mol& mol;
    const tesvarin::FurtherSections& f;
    size_t natoms;
    std::vector<std::string>* skipped;
};

namespace {
using B = FchkEntryBuilder;

// Position of each row in each file (0: never written); entries follow the rows' order.
struct Row {
    B::Emit emit;
    int basic, v09, v16;
};

const Row kOrder[] = {
    // emitter                   basic v09 v16
    {&B::atom_count,              1,   1,   1},
    {&B::info,                    2,   2,   2},
    {&B::full_title,              3,   0,   3},
    {&B::route,                   4,   0,   4},
    {&B::electron_counts,         5,   3,   5},
    {&B::point_charges,           0,  10,  12},
    {&B::translation_count,      12,  11,  13},
    {&B::atoms,                  13,  12,  14},
    {&B::translation_vectors,    16,  15,  17},
    {&B::symbol_count,            0,   0,  18},
    {&B::force_field,             0,  16,  19},
    {&B::atom_types,              0,   0,  20},
    {&B::atom_blocks_first,       0,  17,  21},
    {&B::znuc,                    0,   0,  29},
    {&B::atom_blocks_last,        0,  25,  30},
    {&B::residue_counts,          0,   0,  33},
    {&B::redundant_internals,     0,   0,  35},
    {&B::symmetry,                0,   0,  42},
    {&B::shell_counts,           17,  28,  44},
    {&B::shell_kinds,             0,  30,  46},
    {&B::shells,                 19,  34,  50},
    {&B::constraint_structure,    0,  41,   0},
    {&B::switches,               26,  42,  57},
    {&B::bonds,                   0,  46,  61},
    {&B::virial_scf,             30,  50,  65},
    {&B::mp2_energy,              0,  52,  67},
    {&B::total_energy,           32,  53,  68},
    {&B::post_scf_norm,           0,  54,  69},
    {&B::rms_force,               0,  55,  70},
    {&B::rms_density,            33,  56,  71},
    {&B::nimag,                   0,   0,  72},
    {&B::job_status,              0,   0,  73},
    {&B::external_field,          0,  57,  75},
    {&B::scf_codes,              34,  58,  76},
    {&B::orbitals_densities,     36,  60,  78},
    {&B::qeq_stored,              0,  83,   0},
    {&B::internal_forces,         0,   0, 101},
    {&B::charges,                 0,  84, 106},
    {&B::optimisation,            0,  86, 108},
    {&B::oniom_first,             0,  94, 116},
    {&B::force_field,             0,  98, 120},
    {&B::atom_modified_types,     0,   0, 121},
    {&B::oniom_last,              0,  99, 122},
    {&B::gradient,                0, 103, 126},
    {&B::force_constants,         0, 104, 127},
    {&B::nonadiabatic,            0,   0, 128},
    {&B::electric,                0, 105, 129},
    {&B::qeq_rotated,             0,   0, 135},
    {&B::vibrations,              0,   0, 136},
    {&B::classical,               0,   0, 147},
    {&B::version,                 0,   0, 156},
};

enum class Flavour { Basic, V09, V16 };

int position(const Row& row, Flavour flavour) {
    return flavour == Flavour::Basic ? row.basic : flavour == Flavour::V09 ? row.v09 : row.v16;
}

// The versions whose formchk the v16 column is: 16 A.03 itself, and the later
// revisions whose files it reproduces.
const char* const kV16Revisions[] = {"G16RevA.03", "G16RevB.01", "G16RevC.01", "G16RevC.02"};

// The program version the file came from decides which formchk is emulated: 09 A.02's for
// a file without the version section in a version-09 layout, else 16 A.03's. A version the
// table has no column for is written as 16 A.03's formchk would, and a note says so.
Flavour complete_flavour(const tesvarin::FurtherSections& f, std::vector<std::string>& notes) {
    const int64_t layout = f.molecule_layout;
    if (!f.version.present && (layout == -12346 || layout == -12347)) return Flavour::V09;
    std::string version = f.version.present ? "whose version section 801 is damaged" : "without the version section 801";
    if (!f.version.damaged() && f.version.present) {
        const std::string& text = f.version.data;
        for (const char* known : kV16Revisions)
            if (text.find(known) != std::string::npos) return Flavour::V16;
        version = "of program version \"" + text + "\"";
    }
    notes.push_back("No formchk is known for a checkpoint " + version + " (molecule layout " + std::to_string(layout) +
                    "): written as 16 A.03's formchk writes it");
    return Flavour::V16;
}
}  // namespace

std::vector<FchkEntry> Tesvarin::fchk_entries(bool complete, Skipped* skipped) const {
    // An fchk without the sections left unread would pass for the whole file.
    if (!options.everything()) {
        TESVARIN_THROW("The checkpoint was read without its " + options.unread() + "; read it whole to write an fchk");
    }
    Flavour flavour = Flavour::Basic;
    std::vector<std::string> notes;
    if (complete) flavour = complete_flavour(further, notes);
    if (skipped != nullptr) skipped->insert(skipped->end(), notes.begin(), notes.end());
    std::vector<const Row*> rows;
    for (const Row& row : kOrder)
        if (position(row, flavour) > 0) rows.push_back(&row);
    std::stable_sort(rows.begin(), rows.end(),
                     [flavour](const Row* a, const Row* b) { return position(*a, flavour) < position(*b, flavour); });
    const FchkEntryBuilder builder(*this, skipped);
    std::vector<FchkEntry> entries;
    for (const Row* row : rows) (builder.*(row->emit))(entries);
    return entries;
}
