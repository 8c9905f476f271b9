// The table of sections: one row per section of a checkpoint that the reader knows.
// A row gives the constant the code names it by, its label (the program's record
// number, which the directory stores), the name messages give it ("Section 765
// (vibrations)") and what a damaged one costs, which is also who reads it:
//
//   BASIC(constant, label, name)
//       read by the basic parse (src/read, one step per section); a damaged one
//       refuses the file.
//   FURTHER(constant, label, name, slot, reader)
//       read after the basic parse by `reader` (src/sections) into its record, the
//       member `slot` of FurtherSections; a damaged one costs only that record, and
//       FurtherSections::damage() gives its message.
//
// Everything that lists the sections is made from this table: the named labels
// below, kSectionLabels, the reading of the further sections and damage()
// (src/read/further_sections.cpp), the fuzz mutator and both test builders (the
// Python builder reads the rows of this file, so keep one row per line).
//
// The FURTHER rows read, and damage() reports, in the table's order: label order,
// except that the molecule section comes first, 512 before 511 and 724 after 770,
// the order in which load() has always given the warnings of damaged sections.
#pragma once

#include <cstddef>
#include <cstdint>

// clang-format off: one row per section, aligned as a table
#define TESVARIN_SECTIONS(BASIC, FURTHER)                                                                           \
    FURTHER(kMolecule,             997, "molecule",               atoms,                  read_molecule_section)     \
    BASIC(kGeneral,                501, "general array")          /* 1000 reals */                                   \
    BASIC(kLabel,                  502, "label")                  /* title, route, orbital-label tokens */           \
    FURTHER(kBonds,                503, "bonds",                  bonds,                  read_bonds)                \
    FURTHER(kCorePotentials,       512, "core potentials",        core_potentials,        read_core_potentials)      \
    FURTHER(kInternalForces,       511, "internal forces",        internal_forces,        read_internal_forces)      \
    FURTHER(kExternalField,        521, "external field",         external_field,         read_external_field)       \
    BASIC(kOrbitalEnergies,        522, "orbital energies")       /* alpha then beta */                              \
    BASIC(kAlphaOrbitals,          524, "alpha MO coefficients")                                                     \
    BASIC(kBetaOrbitals,           526, "beta MO coefficients")                                                      \
    BASIC(kRohfMarker,             534, "ROHF marker")            /* only its presence matters */                    \
    FURTHER(kOrientation,          551, "orientation",            symmetry,               read_symmetry_words)       \
    FURTHER(kGradient,             584, "gradient",               gradient,               read_gradient)             \
    BASIC(kForceConstants,         585, "force constants")        /* packed lower triangle */                        \
    BASIC(kDensities,              603, "densities")              /* up to nine kinds */                             \
    FURTHER(kCharges,              605, "charges",                charges,                read_charges)              \
    FURTHER(kElectric,             619, "electric properties",    electric,               read_electric_properties)  \
    FURTHER(kRedundantInternals,   665, "redundant internals",    redundant_internals,    read_redundant_internals)  \
    BASIC(kBasis,                  670, "basis")                                                                     \
    FURTHER(kOniom,                674, "ONIOM",                  oniom,                  read_oniom)                \
    BASIC(kOrthonormalBasis,       685, "orthonormal basis")                                                         \
    FURTHER(kQeq,                  695, "QEq",                    qeq_tensors,            read_qeq_section)          \
    FURTHER(kConstraintStructure,  698, "constraint structure",   constraint_structure,   read_constraint_structure) \
    FURTHER(kOptimisationArchive,  701, "optimisation archive",   optimisation,           read_optimisation_archive) \
    FURTHER(kVibrations,           765, "vibrations",             vibrations,             read_vibrations)           \
    FURTHER(kExcitedStates,        770, "excited states",         excited_states,         read_excited_states)       \
    FURTHER(kDensityBasis,         724, "density basis",          density_basis,          read_fitting_basis)        \
    FURTHER(kClassical,            800, "classical parameters",   classical,              read_classical_parameters) \
    FURTHER(kVersion,              801, "version",                version,                read_version_text)         \
    FURTHER(kNonadiabatic,         810, "nonadiabatic coupling",  nonadiabatic_coupling,  read_nonadiabatic_coupling)\
    BASIC(kInfo,                   993, "info")                   /* Info1-9, method and basis names */              \
    BASIC(kSwitches,               998, "switches")               /* XLSW: ILSW then RLSW */
// clang-format on

namespace tesvarin {

struct SectionLabel {
    int64_t number;
    const char* name;
};

// The named labels: section::kBonds is {503, "bonds"}.
namespace section {
#define TESVARIN_NAMED_LABEL(constant, number, name, ...) inline constexpr SectionLabel constant{number, name};
TESVARIN_SECTIONS(TESVARIN_NAMED_LABEL, TESVARIN_NAMED_LABEL)
#undef TESVARIN_NAMED_LABEL
}  // namespace section

// Every section of the table, in its order.
#define TESVARIN_LISTED_LABEL(constant, ...) section::constant,
inline constexpr SectionLabel kSectionLabels[] = {TESVARIN_SECTIONS(TESVARIN_LISTED_LABEL, TESVARIN_LISTED_LABEL)};
#undef TESVARIN_LISTED_LABEL

inline constexpr size_t kSectionCount = sizeof(kSectionLabels) / sizeof(kSectionLabels[0]);

// The name of a known label, or nullptr.
constexpr const char* section_name(int64_t number) {
    for (const SectionLabel& s : kSectionLabels) {
        if (s.number == number) return s.name;
    }
    return nullptr;
}

constexpr bool labels_unique() {
    for (size_t i = 0; i < kSectionCount; ++i)
        for (size_t j = 0; j < i; ++j)
            if (kSectionLabels[i].number == kSectionLabels[j].number) return false;
    return true;
}
static_assert(labels_unique(), "each section once");

}  // namespace tesvarin
