// Harmonic analysis, thermochemistry, the stored vibrations by name and spectrum
// broadening: converts arguments, releases the interpreter lock around the core's
// work, and returns plain dicts of floats and new NumPy arrays.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "annotations.hpp"
#include "tesvarin/checkpoint_vibrations.hpp"
#include "tesvarin/parser.hpp"
#include "units.hpp"

namespace py = pybind11;
using Named = py::typing::Dict<py::str, py::object>;

namespace {

py::array_t<double> array(const std::vector<double>& v, std::vector<py::ssize_t> shape) {
    py::ssize_t count = 1;
    for (py::ssize_t d : shape) count *= d;
    if (count != static_cast<py::ssize_t>(v.size())) throw std::length_error("array shape does not match its values");
    py::array_t<double> out(std::move(shape));
    std::copy(v.begin(), v.end(), out.mutable_data());
    return out;
}

py::array_t<double> array(const std::vector<double>& v) { return array(v, {static_cast<py::ssize_t>(v.size())}); }

py::object optional_array(const std::vector<double>& v) {
    return v.empty() ? py::object(py::none()) : py::object(array(v));
}

py::array_t<double> modes_array(const std::vector<double>& modes, int64_t nmodes, int64_t natoms) {
    return array(modes, {static_cast<py::ssize_t>(nmodes), static_cast<py::ssize_t>(natoms), 3});
}

py::dict contribution(const tesvarin::Contribution& c) {
    py::dict d;
    d["energy"] = c.energy;
    d["cv"] = c.cv;
    d["entropy"] = c.entropy;
    return d;
}

py::tuple lnq(const tesvarin::LnQ& q) { return py::make_tuple(q.bottom, q.zero_point); }

const char* rotor_name(tesvarin::RotorKind k) {
    switch (k) {
        case tesvarin::RotorKind::atom:
            return "atom";
        case tesvarin::RotorKind::linear:
            return "linear";
        case tesvarin::RotorKind::asymmetric:
            return "asymmetric";
        case tesvarin::RotorKind::prolate:
            return "prolate";
        case tesvarin::RotorKind::oblate:
            return "oblate";
        case tesvarin::RotorKind::spherical:
            return "spherical";
    }
    return "asymmetric";
}

py::dict thermo_dict(const tesvarin::Thermochemistry& t) {
    py::dict d;
    d["temperature"] = t.temperature;
    d["pressure"] = t.pressure;
    d["scale"] = t.scale;
    d["molecular_mass"] = t.molecular_mass;
    d["masses"] = array(t.masses);
    d["hartree_j"] = t.constants.hartree;
    d["avogadro"] = t.constants.avogadro;
    d["moments"] = array(std::vector<double>(t.moments.data(), t.moments.data() + 3));
    Eigen::Matrix<double, 3, 3, Eigen::RowMajor> axes = t.axes;
    d["axes"] = array(std::vector<double>(axes.data(), axes.data() + 9), {3, 3});
    d["rotor"] = rotor_name(t.rotor);
    d["symmetry_number"] = t.symmetry_number;
    d["rotational_temperatures"] = array(t.rotational_temperatures);
    d["rotational_constants"] = array(t.rotational_constants);
    d["imaginary_count"] = t.imaginary_count;
    d["frequencies"] = array(t.frequencies);
    d["vibrational_temperatures"] = array(t.vibrational_temperatures);
    d["zero_point_energy"] = t.zero_point_energy;
    d["electronic_energy"] = t.electronic_energy;
    d["thermal_energy"] = t.thermal_energy;
    d["thermal_enthalpy"] = t.thermal_enthalpy;
    d["thermal_gibbs"] = t.thermal_gibbs;
    d["total"] = contribution(t.total);
    d["electronic"] = contribution(t.electronic);
    d["translational"] = contribution(t.translational);
    d["rotational"] = contribution(t.rotational);
    d["vibrational"] = contribution(t.vibrational);
    d["low_modes"] = t.low_modes;
    py::list rows;
    for (const auto& c : t.low_mode_contributions) rows.append(contribution(c));
    d["low_mode_contributions"] = rows;
    d["q_total"] = lnq(t.q_total);
    d["q_vibrational"] = lnq(t.q_vibrational);
    d["q_electronic"] = t.q_electronic;
    d["q_translational"] = t.q_translational;
    d["q_rotational"] = t.q_rotational;
    py::list qs;
    for (const auto& q : t.q_low_modes) qs.append(lnq(q));
    d["q_low_modes"] = qs;
    d["qh_vibrational_entropy"] = t.qh_vibrational_entropy;
    d["qh_vibrational_energy"] = t.qh_vibrational_energy;
    d["qh_translational_entropy"] = t.qh_translational_entropy;
    d["qh_entropy"] = t.qh_entropy;
    d["qh_enthalpy"] = t.qh_enthalpy;
    d["qh_gibbs"] = t.qh_gibbs;
    return d;
}

}  // namespace

