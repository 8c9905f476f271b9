// Zero-copy views: read-only NumPy arrays over the reader's own storage, valid as long
// as they are referenced (their base keeps the reader alive); and the densities by kind.
#include <pybind11/complex.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <array>
#include <complex>
#include <stdexcept>
#include <tuple>
#include <utility>

#include "annotations.hpp"
#include "tesvarin/triangle.hpp"
#include "units.hpp"
#include "views.hpp"

namespace py = pybind11;
using Mol = ChkParams::Mol;
using tesvarin_py::view;
using tesvarin_py::view_1d;
using tesvarin_py::view_rows;

namespace {
const std::complex<double>* as_complex(const double* v) { return reinterpret_cast<const std::complex<double>*>(v); }

// Orbitals as (orbital, coefficient): components * nbasis columns, complex when the
// wavefunction is.
tesvarin_py::RealOrComplex orbital_matrix(py::handle owner, const Mol& mo, const tesvarin::bulk_vector<double>& v) {
    const auto cols = static_cast<py::ssize_t>(std::max<int64_t>(mo.components * mo.nbasis, 0));
    const auto per_row = static_cast<py::ssize_t>(mo.value_kind) * cols;
    const py::ssize_t rows = per_row > 0 ? static_cast<py::ssize_t>(v.size()) / per_row : 0;
    if (mo.value_kind == 2) return view(owner, as_complex(v.data()), {rows, cols});
    return view(owner, v.data(), {rows, cols});
}

// A density kind given as 0..8 or by its name ("SCF", "SCF Density", any case).
int density_slot(const tesvarin_py::DensityKind& kind) {
    int k = -1;
    if (py::isinstance<py::str>(kind)) {
        k = density_kind(kind.cast<std::string>());
    } else if (py::isinstance<py::int_>(kind)) {
        const auto value = kind.cast<int64_t>();
        k = value >= 0 && value < 9 ? static_cast<int>(value) : -1;
    } else {
        throw py::type_error("density kind: an int 0..8 or a density name such as \"SCF\"");
    }
    if (k < 0) throw py::value_error("unknown density kind " + py::repr(kind).cast<std::string>());
    return k;
}

// The packed triangle of one density slot as a view, its full matrix as a new array,
// or None when the checkpoint does not hold that kind.
tesvarin_py::Optional<tesvarin_py::RealOrComplex> density(py::handle owner, const Mol& mo,
                                                          const tesvarin::bulk_vector<double>& packed, bool full) {
    if (packed.empty()) return py::none();
    const bool complex = mo.value_kind == 2;
    const auto length = static_cast<py::ssize_t>(packed.size() / (complex ? 2 : 1));
    if (!full) {
        if (complex) return view(owner, as_complex(packed.data()), {length});
        return view(owner, packed.data(), {length});
    }
    const int64_t n = std::max<int64_t>(mo.components * mo.nbasis, 0);
    if (n * (n + 1) / 2 != length) throw std::runtime_error("density triangle does not match nbasis");
    const std::vector<py::ssize_t> shape{static_cast<py::ssize_t>(n), static_cast<py::ssize_t>(n)};
    if (complex) {
        py::array_t<std::complex<double>> out(shape);
        std::complex<double>* dst = out.mutable_data();
        py::gil_scoped_release release;
        tesvarin::unpack_triangle(as_complex(packed.data()), n, dst);
        return std::move(out);
    }
    py::array_t<double> out(shape);
    double* dst = out.mutable_data();
    py::gil_scoped_release release;
    tesvarin::unpack_triangle(packed.data(), n, dst);
    return std::move(out);
}
}  // namespace

