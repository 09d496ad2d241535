// read_mesh(), read_attribute() and write_labels(): the command line's files,
// read and written by its own code, with the GIL released while they run.

#include "Arguments.hpp"
#include "ArrayInput.hpp"
#include "Bindings.hpp"
#include "ExceptionTranslation.hpp"
#include "MeshFiles.hpp"

#include "core/Errors.hpp"

#include <pybind11/numpy.h>
#include <pybind11/stl/filesystem.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace vornel::python {
namespace {

void warn(const std::string& message) {
  if (PyErr_WarnEx(PyExc_UserWarning, message.c_str(), 1) != 0)
    throw py::error_already_set();
}

py::array_t<double> verticesOf(const MeshArrays& mesh) {
  py::array_t<double> vertices({static_cast<py::ssize_t>(mesh.vertexCount()), py::ssize_t{3}});
  std::copy(mesh.coordinates.begin(), mesh.coordinates.end(), vertices.mutable_data());
  return vertices;
}

/// An (m, k) array when every facet has k corners, else a list of arrays.
py::object facesOf(const MeshArrays& mesh) {
  const std::vector<std::uint32_t>& offsets = mesh.facetOffsets;
  const std::size_t facetCount = mesh.facetCount();
  const std::uint32_t k = facetCount == 0 ? 3 : offsets[1] - offsets[0];
  bool uniform = true;
  for (std::size_t f = 0; f < facetCount && uniform; ++f)
    uniform = offsets[f + 1] - offsets[f] == k;
  if (uniform) {
    py::array_t<std::int64_t> faces(
        {static_cast<py::ssize_t>(facetCount), static_cast<py::ssize_t>(k)});
    std::copy(mesh.corners.begin(), mesh.corners.end(), faces.mutable_data());
    return std::move(faces);
  }
  py::list faces(facetCount);
  for (std::size_t f = 0; f < facetCount; ++f) {
    py::array_t<std::int64_t> facet(static_cast<py::ssize_t>(offsets[f + 1] - offsets[f]));
    std::copy(mesh.corners.begin() + offsets[f], mesh.corners.begin() + offsets[f + 1],
              facet.mutable_data());
    faces[f] = std::move(facet);
  }
  return std::move(faces);
}

py::tuple readMesh(const std::filesystem::path& file, bool repair) {
  const std::string path = file.string();
  MeshFileContent content;
  try {
    py::gil_scoped_release release;
    content = loadMesh(path, repair);
  } catch (const IOError& error) {
    raiseFileError(error.what(), path, FileUse::Read);
  }
  for (const std::string& warning : content.warnings)
    warn(warning);
  py::array_t<double> vertices = verticesOf(content.mesh);
  py::object faces = facesOf(content.mesh);
  if (!repair)
    return py::make_tuple(std::move(vertices), std::move(faces));
  py::array_t<std::int64_t> originals(static_cast<py::ssize_t>(content.originalOf.size()));
  std::copy(content.originalOf.begin(), content.originalOf.end(), originals.mutable_data());
  return py::make_tuple(std::move(vertices), std::move(faces), std::move(originals));
}

py::array_t<double> readAttribute(const std::filesystem::path& file, py::handle count) {
  const std::string path = file.string();
  const auto wanted = static_cast<std::size_t>(
      integerArgument(count, "count", 1, std::numeric_limits<std::uint32_t>::max()));
  AttributeFileContent content;
  try {
    py::gil_scoped_release release;
    content = loadAttributes(path, wanted);
  } catch (const IOError& error) {
    raiseFileError(error.what(), path, FileUse::Read);
  }
  if (content.extra != 0)
    warn(path + " holds " + std::to_string(content.extra) + " more values than the " +
         std::to_string(wanted) + " asked for; they are ignored");
  py::array_t<double> values(static_cast<py::ssize_t>(content.values.size()));
  std::copy(content.values.begin(), content.values.end(), values.mutable_data());
  return values;
}

void writeLabels(const std::filesystem::path& file, py::handle labels, py::handle classes) {
  const std::string path = file.string();
  const std::int32_t classCount = classCountArgument(classes);
  const std::vector<std::int32_t> checked = labelsFromPython(labels, classCount);
  try {
    py::gil_scoped_release release;
    saveLabels(path, checked, classCount);
  } catch (const IOError& error) {
    raiseFileError(error.what(), path, FileUse::Write);
  }
}

const char* const readMeshDoc = R"(read_mesh(path, *, repair=False) -> tuple

Read a mesh file with the readers of the command line.

The format follows the name as on the command line: a name ending in .ply
(any letter case) is PLY (ASCII or binary), one ending in .stl is STL (binary
or ASCII), one whose last three characters are "obj" (any letter case) is
Wavefront OBJ, every other name is OFF. OBJ and PLY keep every vertex; OFF
keeps only the vertices some facet uses, in file order; STL welds corners
with equal coordinates into one vertex, numbered by first appearance; so
that the attribute file lines up the same way. The mesh is checked
as the command line checks it before segmenting.

Parameters
----------
path : str or os.PathLike
    The mesh file.
repair : bool, optional
    Split non-manifold vertices (and drop facets that cannot be placed)
    instead of refusing the mesh, as the command line's --repair does; a
    UserWarning says what changed.

Returns
-------
(vertices, faces), or with repair=True (vertices, faces, original)
    vertices: float64 array of shape (n, 3). faces: an int64 array of shape
    (m, k) when every facet has k corners, otherwise a list of int64 arrays,
    one per facet; indices count from 0. original (repair=True only): int64
    array of shape (n,), the file's vertex each vertex copies (the identity
    when nothing needed repair). The split copies follow the file's vertices,
    so values[original] gives every vertex the value of its file vertex, and
    labels[:len(file vertices)] are the labels the command line writes.

