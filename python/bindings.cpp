// The Python module Tesvarin_: converts and forwards to the parser; no logic of its own
// beyond slicing to the atom count, Bohr-to-Angstrom scaling, paths as open() takes them
// and the translation of errors into the package's exception classes.
#include <pybind11/complex.h>
#include <pybind11/eval.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <exception>
#include <optional>
#include <stdexcept>
#include <tuple>
#include <utility>

#include "tesvarin/parser.hpp"
#include "tesvarin/triangle.hpp"
#include "views.hpp"

namespace py = pybind11;
using Mol = ChkParams::Mol;
using tesvarin_py::view;
using tesvarin_py::view_1d;
using tesvarin_py::view_rows;

// The other binding units, one per area.
void bind_further(py::module_& m, py::class_<Tesvarin, std::unique_ptr<Tesvarin>>& reader);  // bind_further.cpp
void bind_thermo(py::module_& m);                                                             // bind_thermo.cpp
void bind_cube(py::module_& m);                                                               // bind_cube.cpp

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

const std::complex<double>* as_complex(const double* v) { return reinterpret_cast<const std::complex<double>*>(v); }

// Orbitals as (orbital, coefficient): components * nbasis columns, complex when the
// wavefunction is.
py::array orbital_matrix(py::handle owner, const Mol& mo, const tesvarin::bulk_vector<double>& v) {
    const auto cols = static_cast<py::ssize_t>(std::max<int64_t>(mo.components * mo.nbasis, 0));
    const auto per_row = static_cast<py::ssize_t>(mo.value_kind) * cols;
    const py::ssize_t rows = per_row > 0 ? static_cast<py::ssize_t>(v.size()) / per_row : 0;
    if (mo.value_kind == 2) return view(owner, as_complex(v.data()), {rows, cols});
    return view(owner, v.data(), {rows, cols});
}

// A density kind given as 0..8 or by its name ("SCF", "SCF Density", any case).
int density_slot(const py::object& kind) {
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
py::object density(py::handle owner, const Mol& mo, const tesvarin::bulk_vector<double>& packed, bool full) {
    if (packed.empty()) return py::none();
    const bool complex = mo.value_kind == 2;
    const auto length = static_cast<py::ssize_t>(packed.size() / (complex ? 2 : 1));
    if (!full) return complex ? view(owner, as_complex(packed.data()), {length}) : view(owner, packed.data(), {length});
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

// The package's exceptions: every one is a RuntimeError, and also the built-in that
// fits, so both `except RuntimeError` and `except FileNotFoundError` catch it.
constexpr const char* kErrorClasses = R"py(
class ChkError(RuntimeError):
    """A failure of the checkpoint reader or its writers; str() is the reader's full message.

    `tesvarin.load` raises these with words that name the file and what is wrong with it; the
    reader's full message is then `detail` (None otherwise), and repr() shows both."""

    detail = None

    def __repr__(self):
        if self.detail is None:
            return super().__repr__()
        return f"{type(self).__name__}({str(self)!r}, detail={self.detail!r})"

class ChkFormatError(ChkError, ValueError):
    """The file is not a valid checkpoint, or holds what the reader refuses."""

class ChkOSError(ChkError, OSError):
    """A file could not be opened or written; errno, strerror and filename are set."""

    def __init__(self, text, errno=0, filename=None):
        from os import strerror
        OSError.__init__(self, errno, strerror(errno), filename)
        self.text = text

    def __str__(self):
        return self.text

    def __reduce__(self):
        return type(self), (self.text, self.errno, self.filename), self.__dict__

class ChkFileNotFoundError(ChkOSError, FileNotFoundError):
    """The file does not exist."""

class ChkPermissionError(ChkOSError, PermissionError):
    """The file may not be read or written."""

class ChkIsADirectoryError(ChkOSError, IsADirectoryError):
    """The path names a directory."""

class ChkWarning(UserWarning):
    """A damaged or unknown section whose quantities were left out; the rest of the file was read."""

for _cls in (ChkError, ChkFormatError, ChkOSError, ChkFileNotFoundError, ChkPermissionError, ChkIsADirectoryError,
             ChkWarning):
    _cls.__module__ = "Tesvarin_"
del _cls
)py";

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
// One ChkWarning per message, raised as an error when warnings are turned into errors.
void warn_each(const std::vector<std::string>& messages) {
    const py::object category = py::module_::import("Tesvarin_").attr("ChkWarning");
    for (const std::string& message : messages) {
        if (PyErr_WarnEx(category.ptr(), message.c_str(), 1) != 0) throw py::error_already_set();
    }
}
}  // namespace