void tesvarin_py::bind_views(MolClass& mol) {
    const auto add_view = [&mol](const char* name, auto make, const char* doc) {
        mol.def_property_readonly(name, [make](py::object self) { return make(self, self.cast<const Mol&>()); }, doc);
    };
    using H = py::handle;
    add_view(
        "atomic_numbers", [](H s, const Mol& mo) { return view_rows(s, mo.atomicnums, mo.natoms, 1); },
        "Atomic numbers, int64 (natoms,); a read-only view");
    add_view(
        "nuclear_charges", [](H s, const Mol& mo) { return view_rows(s, mo.nucchg, mo.natoms, 1); },
        "Nuclear charges in units of e, float64 (natoms,); a read-only view");
    add_view(
        "coordinates_bohr", [](H s, const Mol& mo) { return view_rows(s, mo.coords, mo.natoms, 3); },
        "Atomic coordinates in Bohr, float64 (natoms, 3); a read-only view");
    add_view(
        "alpha_orbital_energies", [](H s, const Mol& mo) { return view_1d(s, mo.aoene); },
        "Alpha orbital energies in Hartree, float64 (nmo,); a read-only view");
    add_view(
        "beta_orbital_energies", [](H s, const Mol& mo) { return view_1d(s, mo.boene); },
        "Beta orbital energies in Hartree, float64 (nmo,), empty when closed-shell; a read-only view");
    add_view(
        "alpha_mo_coefficients", [](H s, const Mol& mo) { return orbital_matrix(s, mo, mo.amocoeff); },
        "Alpha MO coefficients, one orbital per row: (nmo, nbasis) float64; complex128 for a complex "
        "wavefunction; (nmo, 2 nbasis) complex128 for two-component spinors, columns in the file's order; "
        "a read-only view");
    add_view(
        "beta_mo_coefficients", [](H s, const Mol& mo) { return orbital_matrix(s, mo, mo.bmocoeff); },
        "Beta MO coefficients, laid out as alpha_mo_coefficients; (0, nbasis) when closed-shell; "
        "a read-only view");
    add_view(
        "orthonormal_basis", [](H s, const Mol& mo) { return orbital_matrix(s, mo, mo.orthbasis); },
        "Orthonormal basis, one vector per row, laid out as alpha_mo_coefficients; a read-only view");
    add_view(
        "shell_types", [](H s, const Mol& mo) { return view_1d(s, mo.bparams.shelltypes); },
        "Signed shell-type codes (0 S, 1 P, -1 SP, 2/-2 Cartesian/pure D, ...), int64 (nshell,); "
        "a read-only view");
    add_view(
        "primitives_per_shell", [](H s, const Mol& mo) { return view_1d(s, mo.bparams.shellnprim); },
        "Number of primitives of each shell, int64 (nshell,); a read-only view");
    add_view(
        "shell_to_atom", [](H s, const Mol& mo) { return view_1d(s, mo.bparams.shell2map); },
        "Atom of each shell, 1-based as stored, int64 (nshell,); a read-only view");
    add_view(
        "primitive_exponents", [](H s, const Mol& mo) { return view_1d(s, mo.bparams.primexp); },
        "Primitive exponents in Bohr^-2, float64 (nprim,); a read-only view");
    add_view(
        "contraction_coefficients", [](H s, const Mol& mo) { return view_1d(s, mo.concoeff); },
        "Contraction coefficients of normalised primitives, float64 (nprim,); a read-only view");
    add_view(
        "sp_contraction_coefficients", [](H s, const Mol& mo) { return view_1d(s, mo.spconcoeff); },
        "P coefficients of SP shells, 0 elsewhere, float64 (nprim,), empty without SP shells; "
        "a read-only view");
    mol.def_property_readonly(
        "cell_bohr",
        [](py::object self) {
            const Mol& mo = self.cast<const Mol&>();
            const auto item = static_cast<py::ssize_t>(sizeof(double));
            // Row k is translation vector k; the record's matrix is column-major.
            py::array_t<double> view({3, 3}, {item, 3 * item}, mo.cell.data(), self);
            py::detail::array_proxy(view.ptr())->flags &= ~py::detail::npy_api::NPY_ARRAY_WRITEABLE_;
            return view;
        },
        "Translation vectors in Bohr, one per row, float64 (3, 3), zero rows beyond ndim; a read-only view");
    add_view(
        "shell_coordinates_bohr", [](H s, const Mol& mo) { return view_rows(s, mo.cshell, mo.NShell, 3); },
        "Shell centres in Bohr, float64 (nshell, 3); a read-only view");
    using Slots = std::array<tesvarin::bulk_vector<double>, 9> Mol::*;
    for (const auto& [name, slots, doc] :
         {std::tuple<const char*, Slots, const char*>{
              "total_density", &Mol::totdens,
              "Total density of one kind (0..8, or a name such as \"SCF\" or \"MP2 Density\"), in the AO "
              "basis (electrons): the packed lower triangle as a read-only view, or with full=True a new "
              "symmetric (n, n) array (Hermitian when complex; n = nbasis, 2 nbasis for two-component); None "
              "when absent"},
          {"spin_density", &Mol::spindens,
           "Spin density (alpha minus beta) of one kind, laid out as total_density; None when absent"}}) {
        mol.def(
            name,
            [slots = slots](py::object self, const tesvarin_py::DensityKind& kind, bool full) {
                const Mol& mo = self.cast<const Mol&>();
                return density(self, mo, (mo.*slots)[static_cast<size_t>(density_slot(kind))], full);
            },
            py::arg("kind"), py::arg("full") = false, doc);
    }
}
