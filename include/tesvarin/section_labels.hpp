// The sections of a checkpoint that the reader knows, each with its label (the
// program's record number, which the directory stores) and the name that
// messages give it ("Section 765 (vibrations)"). Every other place that needs a
// label takes it from here: the readers, the fuzz mutator and the test builders
// (the Python builder parses the lines below, one `inline constexpr SectionLabel`
// per section, so keep that form).
#pragma once

#include <cstddef>
#include <cstdint>

namespace tesvarin {

struct SectionLabel {
    int64_t number;
    const char* name;
};

namespace section {
// clang-format off
inline constexpr SectionLabel kGeneral{501, "general array"};               // 1000 reals
inline constexpr SectionLabel kLabel{502, "label"};                         // title, route, orbital-label tokens
inline constexpr SectionLabel kBonds{503, "bonds"};
inline constexpr SectionLabel kInternalForces{511, "internal forces"};
inline constexpr SectionLabel kCorePotentials{512, "core potentials"};     // ECP terms per atom
inline constexpr SectionLabel kExternalField{521, "external field"};
inline constexpr SectionLabel kOrbitalEnergies{522, "orbital energies"};    // alpha then beta
inline constexpr SectionLabel kAlphaOrbitals{524, "alpha MO coefficients"};
inline constexpr SectionLabel kBetaOrbitals{526, "beta MO coefficients"};
inline constexpr SectionLabel kRohfMarker{534, "ROHF marker"};              // only its presence matters
inline constexpr SectionLabel kOrientation{551, "orientation"};             // symmetry words, rotation, translation
inline constexpr SectionLabel kGradient{584, "gradient"};
inline constexpr SectionLabel kForceConstants{585, "force constants"};      // packed lower triangle
inline constexpr SectionLabel kDensities{603, "densities"};                 // up to nine kinds
inline constexpr SectionLabel kCharges{605, "charges"};
inline constexpr SectionLabel kElectric{619, "electric properties"};
inline constexpr SectionLabel kRedundantInternals{665, "redundant internals"};
inline constexpr SectionLabel kBasis{670, "basis"};
inline constexpr SectionLabel kOniom{674, "ONIOM"};
inline constexpr SectionLabel kOrthonormalBasis{685, "orthonormal basis"};
inline constexpr SectionLabel kQeq{695, "QEq"};
inline constexpr SectionLabel kConstraintStructure{698, "constraint structure"};
inline constexpr SectionLabel kOptimisationArchive{701, "optimisation archive"};
inline constexpr SectionLabel kDensityBasis{724, "density basis"};          // fitting basis, laid out as 670
inline constexpr SectionLabel kVibrations{765, "vibrations"};
inline constexpr SectionLabel kExcitedStates{770, "excited states"};
inline constexpr SectionLabel kClassical{800, "classical parameters"};
inline constexpr SectionLabel kVersion{801, "version"};                     // program version text
inline constexpr SectionLabel kNonadiabatic{810, "nonadiabatic coupling"};
inline constexpr SectionLabel kInfo{993, "info"};                           // Info1-9, method and basis names
inline constexpr SectionLabel kMolecule{997, "molecule"};                   // atoms, charges, coordinates
inline constexpr SectionLabel kSwitches{998, "switches"};                   // XLSW: ILSW then RLSW
// clang-format on
}  // namespace section

// Every section above, in label order.
// clang-format off: one row per entry, aligned as a table
inline constexpr SectionLabel kSectionLabels[] = {
    section::kGeneral,              section::kLabel,
    section::kBonds,                section::kInternalForces,
    section::kCorePotentials,       section::kExternalField,
    section::kOrbitalEnergies,      section::kAlphaOrbitals,
    section::kBetaOrbitals,         section::kRohfMarker,
    section::kOrientation,          section::kGradient,
    section::kForceConstants,       section::kDensities,
    section::kCharges,              section::kElectric,
    section::kRedundantInternals,   section::kBasis,
    section::kOniom,                section::kOrthonormalBasis,
    section::kQeq,                  section::kConstraintStructure,
    section::kOptimisationArchive,  section::kDensityBasis,
    section::kVibrations,           section::kExcitedStates,
    section::kClassical,            section::kVersion,
    section::kNonadiabatic,         section::kInfo,
    section::kMolecule,             section::kSwitches};
// clang-format on

inline constexpr size_t kSectionCount = sizeof(kSectionLabels) / sizeof(kSectionLabels[0]);

// The name of a known label, or nullptr.
constexpr const char* section_name(int64_t number) {
    for (const SectionLabel& s : kSectionLabels) {
        if (s.number == number) return s.name;
    }
    return nullptr;
}

constexpr bool labels_ascend() {
    for (size_t i = 1; i < kSectionCount; ++i) {
        if (kSectionLabels[i - 1].number >= kSectionLabels[i].number) return false;
    }
    return true;
}
static_assert(labels_ascend(), "each section once, in label order");

}  // namespace tesvarin
