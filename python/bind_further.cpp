// The further sections as read-only records: reader.further.vibrations and the like,
// each None when its section is absent or damaged (further.damage says why), with
// NumPy views over the record's own storage. Values are those of the records: as
// stored, except the ones the parser turned into the coordinates' frame.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <functional>
#include <memory>

#include "annotations.hpp"
#include "tesvarin/parser.hpp"
#include "units.hpp"
#include "views.hpp"

namespace py = pybind11;
using namespace tesvarin;

namespace {
// The record of a section, None when the section is absent or damaged; it keeps `owner` alive.
template <typename T>
tesvarin_py::Optional<T> record(py::handle owner, const Loaded<T>& slot) {
    const T* data = slot.intact();
    if (data == nullptr) return py::none();
    return py::cast(data, py::return_value_policy::reference_internal, owner);
}

// A flat array shaped (size / width, width) when width > 1 and that divides it, else 1-D.
template <typename T>
py::array_t<T> shaped(py::handle owner, const std::vector<T>& v, int64_t width) {
    const auto n = static_cast<py::ssize_t>(v.size());
    if (width > 1 && n % width == 0) return tesvarin_py::view(owner, v.data(), {n / width, width});
    return tesvarin_py::view_1d(owner, v);
}

// Binds record fields: scalars as int, arrays as views shaped by a width taken from the record.
template <typename R>
class Fields {
public:
    Fields(py::module_& m, const char* name, const char* doc) : cls(m, name, doc) {}

    template <typename T>
    Fields& scalar(const char* name, T R::* member, const char* doc) {
        cls.def_property_readonly(name, [member](const R& r) { return r.*member; }, doc);
        return *this;
    }
    // `width` gives the row length; `none_if_empty` for the arrays a mask bit may leave out.
    template <typename T>
    Fields& array(const char* name, std::vector<T> R::* member, const char* doc,
                  std::function<int64_t(const R&)> width = nullptr, bool none_if_empty = false) {
        const auto get = [member, width](py::object self) {
            const R& r = self.cast<const R&>();
            return shaped(self, r.*member, width ? width(r) : 1);
        };
        if (!none_if_empty) {
            cls.def_property_readonly(name, get, doc);
            return *this;
        }
        cls.def_property_readonly(
            name,
            [member, get](py::object self) -> tesvarin_py::Optional<py::array_t<T>> {
                if ((self.cast<const R&>().*member).empty()) return py::none();
                return get(self);
            },
            doc);
        return *this;
    }

    py::class_<R> cls;
};

template <typename R>
std::function<int64_t(const R&)> fixed(int64_t width) {
    return [width](const R&) { return width; };
}
}  // namespace

