// Orbitals and densities at points and on grids, and the cube writer: converts arguments,
// releases the interpreter lock around the C++ work and forwards to the core.
#include <pybind11/functional.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "tesvarin/grid/grid_eval.hpp"
#include "tesvarin/grid/potential.hpp"
#include "tesvarin/parser.hpp"
#include "tesvarin/write/cube_file.hpp"
#include "units.hpp"

namespace py = pybind11;
using Points = py::array_t<double, py::array::c_style | py::array::forcecast>;
// What the progress function returns is ignored.
using Progress = std::optional<std::function<py::object(double)>>;

namespace {

tesvarin::DensityPart density_part(const std::string& part) {
    if (part == "total") return tesvarin::DensityPart::Total;
    if (part == "spin") return tesvarin::DensityPart::Spin;
    if (part == "alpha") return tesvarin::DensityPart::Alpha;
    if (part == "beta") return tesvarin::DensityPart::Beta;
    throw py::value_error("density part must be \"total\", \"spin\", \"alpha\" or \"beta\", not \"" + part + "\"");
}

std::vector<tesvarin::OrbitalRef> orbital_refs(const std::vector<std::pair<bool, int64_t>>& orbitals) {
    std::vector<tesvarin::OrbitalRef> refs;
    for (const auto& [beta, index] : orbitals) refs.push_back({beta, index});
    return refs;
}

// The core calls back now and then on this thread: a pending interrupt (Ctrl-C) or an
// exception of the caller's progress function stops the work and is raised.
tesvarin::EvalOptions options(double tolerance, unsigned threads, const Progress& progress) {
    tesvarin::EvalOptions o;
    if (!(tolerance >= 0.0)) throw py::value_error("tolerance must be zero or positive");
    o.tolerance = tolerance;
    o.threads = threads;
    o.progress = [progress](double fraction) {
        py::gil_scoped_acquire gil;
        if (PyErr_CheckSignals() != 0) throw py::error_already_set();
        if (progress) (*progress)(fraction);
        return true;
    };
    return o;
}

double far_accuracy(double accuracy) {
    if (!(accuracy >= 0.0)) throw py::value_error("accuracy must be zero or positive");
    return accuracy;
}

tesvarin::PointSet point_set(const Points& points) {
    if (points.ndim() != 2 || points.shape(1) != 3) throw py::value_error("points must be an (n, 3) array (Bohr)");
    return {points.data(), static_cast<int64_t>(points.shape(0)), nullptr};
}

tesvarin::GridSpec grid_spec(const std::array<double, 3>& origin, const std::array<std::array<double, 3>, 3>& axes,
                             const std::array<int64_t, 3>& counts) {
    tesvarin::GridSpec g{origin, axes, counts};
    tesvarin::grid_point_count(g);
    return g;
}

std::vector<py::ssize_t> shape_of(std::vector<int64_t> dims) {
    return std::vector<py::ssize_t>(dims.begin(), dims.end());
}

}  // namespace

