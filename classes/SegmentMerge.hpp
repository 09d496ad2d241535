#pragma once
// Clean-up of the speckles that noise leaves: every segment below a size is
// merged into the neighbouring segment it shares the most edges with.

#include "classes/Segments.hpp"
#include "core/VertexGraph.hpp"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vornel {

struct SegmentMergeSummary {
  std::size_t merged = 0;   // segments below the size that took a neighbour's label
  std::size_t isolated = 0; // segments below the size without any neighbour (separate pieces)
};

/// Relabels labels (one per vertex of graph, segments their segments) so that
/// no segment below minimumSize vertices is left that has a neighbour, and
/// makes segments those of the new labels (numbered by first vertex again). The
/// smallest segment goes first (ties to the lower id) and takes the label of
/// the neighbour with which it shares the most edges; ties go to the larger
/// neighbour, then to the lower label. The segment so joined is considered
/// anew while it is still too small. Segments of that label around it join it
/// too, as they now touch. A separate piece of the mesh with no neighbour
/// stays as it is and is counted. Union-find over the segments and a queue by
/// size, with neighbour lists kept only for segments below the size. A list
/// is read when its segment is the smallest below the size, which then at
/// least doubles: each ring edge is read O(log V) times at most, whatever the
/// size. Nothing changes when minimumSize <= 1.
SegmentMergeSummary mergeSmallSegments(const VertexGraph& graph, Segments& segments,
                                       std::uint32_t minimumSize,
                                       std::vector<std::int32_t>& labels);

} // namespace vornel