Raises
------
FileNotFoundError, PermissionError, IsADirectoryError, OSError
    The file cannot be read.
ValueError
    The file is not a valid mesh; the message names the file and line.)";

const char* const readAttributeDoc = R"(read_attribute(path, count) -> numpy.ndarray

Read the first `count` values of an attribute file, as the command line does.

The values are numbers separated by any white space, each rounded to single
precision (and returned as float64). Values beyond the first `count` are
ignored with a UserWarning.

Parameters
----------
path : str or os.PathLike
    The attribute file.
count : int
    The number of values wanted (the vertex count), at least 1.

Returns
-------
numpy.ndarray
    float64 array of shape (count,).

Raises
------
FileNotFoundError, PermissionError, IsADirectoryError, OSError
    The file cannot be read.
ValueError
    A token that is not a finite number, or fewer than `count` values; the
    message names the file, line and value.)";

const char* const writeLabelsDoc = R"(write_labels(path, labels, classes) -> None

Write a label file exactly as the command line writes it.

The file holds the class count, then every label, each number followed by a
space and a tab, with no line feed. It is written to a temporary file next to
path and renamed over it only when complete, so a failed write leaves no
partial file and an existing file untouched; a replaced file keeps its mode.
A character device or a named pipe (/dev/null, a FIFO) is written into, never
replaced; a pipe that no process reads is an OSError, not a wait.

Parameters
----------
path : str or os.PathLike
    The label file.
labels : (n,) integer array-like
    One label per vertex, each in 0 .. classes - 1.
classes : int
    The class count, 1 to 256.

Raises
------
FileNotFoundError, PermissionError, IsADirectoryError, OSError
    The file cannot be written.
ValueError
    classes outside 1 to 256, no labels, a label outside 0 .. classes - 1, or
    a path that is neither a regular file, a character device nor a pipe.
TypeError
    labels that are not integers.)";

} // namespace

void addFiles(py::module_& module) {
  module.def("read_mesh", &readMesh, readMeshDoc, py::arg("path"), py::kw_only(),
             py::arg("repair") = false);
  module.def("read_attribute", &readAttribute, readAttributeDoc, py::arg("path"), py::arg("count"));
  module.def("write_labels", &writeLabels, writeLabelsDoc, py::arg("path"), py::arg("labels"),
             py::arg("classes"));
}

} // namespace vornel::python
