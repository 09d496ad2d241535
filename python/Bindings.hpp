#pragma once
// The parts of the vornel Python module, each adding its functions and
// classes to the module object.

#include <pybind11/pybind11.h>

namespace vornel::python {

namespace py = pybind11;

/// segment() and its result classes.
void addSegmentation(py::module_& module);

/// segment_file(): the command line's whole run on a mesh file.
void addFileRun(py::module_& module);

/// read_mesh(), read_attribute() and write_labels().
void addFiles(py::module_& module);

/// mean_curvature(), gaussian_curvature() and curvedness().
void addCurvature(py::module_& module);

} // namespace vornel::python
