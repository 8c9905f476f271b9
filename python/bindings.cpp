// The Python module Tesvarin_: converts and forwards to the parser; no logic of its own
// beyond slicing to the atom count, Bohr-to-Angstrom scaling, paths as open() takes them
// and the translation of errors into the package's exception classes. This unit makes the
// module, its classes and its errors; one unit per area binds the rest (units.hpp).
#include <pybind11/pybind11.h>

#include <cerrno>
#include <cstring>
#include <exception>

#include "units.hpp"

namespace py = pybind11;
using Mol = ChkParams::Mol;

namespace {
// The exception classes, from the package's _exceptions.py. The file is found and run by its
// location: importing tesvarin._exceptions would first run the package's __init__, which
// imports this module, still unfinished. Registered under that name, so that a later import
// of it gives these very classes (the package binds it as its attribute).
void add_error_classes(py::module_& m) {
    const py::module_ util = py::module_::import("importlib.util");
    const py::object package = util.attr("find_spec")("tesvarin");
    if (package.is_none())
        throw py::import_error("Tesvarin_: the package tesvarin, which holds its errors, is missing");
    const char* name = "tesvarin._exceptions";
    const py::object found = py::module_::import("importlib.machinery")
                                 .attr("PathFinder")
                                 .attr("find_spec")(name, package.attr("submodule_search_locations"));
    if (found.is_none()) throw py::import_error("Tesvarin_: tesvarin/_exceptions.py is missing");
    const py::object errors = util.attr("module_from_spec")(found);
    const py::dict modules = py::module_::import("sys").attr("modules");
    modules[name] = errors;
    try {
        found.attr("loader").attr("exec_module")(errors);
    } catch (...) {
        modules.attr("pop")(name, py::none());
        throw;
    }
    for (const py::handle cls : errors.attr("CLASSES")) m.attr(cls.attr("__name__")) = cls;
}

// The Python exception for an _Error: by errno for a failed open or write, else a format error.
void raise_chk_error(const py::module_& m, const _Error& e) {
    const py::str text = py::reinterpret_steal<py::str>(
        PyUnicode_DecodeUTF8(e.what(), static_cast<py::ssize_t>(std::strlen(e.what())), "backslashreplace"));
    const int err = e.error_number();
    if (err == 0) {
        py::set_error(m.attr("ChkFormatError"), text);
        return;
    }
    const char* name = err == ENOENT                   ? "ChkFileNotFoundError"
                       : err == EACCES || err == EPERM ? "ChkPermissionError"
                       : err == EISDIR                 ? "ChkIsADirectoryError"
                                                       : "ChkOSError";
    const py::object filename = py::module_::import("os").attr("fsdecode")(py::bytes(e.path()));
    py::set_error(m.attr(name), m.attr(name)(text, err, filename));
}
}  // namespace

PYBIND11_MODULE(Tesvarin_, m) {
    m.doc() =
        "A Gaussian .chk parser to extract basic information. All energy values are in Hartree, length values are in "
        "Angstrom. <br><br> <b>No warranty</b> is provided for the correctness of this program. If you observe any "
        "inconsistency or anomaly during use, please submit an issue to the Tesvarin issue tracker "
        "(https://github.com/tesvarin/tesvarin/issues).";

    // The module's namespace, in this order: the three classes, the exception classes, then one
    // submodule per area for everything else (its records, thermochemistry, grids).
    py::class_<ChkParams> params(m, "ChkParams");
    py::class_<Mol> mol(m, "Mol");
    py::class_<Tesvarin, std::unique_ptr<Tesvarin>> reader(m, "ChkReader_");

    add_error_classes(m);
    // Every _Error leaves as one of the classes above; other exceptions keep pybind11's translation.
    py::register_exception_translator([](std::exception_ptr p) {
        try {
            if (p) std::rethrow_exception(p);
        } catch (const _Error& e) {
            raise_chk_error(py::module_::import("Tesvarin_"), e);
        }
    });

    py::module_ records =
        m.def_submodule("records", "The records of the further sections, read-only (ChkReader_.further)");
    py::module_ thermo =
        m.def_submodule("thermo", "Harmonic analysis, thermochemistry and line broadening over a reader");
    py::module_ grid = m.def_submodule("grid", "Orbitals and densities at points and on grids, and the cube writer");

    tesvarin_py::bind_records(params, mol);
    tesvarin_py::bind_views(mol);
    tesvarin_py::bind_reader(records, reader);
    bind_thermo(thermo);
    bind_cube(grid);
    bind_overlap(grid);
    bind_charges(m);
}