void bind_further(py::module_& m, py::class_<Tesvarin, std::unique_ptr<Tesvarin>>& reader) {
    Fields<AtomProperties>(m, "AtomProperties", "Per-atom arrays of the molecule section (997), one value per atom")
        .scalar("layout", &AtomProperties::layout, "The molecule section's layout code")
        .scalar("blocks", &AtomProperties::blocks, "Number of per-atom blocks")
        .scalar("point_charges", &AtomProperties::point_charges, "Number of point charges")
        .array("int_atom_types", &AtomProperties::int_atom_types, "Integer atom types, int64 (natoms,)")
        .array("mm_charges", &AtomProperties::mm_charges, "MM charges, e, float64 (natoms,)")
        .array("integer_weights", &AtomProperties::integer_weights, "Integer atomic weights, int64 (natoms,)")
        .array("real_weights", &AtomProperties::real_weights, "Atomic masses, amu, float64 (natoms,)")
        .array("fragment_info", &AtomProperties::fragment_info, "Fragment of each atom, int64 (natoms,)")
        .array("residue_numbers", &AtomProperties::residue_numbers, "Residue of each atom, int64 (natoms,)")
        .array("nuclear_spins", &AtomProperties::nuclear_spins, "Nuclear spins, int64 (natoms,)")
        .array("zeff", &AtomProperties::zeff, "Effective nuclear charges, float64 (natoms,)")
        .array("znuc", &AtomProperties::znuc,
               "Nuclear charges ZNuc, float64 (natoms,); empty where the layout has none")
        .array("qmom", &AtomProperties::qmom, "Nuclear quadrupole moments, float64 (natoms,)")
        .array("gfac", &AtomProperties::gfac, "Nuclear g factors, float64 (natoms,)")
        .array("micopt", &AtomProperties::micopt, "Optimisation flag of each atom (-2 frozen), int64 (natoms,)")
        .scalar("symbols", &AtomProperties::symbols,
                "Atom-type symbols a molecular-mechanics input defined, list of str")
        .scalar("atom_names", &AtomProperties::atom_names,
                "PDB name of each atom of a molecular-mechanics input, list of str; empty without residues")
        .array("atom_residues", &AtomProperties::atom_residues,
               "Residue of each atom, 1-based into residue_names, int64 (natoms,); empty without residues")
        .scalar("residue_names", &AtomProperties::residue_names, "PDB residue names, list of str")
        .array("residue_codes", &AtomProperties::residue_codes,
               "PDB number of each residue, packed: number << 12 | chain, bit 31 set, int64 (nresidues,)")
        .array("structures", &AtomProperties::structures, "Secondary structures as stored, int64 (nstructures, 9)",
               fixed<AtomProperties>(9));
    const auto per_atom_bonds = [](const Bonds& b) { return b.max_bonds; };
    Fields<Bonds>(m, "Bonds", "Bonds (503): partners and orders of each atom")
        .scalar("max_bonds", &Bonds::max_bonds, "Most bonds of any atom (MxBond)")
        .array("bond_counts", &Bonds::bond_counts, "Bonds of each atom, int64 (natoms,)")
        .array("partners", &Bonds::partners, "Partner atoms, 1-based, int64 (natoms, max_bonds)", per_atom_bonds)
        .array("orders", &Bonds::orders, "Bond orders, float64 (natoms, max_bonds)", per_atom_bonds);
    Fields<InternalForces>(m, "InternalForces", "Forces on the optimiser's internal coordinates (511)")
        .scalar("energy", &InternalForces::energy, "Energy, Hartree")
        .scalar("nvar", &InternalForces::nvar, "Number of internal coordinates")
        .scalar("igetfc", &InternalForces::igetfc, "How the force constants were obtained (IGetFC)")
        .array("forces", &InternalForces::forces, "Forces, float64 (nvar,)")
        .array("force_constants", &InternalForces::force_constants, "Force constants, packed lower triangle");
    Fields<RedundantInternals>(m, "RedundantInternals", "Redundant internal coordinate definitions (665)")
        .array("dimensions", &RedundantInternals::dimensions, "The four dimension words, int64 (4,)")
        .array("indices", &RedundantInternals::indices, "Atoms of each coordinate, int64 (ncoord, 4)",
               fixed<RedundantInternals>(4))
        .array("values", &RedundantInternals::values, "Coordinate values, float64 (ncoord,)")
        .array("int_vec", &RedundantInternals::int_vec, "ZRed-IntVec, int64 (ncoord,)")
        .array("fp_vec", &RedundantInternals::fp_vec, "ZRed-FPVec, float64 (ncoord,)")
        .array("constraint1", &RedundantInternals::constraint1, "ZRed-Constraint1, float64 (ncoord,)")
        .array("constraint2", &RedundantInternals::constraint2, "ZRed-Constraint2, float64 (ncoord,)");
    Fields<SymmetryWords>(m, "SymmetryWords", "The orientation section (551) as stored")
        .array("syminf", &SymmetryWords::syminf, "Symmetry information integers, int64 (26,)")
        .array("rottr", &SymmetryWords::rottr,
               "Rotation to the input orientation (transposed, row by row) then the negated translation, "
               "float64 (12,)");
    Fields<Charges>(m, "Charges", "Atomic charges (605)")
        .scalar("mask", &Charges::mask, "Which charge sets are stored (bit 0 Mulliken, bit 3 NPA, bit 4 APT)")
        .array("mulliken", &Charges::mulliken, "Mulliken charges, e, float64 (natoms,); None when not stored", nullptr,
               true)
        .array("npa", &Charges::npa, "NPA charges, e, float64 (natoms,); None when not stored", nullptr, true)
        .array("apt", &Charges::apt, "APT charges, e, float64 (natoms,); None when not stored", nullptr, true);
    Fields<ElectricProperties>(m, "ElectricProperties",
                               "Electric properties (619) in the frame of the coordinates, atomic units; "
                               "each None when the mask says it is not valid")
        .scalar("mask", &ElectricProperties::mask, "Which properties are valid")
        .array("dipole", &ElectricProperties::dipole, "Dipole moment, e Bohr, float64 (3,)", nullptr, true)
        .array("dipole_derivatives", &ElectricProperties::dipole_derivatives,
               "Dipole derivatives, row 3a+q (atom a, direction q), e, float64 (3 natoms, 3)",
               fixed<ElectricProperties>(3), true)
        .array("polarizability", &ElectricProperties::polarizability,
               "Polarizability xx yx yy zx zy zz, Bohr^3, float64 (6,)", nullptr, true)
        .array("polarizability_derivatives", &ElectricProperties::polarizability_derivatives,
               "Polarizability derivatives, row 3a+q, columns xx yx yy zx zy zz, float64 (3 natoms, 6)",
               fixed<ElectricProperties>(6), true)
        .array("hyperpolarizability", &ElectricProperties::hyperpolarizability,
               "Hyperpolarizability xxx xxy xyy yyy xxz xyz yyz xzz yzz zzz, float64 (10,)", nullptr, true)
        .array("quadrupole", &ElectricProperties::quadrupole,
               "Quadrupole moment xx yy zz xy xz yz, e Bohr^2, float64 (6,)", nullptr, true);
    const auto per_atom = fixed<Oniom>(1);
    Fields<Oniom>(m, "Oniom", "ONIOM layers and link atoms (674)")
        .array("charges", &Oniom::charges, "Charge of each model system, int64")
        .array("multiplicities", &Oniom::multiplicities, "Multiplicity of each model system, int64")
        .array("layers", &Oniom::layers, "Layer of each atom, int64 (natoms,)", per_atom)
        .array("modifiers", &Oniom::modifiers, "Atom modifiers, int64 (natoms,)")
        .array("int_modified_types", &Oniom::int_modified_types, "Modified atom types, int64 (natoms,)")
        .array("link_atoms", &Oniom::link_atoms, "Link atoms, int64 (natoms,)")
        .array("modified_mm_charges", &Oniom::modified_mm_charges, "Modified MM charges, float64 (natoms,)")
        .array("link_distances", &Oniom::link_distances, "Link distances, float64");
    using O = OptimisationArchive;
    Fields<O>(m, "OptimisationArchive",
              "The optimisation archive (701): every point's geometries in order, in the final standard orientation")
        .scalar("max_steps", &O::max_steps, "Room for this many geometries (MaxStp)")
        .scalar("job_offset", &O::job_offset, "The job offset")
        .scalar("results_per_geometry", &O::results_per_geometry, "Results stored per geometry (NRes)")
        .scalar("nvar", &O::nvar, "Values per geometry and gradient (NVar, 3 natoms for Cartesians)")
        .array("geometries_per_point", &O::geometries_per_point, "Geometries of each point, int64 (npoints,)")
        .array("results", &O::results, "Results of each geometry, energy first, float64 (ngeom, NRes)",
               [](const O& o) { return o.results_per_geometry; })
        .array("geometries", &O::geometries, "Geometries, Bohr, float64 (ngeom, NVar)",
               [](const O& o) { return o.nvar; })
        .array("gradients", &O::gradients, "Gradients, Hartree/Bohr, float64 (ngeom, NVar)",
               [](const O& o) { return o.nvar; });
    Fields<Vibrations> vib(m, "Vibrations", "The stored harmonic analysis (765)");
    vib.scalar("nmodes", &Vibrations::nmodes, "Number of normal modes")
        .scalar("le2fix", &Vibrations::le2fix, "Number of per-mode blocks in e2 (LE2Fix)")
        .scalar("ndfdpol", &Vibrations::ndfdpol, "NDFDPol")
        .scalar("ndim", &Vibrations::ndim, "Number of atoms the modes run over (NDim)")
        .scalar("ndim0", &Vibrations::ndim0, "NDim0")
        .scalar("lflags", &Vibrations::lflags, "Flags per mode (LFlags)")
        .array("iflags", &Vibrations::iflags, "Flags of each mode, int64 (nmodes, lflags)",
               [](const Vibrations& v) { return v.lflags; })
        .array("masses", &Vibrations::masses, "Atomic masses, amu, float64 (ndim,)")
        .array("e2", &Vibrations::e2,
               "Per-mode values, one block per row: frequencies (cm^-1, imaginary negative), reduced masses (amu), "
               "force constants (mDyne/A), IR intensities (km/mol), then further blocks; float64 (le2fix, nmodes)",
               [](const Vibrations& v) { return v.nmodes; });
    vib.cls.def_property_readonly(
        "modes",
        [](py::object self) {
            const Vibrations& v = self.cast<const Vibrations&>();
            const auto modes = static_cast<py::ssize_t>(v.nmodes), dim = static_cast<py::ssize_t>(v.ndim);
            if (modes <= 0 || dim <= 0 || static_cast<py::ssize_t>(v.modes.size()) != modes * dim * 3) {
                return tesvarin_py::view_1d(self, v.modes);
            }
            return tesvarin_py::view(self, v.modes.data(), {modes, dim, 3});
        },
        "Cartesian displacements of each mode in the frame of the coordinates, float64 (nmodes, ndim, 3)");
    using C = ClassicalParameters;
    Fields<C>(m, "ClassicalParameters", "Classical force-field parameters (800)")
        .scalar("max_an", &C::max_an, "MaxAn")
        .scalar("nintpar", &C::nintpar, "NIntPar")
        .scalar("nrealpar", &C::nrealpar, "NRealPar")
        .scalar("nbits", &C::nbits, "NBits")
        .scalar("lenbitvec", &C::lenbitvec, "LenBitVec")
        .array("read_bitmap", &C::read_bitmap, "Read bit map, int64")
        .array("default_bitmap", &C::default_bitmap, "Default bit map, int64")
        .array("int_params", &C::int_params, "Integer parameters, int64")
        .array("real_params", &C::real_params, "Real parameters, float64");

    const auto per_state = [](const ExcitedStates& x) { return x.values_per_state; };
    Fields<ExcitedStates>(m, "ExcitedStates",
                          "Excited states of a CIS or TD-DFT job (770), as formchk's ETran entries hold them")
        .scalar("nstates", &ExcitedStates::nstates, "Number of excited states")
        .scalar("values_per_state", &ExcitedStates::values_per_state, "Values stored per state (16)")
        .array("scalars", &ExcitedStates::scalars,
               "ETran scalars: the ten header words as twenty halves, high half first (nstates, values_per_state, "
               "1, 10, the state followed, 0, ...), int64 (20,)")
        .array("spin", &ExcitedStates::spin, "ETran spin, one per state, int64 (nstates,)")
        .array("symmetry", &ExcitedStates::symmetry, "ETran sym, one per state, int64 (nstates,)")
        .array("state_values", &ExcitedStates::state_values,
               "ETran state values, one row per state: total energy (Hartree), transition dipole <0|r|n> (3, e Bohr), "
               "velocity form <0|del|n> (3), magnetic form <0|r x del|n> (3), then further values as stored; "
               "float64 (nstates, values_per_state)",
               per_state);

    using E = CorePotentials;
    const auto per_atom_terms = fixed<E>(E::kShellsPerAtom);
    Fields<E>(m, "CorePotentials",
              "Effective core potentials (512), as formchk's ECP entries hold them; the terms' coefficients are not "
              "in the checkpoint")
        .array("kfirst", &E::kfirst, "First coefficient of each term, 1-based (0: none), int64 (natoms, 10)",
               per_atom_terms)
        .array("klast", &E::klast, "Last coefficient of each term, int64 (natoms, 10)", per_atom_terms)
        .array("lmax", &E::lmax, "Highest angular momentum of each atom's potential, int64 (natoms,)")
        .array("lpskip", &E::lpskip, "1 for an atom without a potential, int64 (natoms,)")
        .array("frozen", &E::frozen, "Core electrons each atom's potential replaces (RNFroz), float64 (natoms,)");
    using T = Trajectory;
    const auto per_step = [](const T& t) { return t.nvar; };
    Fields<T>(m, "Trajectory",
              "The archive section (701) in its trajectory layout, of an ADMP or BOMD job: every step of every point "
              "in order, as stored (input orientation)")
        .scalar("max_steps", &T::max_steps, "Room for this many steps (MaxStp)")
        .scalar("job_offset", &T::job_offset, "The job offset")
        .scalar("results_per_geometry", &T::results_per_geometry, "Results stored per step (NRes)")
        .scalar("nvar", &T::nvar, "Values per geometry, momentum and gradient (NVar, 3 natoms)")
        .scalar("reference_energy", &T::reference_energy,
                "The first potential energy's integer part, Hartree: formchk writes the potential energies less it")
        .array("geometries_per_point", &T::geometries_per_point, "Steps of each point, int64 (npoints,)")
        .array("results", &T::results,
               "Results of each step: time (fs) first, the potential energy at 4 and the total energy at 6 "
               "(Hartree), float64 (nsteps, NRes)",
               [](const T& t) { return t.results_per_geometry; })
        .array("geometries", &T::geometries, "Geometries, Bohr, float64 (nsteps, NVar)", per_step)
        .array("momenta", &T::momenta, "Mass-weighted velocities, sqrt(amu) Bohr/fs, float64 (nsteps, NVar)", per_step)
        .array("gradients", &T::gradients, "Gradients, Hartree/Bohr, float64 (nsteps, NVar)", per_step);

    py::class_<FurtherSections> further(m, "FurtherSections",
                                        "The sections beyond the basic parse, each None when absent or damaged");
    using F = FurtherSections;
    const auto add_record = [&further](const char* name, auto F::* slot, const char* doc) {
        further.def_property_readonly(
            name, [slot](py::object self) { return record(self, self.cast<const F&>().*slot); }, doc);
    };
    add_record("atoms", &F::atoms, "AtomProperties of the molecule section, or None");
    add_record("bonds", &F::bonds, "Bonds, or None");
    add_record("internal_forces", &F::internal_forces, "InternalForces, or None");
    add_record("redundant_internals", &F::redundant_internals, "RedundantInternals, or None");
    add_record("symmetry", &F::symmetry, "SymmetryWords, or None");
    add_record("charges", &F::charges, "Charges, or None");
    add_record("electric", &F::electric, "ElectricProperties, or None");
    add_record("oniom", &F::oniom, "Oniom, or None");
    add_record("optimisation", &F::optimisation, "OptimisationArchive, or None");
    add_record("vibrations", &F::vibrations, "Vibrations, or None");
    add_record("classical", &F::classical, "ClassicalParameters, or None");
    add_record("core_potentials", &F::core_potentials, "records.CorePotentials, or None");
    add_record("trajectory", &F::trajectory, "records.Trajectory of an ADMP or BOMD job, or None");
    add_record("excited_states", &F::excited_states, "records.ExcitedStates of a CIS or TD job, or None");
    const auto add_reals = [&further](const char* name, Loaded<std::vector<double>> F::* slot, int64_t width,
                                      const char* doc) {
        further.def_property_readonly(
            name,
            [slot, width](py::object self) -> tesvarin_py::Optional<py::array_t<double>> {
                const std::vector<double>* values = (self.cast<const F&>().*slot).intact();
                if (values == nullptr) return py::none();
                return shaped(self, *values, width);
            },
            doc);
    };
    add_reals("external_field", &F::external_field, 1, "External field (521), float64 (35,) or (105,), or None");
    add_reals("gradient", &F::gradient, 3,
              "Cartesian gradient (584) in the frame of the coordinates, Hartree/Bohr, float64 (natoms, 3), or None");
    add_reals("qeq_tensors", &F::qeq_tensors, 6, "QEq coupling tensors (695) as stored, float64 (natoms, 6), or None");
    further.def_property_readonly(
        "spin_spin",
        [](py::object self) -> tesvarin_py::Optional<py::array_t<double>> {
            const std::vector<double>* values = self.cast<const F&>().spin_spin.intact();
            if (values == nullptr || values->empty()) return py::none();
            return shaped(self, *values, static_cast<int64_t>(values->size() / 4));
        },
        "The Fermi-contact, spin-dipolar, paramagnetic and diamagnetic spin-orbit contributions to the reduced "
        "spin-spin couplings K of an NMR=SpinSpin job (695), each a lower triangle row by row, float64 "
        "(4, natoms (natoms + 1) / 2), or None");
    add_reals("constraint_structure", &F::constraint_structure, 3,
              "Constraint structure (698), Bohr, float64 (natoms, 3), or None");
    add_reals("nonadiabatic_coupling", &F::nonadiabatic_coupling, 3,
              "Nonadiabatic coupling (810), float64 (natoms, 3), or None");
    further.def_property_readonly(
        "version",
        [](const F& f) -> tesvarin_py::Optional<py::str> {
            const std::string* text = f.version.intact();
            if (text == nullptr) return py::none();
            return py::reinterpret_steal<py::str>(
                PyUnicode_DecodeUTF8(text->data(), static_cast<py::ssize_t>(text->size()), "backslashreplace"));
        },
        "The program version text (801), or None");
    further.def_property_readonly(
        "has_force_constants", [](const F& f) { return f.has_force_constants; },
        "Whether the file holds Cartesian force constants (585)");
    further.def_property_readonly(
        "molecule_layout", [](const F& f) { return f.molecule_layout; }, "The molecule section's layout code");
    further.def_property_readonly("notes", &F::notes,
                                  "One message per intact section that left something unread (a charge set of a "
                                  "mask bit the reader does not know)");
    further.def_property_readonly("damage", &F::damage,
                                  "One message per damaged further section: \"Section L (name): what was expected "
                                  "and what was found\"; its record is None");

    reader.def_property_readonly(
        "further", [](const Tesvarin& t) -> const F& { return t.get_further(); },
        py::return_value_policy::reference_internal, "The further sections as read-only records (FurtherSections)");
}
