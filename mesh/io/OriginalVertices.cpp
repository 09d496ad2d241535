#include "mesh/io/OriginalVertices.hpp"

#include <algorithm>

namespace vornel {

void storeValuesOfOriginals(LabeledMesh& mesh, const std::vector<float>& values,
                            const std::vector<std::uint32_t>& originalOf) {
  mesh.attributeMin = 1000.0;
  mesh.attributeMax = -1000.0;
  for (const float value : values) {
    mesh.attributeMin = std::min(mesh.attributeMin, static_cast<double>(value));
    mesh.attributeMax = std::max(mesh.attributeMax, static_cast<double>(value));
  }
  std::size_t k = 0;
  for (auto v = mesh.surface.vertices_begin(); v != mesh.surface.vertices_end(); ++v, ++k) {
    v->attribute = values[originalOf.empty() ? k : originalOf[k]];
  }
}

std::vector<std::int32_t> labelsOfOriginals(const LabeledMesh& mesh, std::size_t originalCount) {
  std::vector<std::int32_t> labels;
  labels.reserve(originalCount);
  for (auto v = mesh.surface.vertices_begin();
       v != mesh.surface.vertices_end() && labels.size() < originalCount; ++v) {
    labels.push_back(v->label);
  }
  return labels;
}

} // namespace vornel
