// The order of the formatted checkpoint's entries. Each writer flavour is a column
// of one table: the basic file, and the complete file as formchk of version 09
// (09 A.01 and A.02), 09 E.01, 16 A.03 (and B.01) or 16 C.01 writes it. A row is a group of
// entries that always travel together; its emitter skips what the file does not hold.
#include <algorithm>

#include "tesvarin/write/fchk_entry.hpp"
#include "tesvarin/write/fchk_entry_builder.hpp"
#include "tesvarin/write/fchk_writer.hpp"

using tesvarin::FchkEntry;

namespace {
using B = FchkEntryBuilder;

// Position of each row in each file (0: never written); entries follow the rows' order,
// and rows of equal position keep the table's order.
struct Row {
    B::Emit emit;
    int basic, v09, e01, a03, c01;
};

// clang-format off: one row per entry, aligned as a table
const Row kOrder[] = {
    // emitter                   basic v09 e01 a03  c01
    {&B::atom_count,              1,   1,   1,   1,   1},
    {&B::info,                    2,   2,   2,   2,   2},
    {&B::full_title,              3,   0,   0,   3,   3},
    {&B::route,                   4,   0,   0,   4,   4},
    {&B::electron_counts,         5,   3,   3,   5,   5},
    {&B::point_charges,           0,  10,  10,  12,  12},
    {&B::translation_count,      12,  11,  11,  13,  13},
    {&B::atoms,                  13,  12,  12,  14,  14},
    {&B::translation_vectors,    16,  15,  15,  17,  17},
    {&B::symbol_count,            0,   0,   0,  18,  18},
    {&B::int_atom_types,          0,  17,  17,  21,  18},
    {&B::force_field,             0,  16,  16,  19,  19},
    {&B::atom_types,              0,   0,   0,  20,  20},
    {&B::atom_blocks_first,       0,  17,  17,  21,  21},
    {&B::znuc,                    0,   0,  25,  29,  29},
    {&B::atom_blocks_last,        0,  25,  25,  30,  30},
    {&B::residue_counts,          0,   0,   0,  33,  33},
    {&B::redundant_internals,     0,   0,   0,  35,  35},
    {&B::symmetry,                0,   0,  27,  42,  42},
    {&B::shell_counts,           17,  28,  28,  44,  44},
    {&B::shell_kinds,             0,  30,  30,  46,  46},
    {&B::shells,                 19,  34,  34,  50,  50},
    {&B::density_basis,           0,  40,  40,  56,  56},
    {&B::constraint_structure,    0,  41,  41,   0,   0},
    {&B::switches,               26,  42,  42,  57,  57},
    {&B::core_potentials,         0,  45,  45,  60,  60},
    {&B::bonds,                   0,  46,  46,  61,  61},
    {&B::virial_scf,             30,  50,  50,  65,  65},
    {&B::mp2_energy,              0,  52,  52,  67,  67},
    {&B::cis_energy,              0,  52,  52,  67,  67},
    {&B::total_energy,           32,  53,  53,  68,  68},
    {&B::post_scf_norm,           0,  54,  54,  69,  69},
    {&B::rms_force,               0,  55,  55,  70,  70},
    {&B::rms_density,            33,  56,  56,  71,  71},
    {&B::nimag,                   0,   0,   0,  72,  72},
    {&B::job_status,              0,   0,  56,  73,  73},
    {&B::external_field,          0,  57,  57,  75,  75},
    {&B::scf_codes,              34,  58,  58,  76,  76},
    {&B::orbitals_densities,     36,  60,  60,  78,  78},
    {&B::no_orbitals,             0,  60,  60,  78,  78},
    {&B::qeq_stored,              0,  83,   0,   0,   0},
    {&B::internal_forces,         0,   0,   0, 101, 101},
    {&B::charges,                 0,  84,  84, 106, 106},
    {&B::optimisation,            0,  86,  86, 108,   0},
    {&B::optimisation_c01,        0,   0,   0,   0, 108},
    {&B::trajectory,              0,   0,   0,   0, 108},
    {&B::oniom_first,             0,  94,  94, 116, 116},
    {&B::int_modified_types,      0,  99,  99, 122, 119},
    {&B::force_field,             0,  98,  98, 120, 120},
    {&B::atom_modified_types,     0,   0,   0, 121, 121},
    {&B::oniom_last,              0,  99,  99, 122, 122},
    {&B::gradient,                0, 103, 103, 126, 126},
    {&B::force_constants,         0, 104, 104, 127, 127},
    {&B::nonadiabatic,            0,   0,   0, 128, 128},
    {&B::electric,                0, 105, 105, 129, 129},
    {&B::qeq_rotated,             0,   0,   0, 135, 135},
    {&B::qeq_rotated_e01,         0,   0, 106,   0,   0},
    {&B::vibrations_v09,          0, 110, 110,   0,   0},
    {&B::vibrations,              0,   0,   0, 136, 136},
    {&B::excited_states,          0, 110, 110, 136, 136},
    {&B::classical,               0,   0,   0, 147, 147},
    {&B::version,                 0,   0,   0, 156, 156},
};
// clang-format on

enum class Flavour { Basic, V09, E01, A03, C01 };

int position(const Row& row, Flavour flavour) {
    switch (flavour) {
        case Flavour::Basic:
            return row.basic;
        case Flavour::V09:
            return row.v09;
        case Flavour::E01:
            return row.e01;
        case Flavour::A03:
            return row.a03;
        case Flavour::C01:
            return row.c01;
    }
    return 0;
}

// The revisions whose formchk output is known, and the column that writes as it does.
struct Revision {
    const char* text;
    Flavour flavour;
};
const Revision kRevisions[] = {
    {"G09RevE.01", Flavour::E01},  // the first 09 build known to store the version section
    {"G16RevA.03", Flavour::A03},
    {"G16RevB.01", Flavour::A03},  // B.01's formchk keeps A.03's order
    {"G16RevC.01", Flavour::C01},
};

// The program version the file came from decides which formchk is emulated: 09 A.02's for
// a file without the version section in a version-09 layout, else that of its revision.
// A version the table has no column for is written as the nearest known revision of its own
// program writes it (09 E.01's for another 09 revision; C.01's for a later 16 revision, else
// A.03's), and a note says so.
Flavour complete_flavour(const tesvarin::FurtherSections& f, std::vector<std::string>& notes) {
    const int64_t layout = f.molecule_layout;
    if (!f.version.present && (layout == -12346 || layout == -12347)) return Flavour::V09;
    std::string version =
        f.version.present ? "whose version section 801 is damaged" : "without the version section 801";
    Flavour nearest = Flavour::A03;
    if (!f.version.damaged() && f.version.present) {
        const std::string& text = f.version.data;
        for (const Revision& known : kRevisions)
            if (text.find(known.text) != std::string::npos) return known.flavour;
        version = "of program version \"" + text + "\"";
        // Later 16 revisions (C.02) come after C.01; development versions share C.01's layout.
        if (text.find("G16RevC.") != std::string::npos || layout == -12349) nearest = Flavour::C01;
        if (text.find("G09Rev") != std::string::npos) nearest = Flavour::E01;
    }
    const char* name = nearest == Flavour::E01 ? "09 E.01" : nearest == Flavour::C01 ? "16 C.01" : "16 A.03";
    notes.push_back("No formchk is known for a checkpoint " + version + " (molecule layout " + std::to_string(layout) +
                    "): written as " + name + "'s formchk writes it");
    return nearest;
}
}  // namespace

std::vector<FchkEntry> tesvarin::fchk_entries(const FchkRecords& r, bool complete, std::vector<std::string>* skipped) {
    Flavour flavour = Flavour::Basic;
    std::vector<std::string> notes;
    if (complete) flavour = complete_flavour(r.further, notes);
    if (skipped != nullptr) skipped->insert(skipped->end(), notes.begin(), notes.end());
    std::vector<const Row*> rows;
    for (const Row& row : kOrder)
        if (position(row, flavour) > 0) rows.push_back(&row);
    std::stable_sort(rows.begin(), rows.end(),
                     [flavour](const Row* a, const Row* b) { return position(*a, flavour) < position(*b, flavour); });
    const FchkEntryBuilder builder(r, skipped);
    std::vector<FchkEntry> entries;
    for (const Row* row : rows) (builder.*(row->emit))(entries);
    return entries;
}
