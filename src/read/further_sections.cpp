// Step 8: the further sections, each into its own record. A damaged section
// must not stop the parse: its message is kept, and costs only that section's
// quantities (the complete writer leaves its entries out, or refuses when strict).
#include <functional>
#include <optional>

#include "tesvarin/parser.hpp"
#include "tesvarin/read/rotation.hpp"

using tesvarin::Loaded;
using tesvarin::SectionError;
using tesvarin::SectionLabel;
using tesvarin::SectionView;

namespace {
// Whatever the reader refuses becomes the record's error; nothing escapes.
template <typename T, typename Read>
void load(Loaded<T>& slot, const std::function<SectionView()>& view, Read read) {
    slot.present = true;
    try {
        slot.data = read(view());
    } catch (const std::exception& e) {
        slot.data = T{};
        slot.error = e.what();
    }
}
}  // namespace

SectionView Tesvarin::section_view(int index, const char* name) const {
    const Address& a = addresses[static_cast<size_t>(index)];
    const int64_t file_words = serializer->get_fsize() / 8;
    const std::string title = "Section " + std::to_string(a.label) + " (" + name + ")";
    if (a.start < 0 || a.end < a.start || a.end > file_words) {
        throw SectionError(title + ": words " + std::to_string(a.start) + " to " + std::to_string(a.end) +
                           " lie outside the file of " + std::to_string(file_words) + " words");
    }
    // A family's record holds at most its section's words (directory entries may share them).
    claim_words((title + " length").c_str(), a.end - a.start);
    return SectionView(a.label, name, *serializer, a.start, a.end - a.start);
}

void Tesvarin::read_further_sections() {
    auto& f = further;
    const int64_t n = params.mol.natoms;
    int index = -1;
    auto find = [&](SectionLabel label, auto& slot, auto read) {
        if (has_magic(label, index)) {
            const int at = index;
            const char* name = label.name;
            load(slot, [this, at, name] { return section_view(at, name); }, read);
        }
    };
    using namespace tesvarin;
    using namespace tesvarin::section;
    find(kMolecule, f.atoms, [n, &f](const SectionView& s) {
        f.molecule_layout = s.word(0);
        return read_atom_properties(s, n);
    });
    find(kBonds, f.bonds, [n](const SectionView& s) { return read_bonds(s, n); });
    find(kInternalForces, f.internal_forces, read_internal_forces);
    find(kCorePotentials, f.core_potentials, [n](const SectionView& s) { return read_core_potentials(s, n); });
    find(kExternalField, f.external_field, read_external_field);
    find(kOrientation, f.symmetry, read_symmetry_words);
    find(kGradient, f.gradient, [n](const SectionView& s) { return read_gradient(s, n); });
    find(kCharges, f.charges, [n](const SectionView& s) { return read_charges(s, n); });
    find(kElectric, f.electric, [n](const SectionView& s) { return read_electric_properties(s, n); });
    find(kRedundantInternals, f.redundant_internals, read_redundant_internals);
    find(kOniom, f.oniom, [n](const SectionView& s) { return read_oniom(s, n); });
    find(kQeq, f.qeq_tensors, [n, &f](const SectionView& s) {  // one view, counted once: the couplings too
        f.spin_spin.present = true;
        f.spin_spin.data = read_spin_spin(s, n);
        return read_qeq_tensors(s, n);
    });
    find(kConstraintStructure, f.constraint_structure,
         [n](const SectionView& s) { return read_constraint_structure(s, n); });
    if (has_magic(kOptimisationArchive, index)) {  // one section, two layouts, a record each
        std::string error;
        std::optional<SectionView> archive;
        try {
            archive.emplace(section_view(index, kOptimisationArchive.name));
        } catch (const std::exception& e) {
            error = e.what();
        }
        const auto view = [&archive, &error] {
            if (!archive) throw SectionError(error);
            return *archive;
        };
        if (archive && is_trajectory_archive(*archive)) {
            load(f.trajectory, view, read_trajectory);
        } else {
            load(f.optimisation, view, read_optimisation_archive);
        }
    }
    find(kVibrations, f.vibrations, read_vibrations);
    find(kExcitedStates, f.excited_states, read_excited_states);
    find(kDensityBasis, f.density_basis, [this](const SectionView& s) { return read_density_basis(s); });
    find(kClassical, f.classical, read_classical_parameters);
    find(kVersion, f.version, read_version_text);
    find(kNonadiabatic, f.nonadiabatic_coupling,
         [n](const SectionView& s) { return read_nonadiabatic_coupling(s, n); });
    f.has_force_constants = has_magic(kForceConstants, index);
    if (rotated) tesvarin::turn_into_standard_orientation(f, params.mol.stdrot);
}

namespace tesvarin {

std::vector<std::string> FurtherSections::damage() const {
    std::vector<std::string> found;
    const auto note = [&found](const auto& slot) {
        if (slot.damaged()) found.push_back(slot.error);
    };
    note(atoms), note(bonds), note(core_potentials), note(internal_forces), note(external_field), note(symmetry),
        note(gradient);
    note(charges), note(electric), note(redundant_internals), note(oniom), note(qeq_tensors);
    note(constraint_structure), note(optimisation), note(trajectory), note(vibrations), note(excited_states),
        note(density_basis), note(classical), note(version);
    note(nonadiabatic_coupling);
    return found;
}

std::vector<std::string> FurtherSections::notes() const {
    std::vector<std::string> found;
    if (const auto* c = charges.intact(); c != nullptr && !c->note.empty()) found.push_back(c->note);
    return found;
}

void turn_into_standard_orientation(FurtherSections& f, const std::array<double, 9>& r) {
    const Rotation turn(r);
    if (auto* g = f.gradient.intact()) *g = turn.vectors(*g);
    if (auto* p = f.electric.intact()) {
        ElectricProperties& e = *p;
        e.dipole = turn.vectors(e.dipole);
        e.dipole_derivatives = turn.dipole_derivatives(e.dipole_derivatives);
        e.polarizability = turn.lower_tensors(e.polarizability);
        e.polarizability_derivatives = turn.polarizability_derivatives(e.polarizability_derivatives);
        e.hyperpolarizability = turn.hyperpolarizability(e.hyperpolarizability);
        e.quadrupole = turn.quadrupole(e.quadrupole);
    }
    if (auto* v = f.vibrations.intact()) v->modes = turn.vectors(v->modes);
    // formchk turns the coupling too: its all-zero values keep the signs the products give.
    if (auto* c = f.nonadiabatic_coupling.intact()) *c = turn.vectors(*c);
}

}  // namespace tesvarin
