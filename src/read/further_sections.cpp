// Step 8: the further sections, each into its own record, as the table of sections
// (section_labels.hpp) lists them. A damaged section must not stop the parse: its
// message is kept, and costs only that section's quantities (the complete writer
// leaves its entries out, or refuses when strict).
#include <functional>
#include <optional>
#include <type_traits>

#include "tesvarin/parser.hpp"
#include "tesvarin/read/rotation.hpp"

namespace tesvarin {

namespace {
// What a reader may need besides its section: the atom count, the other records, and
// the parser's basis steps, which the density-fitting basis goes through.
struct ReadContext {
    int64_t natoms;
    FurtherSections& further;
    std::function<DensityBasis(const SectionView&)> fitting_basis;
};

using View = std::function<SectionView()>;

// The molecule section's per-atom blocks; its layout code is kept even when they are damaged.
AtomProperties read_molecule_section(const SectionView& s, ReadContext& c) {
    c.further.molecule_layout = s.word(0);
    return read_atom_properties(s, c.natoms);
}

// The QEq tensors; an NMR=SpinSpin job's couplings follow them in the same section, read
// from the same view (so the file's read budget counts the section once).
std::vector<double> read_qeq_section(const SectionView& s, ReadContext& c) {
    c.further.spin_spin.present = true;
    c.further.spin_spin.data = read_spin_spin(s, c.natoms);
    return read_qeq_tensors(s, c.natoms);
}

DensityBasis read_fitting_basis(const SectionView& s, ReadContext& c) { return c.fitting_basis(s); }

// A reader takes its section, and the atom count or the context when it needs them.
template <typename Read>
auto call(Read read, const SectionView& s, ReadContext& c) {
    if constexpr (std::is_invocable_v<Read, const SectionView&, ReadContext&>) {
        return read(s, c);
    } else if constexpr (std::is_invocable_v<Read, const SectionView&, int64_t>) {
        return read(s, c.natoms);
    } else {
        return read(s);
    }
}

// Whatever the reader refuses becomes the record's error; nothing escapes.
template <typename T, typename Read>
void load_record(Loaded<T>& slot, const View& view, Read read, ReadContext& c) {
    slot.present = true;
    try {
        slot.data = call(read, view(), c);
    } catch (const std::exception& e) {
        slot.data = T{};
        slot.error = e.what();
    }
}

template <typename T, typename Read>
void load(Loaded<T>& slot, const View& view, Read read, ReadContext& c) {
    load_record(slot, view, read, c);
}

// One section, two layouts, a record each: the archive of an optimisation, or the
// trajectory of an ADMP or BOMD job.
template <typename Read>
void load(Loaded<OptimisationArchive>& slot, const View& view, Read read, ReadContext& c) {
    std::string error;
    std::optional<SectionView> archive;
    try {
        archive.emplace(view());
    } catch (const std::exception& e) {
        error = e.what();
    }
    const View kept = [&archive, &error] {
        if (!archive) throw SectionError(error);
        return *archive;
    };
    if (archive && is_trajectory_archive(*archive)) return load_record(c.further.trajectory, kept, read_trajectory, c);
    load_record(slot, kept, read, c);
}

// The message of a damaged record, into `found`; the archive's two records both.
template <typename T>
void note_damage(const Loaded<T>& slot, const FurtherSections&, std::vector<std::string>& found) {
    if (slot.damaged()) found.push_back(slot.error);
}
void note_damage(const Loaded<OptimisationArchive>& slot, const FurtherSections& f, std::vector<std::string>& found) {
    if (slot.damaged()) found.push_back(slot.error);
    if (f.trajectory.damaged()) found.push_back(f.trajectory.error);
}
}  // namespace

}  // namespace tesvarin

tesvarin::SectionView Tesvarin::section_view(int index, const char* name) const {
    using tesvarin::SectionError;
    const Address& a = addresses[static_cast<size_t>(index)];
    const int64_t file_words = serializer->get_fsize() / 8;
    const std::string title = "Section " + std::to_string(a.label) + " (" + name + ")";
    if (a.start < 0 || a.end < a.start || a.end > file_words) {
        throw SectionError(title + ": words " + std::to_string(a.start) + " to " + std::to_string(a.end) +
                           " lie outside the file of " + std::to_string(file_words) + " words");
    }
    // A family's record holds at most its section's words (directory entries may share them).
    claim_words((title + " length").c_str(), a.end - a.start);
    return tesvarin::SectionView(a.label, name, *serializer, a.start, a.end - a.start);
}

void Tesvarin::read_further_sections() {
    using namespace tesvarin;
    FurtherSections& f = further;
    ReadContext context{params.mol.natoms, f, [this](const SectionView& s) { return read_density_basis(s); }};
    int index = -1;
    const auto view = [this, &index](SectionLabel label) -> std::function<SectionView()> {
        return [this, at = index, name = label.name] { return section_view(at, name); };
    };
#define TESVARIN_READ_FURTHER(constant, number, name, slot, reader) \
    if (has_magic(section::constant, index)) load(f.slot, view(section::constant), reader, context);
#define TESVARIN_BASIC_IS_READ(...)
    TESVARIN_SECTIONS(TESVARIN_BASIC_IS_READ, TESVARIN_READ_FURTHER)
#undef TESVARIN_READ_FURTHER
#undef TESVARIN_BASIC_IS_READ
    f.has_force_constants = has_magic(section::kForceConstants, index);
    if (rotated) turn_into_standard_orientation(f, params.mol.stdrot);
}

namespace tesvarin {

std::vector<std::string> FurtherSections::damage() const {
    std::vector<std::string> found;
#define TESVARIN_NOTE_DAMAGE(constant, number, name, slot, reader) note_damage(slot, *this, found);
#define TESVARIN_BASIC_REFUSES(...)
    TESVARIN_SECTIONS(TESVARIN_BASIC_REFUSES, TESVARIN_NOTE_DAMAGE)
#undef TESVARIN_NOTE_DAMAGE
#undef TESVARIN_BASIC_REFUSES
    return found;
}

std::vector<std::string> FurtherSections::notes() const {
    std::vector<std::string> found;
    if (const auto* c = charges.intact(); c != nullptr && !c->note.empty()) found.push_back(c->note);
    return found;
}

void turn_into_standard_orientation(FurtherSections& f, const std::array<double, 9>& r) {
    const Rotation turn(r);
    f.turned = true;
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
