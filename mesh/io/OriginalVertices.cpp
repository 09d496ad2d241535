// Both files go through a stand-in mesh holding only the original vertices, so
// that they follow exactly the rules of the ordinary attribute and label files.

#include "mesh/io/OriginalVertices.hpp"

#include "mesh/PolygonSoup.hpp"

namespace vornel {
namespace {

/// A mesh of the first count vertices of mesh, without facets.
LabeledMesh originalsOf(const LabeledMesh& mesh, std::size_t count) {
  PolygonSoup soup;
  soup.points.reserve(count);
  for (auto v = mesh.surface.vertices_begin();
       v != mesh.surface.vertices_end() && soup.points.size() < count; ++v) {
    soup.points.push_back(v->point());
  }
  LabeledMesh originals;
  buildSurface(soup, originals, "original vertices");
  return originals;
}

} // namespace

std::size_t readAttributesOfOriginals(LabeledMesh& mesh, std::size_t originalCount,
                                      const std::vector<std::uint32_t>& originalOf,
                                      const std::string& path) {
  LabeledMesh originals = originalsOf(mesh, originalCount);
  const std::size_t extra = originals.readAttributes(path);
  std::vector<double> values;
  values.reserve(originalCount);
  for (auto v = originals.surface.vertices_begin(); v != originals.surface.vertices_end(); ++v) {
    values.push_back(v->attribute);
  }
  std::size_t k = 0;
  for (auto v = mesh.surface.vertices_begin(); v != mesh.surface.vertices_end(); ++v, ++k) {
    v->attribute = values[originalOf[k]];
  }
  mesh.attributeMin = originals.attributeMin;
  mesh.attributeMax = originals.attributeMax;
  return extra;
}

void writeLabelsOfOriginals(const LabeledMesh& mesh, std::size_t originalCount,
                            const std::string& path) {
  LabeledMesh originals = originalsOf(mesh, originalCount);
  originals.classCount = mesh.classCount;
  auto source = mesh.surface.vertices_begin();
  for (auto v = originals.surface.vertices_begin(); v != originals.surface.vertices_end();
       ++v, ++source) {
    v->label = source->label;
  }
  originals.writeLabels(path);
}

} // namespace vornel
