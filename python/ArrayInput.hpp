#pragma once
// Turning the arrays and sequences a Python caller passes into the flat arrays
// of the library, checking shapes, types and indices on the way. Every problem
// raises a Python exception naming the argument and the element at fault:
// TypeError for something that is not numbers (or not integers where indices
// are wanted), ValueError for a wrong shape or value. Call with the GIL held.

#include "pipeline/SegmentMesh.hpp"

#include <pybind11/pybind11.h>

#include <cstdint>
#include <vector>

namespace vornel::python {

namespace py = pybind11;

/// vertices: (n, 3) numbers; faces: an (m, k) integer array (k >= 3) or a
/// sequence of index sequences, each naming at least three distinct vertices
/// counted from 0. float32 and float64 vertex arrays and integer facet arrays
/// in native byte order are read in place, whatever their layout.
MeshArrays meshFromPython(py::handle vertices, py::handle faces);

/// A one-dimensional array of numbers, as doubles; name is used in messages.
std::vector<double> valuesFromPython(py::handle values, const char* name);

/// Several values per vertex: (n,) numbers give one feature, (n, D) numbers
/// with D >= 2 give D features per vertex, flattened vertex after vertex; any
/// other shape is refused as valuesFromPython refuses it. name is used in messages.
struct FeatureArray {
  std::vector<double> values;
  int featureCount = 1;
  bool twoDimensional = false; // given as (n, D)
};
FeatureArray featuresFromPython(py::handle values, const char* name);

/// A one-dimensional integer array, every entry in 0 .. classCount - 1.
std::vector<std::int32_t> labelsFromPython(py::handle labels, std::int32_t classCount);

} // namespace vornel::python
