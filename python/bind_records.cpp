// ChkParams and Mol as they always were: each field a property that returns a copy
// (coordinates in Angstrom, lists cut to the atom count); `hessian` alone is a view.
#include <pybind11/complex.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <utility>

#include "annotations.hpp"
#include "units.hpp"

namespace py = pybind11;
using Mol = ChkParams::Mol;

namespace {
template <typename T>
std::vector<T> first_n(const std::vector<T>& v, int64_t n) {
    const auto count = static_cast<size_t>(std::clamp<int64_t>(n, 0, static_cast<int64_t>(v.size())));
    return std::vector<T>(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(count));
}

// New (rows, 3) array in Angstrom from the first 3 rows values of a Bohr list.
py::array_t<double> xyz_angstrom(const std::vector<double>& bohr, int64_t rows) {
    rows = std::clamp<int64_t>(rows, 0, static_cast<int64_t>(bohr.size() / 3));
    py::array_t<double> out({static_cast<py::ssize_t>(rows), static_cast<py::ssize_t>(3)});
    double* dst = out.mutable_data();
    for (int64_t i = 0; i < 3 * rows; ++i) dst[i] = bohr[static_cast<size_t>(i)] * bohr_to_angstrom;
    return out;
}
}  // namespace

void tesvarin_py::bind_records(Params& params, MolClass& mol) {
    params.def_property_readonly(
        "mol", [](const ChkParams& p) -> const Mol& { return p.mol; }, py::return_value_policy::reference_internal,
        "The mol structure");
    params.def_property_readonly("route", [](const ChkParams& p) { return p.route; }, "The route string");
    params.def_property_readonly(
        "gauver", [](const ChkParams& p) { return p.gauver; }, "The gaussian version description");
    params.def_property_readonly("title", [](const ChkParams& p) { return p.title; }, "The title section description");
    params.def_property_readonly(
        "method", [](const ChkParams& p) { return p.method; }, "The method section, such as RB3LYP");
    params.def_property_readonly(
        "baset", [](const ChkParams& p) { return p.baset; }, "The basis set section, such as def2SVP");
    params.def_property_readonly(
        "jobtype", [](const ChkParams& p) { return p.jobtype; }, "The job type section, such as SP, Freq");
    params.def_property_readonly("info1_9", [](const ChkParams& p) { return p.info1_9; }, "The info 1-9 array");
    params.def_property_readonly(
        "genarr", [](const ChkParams& p) { return p.genarr; },
        "The scalar data of the calculation (Gen array), size=1000");
    params.def_property_readonly("viratio", [](const ChkParams& p) { return p.genarr[0]; }, "Virial Ratio");
    params.def_property_readonly("scfene", [](const ChkParams& p) { return p.genarr[31]; }, "SCF Energy");
    params.def_property_readonly("totene", [](const ChkParams& p) { return p.genarr[42]; }, "Total Energy");
    params.def_property_readonly(
        "rawtexts",
        [](const ChkParams& p) -> py::typing::Dict<py::str, py::bytes> {
            const std::pair<const char*, const std::string*> fields[] = {
                {"title", &p.title}, {"route", &p.route},     {"method", &p.method},
                {"baset", &p.baset}, {"jobtype", &p.jobtype}, {"gauver", &p.gauver}};
            py::dict texts;
            for (const auto& [name, text] : fields) texts[name] = py::bytes(*text);
            return texts;
        },
        "The text fields as read, undecoded: {name: bytes} for title, route, method, baset, jobtype and gauver");

    mol.def_property_readonly(
        "hessian",
        [](py::object self) {
            const Mol& mo = self.cast<const Mol&>();
            const auto rows = static_cast<py::ssize_t>(mo.hessian.rows());
            const auto cols = static_cast<py::ssize_t>(mo.hessian.cols());
            const auto item = static_cast<py::ssize_t>(sizeof(double));
            // Column-major view into the record; the Mol view is its base and keeps it alive.
            py::array_t<double> view({rows, cols}, {item, item * rows}, mo.hessian.data(), self);
            py::detail::array_proxy(view.ptr())->flags &= ~py::detail::npy_api::NPY_ARRAY_WRITEABLE_;
            return view;
        },
        "The hessian Matrix (3N*3N)");
    mol.def_property_readonly(
        "names",
        [](const Mol& mo) {
            std::vector<std::string> names;
            for (int64_t z : first_n(mo.atomicnums, mo.natoms)) names.emplace_back(element_symbol(z));
            return names;
        },
        "The atom element names");
    mol.def_property_readonly(
        "atomicnums", [](const Mol& mo) { return first_n(mo.atomicnums, mo.natoms); }, "The atomic numbers");
    mol.def_property_readonly("orblabels", [](const Mol& mo) { return mo.orblabels; }, "The atomic orbital labels");
    mol.def_property_readonly(
        "orblabel_bytes",
        [](const Mol& mo) -> py::typing::List<py::bytes> {
            py::list labels;
            for (const std::string& label : mo.orblabels) labels.append(py::bytes(label));
            return labels;
        },
        "The atomic orbital labels as the bytes in the file");
    mol.def_property_readonly(
        "nucchg", [](const Mol& mo) { return first_n(mo.nucchg, mo.natoms); }, "The nuclear charges");
    mol.def_property_readonly(
        "coords", [](const Mol& mo) { return xyz_angstrom(mo.coords, mo.natoms); },
        "The atomic coords (N*3), unit is Angstrom");
    mol.def_property_readonly(
        "cell",
        [](const Mol& mo) {
            py::array_t<double> out({static_cast<py::ssize_t>(3), static_cast<py::ssize_t>(3)});
            auto cell = out.mutable_unchecked<2>();
            for (int i = 0; i < 3; ++i)
                for (int j = 0; j < 3; ++j) cell(i, j) = mo.cell(i, j) * bohr_to_angstrom;
            return out;
        },
        "The cell size (3*3) of molecule, unit is Angstrom");
    mol.def_property_readonly("ne", [](const Mol& mo) { return mo.ne; }, "The number of electrons");
    mol.def_property_readonly("nae", [](const Mol& mo) { return mo.nae; }, "The number of alpha electrons");
    mol.def_property_readonly("nbe", [](const Mol& mo) { return mo.nbe; }, "The number of beta electrons");
    mol.def_property_readonly("nbasis", [](const Mol& mo) { return mo.nbasis; }, "The number of basis functions");
    mol.def_property_readonly("nbsuse", [](const Mol& mo) { return mo.nbsuse; }, "The number of independent functions");
    mol.def_property_readonly(
        "ndim", [](const Mol& mo) { return mo.ndim; }, "The number of translation vectors (0-3 dim)");
    mol.def_property_readonly("aoene", [](const Mol& mo) { return mo.aoene; }, "The Alpha Orbital Energies");
    mol.def_property_readonly("boene", [](const Mol& mo) { return mo.boene; }, "The Beta Orbital Energies");
    mol.def_property_readonly("amocoeff", [](const Mol& mo) { return mo.amocoeff; }, "The Alpha MO coefficients");
    mol.def_property_readonly("bmocoeff", [](const Mol& mo) { return mo.bmocoeff; }, "The Beta MO coefficients");
    mol.def_property_readonly("orthbasis", [](const Mol& mo) { return mo.orthbasis; }, "The Orthonormal basis");
    mol.def_property_readonly("shelltypes", [](const Mol& mo) { return mo.bparams.shelltypes; }, "The Shell types");
    mol.def_property_readonly(
        "shellnprim", [](const Mol& mo) { return mo.bparams.shellnprim; }, "The number of primitives per shell");
    mol.def_property_readonly("shell2map", [](const Mol& mo) { return mo.bparams.shell2map; }, "Shell to atom map");
    mol.def_property_readonly("primexp", [](const Mol& mo) { return mo.bparams.primexp; }, "Primitive exponents");
    mol.def_property_readonly("concoeff", [](const Mol& mo) { return mo.concoeff; }, "Contraction coefficients");
    mol.def_property_readonly(
        "spconcoeff", [](const Mol& mo) { return mo.spconcoeff; }, "P(S=P) Contraction coefficients");
    mol.def_property_readonly(
        "cshell", [](const Mol& mo) { return xyz_angstrom(mo.cshell, mo.NShell); },
        "Coordinates of each shell, unit is Angstrom");
    mol.def_property_readonly("totdens", [](const Mol& mo) { return mo.totdens; }, "Total density");
    mol.def_property_readonly("spindens", [](const Mol& mo) { return mo.spindens; }, "Spin density");
    mol.def_property_readonly("natoms", [](const Mol& mo) { return mo.natoms; }, "The number of atoms");
    mol.def_property_readonly("totchg", [](const Mol& mo) { return mo.totchg; }, "The total charge of molecule");
    mol.def_property_readonly(
        "multiplicity", [](const Mol& mo) { return mo.multiplicity; }, "The multiplicity of molecule");
}
