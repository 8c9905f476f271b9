// The entry builder of the formatted checkpoint: one emitter per row of the order
// table (src/write/fchk_order.cpp), each appending its group of entries.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "tesvarin/write/fchk_entry.hpp"
#include "tesvarin/write/fchk_writer.hpp"

// Appends one row's entries, from the parse's records only. A damaged
// section costs only its own entries: they are left out and its message kept in
// `skipped`, or, without `skipped` (strict), the message is raised.
class FchkEntryBuilder {
public:
    using FchkEntry = tesvarin::FchkEntry;
    using Entries = std::vector<FchkEntry>;
    using Emit = void (FchkEntryBuilder::*)(Entries&) const;

    FchkEntryBuilder(const tesvarin::FchkRecords& r, std::vector<std::string>* skipped)
        : p(r.params),
          mol(r.params.mol),
          f(r.further),
          sw(r.switches),
          natoms(static_cast<size_t>(std::max<int64_t>(mol.natoms, 0))),
          skipped(skipped) {}

    // Refuses in strict mode; otherwise notes `message` once and lets the caller leave its entries out.
    void skip(const std::string& message) const;

    // The project's own entries.
    void atom_count(Entries& e) const { e.push_back(FchkEntry::int_scalar("Number of atoms", mol.natoms)); }
    void info(Entries& e) const { e.push_back(FchkEntry::int_view("Info1-9", p.info1_9)); }
    void full_title(Entries& e) const { e.push_back(FchkEntry::text_entry("Full Title", p.title)); }
    void route(Entries& e) const { e.push_back(FchkEntry::text_entry("Route", p.route)); }
    void electron_counts(Entries& e) const;
    void translation_count(Entries& e) const;
    void atoms(Entries& e) const;
    void translation_vectors(Entries& e) const;
    void shell_counts(Entries& e) const;
    void shells(Entries& e) const;
    void switches(Entries& e) const;
    void virial_scf(Entries& e) const;
    void total_energy(Entries& e) const { e.push_back(FchkEntry::real_scalar("Total Energy", p.genarr[42])); }
    void rms_density(Entries& e) const { e.push_back(FchkEntry::real_scalar("RMS Density", p.genarr[22])); }
    void scf_codes(Entries& e) const;
    void orbitals_densities(Entries& e) const;
    // A job without basis functions (molecular mechanics): empty orbital entries, so that
    // readers that need orbitals load the file.
    void no_orbitals(Entries& e) const;

    // Constants formchk writes with no place in the checkpoint.
    void symbol_count(Entries& e) const { e.push_back(FchkEntry::int_scalar("Number of symbols in /Mol/", 0)); }
    void force_field(Entries& e) const { e.push_back(FchkEntry::int_scalar("Force Field", 0)); }
    void atom_types(Entries& e) const { e.push_back(blank_pieces("Atom Types")); }
    void atom_modified_types(Entries& e) const { e.push_back(blank_pieces("Atom Modified Types")); }
    void residue_counts(Entries& e) const;
    void job_status(Entries& e) const;

    // The molecule section's header and per-atom blocks.
    void point_charges(Entries& e) const;
    void int_atom_types(Entries& e) const;
    void atom_blocks_first(Entries& e) const;
    void znuc(Entries& e) const;
    void atom_blocks_last(Entries& e) const;

    void redundant_internals(Entries& e) const;
    void symmetry(Entries& e) const;
    void shell_kinds(Entries& e) const;
    void constraint_structure(Entries& e) const { add_reals(e, "Constraint Structure", f.constraint_structure); }
    void density_basis(Entries& e) const;
    void core_potentials(Entries& e) const;
    void bonds(Entries& e) const;
    // General-array values written only when set.
    void mp2_energy(Entries& e) const { add_nonzero(e, "MP2 Energy", 32); }
    void cis_energy(Entries& e) const { add_nonzero(e, "CIS Energy", 24); }
    void post_scf_norm(Entries& e) const { add_nonzero(e, "Post-SCF wavefunction norm", 41); }
    void rms_force(Entries& e) const { add_nonzero(e, "RMS Force", 20); }
    void nimag(Entries& e) const;
    void external_field(Entries& e) const { add_reals(e, "External E-field", f.external_field); }
    void qeq_stored(Entries& e) const { add_reals(e, "QEq coupling tensors", f.qeq_tensors); }
    void internal_forces(Entries& e) const;
    void charges(Entries& e) const;
    void optimisation(Entries& e) const;
    void optimisation_c01(Entries& e) const;
    void trajectory(Entries& e) const;
    void oniom_first(Entries& e) const;
    void int_modified_types(Entries& e) const;
    void oniom_last(Entries& e) const;
    void gradient(Entries& e) const;
    void force_constants(Entries& e) const;
    void nonadiabatic(Entries& e) const { add_reals(e, "Nonadiabatic coupling", f.nonadiabatic_coupling); }
    void electric(Entries& e) const;
    void qeq_rotated(Entries& e) const { qeq_turned(e, false); }
    void qeq_rotated_e01(Entries& e) const { qeq_turned(e, true); }  // 09 E.01's formchk groups otherwise
    void vibrations(Entries& e) const;
    void vibrations_v09(Entries& e) const;
    void excited_states(Entries& e) const;
    void classical(Entries& e) const;
    void version(Entries& e) const;

private:
    void qeq_turned(Entries& e, bool right_first) const;  // the QEq tensors in the standard orientation
    // The section's record, nullptr when it is absent or (not strict) damaged.
    template <typename T>
    const T* use(const tesvarin::Loaded<T>& slot) const {
        if (!slot.damaged()) return slot.intact();
        skip(slot.error);
        return nullptr;
    }
    // The molecule section's per-atom blocks; throws when the file has no molecule section.
    const tesvarin::AtomProperties* atom_blocks() const;
    FchkEntry blank_pieces(const char* label) const {
        return FchkEntry::text_entry(label, std::string(static_cast<size_t>(12 * natoms), ' '));
    }
    void add_nonzero(Entries& e, const char* label, size_t slot) const {
        if (p.genarr[slot] != 0) e.push_back(FchkEntry::real_scalar(label, p.genarr[slot]));
    }
    void add_reals(Entries& e, const char* label, const tesvarin::Loaded<std::vector<double>>& slot) const {
        if (const auto* v = use(slot)) e.push_back(FchkEntry::real_view(label, *v));
    }
    // "Opt point       1 <what>", cut to the 40 columns of a label.
    static std::string point_label(const char* point, const char* what);
    // The archive entries of 16 C.01's formchk; `values` the third array, `energy` the result
    // written relative to the reference energy.
    template <typename Archive>
    void archive_c01(Entries& e, const Archive& a, const char* name, const char* point, const char* third,
                     const std::vector<double>& values, int64_t energy) const;
    const ChkParams& p;
    const ChkParams::Mol& mol;
    const tesvarin::FurtherSections& f;
    const tesvarin::Switches& sw;
    size_t natoms;
    std::vector<std::string>* skipped;
};