void bind_cube(py::module_& m) {
    m.def(
        "evaluate_orbitals",
        [](const Tesvarin& t, const Points& points, const std::vector<std::pair<bool, int64_t>>& orbitals,
           double tolerance, unsigned threads, const Progress& progress) {
            const tesvarin::PointSet set = point_set(points);
            const auto refs = orbital_refs(orbitals);
            py::array_t<double> out(shape_of({set.count, static_cast<int64_t>(refs.size())}));
            double* dst = out.mutable_data();
            const auto o = options(tolerance, threads, progress);
            py::gil_scoped_release release;
            tesvarin::evaluate_orbitals(t.get_params().mol, refs, set, o, dst);
            return out;
        },
        py::arg("reader"), py::arg("points"), py::arg("orbitals"), py::kw_only(), py::arg("tolerance") = 0.0,
        py::arg("threads") = 0, py::arg("progress") = py::none(),
        "Values of orbitals, given as (beta, 0-based index) pairs, at (n, 3) points in Bohr: a new (n, k) array. "
        "Basis functions below `tolerance` are left out (0: none); threads=0 uses every core");
    m.def(
        "evaluate_density",
        [](const Tesvarin& t, const Points& points, int kind, const std::string& part, int derivatives,
           double tolerance, unsigned threads, const Progress& progress) {
            const tesvarin::PointSet set = point_set(points);
            const tesvarin::DensityRef ref{kind, density_part(part), derivatives};
            py::array_t<double> out(shape_of({set.count, tesvarin::density_width(derivatives)}));
            double* dst = out.mutable_data();
            const auto o = options(tolerance, threads, progress);
            py::gil_scoped_release release;
            tesvarin::evaluate_density(t.get_params().mol, ref, set, o, dst);
            return out;
        },
        py::arg("reader"), py::arg("points"), py::arg("kind"), py::arg("part") = "total", py::kw_only(),
        py::arg("derivatives") = 0, py::arg("tolerance") = 0.0, py::arg("threads") = 0,
        py::arg("progress") = py::none(),
        "The density at (n, 3) points in Bohr, from the stored matrix of `kind` (0..8) or, for kind -1, from the "
        "occupied orbitals; part \"total\", \"spin\", \"alpha\" or \"beta\". A new (n, 1 + 3 + 1) array: value, "
        "gradient with derivatives >= 1, Laplacian with derivatives = 2 (columns beyond those asked for absent)");
    m.def(
        "grid_orbitals",
        [](const Tesvarin& t, const std::array<double, 3>& origin, const std::array<std::array<double, 3>, 3>& axes,
           const std::array<int64_t, 3>& counts, const std::vector<std::pair<bool, int64_t>>& orbitals,
           double tolerance, unsigned threads, const Progress& progress) {
            const tesvarin::GridSpec grid = grid_spec(origin, axes, counts);
            const auto refs = orbital_refs(orbitals);
            py::array_t<double> out(shape_of({counts[0], counts[1], counts[2], static_cast<int64_t>(refs.size())}));
            double* dst = out.mutable_data();
            const auto o = options(tolerance, threads, progress);
            py::gil_scoped_release release;
            tesvarin::evaluate_orbitals(t.get_params().mol, refs, {nullptr, 0, &grid}, o, dst);
            return out;
        },
        py::arg("reader"), py::arg("origin"), py::arg("axes"), py::arg("counts"), py::arg("orbitals"), py::kw_only(),
        py::arg("tolerance") = 0.0, py::arg("threads") = 0, py::arg("progress") = py::none(),
        "Orbital values on the grid origin + i axes[0] + j axes[1] + k axes[2] (Bohr): a new (nx, ny, nz, k) array");
    m.def(
        "grid_coefficients",
        [](const Tesvarin& t, const std::array<double, 3>& origin, const std::array<std::array<double, 3>, 3>& axes,
           const std::array<int64_t, 3>& counts, const Points& coefficients, double tolerance, unsigned threads,
           const Progress& progress) {
            const tesvarin::GridSpec grid = grid_spec(origin, axes, counts);
            if (coefficients.ndim() != 2) throw py::value_error("coefficients must be a (k, nbasis) array");
            const int64_t k = coefficients.shape(0);
            const std::vector<double> rows(coefficients.data(), coefficients.data() + coefficients.size());
            py::array_t<double> out(shape_of({counts[0], counts[1], counts[2], k}));
            double* dst = out.mutable_data();
            const auto o = options(tolerance, threads, progress);
            py::gil_scoped_release release;
            tesvarin::evaluate_coefficients(t.get_params().mol, rows, k, {nullptr, 0, &grid}, o, dst);
            return out;
        },
        py::arg("reader"), py::arg("origin"), py::arg("axes"), py::arg("counts"), py::arg("coefficients"),
        py::kw_only(), py::arg("tolerance") = 0.0, py::arg("threads") = 0, py::arg("progress") = py::none(),
        "Values of combinations of the basis functions, one per row of the (k, nbasis) coefficients, on the grid "
        "origin + i axes[0] + j axes[1] + k axes[2] (Bohr): a new (nx, ny, nz, k) array");
    m.def(
        "grid_density",
        [](const Tesvarin& t, const std::array<double, 3>& origin, const std::array<std::array<double, 3>, 3>& axes,
           const std::array<int64_t, 3>& counts, int kind, const std::string& part, double tolerance, unsigned threads,
           const Progress& progress) {
            const tesvarin::GridSpec grid = grid_spec(origin, axes, counts);
            const tesvarin::DensityRef ref{kind, density_part(part), 0};
            py::array_t<double> out(shape_of({counts[0], counts[1], counts[2]}));
            double* dst = out.mutable_data();
            const auto o = options(tolerance, threads, progress);
            py::gil_scoped_release release;
            tesvarin::evaluate_density(t.get_params().mol, ref, {nullptr, 0, &grid}, o, dst);
            return out;
        },
        py::arg("reader"), py::arg("origin"), py::arg("axes"), py::arg("counts"), py::arg("kind"),
        py::arg("part") = "total", py::kw_only(), py::arg("tolerance") = 0.0, py::arg("threads") = 0,
        py::arg("progress") = py::none(),
        "The density on the grid origin + i axes[0] + j axes[1] + k axes[2] (Bohr): a new (nx, ny, nz) array");
    m.def(
        "write_cube",
        [](const py::bytes& path, const std::string& title, const std::string& comment,
           const std::array<double, 3>& origin, const std::array<std::array<double, 3>, 3>& axes,
           const std::array<int64_t, 3>& counts, const std::vector<int64_t>& numbers,
           const std::vector<double>& charges, const std::vector<std::array<double, 3>>& coordinates,
           const std::vector<int64_t>& orbitals, const Points& values) {
            tesvarin::CubeHeader h{title, comment, grid_spec(origin, axes, counts), {}, orbitals};
            if (numbers.size() != charges.size() || numbers.size() != coordinates.size())
                throw py::value_error("numbers, charges and coordinates must have one entry per atom");
            for (size_t i = 0; i < numbers.size(); ++i) h.atoms.push_back({numbers[i], charges[i], coordinates[i]});
            const py::ssize_t expected = static_cast<py::ssize_t>(tesvarin::grid_point_count(h.grid)) *
                                         static_cast<py::ssize_t>(orbitals.empty() ? 1 : orbitals.size());
            if (values.size() != expected)
                throw py::value_error("values must hold " + std::to_string(expected) + " numbers, not " +
                                      std::to_string(values.size()));
            const std::string target = path;
            if (target.find('\0') != std::string::npos) throw py::value_error("embedded null byte");
            py::gil_scoped_release release;
            tesvarin::write_cube(target, h, values.data());
        },
        py::arg("path"), py::arg("title"), py::arg("comment"), py::arg("origin"), py::arg("axes"), py::arg("counts"),
        py::arg("numbers"), py::arg("charges"), py::arg("coordinates"), py::arg("orbitals"), py::arg("values"),
        "Write a Gaussian cube file: values in C order over (nx, ny, nz[, orbital]); lengths in Bohr; orbitals "
        "1-based, empty for a density");

    py::module_& grid = m;  // the potential beside the densities and orbitals
    grid.def(
        "evaluate_potential",
        [](const Tesvarin& t, const Points& points, int kind, const std::string& part, bool field, bool nuclei,
           bool electrons, double tolerance, double accuracy, unsigned threads, const Progress& progress) {
            const tesvarin::PointSet set = point_set(points);
            const tesvarin::PotentialRef ref{kind,   density_part(part), field,
                                             nuclei, electrons,          far_accuracy(accuracy)};
            py::array_t<double> out(shape_of({set.count, tesvarin::potential_width(field)}));
            double* dst = out.mutable_data();
            const auto o = options(tolerance, threads, progress);
            py::gil_scoped_release release;
            tesvarin::evaluate_potential(t.get_params().mol, ref, set, o, dst);
            return out;
        },
        py::arg("reader"), py::arg("points"), py::arg("kind"), py::arg("part") = "total", py::kw_only(),
        py::arg("field") = false, py::arg("nuclei") = true, py::arg("electrons") = true, py::arg("tolerance") = 0.0,
        py::arg("accuracy") = 0.0, py::arg("threads") = 0, py::arg("progress") = py::none(),
        "The electrostatic potential (Hartree/e) at (n, 3) points in Bohr of the nuclei and the density of `kind` "
        "(0..8 a stored matrix, -1 the occupied orbitals), part \"total\", \"spin\", \"alpha\" or \"beta\" "
        "(nuclei only with the total): a new (n, 1) array, (n, 4) with the field (Hartree/(e Bohr)) after the value. "
        "Distributions whose bounds add up to at most `tolerance` are left out (0: none); `accuracy` > 0 sums "
        "distributions far from a point through their atom's multipole moments, moving the potential by at most that "
        "(0: every sum exact; the field is always exact)");
    grid.def(
        "grid_potential",
        [](const Tesvarin& t, const std::array<double, 3>& origin, const std::array<std::array<double, 3>, 3>& axes,
           const std::array<int64_t, 3>& counts, int kind, const std::string& part, double tolerance, double accuracy,
           unsigned threads, const Progress& progress) {
            const tesvarin::GridSpec g = grid_spec(origin, axes, counts);
            const tesvarin::PotentialRef ref{kind, density_part(part), false, true, true, far_accuracy(accuracy)};
            py::array_t<double> out(shape_of({counts[0], counts[1], counts[2]}));
            double* dst = out.mutable_data();
            const auto o = options(tolerance, threads, progress);
            py::gil_scoped_release release;
            tesvarin::evaluate_potential(t.get_params().mol, ref, {nullptr, 0, &g}, o, dst);
            return out;
        },
        py::arg("reader"), py::arg("origin"), py::arg("axes"), py::arg("counts"), py::arg("kind"),
        py::arg("part") = "total", py::kw_only(), py::arg("tolerance") = 0.0, py::arg("accuracy") = 0.0,
        py::arg("threads") = 0, py::arg("progress") = py::none(),
        "The electrostatic potential on the grid origin + i axes[0] + j axes[1] + k axes[2] (Bohr): a new "
        "(nx, ny, nz) array; `tolerance` and `accuracy` as for evaluate_potential");
}
