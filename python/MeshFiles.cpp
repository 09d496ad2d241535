#include "MeshFiles.hpp"

#include "mesh/Errors.hpp"
#include "mesh/LabeledMesh.hpp"
#include "mesh/PolygonSoup.hpp"
#include "mesh/io/SoupInput.hpp"
#include "mesh/repair/MeshRepair.hpp"

#include <numeric>
#include <utility>

namespace vornel::python {
namespace {

MeshArrays arraysOf(PolygonSoup&& soup) {
  MeshArrays mesh;
  mesh.coordinates.reserve(3 * soup.points.size());
  for (const Point3& p : soup.points)
    mesh.coordinates.insert(mesh.coordinates.end(), {p.x(), p.y(), p.z()});
  mesh.corners = std::move(soup.corners);
  mesh.facetOffsets = std::move(soup.facetOffsets);
  return mesh;
}

/// Builds the soup once to find out whether the halfedge surface can hold it.
void checkBuilds(const PolygonSoup& soup, const std::string& path) {
  LabeledMesh mesh;
  buildSurface(soup, mesh, path);
}

/// A mesh of count vertices without facets: the attribute and label files
/// belong to a mesh's vertices, and only their number matters to them.
LabeledMesh standInMesh(std::size_t count) {
  PolygonSoup soup;
  soup.points.assign(count, Point3(0.0f, 0.0f, 0.0f));
  LabeledMesh mesh;
  buildSurface(soup, mesh, "the vertices");
  return mesh;
}

} // namespace

MeshFileContent loadMesh(const std::string& path, bool repair) {
  PolygonSoup soup = readSoupFile(path);
  MeshFileContent content;
  if (!repair) {
    try {
      checkBuilds(soup, path);
    } catch (const NonManifoldError& error) {
      throw NonManifoldError(std::string(error.what()) +
                             "; read_mesh(..., repair=True) splits non-manifold vertices");
    }
    content.mesh = arraysOf(std::move(soup));
    return content;
  }
  try {
    checkBuilds(soup, path);
    content.originalOf.resize(soup.points.size());
    std::iota(content.originalOf.begin(), content.originalOf.end(), 0u);
    content.mesh = arraysOf(std::move(soup));
    return content;
  } catch (const InvalidInputError&) {
    // repaired below: split vertices, turned or dropped facets
  }
  RepairedSoup repaired = repairSoup(soup);
  checkBuilds(repaired.soup, path);
  content.warnings.push_back(describeRepair(repaired.summary, path));
  content.originalOf = std::move(repaired.originalOf);
  content.mesh = arraysOf(std::move(repaired.soup));
  return content;
}

AttributeFileContent loadAttributes(const std::string& path, std::size_t count) {
  LabeledMesh mesh = standInMesh(count);
  AttributeFileContent content;
  content.extra = mesh.readAttributes(path);
  content.values.reserve(count);
  for (auto v = mesh.surface.vertices_begin(); v != mesh.surface.vertices_end(); ++v)
    content.values.push_back(v->attribute);
  return content;
}

void saveLabels(const std::string& path, const std::vector<std::int32_t>& labels,
                std::int32_t classCount) {
  LabeledMesh mesh = standInMesh(labels.size());
  mesh.classCount = classCount;
  auto label = labels.begin();
  for (auto v = mesh.surface.vertices_begin(); v != mesh.surface.vertices_end(); ++v, ++label)
    v->label = *label;
  mesh.writeLabels(path);
}

} // namespace vornel::python
