// mean_curvature(), gaussian_curvature() and curvedness(): the measures that
// --compute-attribute feeds a run, on NumPy arrays.

#include "ArrayInput.hpp"
#include "ArrayOutput.hpp"
#include "Bindings.hpp"

#include "mesh/PolygonSoup.hpp"
#include "mesh/curvature/Curvature.hpp"

#include <utility>
#include <vector>

namespace vornel::python {
namespace {

/// The arrays as the curvature code reads them: positions in single
/// precision, as every mesh reader stores them, so that the values equal the
/// ones the command line computes from the same mesh file.
PolygonSoup soupOf(MeshArrays&& mesh) {
  PolygonSoup soup;
  soup.points.reserve(mesh.vertexCount());
  for (std::size_t v = 0; v < mesh.vertexCount(); ++v)
    soup.points.emplace_back(mesh.coordinates[3 * v], mesh.coordinates[3 * v + 1],
                             mesh.coordinates[3 * v + 2]);
  soup.facetOffsets = std::move(mesh.facetOffsets);
  soup.corners = std::move(mesh.corners);
  return soup;
}

py::array_t<double> curvatureFromPython(CurvatureMeasure measure, py::handle vertices,
                                        py::handle faces) {
  const PolygonSoup soup = soupOf(meshFromPython(vertices, faces));
  std::vector<double> values;
  {
    py::gil_scoped_release release;
    values = computeCurvature(measure, soup);
  }
  return arrayOwning(std::move(values));
}

const char* const conventions = R"(
vertices is an (n, 3) array of positions, read in single precision like the
command line's mesh files; faces is an (m, k) integer array or a sequence of
index sequences, counted from 0. Returns a float64 array of n values, one per
vertex; a vertex that no facet of non-zero area touches gets 0. Polygons are
split into fans from their first corner. Raises ValueError or TypeError on
malformed arrays, as segment() does.
)";

const std::string meanDoc = std::string(R"(mean_curvature(vertices, faces) -> numpy.ndarray

The signed mean curvature at each vertex (units 1/length): the cotangent
Laplacian of the positions over the mixed (Voronoi) vertex area, projected on
the angle-weighted vertex normal. Positive where the surface bends away from
the normal: 1/r on a sphere whose facets run counter-clockwise seen from
outside.
)") + conventions;

const std::string gaussianDoc = std::string(R"(gaussian_curvature(vertices, faces) -> numpy.ndarray

The Gaussian curvature at each vertex (units 1/length^2): the angle defect
(2 pi minus the angle sum, pi minus it on the border) over the mixed area.
)") + conventions;

const std::string curvednessDoc = std::string(R"(curvedness(vertices, faces) -> numpy.ndarray

The curvedness sqrt((k1^2 + k2^2) / 2) at each vertex (units 1/length), from
the mean and Gaussian curvatures: large on ridges and valleys alike.
)") + conventions;

} // namespace

void addCurvature(py::module_& module) {
  const auto bind = [&module](const char* name, CurvatureMeasure measure, const std::string& doc) {
    module.def(
        name,
        [measure](py::handle vertices, py::handle faces) {
          return curvatureFromPython(measure, vertices, faces);
        },
        doc.c_str(), py::arg("vertices"), py::arg("faces"));
  };
  bind("mean_curvature", CurvatureMeasure::MeanCurvature, meanDoc);
  bind("gaussian_curvature", CurvatureMeasure::GaussianCurvature, gaussianDoc);
  bind("curvedness", CurvatureMeasure::Curvedness, curvednessDoc);
}

} // namespace vornel::python
