#pragma once
// Connected segments: the maximal sets of vertices of one label joined through
// ring edges. They are the regions users see, as opposed to the classes.

#include "core/VertexGraph.hpp"

#include <cstdint>
#include <vector>

namespace vornel {

struct Segments {
  std::vector<std::int32_t> ids;    // per vertex, numbered by each segment's first vertex
  std::vector<std::uint32_t> sizes; // per segment, in vertices
  std::vector<std::int32_t> labels; // per segment, the label its vertices share

  std::size_t count() const { return sizes.size(); }
};

/// The segments of labels (one per vertex of graph). The ring adjacency is
/// taken as symmetric, as a mesh's is.
Segments connectedSegments(const VertexGraph& graph, const std::vector<std::int32_t>& labels);

} // namespace vornel
