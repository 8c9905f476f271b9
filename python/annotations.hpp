// Types that only name what a binding takes or returns, so that the signatures (and the
// stubs that tools/make_stubs.py generates from them) say it. At run time each is the
// plain Python object: a binding converts exactly as it did with py::object.
#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <pybind11/typing.h>

#include <complex>
#include <vector>

namespace tesvarin_py {
namespace py = pybind11;

// Any object passes; the binding itself checks it, with its own message.
inline bool any_object(PyObject*) { return true; }

// A file name as os.fsencode takes it.
class PathArg : public py::object {
    PYBIND11_OBJECT_DEFAULT(PathArg, object, any_object)
};

// A density kind, 0..8 or a name.
class DensityKind : public py::object {
    PYBIND11_OBJECT_DEFAULT(DensityKind, object, any_object)
};

// Reals given as any sequence NumPy can read (an array, a list), converted as a list of float.
struct Reals {
    std::vector<double> values;
};

template <typename T>
using Optional = py::typing::Optional<T>;
using RealOrComplex = py::typing::Union<py::array_t<double>, py::array_t<std::complex<double>>>;
}  // namespace tesvarin_py

namespace pybind11::detail {
template <>
struct handle_type_name<tesvarin_py::PathArg> {
    static constexpr auto name = const_name("str | bytes | bytearray | os.PathLike[str] | os.PathLike[bytes]");
};
template <>
struct handle_type_name<tesvarin_py::DensityKind> {
    static constexpr auto name = const_name("int | str");
};
template <>
struct type_caster<tesvarin_py::Reals> {
    PYBIND11_TYPE_CASTER(tesvarin_py::Reals, const_name("numpy.typing.ArrayLike"));
    bool load(handle src, bool convert) {
        make_caster<std::vector<double>> list;
        if (!list.load(src, convert)) return false;
        value.values = cast_op<std::vector<double>&&>(std::move(list));
        return true;
    }
};
}  // namespace pybind11::detail
