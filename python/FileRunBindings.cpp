// segment_file(): the command line's whole run on one mesh file, through the
// same run on files, with the GIL released; the Segmentation and the paths it
// wrote out.

#include "Bindings.hpp"
#include "ExceptionTranslation.hpp"
#include "PythonProgress.hpp"
#include "SegmentationConversion.hpp"

#include "core/Errors.hpp"
#include "mesh/curvature/CurvatureMeasure.hpp"
#include "pipeline/FileRun.hpp"

#include <pybind11/stl.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vornel::python {
namespace {

/// A path argument (str or os.PathLike) as a string; empty for None.
std::string pathArgument(py::handle value, const std::string& name) {
  if (value.is_none())
    return {};
  const py::object path = py::module_::import("os").attr("fspath")(value);
  if (!py::isinstance<py::str>(path))
    throw py::type_error(name + " must be a str or os.PathLike path, got " +
                         py::repr(value).cast<std::string>());
  std::string text = path.cast<std::string>();
  if (text.empty())
    throw py::value_error(name + " must not be empty");
  return text;
}

/// A text argument; empty for None.
std::string textArgument(py::handle value, const std::string& name) {
  if (value.is_none())
    return {};
  if (!py::isinstance<py::str>(value))
    throw py::type_error(name + " must be a str or None, got " +
                         py::repr(value).cast<std::string>());
  std::string text = value.cast<std::string>();
  if (text.empty())
    throw py::value_error(name + " must not be empty");
  return text;
}

std::optional<CurvatureMeasure> measureArgument(py::handle value) {
  if (value.is_none())
    return std::nullopt;
  try {
    return parseCurvatureMeasure(textArgument(value, "compute_attribute"));
  } catch (const UnknownNameError& error) {
    throw py::value_error(error.what());
  }
}

/// The run, the GIL released; a missing mesh as FileNotFoundError.
FileRunResult runReleased(const RunOptions& options, std::vector<std::string>& warnings) {
  const WarningSink collect = [&warnings](const std::string& line) { warnings.push_back(line); };
  try {
    py::gil_scoped_release release;
    return runOnFiles(options, collect);
  } catch (const MissingMeshError& error) {
    raiseFileError(error.what(), error.path, FileUse::Read);
  }
}

/// The file-level settings, checked as the command line checks its options.
struct FileArguments {
  py::handle attributeFile, attributeProperty, computeAttribute, labelsFile, colourMesh,
      segmentsFile, report;
  bool repair = false;
};

/// The features the keywords name, as the command line's options would: a
/// computed measure with attribute_file writes its values there (the pair
/// --compute-attribute M --attribute-file F); otherwise the file, then the
/// property, then the measure, each one feature.
void addFeatureSources(const FileArguments& files, std::vector<FeatureSource>& features) {
  const std::string attributeFile = pathArgument(files.attributeFile, "attribute_file");
  const std::string property = textArgument(files.attributeProperty, "attribute_property");
  const std::optional<CurvatureMeasure> measure = measureArgument(files.computeAttribute);
  if (!attributeFile.empty() && !measure)
    features.push_back({FeatureSource::Kind::File, attributeFile});
  if (!property.empty())
    features.push_back({FeatureSource::Kind::VertexProperty, property});
  if (measure)
    features.push_back({FeatureSource::Kind::Computed, attributeFile, *measure});
}

RunOptions runOptionsFrom(py::handle path, SegmentationOptions segmentation,
                          const FileArguments& files) {
  RunOptions options;
  options.meshPath = pathArgument(path, "path");
  options.segmentation = std::move(segmentation);
  addFeatureSources(files, options.features);
  options.labelFilePath = pathArgument(files.labelsFile, "labels_file");
  options.colourMeshPath = pathArgument(files.colourMesh, "colour_mesh");
  options.segmentsPath = pathArgument(files.segmentsFile, "segments_file");
  options.reportPath = pathArgument(files.report, "report");
  options.repair = files.repair;
  return options;
}

py::tuple segmentFileFromPython(py::handle path, py::handle classes, py::handle filterPasses,
                                py::handle sweeps, py::handle seed, bool refine,
                                py::handle temperature, py::handle cooling,
                                py::handle minSegmentSize, py::handle threads,
                                py::handle attributeFile, py::handle attributeProperty,
                                py::handle computeAttribute, py::handle labelsFile,
                                py::handle colourMesh, py::handle segmentsFile, py::handle report,
                                bool repair, py::handle progress) {
  SegmentationOptions segmentation = segmentationOptionsFrom(
      classes, filterPasses, sweeps, seed, refine, temperature, cooling, minSegmentSize, threads);
  const PythonProgress shown(progress);
  segmentation.progress = shown.sink();
  const RunOptions options = runOptionsFrom(path, std::move(segmentation),
                                            {attributeFile, attributeProperty, computeAttribute,
                                             labelsFile, colourMesh, segmentsFile, report, repair});
  std::vector<std::string> warnings;
  FileRunResult result = runReleased(options, warnings);
  // Every warning of the run reached the sink, the segmentation's among them.
  result.segmentation.warnings = std::move(warnings);
  return py::make_tuple(segmentationObject(std::move(result.segmentation)),
                        py::cast(result.writtenPaths));
}

const char* const segmentFileDoc =
    R"(segment_file(path, classes, filter_passes=3, sweeps=50, *, seed=None, refine=False, temperature=None, cooling=None, min_segment_size=0, threads=None, attribute_file=None, attribute_property=None, compute_attribute=None, labels_file=None, colour_mesh=None, segments_file=None, report=None, repair=False, progress=None) -> tuple[vornel.Segmentation, list[str]]

Run the command line's whole run on one mesh file.

`vornel.segment_file("mesh.obj", 3, 3, 50, seed=7)` does what
`vornel mesh.obj 3 3 50 --seed 7` does, through the same code: it reads the
mesh (OBJ, OFF, PLY or STL) and its values, segments, and writes the label
file and every other output asked for, byte for byte as the command line
writes them, with its rules: every path is checked before anything is
computed, the outputs are written all or nothing, and none ever replaces an
input. The GIL is released while the run goes, so that threads can segment
several files at once.

Parameters
----------
path : str or os.PathLike
    The mesh file. Its companions are named after it: the values are read
    from <base>_attribute.att and the labels written to <base>_labels.lb,
    base being the path up to the last dot of the file name.
classes, filter_passes, sweeps, seed, refine, temperature, cooling, min_segment_size, threads
    As for segment().
attribute_file : path or None
    --attribute-file: read the values from here (with compute_attribute:
    write the computed values here; it must not exist yet).
attribute_property : str or None
    --attribute-property: take the values from this vertex property of a PLY
    mesh.
compute_attribute : str or None
    --compute-attribute: "mean-curvature", "gaussian-curvature" or
    "curvedness", computed from the mesh (and written to <base>_attribute.att
    unless it exists).
labels_file : path or None
    --labels-file: write the labels here instead of <base>_labels.lb.
colour_mesh : path or None
    --colour-mesh: also write the mesh coloured by class (.ply or .off).
segments_file : path or None
    --segments: also write the connected segments in the label file's format.
report : path or None
    --report: also write the HTML report of the run (.html or .htm).
repair : bool, optional
    --repair: split non-manifold vertices instead of refusing the mesh.
progress : None, bool or callable, optional
    As for segment().

Returns
-------
(Segmentation, list of str)
    The segmentation of the mesh file's vertices (what the label file holds,
    with the run's warnings) and the paths written, the label file first.

Raises
------
FileNotFoundError
    The mesh file does not exist.
ValueError
    What the command line refuses with a message: a mesh or value file it
    cannot use, options that contradict each other, an output path that is
    an input or another output, an argument out of range.
OSError
    A file that cannot be read or written. No output is written then.)";

} // namespace

void addFileRun(py::module_& module) {
  module.def("segment_file", &segmentFileFromPython, segmentFileDoc, py::arg("path"),
             py::arg("classes"), py::arg("filter_passes") = 3, py::arg("sweeps") = 50,
             py::kw_only(), py::arg("seed") = py::none(), py::arg("refine") = false,
             py::arg("temperature") = py::none(), py::arg("cooling") = py::none(),
             py::arg("min_segment_size") = 0, py::arg("threads") = py::none(),
             py::arg("attribute_file") = py::none(), py::arg("attribute_property") = py::none(),
             py::arg("compute_attribute") = py::none(), py::arg("labels_file") = py::none(),
             py::arg("colour_mesh") = py::none(), py::arg("segments_file") = py::none(),
             py::arg("report") = py::none(), py::arg("repair") = false,
             py::arg("progress") = py::none());
}

} // namespace vornel::python
