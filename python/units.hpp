// The binding units of the module Tesvarin_, one per area; bindings.cpp creates the module,
// its classes and its errors, and calls each of these once.
#pragma once

#include <pybind11/pybind11.h>

#include <memory>

#include "tesvarin/parser.hpp"

namespace tesvarin_py {
namespace py = pybind11;
using Params = py::class_<ChkParams>;
using MolClass = py::class_<ChkParams::Mol>;
using Reader = py::class_<Tesvarin, std::unique_ptr<Tesvarin>>;

void bind_records(Params& params, MolClass& mol);        // bind_records.cpp
void bind_views(MolClass& mol);                          // bind_views.cpp
void bind_reader(py::module_& records, Reader& reader);  // bind_reader.cpp; its records go in `records`
}  // namespace tesvarin_py

// Units named for the areas of the file format they expose; `m` is the area's submodule
// (Tesvarin_.records, Tesvarin_.thermo, Tesvarin_.grid), never the module itself.
void bind_further(pybind11::module_& m, tesvarin_py::Reader& reader);  // bind_further.cpp
void bind_thermo(pybind11::module_& m);                                // bind_thermo.cpp
void bind_cube(pybind11::module_& m);                                  // bind_cube.cpp
void bind_overlap(pybind11::module_& m);                               // bind_overlap.cpp
void bind_charges(pybind11::module_& m);                               // bind_charges.cpp