PYBIND11_MODULE(Tesvarin_, m) {
    m.doc() =
        "A Gaussian .chk parser to extract basic information. All energy values are in Hartree, length values are in "
        "Angstrom. <br><br> <b>No warranty</b> is provided for the correctness of this program. If you observe any "
        "inconsistency or anomaly during use, please submit an issue to the Tesvarin issue tracker "
        "(https://github.com/tesvarin/tesvarin/issues).";

    py::exec(kErrorClasses, m.attr("__dict__"));
    // Every _Error leaves as one of the classes above; other exceptions keep pybind11's translation.
    py::register_exception_translator([](std::exception_ptr p) {
        try {
            if (p) std::rethrow_exception(p);
        } catch (const _Error& e) {
            raise_chk_error(py::module_::import("Tesvarin_"), e);
        }
    });

    py::class_<ChkParams> params(m, "ChkParams");
    py::class_<Mol> mol(m, "Mol");
    py::class_<Tesvarin, std::unique_ptr<Tesvarin>> reader(m, "ChkReader_");

    params.def_property_readonly(
        "mol", [](const ChkParams& p) -> const Mol& { return p.mol; }, py::return_value_policy::reference_internal,
        "The mol structure");
    params.def_property_readonly("route", [](const ChkParams& p) { return p.route; }, "The route string");
    params.def_property_readonly("gauver", [](const ChkParams& p) { return p.gauver; },
                                 "The gaussian version description");
    params.def_property_readonly("title", [](const ChkParams& p) { return p.title; }, "The title section description");
    params.def_property_readonly("method", [](const ChkParams& p) { return p.method; },
                                 "The method section, such as RB3LYP");
    params.def_property_readonly("baset", [](const ChkParams& p) { return p.baset; },
                                 "The basis set section, such as def2SVP");
    params.def_property_readonly("jobtype", [](const ChkParams& p) { return p.jobtype; },
              "The job type section, such as SP, Freq");
    params.def_property_readonly("info1_9", [](const ChkParams& p) { return p.info1_9; }, "The info 1-9 array");
    params.def_property_readonly("genarr", [](const ChkParams& p) { return p.genarr; },
              "The scalar data of the calculation (Gen array), size=1000");
    params.def_property_readonly("viratio", [](const ChkParams& p) { return p.genarr[0]; }, "Virial Ratio");
    params.def_property_readonly("scfene", [](const ChkParams& p) { return p.genarr[31]; }, "SCF Energy");
    params.def_property_readonly("totene", [](const ChkParams& p) { return p.genarr[42]; }, "Total Energy");
    params.def_property_readonly(
        "rawtexts",
        [](const ChkParams& p) {
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
    mol.def_property_readonly("names",
        [](const Mol& mo) {
            std::vector<std::string> names;
            for (int64_t z : first_n(mo.atomicnums, mo.natoms)) names.emplace_back(element_symbol(z));
            return names;
        },
        "The atom element names");
    mol.def_property_readonly("atomicnums", [](const Mol& mo) { return first_n(mo.atomicnums, mo.natoms); },
                              "The atomic numbers");
    mol.def_property_readonly("orblabels", [](const Mol& mo) { return mo.orblabels; }, "The atomic orbital labels");
    mol.def_property_readonly(
        "orblabel_bytes",
        [](const Mol& mo) {
            py::list labels;
            for (const std::string& label : mo.orblabels) labels.append(py::bytes(label));
            return labels;
        },
        "The atomic orbital labels as the bytes in the file");
    mol.def_property_readonly("nucchg", [](const Mol& mo) { return first_n(mo.nucchg, mo.natoms); },
                              "The nuclear charges");
    mol.def_property_readonly("coords", [](const Mol& mo) { return xyz_angstrom(mo.coords, mo.natoms); },
              "The atomic coords (N*3), unit is Angstrom");
    mol.def_property_readonly("cell",
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
    mol.def_property_readonly("ndim", [](const Mol& mo) { return mo.ndim; },
                              "The number of translation vectors (0-3 dim)");
    mol.def_property_readonly("aoene", [](const Mol& mo) { return mo.aoene; }, "The Alpha Orbital Energies");
    mol.def_property_readonly("boene", [](const Mol& mo) { return mo.boene; }, "The Beta Orbital Energies");
    mol.def_property_readonly("amocoeff", [](const Mol& mo) { return mo.amocoeff; }, "The Alpha MO coefficients");
    mol.def_property_readonly("bmocoeff", [](const Mol& mo) { return mo.bmocoeff; }, "The Beta MO coefficients");
    mol.def_property_readonly("orthbasis", [](const Mol& mo) { return mo.orthbasis; }, "The Orthonormal basis");
    mol.def_property_readonly("shelltypes", [](const Mol& mo) { return mo.bparams.shelltypes; }, "The Shell types");
    mol.def_property_readonly("shellnprim", [](const Mol& mo) { return mo.bparams.shellnprim; },
              "The number of primitives per shell");
    mol.def_property_readonly("shell2map", [](const Mol& mo) { return mo.bparams.shell2map; }, "Shell to atom map");
    mol.def_property_readonly("primexp", [](const Mol& mo) { return mo.bparams.primexp; }, "Primitive exponents");
    mol.def_property_readonly("concoeff", [](const Mol& mo) { return mo.concoeff; }, "Contraction coefficients");
    mol.def_property_readonly("spconcoeff", [](const Mol& mo) { return mo.spconcoeff; },
                              "P(S=P) Contraction coefficients");
    mol.def_property_readonly("cshell", [](const Mol& mo) { return xyz_angstrom(mo.cshell, mo.NShell); },
              "Coordinates of each shell, unit is Angstrom");
    mol.def_property_readonly("totdens", [](const Mol& mo) { return mo.totdens; }, "Total density");
    mol.def_property_readonly("spindens", [](const Mol& mo) { return mo.spindens; }, "Spin density");
    mol.def_property_readonly("natoms", [](const Mol& mo) { return mo.natoms; }, "The number of atoms");
    mol.def_property_readonly("totchg", [](const Mol& mo) { return mo.totchg; }, "The total charge of molecule");
    mol.def_property_readonly("multiplicity", [](const Mol& mo) { return mo.multiplicity; },
                              "The multiplicity of molecule");

    // Zero-copy views: read-only NumPy arrays over the reader's own storage, valid as long
    // as they are referenced (their base keeps the reader alive).
    const auto add_view = [&mol](const char* name, auto make, const char* doc) {
        mol.def_property_readonly(name, [make](py::object self) { return make(self, self.cast<const Mol&>()); }, doc);
    };
    using H = py::handle;
    add_view("atomic_numbers", [](H s, const Mol& mo) { return view_rows(s, mo.atomicnums, mo.natoms, 1); },
             "Atomic numbers, int64 (natoms,); a read-only view");
    add_view("nuclear_charges", [](H s, const Mol& mo) { return view_rows(s, mo.nucchg, mo.natoms, 1); },
             "Nuclear charges in units of e, float64 (natoms,); a read-only view");
    add_view("coordinates_bohr", [](H s, const Mol& mo) { return view_rows(s, mo.coords, mo.natoms, 3); },
             "Atomic coordinates in Bohr, float64 (natoms, 3); a read-only view");
    add_view("alpha_orbital_energies", [](H s, const Mol& mo) { return view_1d(s, mo.aoene); },
             "Alpha orbital energies in Hartree, float64 (nmo,); a read-only view");
    add_view("beta_orbital_energies", [](H s, const Mol& mo) { return view_1d(s, mo.boene); },
             "Beta orbital energies in Hartree, float64 (nmo,), empty when closed-shell; a read-only view");
    add_view("alpha_mo_coefficients", [](H s, const Mol& mo) { return orbital_matrix(s, mo, mo.amocoeff); },
             "Alpha MO coefficients, one orbital per row: (nmo, nbasis) float64; complex128 for a complex "
             "wavefunction; (nmo, 2 nbasis) complex128 for two-component spinors, columns in the file's order; "
             "a read-only view");
    add_view("beta_mo_coefficients", [](H s, const Mol& mo) { return orbital_matrix(s, mo, mo.bmocoeff); },
             "Beta MO coefficients, laid out as alpha_mo_coefficients; (0, nbasis) when closed-shell; "
             "a read-only view");
    add_view("orthonormal_basis", [](H s, const Mol& mo) { return orbital_matrix(s, mo, mo.orthbasis); },
             "Orthonormal basis, one vector per row, laid out as alpha_mo_coefficients; a read-only view");
    add_view("shell_types", [](H s, const Mol& mo) { return view_1d(s, mo.bparams.shelltypes); },
             "Signed shell-type codes (0 S, 1 P, -1 SP, 2/-2 Cartesian/pure D, ...), int64 (nshell,); "
             "a read-only view");
    add_view("primitives_per_shell", [](H s, const Mol& mo) { return view_1d(s, mo.bparams.shellnprim); },
             "Number of primitives of each shell, int64 (nshell,); a read-only view");
    add_view("shell_to_atom", [](H s, const Mol& mo) { return view_1d(s, mo.bparams.shell2map); },
             "Atom of each shell, 1-based as stored, int64 (nshell,); a read-only view");
    add_view("primitive_exponents", [](H s, const Mol& mo) { return view_1d(s, mo.bparams.primexp); },
             "Primitive exponents in Bohr^-2, float64 (nprim,); a read-only view");
    add_view("contraction_coefficients", [](H s, const Mol& mo) { return view_1d(s, mo.concoeff); },
             "Contraction coefficients of normalised primitives, float64 (nprim,); a read-only view");
    add_view("sp_contraction_coefficients", [](H s, const Mol& mo) { return view_1d(s, mo.spconcoeff); },
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
    add_view("shell_coordinates_bohr", [](H s, const Mol& mo) { return view_rows(s, mo.cshell, mo.NShell, 3); },
             "Shell centres in Bohr, float64 (nshell, 3); a read-only view");
    using Slots = std::array<tesvarin::bulk_vector<double>, 9> Mol::*;
    for (const auto& [name, slots, doc] : {
             std::tuple<const char*, Slots, const char*>{
                 "total_density", &Mol::totdens,
                 "Total density of one kind (0..8, or a name such as \"SCF\" or \"MP2 Density\"), in the AO "
                 "basis (electrons): the packed lower triangle as a read-only view, or with full=True a new "
                 "symmetric (n, n) array (Hermitian when complex; n = nbasis, 2 nbasis for two-component); None "
                 "when absent"},
             {"spin_density", &Mol::spindens,
              "Spin density (alpha minus beta) of one kind, laid out as total_density; None when absent"}}) {
        mol.def(
            name,
            [slots = slots](py::object self, py::object kind, bool full) {
                const Mol& mo = self.cast<const Mol&>();
                return density(self, mo, (mo.*slots)[static_cast<size_t>(density_slot(kind))], full);
            },
            py::arg("kind"), py::arg("full") = false, doc);
    }

    reader.def(py::init([](const py::object& fchk) {
                   if (fchk.is_none()) throw std::runtime_error("ChkReader_: the checkpoint path is None");
                   const std::string path = fs_path(fchk);
                   py::gil_scoped_release release;  // other threads run while the file is parsed
                   return std::make_unique<Tesvarin>(path);
               }),
               py::arg("fchk"));
    reader.def_static(
        "partial",
        [](const py::object& fchk, bool orbitals, bool hessian, bool densities) {
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
        [](const Tesvarin& t, const py::object& fgjf) {
            const std::string path = fs_path(fgjf);
            py::gil_scoped_release release;
            t.write_gjf(path);
        },
        py::arg("fgjf"), "Write a gjf file based on the information of .chk");
    reader.def(
        "write_fchk",
        [](const Tesvarin& t, const py::object& fname, bool complete, std::optional<unsigned> threads, bool strict) {
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
        [](const Tesvarin& t, bool complete, bool strict) {
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
                    case Kind::IntScalar: out[py::str(e.label)] = py::int_(e.int_value); break;
                    case Kind::RealScalar: out[py::str(e.label)] = py::float_(e.real_value); break;
                    case Kind::IntArray: out[py::str(e.label)] = py::array_t<int64_t>(n, e.int_data()); break;
                    case Kind::RealArray: out[py::str(e.label)] = py::array_t<double>(n, e.real_data()); break;
                    case Kind::Text:  // titles may hold bytes that are not UTF-8: kept, never refused
                        out[py::str(e.label)] = py::reinterpret_steal<py::str>(
                            PyUnicode_DecodeUTF8(e.text.data(), static_cast<py::ssize_t>(e.text.size()), "surrogateescape"));
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
    bind_further(m, reader);
    reader.def_property_readonly("ilsw", [](const Tesvarin& t) { return t.get_ilsw(); }, "The ILSW array");
    reader.def_property_readonly("rlsw", [](const Tesvarin& t) { return t.get_rlsw(); }, "The RLSW array");
    bind_thermo(m);
    bind_cube(m);
}
