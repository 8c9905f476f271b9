// The overlap matrix of a reader's basis: forwards to the core with the interpreter lock released.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstring>
#include <vector>

#include "tesvarin/grid/overlap.hpp"
#include "tesvarin/parser.hpp"
#include "units.hpp"

namespace py = pybind11;

void bind_overlap(py::module_& m) {
    m.def(
        "overlap",
        [](const Tesvarin& t) {
            std::vector<double> s;
            {
                py::gil_scoped_release release;
                s = tesvarin::overlap_matrix(t.get_params().mol);
            }
            const auto n = static_cast<py::ssize_t>(t.get_params().mol.nbasis);
            py::array_t<double> out({n, n});
            std::memcpy(out.mutable_data(), s.data(), s.size() * sizeof(double));
            return out;
        },
        py::arg("reader"),
        "The overlap <m|n> of the basis functions in the fchk's order: a new (nbasis, nbasis) array");
}
