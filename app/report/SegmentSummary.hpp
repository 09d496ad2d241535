#pragma once
// The report's Segments section: how many connected segments the final labels
// form, how their sizes spread, and the largest of them.

#include "mesh/io/ColouredMeshWriter.hpp"

#include <cstdint>
#include <vector>

namespace vornel {

struct SegmentRow {
  std::int32_t segment = 0;
  std::int32_t label = 0;
  std::int64_t vertices = 0;
  double area = 0.0;      // each facet's area shared equally among its corners
  double meanValue = 0.0; // of the segment's attribute values
};

struct SegmentSummary {
  std::size_t count = 0;
  /// sizeBins[k]: segments of 2^k .. 2^(k+1) - 1 vertices; empty without segments.
  std::vector<std::int64_t> sizeBins;
  /// The largest segments, by decreasing size (ties to the lower id).
  std::vector<SegmentRow> largest;
};

/// Summarises mesh.segments (one id per vertex, ids 0 .. count-1); the
/// summary is empty when the mesh carries no segments.
SegmentSummary summariseSegments(const ColouredMesh& mesh, std::size_t rowCount = 20);

} // namespace vornel
