#include "ArrayInput.hpp"

#include <pybind11/numpy.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <type_traits>
#include <utility>

namespace vornel::python {
namespace {

constexpr std::size_t largestCount = std::numeric_limits<std::uint32_t>::max();

std::string shapeText(const py::array& array) {
  std::string text = "(";
  for (py::ssize_t d = 0; d < array.ndim(); ++d)
    text += (d == 0 ? "" : ", ") + std::to_string(array.shape(d));
  return text + (array.ndim() == 1 ? ",)" : ")");
}

std::string dtypeText(const py::array& array) {
  return py::str(array.dtype()).cast<std::string>();
}

/// object as a NumPy array, without a copy when it is one already.
py::array asArray(py::handle object, const char* name) {
  if (py::isinstance<py::array>(object))
    return py::reinterpret_borrow<py::array>(object);
  try {
    return py::module_::import("numpy").attr("asarray")(object);
  } catch (py::error_already_set& error) {
    if (!error.matches(PyExc_ValueError) && !error.matches(PyExc_TypeError))
      throw;
    throw py::value_error(std::string(name) + " cannot be read as an array: " + error.what());
  }
}

bool holdsIntegers(const py::array& array) {
  const char kind = array.dtype().kind();
  return kind == 'i' || kind == 'u';
}

/// A real-valued array: float32 and float64 as they are, other integer and
/// floating types converted to float64.
py::array numberArray(py::handle object, const char* name) {
  py::array array = asArray(object, name);
  const char kind = array.dtype().kind();
  if (kind != 'f' && kind != 'i' && kind != 'u')
    throw py::type_error(std::string(name) + " must hold numbers, got dtype " + dtypeText(array));
  if (py::isinstance<py::array_t<float>>(array) || py::isinstance<py::array_t<double>>(array))
    return array;
  return py::array_t<double, py::array::forcecast>::ensure(array);
}

/// Calls visit(typed view) for the array's integer type; an integer type not
/// listed (another byte order) is converted to int64 first.
template <int Dims, class Visit> void visitIntegers(const py::array& array, Visit&& visit) {
  bool done = false;
  const auto tryType = [&](auto tag) {
    using T = decltype(tag);
    if (!done && py::isinstance<py::array_t<T>>(array)) {
      visit(array.unchecked<T, Dims>());
      done = true;
    }
  };
  tryType(std::int32_t{});
  tryType(std::int64_t{});
  tryType(std::uint32_t{});
  tryType(std::uint64_t{});
  tryType(std::int8_t{});
  tryType(std::int16_t{});
  tryType(std::uint8_t{});
  tryType(std::uint16_t{});
  if (!done) {
    const auto converted = py::array_t<std::int64_t, py::array::forcecast>::ensure(array);
    visit(converted.template unchecked<Dims>());
  }
}

template <class T> bool isNegative(T value) {
  if constexpr (std::is_signed_v<T>)
    return value < 0;
  else
    return false;
}

/// Checks one facet corner; place() names it for the message.
template <class T, class Place>
std::uint32_t vertexIndex(T value, std::size_t vertexCount, Place&& place) {
  if (isNegative(value))
    throw py::value_error(place() + " is " + std::to_string(value) +
                          "; vertex indices count from 0");
  if (static_cast<std::uint64_t>(value) >= vertexCount)
    throw py::value_error(place() + " is " + std::to_string(value) + ", but the mesh has " +
                          std::to_string(vertexCount) + " vertices (indices 0 to " +
                          std::to_string(vertexCount - 1) + ")");
  return static_cast<std::uint32_t>(value);
}

std::string facetPlace(py::ssize_t facet) {
  return "faces[" + std::to_string(facet) + "]";
}

/// The common check, without building any message.
bool cornersAreDistinct(const std::uint32_t* corners, std::size_t count) {
  if (count == 3)
    return corners[0] != corners[1] && corners[1] != corners[2] && corners[0] != corners[2];
  for (std::size_t i = 1; i < count; ++i)
    for (std::size_t j = 0; j < i; ++j)
      if (corners[i] == corners[j])
        return false;
  return true;
}

/// Throws, naming the vertex, when the count corners of facet name one twice.
void checkDistinctCorners(const std::uint32_t* corners, std::size_t count, py::ssize_t facet) {
  if (cornersAreDistinct(corners, count))
    return;
  for (std::size_t i = 1; i < count; ++i)
    if (std::find(corners, corners + i, corners[i]) != corners + i)
      throw py::value_error(facetPlace(facet) + " uses vertex " + std::to_string(corners[i]) +
                            " twice");
}

/// Checks the corners of the facet just appended to a sequence, and closes it.
void closeFacet(MeshArrays& mesh, py::ssize_t facet) {
  const std::uint32_t first = mesh.facetOffsets.back();
  const std::size_t count = mesh.corners.size() - first;
  if (count < 3)
    throw py::value_error(facetPlace(facet) + " has " + std::to_string(count) +
                          " corners; at least 3 are needed");
  checkDistinctCorners(mesh.corners.data() + first, count, facet);
  mesh.facetOffsets.push_back(static_cast<std::uint32_t>(mesh.corners.size()));
}

/// Raises the error of a facet row found faulty: the first corner out of range,
/// or else the first vertex named twice.
template <class View>
[[noreturn]] void rejectFacetRow(const View& view, py::ssize_t f, std::size_t vertexCount) {
  std::vector<std::uint32_t> corners;
  for (py::ssize_t c = 0; c < view.shape(1); ++c) {
    const auto place = [f, c] {
      return "faces[" + std::to_string(f) + ", " + std::to_string(c) + "]";
    };
    corners.push_back(vertexIndex(view(f, c), vertexCount, place));
  }
  checkDistinctCorners(corners.data(), corners.size(), f);
  throw py::value_error(facetPlace(f) + " is faulty"); // one of the checks above has thrown
}

void readFacetArray(const py::array& faces, MeshArrays& mesh) {
  if (faces.ndim() != 2 || faces.shape(1) < 3)
    throw py::value_error("faces must be an (m, k) array with k >= 3 or a sequence of index "
                          "sequences, got an array of shape " +
                          shapeText(faces));
  const std::size_t vertexCount = mesh.vertexCount();
  const auto facetCount = static_cast<std::size_t>(faces.shape(0));
  const auto k = static_cast<std::size_t>(faces.shape(1));
  if (facetCount * k > largestCount)
    throw py::value_error("faces holds more than 2^32 - 1 corners");
  mesh.corners.resize(facetCount * k);
  mesh.facetOffsets.resize(facetCount + 1);
  for (std::size_t f = 0; f <= facetCount; ++f)
    mesh.facetOffsets[f] = static_cast<std::uint32_t>(f * k);
  visitIntegers<2>(faces, [&](const auto& view) {
    std::uint32_t* corner = mesh.corners.data();
    for (py::ssize_t f = 0; f < view.shape(0); ++f, corner += k) {
      bool inRange = true;
      for (py::ssize_t c = 0; c < view.shape(1); ++c) {
        const auto value = view(f, c);
        // A negative index turns into a huge unsigned one: one comparison checks both ends.
        inRange &= static_cast<std::uint64_t>(value) < vertexCount;
        corner[c] = static_cast<std::uint32_t>(value);
      }
      if (!inRange || !cornersAreDistinct(corner, k))
        rejectFacetRow(view, f, vertexCount);
    }
  });
}

/// One facet given as a one-dimensional integer array.
void readFacetVector(const py::array& facet, py::ssize_t f, MeshArrays& mesh) {
  if (!holdsIntegers(facet) || facet.ndim() != 1)
    throw py::type_error(facetPlace(f) +
                         " must be a sequence of vertex indices, got an array of "
                         "dtype " +
                         dtypeText(facet) + " and shape " + shapeText(facet));
  visitIntegers<1>(facet, [&](const auto& view) {
    for (py::ssize_t c = 0; c < view.shape(0); ++c) {
      const auto place = [f, c] { return facetPlace(f) + "[" + std::to_string(c) + "]"; };
      mesh.corners.push_back(vertexIndex(view(c), mesh.vertexCount(), place));
    }
  });
}

/// One facet given as a Python sequence of integers.
void readFacetSequence(py::handle facet, py::ssize_t f, MeshArrays& mesh) {
  if (!py::isinstance<py::iterable>(facet) || py::isinstance<py::str>(facet) ||
      py::isinstance<py::bytes>(facet))
    throw py::type_error(facetPlace(f) + " must be a sequence of vertex indices, got " +
                         py::repr(facet).cast<std::string>());
  py::ssize_t c = 0;
  for (const py::handle corner : facet) {
    const auto place = [f, c] { return facetPlace(f) + "[" + std::to_string(c) + "]"; };
    const py::object index = py::reinterpret_steal<py::object>(PyNumber_Index(corner.ptr()));
    if (!index) {
      PyErr_Clear();
      throw py::type_error(place() + " must be an integer, got " +
                           py::repr(corner).cast<std::string>());
    }
    int overflow = 0;
    const long long value = PyLong_AsLongLongAndOverflow(index.ptr(), &overflow);
    if (overflow != 0)
      throw py::value_error(place() + " is " + py::str(index).cast<std::string>() +
                            ", far beyond the vertices");
    mesh.corners.push_back(vertexIndex(value, mesh.vertexCount(), place));
    ++c;
  }
}

void readFacetList(py::handle faces, MeshArrays& mesh) {
  if (!py::isinstance<py::iterable>(faces) || py::isinstance<py::str>(faces) ||
      py::isinstance<py::bytes>(faces))
    throw py::type_error("faces must be an (m, k) integer array or a sequence of index "
                         "sequences, got " +
                         py::repr(py::type::of(faces)).cast<std::string>());
  py::ssize_t f = 0;
  for (const py::handle facet : faces) {
    if (py::isinstance<py::array>(facet))
      readFacetVector(py::reinterpret_borrow<py::array>(facet), f, mesh);
    else
      readFacetSequence(facet, f, mesh);
    if (mesh.corners.size() > largestCount)
      throw py::value_error("faces holds more than 2^32 - 1 corners");
    closeFacet(mesh, f);
    ++f;
  }
}

/// The mesh readers refuse such a coordinate too: the positions are kept in
/// single precision, and the curvature near it would silently become 0.
[[noreturn]] void rejectCoordinate(double value, py::ssize_t v, py::ssize_t c) {
  const std::string place = "vertices[" + std::to_string(v) + ", " + std::to_string(c) + "]";
  if (!std::isfinite(value))
    throw py::value_error(place + " is " + py::repr(py::float_(value)).cast<std::string>() +
                          ", not a finite number");
  throw py::value_error(place + " is " + py::repr(py::float_(value)).cast<std::string>() +
                        ", beyond the single-precision range of vertex positions");
}

void readVertices(py::handle vertices, MeshArrays& mesh) {
  const py::array array = numberArray(vertices, "vertices");
  if (array.ndim() != 2 || array.shape(1) != 3)
    throw py::value_error("vertices must be an (n, 3) array, got shape " + shapeText(array));
  if (array.shape(0) == 0)
    throw py::value_error("the mesh has no vertices");
  if (static_cast<std::size_t>(array.shape(0)) > largestCount)
    throw py::value_error("vertices holds more than 2^32 - 1 vertices");
  mesh.coordinates.resize(3 * static_cast<std::size_t>(array.shape(0)));
  const auto copy = [&mesh](const auto& view) {
    float* out = mesh.coordinates.data();
    for (py::ssize_t v = 0; v < view.shape(0); ++v)
      for (py::ssize_t c = 0; c < 3; ++c) {
        *out = static_cast<float>(view(v, c));
        if (!std::isfinite(*out))
          rejectCoordinate(static_cast<double>(view(v, c)), v, c);
        ++out;
      }
  };
  if (py::isinstance<py::array_t<float>>(array))
    copy(array.unchecked<float, 2>());
  else
    copy(array.unchecked<double, 2>());
}

} // namespace

MeshArrays meshFromPython(py::handle vertices, py::handle faces) {
  MeshArrays mesh;
  readVertices(vertices, mesh);
  if (py::isinstance<py::array>(faces)) {
    const auto array = py::reinterpret_borrow<py::array>(faces);
    if (holdsIntegers(array)) {
      readFacetArray(array, mesh);
      return mesh;
    }
    if (array.dtype().kind() != 'O')
      throw py::type_error("faces must hold integer vertex indices, got dtype " + dtypeText(array));
  }
  readFacetList(faces, mesh);
  return mesh;
}

std::vector<double> valuesFromPython(py::handle values, const char* name) {
  const py::array array = numberArray(values, name);
  if (array.ndim() != 1)
    throw py::value_error(std::string(name) + " must be a one-dimensional array, got shape " +
                          shapeText(array));
  std::vector<double> result(static_cast<std::size_t>(array.shape(0)));
  const auto copy = [&result](const auto& view) {
    for (py::ssize_t v = 0; v < view.shape(0); ++v)
      result[static_cast<std::size_t>(v)] = static_cast<double>(view(v));
  };
  if (py::isinstance<py::array_t<float>>(array))
    copy(array.unchecked<float, 1>());
  else
    copy(array.unchecked<double, 1>());
  return result;
}

FeatureArray featuresFromPython(py::handle values, const char* name) {
  const py::array array = numberArray(values, name);
  // (n, 1) stays refused as before: one feature is given as (n,).
  if (array.ndim() != 2 || array.shape(1) < 2)
    return {valuesFromPython(array, name), 1, false};
  if (array.shape(1) > std::numeric_limits<int>::max())
    throw py::value_error(std::string(name) + " has too many features, got shape " +
                          shapeText(array));
  FeatureArray result{std::vector<double>(static_cast<std::size_t>(array.size())),
                      static_cast<int>(array.shape(1)), true};
  const auto copy = [&result](const auto& view) {
    std::size_t p = 0;
    for (py::ssize_t v = 0; v < view.shape(0); ++v)
      for (py::ssize_t i = 0; i < view.shape(1); ++i)
        result.values[p++] = static_cast<double>(view(v, i));
  };
  if (py::isinstance<py::array_t<float>>(array))
    copy(array.unchecked<float, 2>());
  else
    copy(array.unchecked<double, 2>());
  return result;
}

std::vector<std::int32_t> labelsFromPython(py::handle labels, std::int32_t classCount) {
  const py::array array = asArray(labels, "labels");
  if (!holdsIntegers(array))
    throw py::type_error("labels must hold integers, got dtype " + dtypeText(array));
  if (array.ndim() != 1 || array.shape(0) == 0)
    throw py::value_error("labels must be a non-empty one-dimensional array, got shape " +
                          shapeText(array));
  std::vector<std::int32_t> result;
  result.reserve(static_cast<std::size_t>(array.shape(0)));
  visitIntegers<1>(array, [&](const auto& view) {
    for (py::ssize_t v = 0; v < view.shape(0); ++v) {
      const auto label = view(v);
      if (isNegative(label) ||
          static_cast<std::uint64_t>(label) >= static_cast<std::uint64_t>(classCount))
        throw py::value_error("labels[" + std::to_string(v) + "] is " + std::to_string(label) +
                              ", outside 0 to " + std::to_string(classCount - 1) + " for " +
                              std::to_string(classCount) + " classes");
      result.push_back(static_cast<std::int32_t>(label));
    }
  });
  return result;
}

} // namespace vornel::python