void bind_thermo(py::module_& m) {
    m.def(
        "harmonic_analysis",
        [](const Tesvarin& chk, const std::vector<double>& masses) -> Named {
            tesvarin::HarmonicAnalysis h;
            {
                py::gil_scoped_release release;
                h = tesvarin::checkpoint_harmonic(chk, masses);
            }
            py::dict d;
            d["frequencies"] = array(h.frequencies);
            d["reduced_masses"] = array(h.reduced_masses);
            d["force_constants"] = array(h.force_constants);
            d["modes"] = modes_array(h.modes, h.nmodes, h.natoms);
            d["ir_intensities"] =
                h.ir_intensities.empty() ? py::object(py::none()) : py::object(array(h.ir_intensities));
            d["linear"] = h.linear;
            return d;
        },
        py::arg("reader"), py::arg("masses") = std::vector<double>{},
        "Harmonic analysis of the stored force constants with `masses` (amu, one per atom; the file's own when "
        "empty): frequencies (cm^-1, imaginary negative), reduced_masses (amu), force_constants (mDyne/A), modes "
        "(nmodes, natoms, 3) of unit length, ir_intensities (km/mol, from the stored dipole derivatives; None without "
        "them), linear.");

    m.def(
        "thermochemistry",
        [](const Tesvarin& chk, const std::vector<double>& masses, double temperature, double pressure, double scale,
           int64_t symmetry_number, double entropy_cutoff, double enthalpy_cutoff, double damping_exponent,
           double average_inertia, double raise_cutoff, double concentration) -> Named {
            tesvarin::ThermoOptions o;
            o.temperature = temperature;
            o.pressure = pressure;
            o.scale = scale;
            o.symmetry_number = symmetry_number;
            o.quasi_harmonic = {entropy_cutoff,  enthalpy_cutoff, damping_exponent,
                                average_inertia, raise_cutoff,    concentration};
            tesvarin::Thermochemistry t;
            {
                py::gil_scoped_release release;
                t = tesvarin::checkpoint_thermochemistry(chk, masses, o);
            }
            return thermo_dict(t);
        },
        py::arg("reader"), py::arg("masses") = std::vector<double>{}, py::arg("temperature") = 298.15,
        py::arg("pressure") = 1.0, py::arg("scale") = 1.0, py::arg("symmetry_number") = 0,
        py::arg("entropy_cutoff") = 0.0, py::arg("enthalpy_cutoff") = 0.0, py::arg("damping_exponent") = 4.0,
        py::arg("average_inertia") = 1e-44, py::arg("raise_cutoff") = 0.0, py::arg("concentration") = 0.0,
        "Thermochemistry of the checkpoint in the program's conventions, as a dict (energies in kcal/mol, CV and S "
        "in cal/(mol K), corrections in Hartree, ln Q); tesvarin.thermo shapes it.");

    m.def(
        "vibration_blocks",
        [](const Tesvarin& chk) -> tesvarin_py::Optional<Named> {
            std::optional<tesvarin::VibrationBlocks> v;
            {
                py::gil_scoped_release release;
                v = tesvarin::checkpoint_vibrations(chk);
            }
            if (!v) return py::none();
            py::dict d;
            d["masses"] = array(v->masses);
            d["frequencies"] = optional_array(v->frequencies);
            d["reduced_masses"] = optional_array(v->reduced_masses);
            d["force_constants"] = optional_array(v->force_constants);
            d["ir_intensities"] = optional_array(v->ir_intensities);
            d["raman_activities"] = optional_array(v->raman_activities);
            d["depolarization_plane"] = optional_array(v->depolarization_plane);
            d["depolarization_unpolarized"] = optional_array(v->depolarization_unpolarized);
            d["modes"] =
                v->modes.empty() ? py::object(py::none()) : py::object(modes_array(v->modes, v->nmodes, v->natoms));
            return d;
        },
        py::arg("reader"),
        "The stored harmonic analysis by name (None without one); a block the job did not compute is None.");

    m.def(
        "broaden",
        [](const std::vector<double>& positions, const std::vector<double>& intensities,
           const std::vector<double>& grid, double fwhm, const std::string& shape) {
            tesvarin::LineShape s;
            if (shape == "lorentzian")
                s = tesvarin::LineShape::lorentzian;
            else if (shape == "gaussian")
                s = tesvarin::LineShape::gaussian;
            else
                throw py::value_error("shape must be \"lorentzian\" or \"gaussian\", got \"" + shape + "\"");
            std::vector<double> out;
            {
                py::gil_scoped_release release;
                out = tesvarin::broaden(positions, intensities, grid, fwhm, s);
            }
            return array(out);
        },
        py::arg("positions"), py::arg("intensities"), py::arg("grid"), py::arg("fwhm"), py::arg("shape") = "lorentzian",
        "Each stick as a peak of full width `fwhm` at half maximum whose area is its intensity, summed on `grid`.");
}
