// The sections beyond those of the basic parse: per-atom properties of the
// molecule section, bonds, gradient, charges, electric properties, ONIOM layers,
// QEq tensors, the optimisation archive, vibrations, classical parameters and a
// few arrays formchk copies as they are. Each family is a record of its own,
// filled by a free function from a bounded view of its section. Values are as
// stored, except those formchk turns into the standard orientation (gradient,
// nonadiabatic coupling, electric properties, normal modes): the parser turns them once, after reading,
// whenever it turns the coordinates (see orientation.hpp), so every consumer sees
// them in the frame of the coordinates.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "tesvarin/error.hpp"
#include "tesvarin/read/section_view.hpp"

namespace tesvarin {

// Per-atom arrays of the molecule section (997), N values each.
struct AtomProperties {
    int64_t layout = 0;  // the layout code, word 0
    int64_t blocks = 0;  // number of per-atom blocks the length shows
    int64_t point_charges = 0;
    std::vector<int64_t> int_atom_types, integer_weights, fragment_info, residue_numbers, nuclear_spins, micopt;
    std::vector<double> mm_charges, real_weights, zeff, znuc, qmom, gfac;  // znuc empty where the layout has none
    // The records of a molecular-mechanics input (version 09 layouts; empty in other jobs): the
    // symbols the input defined, each atom's PDB name and residue (1-based into the residues),
    // the residues' names and packed PDB numbers (number << 12 | chain, bit 31 set), and the
    // secondary structures, 9 words each as stored.
    std::vector<std::string> symbols, atom_names, residue_names;
    std::vector<int64_t> atom_residues, residue_codes, structures;
};

struct Bonds {                         // 503
    int64_t max_bonds = 0;             // MxBond
    std::vector<int64_t> bond_counts;  // NBond[n]
    std::vector<int64_t> partners;     // IBond[n*MxBond]
    std::vector<double> orders;        // RBond[n*MxBond]
};

struct InternalForces {  // 511
    double energy = 0;
    int64_t nvar = 0;
    int64_t igetfc = 0;
    std::vector<double> forces;           // [NVar]
    std::vector<double> force_constants;  // packed lower triangle
};

struct RedundantInternals {           // 665
    std::vector<int64_t> dimensions;  // 4
    std::vector<int64_t> indices;     // 4 per coordinate
    std::vector<double> values;
    std::vector<int64_t> int_vec;
    std::vector<double> fp_vec, constraint1, constraint2;
};

struct SymmetryWords {            // 551 as stored
    std::vector<int64_t> syminf;  // words 0-25
    std::vector<double> rottr;    // rotation transposed, then the negated translation
};

struct Charges {  // 605
    int64_t mask = 0;
    std::vector<double> mulliken, npa, apt;  // empty when the mask lacks their bit
    std::string note;                        // a mask bit the reader does not know: what was left out
};

struct ElectricProperties {  // 619, in the frame of the coordinates
    int64_t mask = 0;
    std::vector<double> dipole, dipole_derivatives, polarizability, polarizability_derivatives, hyperpolarizability,
        quadrupole;  // empty when the mask says the values are not valid
};

struct Oniom {  // 674
    std::vector<int64_t> charges, multiplicities, layers, modifiers, int_modified_types, link_atoms;
    std::vector<double> modified_mm_charges, link_distances;
};

struct OptimisationArchive {  // 701 with layout 11, every point, one after the other
    int64_t max_steps = 0, job_offset = 0, results_per_geometry = 0, nvar = 0;
    int64_t geometries_count = 0;               // of the first point (word 8)
    std::vector<int64_t> geometries_per_point;  // one per point: NPt, "MaxJob" to 16 C.01's formchk
    // NRes, NVar and NVar values per geometry, for the geometries of all points in order.
    std::vector<double> results, geometries, gradients;
    // 16 C.01's formchk writes the energies (result 0) less this: the first one's integer part.
    double reference_energy = 0;
};

// 701 with layout 15: the trajectory of an ADMP or BOMD job. Per step a row of NRes results
// (time in fs first, the potential energy at kPotentialEnergy, the total energy at 6), then
// the geometry (Bohr), the mass-weighted velocities formchk calls momenta (sqrt(amu) Bohr/fs)
// and the gradient (Hartree/Bohr), each NVar = 3N values, as stored (input orientation).
// Length identity: 8 + NPt + MaxStp*(NRes + 3*NVar).
inline constexpr int64_t kTrajectoryLayout = 15;
struct Trajectory {
    static constexpr int64_t kPotentialEnergy = 4;  // the result formchk writes relative to the reference
    int64_t max_steps = 0, job_offset = 0, results_per_geometry = 0, nvar = 0;
    int64_t geometries_count = 0;                                 // of the first point (word 8)
    std::vector<int64_t> geometries_per_point;                    // one per point ("MaxJob" of them)
    std::vector<double> results, geometries, momenta, gradients;  // the steps of all points in order
    double reference_energy = 0;                                  // the first potential energy's integer part, Hartree
};

struct Vibrations {  // 765
    int64_t nmodes = 0, le2fix = 0, ndfdpol = 0, ndim = 0, ndim0 = 0, lflags = 0;
    std::vector<int64_t> iflags;
    std::vector<double> masses, e2, modes;  // e2: LE2Fix blocks of NModes values, frequencies (cm-1) first
};

// Excited states of a CIS or TD-DFT job (770), as formchk's "ETran ..." entries hold them.
// Length identity: 10 + NStates*(2 + NValues) words.
struct ExcitedStates {
    static constexpr int64_t kHeaderWords = 10;
    int64_t nstates = 0;           // NStates, word 0 high half
    int64_t values_per_state = 0;  // NValues, word 0 low half (16 in every file known)
    // "ETran scalars": the ten header words as twenty 32-bit halves, each word's high half first:
    // NStates, NValues, then (1, 10), then the state the job followed (IRoot) and 0, then zeros.
    std::vector<int64_t> scalars;
    std::vector<int64_t> spin, symmetry;  // "ETran spin", "ETran sym": one per state
    // "ETran state values", NStates rows of NValues: the state's total energy (Hartree), its
    // transition dipole from the ground state <0|r|n> (3, e Bohr), the velocity form <0|del|n>
    // (3), the magnetic form <0|r x del|n> (3), then further values as stored.
    std::vector<double> state_values;
    // "ETran NETS" and "ETran NETV": the lengths of scalars and state_values.
    int64_t nets() const { return static_cast<int64_t>(scalars.size()); }
    int64_t netv() const { return static_cast<int64_t>(state_values.size()); }
};

// The density-fitting basis (724) of a DFT job with a pure functional or fitting, in the
// fchk's form: the combined SPD/SPDF shells the section stores split as formchk splits them
// ("Density Shell types" and the rest). The section has the basis section's layout, length
// 32 + 3*NPrim + 2*NPrimD + 13*NShell words with the counts of its header.
struct DensityBasis {
    int64_t max_type = 0, cart_d = 0, cart_f = 0;  // header words 1, 4 and 5
    std::vector<int64_t> shell_types, primitives_per_shell, shell_to_atom;
    std::vector<double> exponents, coefficients, sp_coefficients, shell_coordinates;  // sp_ empty without SP
    int64_t largest_contraction() const {
        return primitives_per_shell.empty()
                   ? 0
                   : *std::max_element(primitives_per_shell.begin(), primitives_per_shell.end());
    }
};

// Effective core potentials (512), as formchk's "ECP-..." entries hold them: per atom ten
// KFirst and ten KLast (the first and last coefficient of each term, 1-based; 0 for none),
// LMax, LPSkip (1: no potential) and RNFroz, the core electrons the potential replaces.
// Length identity: 23*N words. The coefficients (NLP, CLP1, CLP2, ZLP, LenNCZ of each) lie
// in no section known: only a section without a potential (LenNCZ = 0) is written whole.
struct CorePotentials {
    static constexpr int64_t kShellsPerAtom = 10;
    std::vector<int64_t> kfirst, klast, lmax, lpskip;
    std::vector<double> frozen;
    // LenNCZ: the number of coefficients, the largest KLast.
    int64_t len_ncz() const;
};

struct ClassicalParameters {  // 800
    int64_t max_an = 0, nintpar = 0, nrealpar = 0, nbits = 0, lenbitvec = 0;
    std::vector<int64_t> read_bitmap, default_bitmap, int_params;
    std::vector<double> real_params;
};

// One section's record: absent, read, or damaged with the message it gives when asked for.
template <typename T>
struct Loaded {
    bool present = false;
    std::string error;
    T data{};
    bool damaged() const { return !error.empty(); }
    // The record, nullptr when the section is absent or damaged (a damaged one costs only itself).
    const T* intact() const { return present && error.empty() ? &data : nullptr; }
    T* intact() { return present && error.empty() ? &data : nullptr; }
    // The record, nullptr when the section is absent; a damaged section throws its message.
    const T* get() const {
        if (!error.empty()) TESVARIN_THROW(error);
        return present ? &data : nullptr;
    }
};

struct FurtherSections {
    Loaded<AtomProperties> atoms;
    Loaded<CorePotentials> core_potentials;
    Loaded<Bonds> bonds;
    Loaded<InternalForces> internal_forces;
    Loaded<RedundantInternals> redundant_internals;
    Loaded<std::vector<double>> external_field;  // 521, 35 reals (105 in development versions)
    Loaded<SymmetryWords> symmetry;
    Loaded<std::vector<double>> gradient;  // 584, 3N reals
    Loaded<Charges> charges;
    Loaded<ElectricProperties> electric;
    Loaded<Oniom> oniom;
    Loaded<std::vector<double>> qeq_tensors;  // 695, 6 per atom, as stored (turned by the 16 and 09 E.01 writers)
    // 695 of an NMR=SpinSpin job: the FC, SD, PSO and DSO contributions to K, N(N+1)/2 each;
    // empty when the section holds none. Its damage is the QEq tensors'.
    Loaded<std::vector<double>> spin_spin;
    Loaded<std::vector<double>> constraint_structure;  // 698, 3N reals
    Loaded<OptimisationArchive> optimisation;
    Loaded<Trajectory> trajectory;  // the archive section in its trajectory layout instead
    Loaded<Vibrations> vibrations;
    Loaded<ExcitedStates> excited_states;
    Loaded<DensityBasis> density_basis;
    Loaded<ClassicalParameters> classical;
    Loaded<std::string> version;                        // 801, the text up to its first NUL without trailing blanks
    Loaded<std::vector<double>> nonadiabatic_coupling;  // 810, 3N reals, turned as the gradient
    bool has_force_constants = false;                   // 585
    int64_t molecule_layout = 0;                        // 997 word 0, the layout code
    bool turned = false;  // the values above were turned with the coordinates (turn_into_standard_orientation)

