// Read-only NumPy arrays over the reader's own storage: no copy, whatever the size.
// The array's base is the Python object that owns the storage (a record view that
// keeps the reader alive), so a view never dangles.
#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace tesvarin_py {
namespace py = pybind11;

// A read-only array over `data` (row-major) whose base is `owner`.
template <typename T>
py::array_t<T> view(py::handle owner, const T* data, std::vector<py::ssize_t> shape) {
    py::array_t<T> out(std::move(shape), data, owner);
    py::detail::array_proxy(out.ptr())->flags &= ~py::detail::npy_api::NPY_ARRAY_WRITEABLE_;
    return out;
}

template <typename T, typename Alloc>
py::array_t<T> view_1d(py::handle owner, const std::vector<T, Alloc>& v) {
    return view(owner, v.data(), {static_cast<py::ssize_t>(v.size())});
}

// The first `count` entries of `v` (fewer when it holds fewer), as (count, width).
template <typename T>
py::array_t<T> view_rows(py::handle owner, const std::vector<T>& v, int64_t count, py::ssize_t width) {
    const auto rows = std::clamp<int64_t>(count, 0, static_cast<int64_t>(v.size()) / width);
    std::vector<py::ssize_t> shape{static_cast<py::ssize_t>(rows)};
    if (width > 1) shape.push_back(width);
    return view(owner, v.data(), shape);
}

}  // namespace tesvarin_py
