// Fitting points and fitted charges (Tesvarin_.charges): converts arguments, releases the
// interpreter lock around the core's work, and returns new NumPy arrays and plain dicts.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <array>
#include <optional>
#include <vector>

#include "annotations.hpp"
#include "tesvarin/charges/esp_fit.hpp"
#include "tesvarin/charges/esp_points.hpp"
#include "units.hpp"

namespace py = pybind11;
using Coordinates = py::array_t<double, py::array::c_style | py::array::forcecast>;

namespace {

std::vector<double> rows_of_three(const Coordinates& a, const char* what) {
    if (a.ndim() != 2 || a.shape(1) != 3) throw py::value_error(std::string(what) + " must be an (n, 3) array (Bohr)");
    return {a.data(), a.data() + a.size()};
}

py::array_t<double> points_array(const std::vector<double>& p) {
    py::array_t<double> out({static_cast<py::ssize_t>(p.size() / 3), py::ssize_t{3}});
    std::copy(p.begin(), p.end(), out.mutable_data());
    return out;
}

}  // namespace

void bind_charges(py::module_& m) {
    py::module_ c = m.def_submodule("charges", "Fitting points and atomic charges fitted to the potential.");
    c.def("merz_kollman_radius", &tesvarin::merz_kollman_radius, py::arg("z"),
          "Merz-Kollman radius of element z (Angstrom), 0 where the set has none.");
    c.def("breneman_radius", &tesvarin::breneman_radius, py::arg("z"),
          "Breneman's (CHELPG) radius of element z (Angstrom), 0 where the set has none.");
    c.def(
        "merz_kollman_points",
        [](const Coordinates& atoms, const std::vector<double>& radii, const std::vector<double>& scales,
           double density) {
            const std::vector<double> xyz = rows_of_three(atoms, "atoms");
            std::vector<double> p;
            {
                py::gil_scoped_release release;
                p = tesvarin::merz_kollman_points(xyz, radii, scales, density);
            }
            return points_array(p);
        },
        py::arg("atoms"), py::arg("radii"), py::arg("scales"), py::arg("density"),
        "Merz-Kollman fitting points (n, 3) Bohr: dots at `density` per Angstrom^2 on each atom's sphere of radius "
        "(Angstrom) times each scale, outside the other atoms' spheres of that layer.");
    c.def(
        "breneman_points",
        [](const Coordinates& atoms, const std::vector<double>& radii, double spacing, double extension) {
            const std::vector<double> xyz = rows_of_three(atoms, "atoms");
            std::vector<double> p;
            std::array<int64_t, 3> steps{};
            {
                py::gil_scoped_release release;
                p = tesvarin::breneman_points(xyz, radii, spacing, extension, steps);
            }
            return py::make_tuple(points_array(p), py::make_tuple(steps[0], steps[1], steps[2]));
        },
        py::arg("atoms"), py::arg("radii"), py::arg("spacing"), py::arg("extension"),
        "CHELPG fitting points (n, 3) Bohr and the grid's nodes along x, y, z: a cubic grid of `spacing` over the "
        "atoms' box widened by `extension` (Angstrom), outside every radius and within `extension` of an atom.");
    c.def(
        "fit",
        [](const Coordinates& atoms, const Coordinates& points, const tesvarin_py::Reals& potential,
           double total_charge, std::optional<std::array<double, 3>> dipole, const std::vector<int64_t>& share,
           const std::vector<double>& fixed, double restraint_a, double restraint_b,
           const std::vector<bool>& restrained) {
            tesvarin::ChargeFitProblem p;
            p.atoms = rows_of_three(atoms, "atoms");
            p.points = rows_of_three(points, "points");
            p.potential = potential.values;
            p.total_charge = total_charge;
            p.dipole = dipole;
            p.share = share;
            p.fixed = fixed;
            p.restraint_a = restraint_a;
            p.restraint_b = restraint_b;
            p.restrained.assign(restrained.begin(), restrained.end());
            tesvarin::ChargeFit f;
            {
                py::gil_scoped_release release;
                f = tesvarin::fit_charges(p);
            }
            py::array_t<double> q(static_cast<py::ssize_t>(f.charges.size()));
            std::copy(f.charges.begin(), f.charges.end(), q.mutable_data());
            py::dict d;
            d["charges"] = q;
            d["rms"] = f.rms;
            d["rrms"] = f.rrms;
            d["iterations"] = f.iterations;
            return py::typing::Dict<py::str, py::object>(d);
        },
        py::arg("atoms"), py::arg("points"), py::arg("potential"), py::arg("total_charge") = 0.0,
        py::arg("dipole") = py::none(), py::arg("share") = std::vector<int64_t>{},
        py::arg("fixed") = std::vector<double>{}, py::arg("restraint_a") = 0.0, py::arg("restraint_b") = 0.1,
        py::arg("restrained") = std::vector<bool>{},
        "Least-squares charges (e) at `atoms` reproducing `potential` (Hartree/e) at `points` (Bohr), with the "
        "total charge and optionally the dipole (e Bohr) held; `share` gives each atom the index of its charge "
        "(-1: held at `fixed`); the restraint a * sum(sqrt(q^2 + b^2) - b) acts on the `restrained` atoms. "
        "Returns charges, rms, rrms and iterations.");
}
