// ChkReader_: the parse of a file (whole, or without the large sections), its writers of
// fchk and gjf files and the fchk entries, and the records it holds.
#include <pybind11/complex.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "annotations.hpp"
#include "tesvarin/write/fchk_entry.hpp"
#include "units.hpp"

namespace py = pybind11;
using Entries =
    py::typing::Dict<py::str,
                     py::typing::Union<py::int_, py::float_, py::str, py::array_t<int64_t>, py::array_t<double>>>;

namespace {
// A path as open() takes it: str, bytes, bytearray or os.PathLike, as the bytes that
// os.fsencode gives (so a name that is not UTF-8 still reaches the file system).
std::string fs_path(const py::handle& path) {
    std::string raw = py::isinstance<py::bytearray>(path)
                          ? std::string(py::reinterpret_borrow<py::bytearray>(path))
                          : std::string(py::bytes(py::module_::import("os").attr("fsencode")(path)));
    // The C library would silently cut the name at the first NUL.
    if (raw.find('\0') != std::string::npos) throw py::value_error("embedded null byte");
    return raw;
}

// One ChkWarning per message, raised as an error when warnings are turned into errors.
void warn_each(const std::vector<std::string>& messages) {
    const py::object category = py::module_::import("Tesvarin_").attr("ChkWarning");
    for (const std::string& message : messages) {
        if (PyErr_WarnEx(category.ptr(), message.c_str(), 1) != 0) throw py::error_already_set();
    }
}
}  // namespace

void tesvarin_py::bind_reader(py::module_& records, Reader& reader) {
    reader.def(py::init([](const tesvarin_py::PathArg& fchk) {
                   if (fchk.is_none()) throw std::runtime_error("ChkReader_: the checkpoint path is None");
                   const std::string path = fs_path(fchk);
                   py::gil_scoped_release release;  // other threads run while the file is parsed
                   return std::make_unique<Tesvarin>(path);
               }),
               py::arg("fchk"));
    reader.def_static(
        "partial",
        [](const tesvarin_py::PathArg& fchk, bool orbitals, bool hessian, bool densities) {
            const std::string path = fs_path(fchk);
            py::gil_scoped_release release;
            return std::make_unique<Tesvarin>(path, tesvarin::ReadOptions{orbitals, hessian, densities});
        },
        py::arg("fchk"), py::kw_only(), py::arg("orbitals") = false, py::arg("hessian") = false,
        py::arg("densities") = false,
        "A reader of the directory, the job, molecule, basis and further sections, and of only those large "
        "sections asked for: the unread ones stay empty, and write_fchk and fchk_entries refuse to run");
    reader.def_property_readonly(
        "unread", [](const Tesvarin& t) { return t.get_read_options().unread(); },
        "The large sections this reader left unread, e.g. \"orbitals, densities\"; empty when it read everything");
    reader.def(
        "write_gjf",
        [](const Tesvarin& t, const tesvarin_py::PathArg& fgjf) {
            const std::string path = fs_path(fgjf);
            py::gil_scoped_release release;
            t.write_gjf(path);
        },
        py::arg("fgjf"), "Write a gjf file based on the information of .chk");
    reader.def(
        "write_fchk",
        [](const Tesvarin& t, const tesvarin_py::PathArg& fname, bool complete, std::optional<unsigned> threads,
           bool strict) {
            const std::string path = fs_path(fname);
            Tesvarin::Skipped skipped;
            {
                py::gil_scoped_release release;
                if (complete && !strict) {
                    t.write_fchk(path, true, threads.value_or(0), &skipped);
                } else if (threads) {
                    t.write_fchk(path, complete, *threads);
                } else {
                    complete ? t.write_complete_fchk(path) : t.write_fchk(path);
                }
            }
            warn_each(skipped);
        },
        py::arg("fname"), py::kw_only(), py::arg("complete") = false, py::arg("threads") = py::none(),
        py::arg("strict") = false,
        "Write a formatted fchk file based on the partial information of .chk; with complete=True, every entry "
        "formchk writes, byte for byte as the formchk of the file's program version. A damaged further section "
        "leaves out only its own entries, with a ChkWarning saying why; strict=True refuses the file instead");
    reader.def(
        "fchk_entries",
        [](const Tesvarin& t, bool complete, bool strict) -> Entries {
            std::vector<tesvarin::FchkEntry> entries;
            Tesvarin::Skipped skipped;
            {
                py::gil_scoped_release release;
                entries = t.fchk_entries(complete, strict ? nullptr : &skipped);
            }
            warn_each(skipped);
            py::dict out;
            for (const tesvarin::FchkEntry& e : entries) {
                using Kind = tesvarin::FchkEntry::Kind;
                const auto n = static_cast<py::ssize_t>(e.size());
                switch (e.kind) {
                    case Kind::IntScalar:
                        out[py::str(e.label)] = py::int_(e.int_value);
                        break;
                    case Kind::RealScalar:
                        out[py::str(e.label)] = py::float_(e.real_value);
                        break;
                    case Kind::IntArray:
                        out[py::str(e.label)] = py::array_t<int64_t>(n, e.int_data());
                        break;
                    case Kind::RealArray:
                        out[py::str(e.label)] = py::array_t<double>(n, e.real_data());
                        break;
                    case Kind::Text:  // titles may hold bytes that are not UTF-8: kept, never refused
                        out[py::str(e.label)] = py::reinterpret_steal<py::str>(PyUnicode_DecodeUTF8(
                            e.text.data(), static_cast<py::ssize_t>(e.text.size()), "surrogateescape"));
                        break;
                }
            }
            return out;
        },
        py::arg("complete") = true, py::kw_only(), py::arg("strict") = false,
        "The entries that write_fchk(complete=..., strict=...) writes, in file order: label -> int, float, str or "
        "a 1-D int64/float64 NumPy array, exact doubles, rotated as written");
    reader.def_property_readonly("params", &Tesvarin::get_params, py::return_value_policy::reference_internal,
                                 "The ChkParams class");
    bind_further(records, reader);
    reader.def_property_readonly("ilsw", [](const Tesvarin& t) { return t.get_ilsw(); }, "The ILSW array");
    reader.def_property_readonly("rlsw", [](const Tesvarin& t) { return t.get_rlsw(); }, "The RLSW array");
}
