#pragma once
// What segment() and segment_file() share: the segmentation's arguments
// checked into the options, and the result as a vornel.Segmentation.

#include "pipeline/Segmentation.hpp"

#include <pybind11/pybind11.h>

namespace vornel::python {

namespace py = pybind11;

/// classes, filter_passes, sweeps, seed, refine, temperature, cooling,
/// min_segment_size and threads, checked as segment() documents them.
SegmentationOptions segmentationOptionsFrom(py::handle classes, py::handle filterPasses,
                                            py::handle sweeps, py::handle seed, bool refine,
                                            py::handle temperature, py::handle cooling,
                                            py::handle minSegmentSize, py::handle threads);

/// The result as a vornel.Segmentation, its arrays taking the vectors over.
py::object segmentationObject(SegmentationResult&& result);

} // namespace vornel::python