    // "Section L (name): what was wrong" for each damaged section, in file label order.
    std::vector<std::string> damage() const;
    // What an intact section left unread (a charge set of an unknown mask bit).
    std::vector<std::string> notes() const;
};

// Turns the values formchk writes in the standard orientation (see the struct
// comments) with the orientation record's matrix, M(i, j) = r[i + 3j].
void turn_into_standard_orientation(FurtherSections& f, const std::array<double, 9>& r);

// The family readers. `natoms` is N of the molecule header.
AtomProperties read_atom_properties(const SectionView& s, int64_t natoms);
Bonds read_bonds(const SectionView& s, int64_t natoms);
CorePotentials read_core_potentials(const SectionView& s, int64_t natoms);
InternalForces read_internal_forces(const SectionView& s);
RedundantInternals read_redundant_internals(const SectionView& s);
SymmetryWords read_symmetry_words(const SectionView& s);
Charges read_charges(const SectionView& s, int64_t natoms);
ElectricProperties read_electric_properties(const SectionView& s, int64_t natoms);
Oniom read_oniom(const SectionView& s, int64_t natoms);
OptimisationArchive read_optimisation_archive(const SectionView& s);
bool is_trajectory_archive(const SectionView& s);  // 701 word 0 is 15
Trajectory read_trajectory(const SectionView& s);
Vibrations read_vibrations(const SectionView& s);
ExcitedStates read_excited_states(const SectionView& s);
ClassicalParameters read_classical_parameters(const SectionView& s);
std::string read_version_text(const SectionView& s);
// The sections that are plain runs of reals, N the atom count.
std::vector<double> read_external_field(const SectionView& s);            // 521: 35 or 105 reals
std::vector<double> read_gradient(const SectionView& s, int64_t natoms);  // 584: first 3N of 6N
std::vector<double> read_qeq_tensors(const SectionView& s, int64_t natoms);
std::vector<double> read_spin_spin(const SectionView& s, int64_t natoms);              // 695 past the QEq layout
std::vector<double> read_constraint_structure(const SectionView& s, int64_t natoms);   // 698: first 3N of 6N
std::vector<double> read_nonadiabatic_coupling(const SectionView& s, int64_t natoms);  // 810: 3N

}  // namespace tesvarin
