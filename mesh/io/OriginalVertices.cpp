#include "mesh/io/OriginalVertices.hpp"

#include "core/Parallel.hpp"

#include <algorithm>
#include <utility>

namespace vornel {

void storeValuesOfOriginals(LabeledMesh& mesh, const std::vector<float>& values,
                            const std::vector<std::uint32_t>& originalOf) {
  // The least and greatest value do not depend on the order they are met in.
  using Range = std::pair<double, double>;
  const Range range = combineBlocks(
      values.size(), Range{1000.0, -1000.0},
      [&](std::size_t begin, std::size_t end) {
        Range part{1000.0, -1000.0};
        for (std::size_t i = begin; i < end; ++i) {
          part.first = std::min(part.first, static_cast<double>(values[i]));
          part.second = std::max(part.second, static_cast<double>(values[i]));
        }
        return part;
      },
      [](Range& total, const Range& part) {
        total.first = std::min(total.first, part.first);
        total.second = std::max(total.second, part.second);
      });
  mesh.attributeMin = range.first;
  mesh.attributeMax = range.second;
  const auto vertices = mesh.surface.vertices_begin();
  forEachBlock(mesh.vertexCount(), [&](std::size_t begin, std::size_t end, std::size_t) {
    for (std::size_t k = begin; k < end; ++k) {
      (vertices + static_cast<std::ptrdiff_t>(k))->attribute =
          values[originalOf.empty() ? k : originalOf[k]];
    }
  });
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
