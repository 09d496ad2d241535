#include "classes/Segments.hpp"

#include "core/Errors.hpp"

#include <string>

namespace vornel {

Segments connectedSegments(const VertexGraph& graph, const std::vector<std::int32_t>& labels) {
  const std::size_t vertexCount = graph.vertexCount();
  if (labels.size() != vertexCount)
    throw InvalidInputError("the label array holds " + std::to_string(labels.size()) +
                            " labels; the mesh has " + std::to_string(vertexCount) + " vertices");
  Segments segments;
  segments.ids.assign(vertexCount, -1);
  std::vector<std::uint32_t> queue;
  queue.reserve(vertexCount);
  for (std::size_t start = 0; start < vertexCount; ++start) {
    if (segments.ids[start] >= 0)
      continue;
    const auto id = static_cast<std::int32_t>(segments.sizes.size());
    const std::int32_t label = labels[start];
    // The queue only grows: the vertices of earlier segments stay in front.
    const std::size_t first = queue.size();
    queue.push_back(static_cast<std::uint32_t>(start));
    segments.ids[start] = id;
    for (std::size_t next = first; next < queue.size(); ++next) {
      const std::uint32_t v = queue[next];
      for (std::uint32_t j = graph.ringBegin(v); j < graph.ringEnd(v); ++j) {
        const std::uint32_t n = graph.neighbours[j];
        if (segments.ids[n] < 0 && labels[n] == label) {
          segments.ids[n] = id;
          queue.push_back(n);
        }
      }
    }
    segments.sizes.push_back(static_cast<std::uint32_t>(queue.size() - first));
    segments.labels.push_back(label);
  }
  return segments;
}

} // namespace vornel
