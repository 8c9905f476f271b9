// Gathers the records a harmonic analysis or a thermochemistry needs from a parsed
// checkpoint and says clearly which one is missing.
#include "tesvarin/checkpoint_vibrations.hpp"

#include <string>

#include "tesvarin/error.hpp"
#include "tesvarin/thermo/rigid_rotor.hpp"

namespace tesvarin {

namespace {

constexpr size_t total_energy_word = 42;    // general array: the energy of the job's highest level
constexpr size_t operation_count_word = 1;  // symmetry section: operations of the group the program used

std::vector<int64_t> atomic_numbers(const ChkParams::Mol& mol) {
    const auto n = std::min<size_t>(mol.atomicnums.size(), static_cast<size_t>(std::max<int64_t>(mol.natoms, 0)));
    return std::vector<int64_t>(mol.atomicnums.begin(), mol.atomicnums.begin() + static_cast<std::ptrdiff_t>(n));
}

std::vector<double> atom_coordinates(const ChkParams::Mol& mol) {
    const auto n = static_cast<size_t>(std::max<int64_t>(mol.natoms, 0));
    if (mol.coords.size() < 3 * n) TESVARIN_THROW("The checkpoint holds fewer coordinates than atoms");
    return std::vector<double>(mol.coords.begin(), mol.coords.begin() + static_cast<std::ptrdiff_t>(3 * n));
}

std::vector<double> masses_or_own(const Tesvarin& chk, const std::vector<double>& masses) {
    const auto natoms = chk.get_params().mol.natoms;
    std::vector<double> used = masses.empty() ? checkpoint_masses(chk) : masses;
    if (used.empty()) TESVARIN_THROW("The checkpoint holds no atomic masses; give them");
    if (static_cast<int64_t>(used.size()) != natoms) {
        TESVARIN_THROW("Expected " + std::to_string(natoms) + " masses, one per atom, found " +
                       std::to_string(used.size()));
    }
    return used;
}

}  // namespace

std::vector<double> checkpoint_masses(const Tesvarin& chk) {
    const auto natoms = static_cast<size_t>(std::max<int64_t>(chk.get_params().mol.natoms, 0));
    const FurtherSections& f = chk.get_further();
    if (const AtomProperties* atoms = f.atoms.intact(); atoms && atoms->real_weights.size() >= natoms && natoms > 0) {
        bool positive = true;
        for (size_t a = 0; a < natoms; ++a) positive = positive && atoms->real_weights[a] > 0;
        if (positive)
            return std::vector<double>(atoms->real_weights.begin(),
                                       atoms->real_weights.begin() + static_cast<std::ptrdiff_t>(natoms));
    }
    if (const Vibrations* v = f.vibrations.intact(); v && v->masses.size() == natoms) return v->masses;
    return {};
}

std::optional<VibrationBlocks> checkpoint_vibrations(const Tesvarin& chk) {
    const Vibrations* v = chk.get_further().vibrations.get();
    if (v == nullptr) return std::nullopt;
    return vibration_blocks(*v);
}

int64_t checkpoint_symmetry_number(const Tesvarin& chk, const std::vector<double>& masses) {
    const SymmetryWords* sym = chk.get_further().symmetry.intact();  // damaged: the geometry decides
    if (sym && sym->syminf.size() > operation_count_word && sym->syminf[operation_count_word] == 1) return 1;
    const ChkParams::Mol& mol = chk.get_params().mol;
    return rotational_symmetry_number(atom_coordinates(mol), atomic_numbers(mol), masses);
}

const PhysicalConstants& checkpoint_constants(const Tesvarin& chk) {
    const FurtherSections& f = chk.get_further();
    return f.version.present || f.molecule_layout <= -12348 ? codata2010 : codata2006;
}

HarmonicAnalysis checkpoint_harmonic(const Tesvarin& chk, const std::vector<double>& masses) {
    const ChkParams::Mol& mol = chk.get_params().mol;
    if (mol.hessian.size() == 0) TESVARIN_THROW("The checkpoint holds no force constants (no frequency job)");
    // The dipole derivatives give the IR intensities; without them (or damaged, or of another size) there are none.
    const ElectricProperties* e = chk.get_further().electric.intact();
    const auto nine_n = static_cast<size_t>(9 * std::max<int64_t>(mol.natoms, 0));
    const std::vector<double> none;
    const std::vector<double>& dipole = e && e->dipole_derivatives.size() == nine_n ? e->dipole_derivatives : none;
    return harmonic_analysis(mol.hessian, atom_coordinates(mol), masses_or_own(chk, masses), checkpoint_constants(chk),
                             dipole);
}

Thermochemistry checkpoint_thermochemistry(const Tesvarin& chk, const std::vector<double>& masses,
                                           const ThermoOptions& options) {
    const ChkParams& p = chk.get_params();
    ThermoInput in;
    in.atomic_numbers = atomic_numbers(p.mol);
    in.coords = atom_coordinates(p.mol);
    in.masses = masses_or_own(chk, masses);
    in.multiplicity = p.mol.multiplicity;
    in.electronic_energy = p.genarr.size() > total_energy_word ? p.genarr[total_energy_word] : 0.0;
    const Vibrations* v = masses.empty() ? chk.get_further().vibrations.intact() : nullptr;
    const auto stored = v ? std::optional<VibrationBlocks>(vibration_blocks(*v)) : std::nullopt;
    if (p.mol.natoms == 1) {
        // An atom has no vibrations, whatever is stored.
    } else if (stored && !stored->frequencies.empty()) {
        in.frequencies = stored->frequencies;
    } else if (p.mol.hessian.size() != 0) {
        in.frequencies = checkpoint_harmonic(chk, in.masses).frequencies;
    } else {
        TESVARIN_THROW(masses.empty()
                           ? "The checkpoint holds neither frequencies nor force constants (no frequency job)"
                           : "The checkpoint holds no force constants, which other masses need");
    }
    ThermoOptions own = options;
    own.constants = checkpoint_constants(chk);
    if (own.symmetry_number == 0 && in.masses.size() > 1)
        own.symmetry_number = checkpoint_symmetry_number(chk, in.masses);
    return thermochemistry(in, own);
}

}  // namespace tesvarin
