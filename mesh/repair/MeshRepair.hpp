#pragma once
// Repairing a polygon soup so that the halfedge structure can hold every facet
// it keeps: facets are placed one by one, turned over when only that fits,
// dropped when they still do not fit, and every vertex whose facets form more
// than one fan is split into one copy per fan.

#include "mesh/PolygonSoup.hpp"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vornel {

struct RepairSummary {
  std::size_t splitVertices = 0;  // original vertices split
  std::size_t vertexCopies = 0;   // the pieces they were split into (copies kept included)
  std::size_t reversedFacets = 0; // facets turned over to fit their neighbours
  std::size_t droppedFacets = 0;  // facets that could not be placed

  bool changedAnything() const { return splitVertices + reversedFacets + droppedFacets > 0; }
};

struct RepairedSoup {
  /// The repaired soup: the original points first, in their order, then one
  /// added point per extra fan of a split vertex.
  PolygonSoup soup;
  /// For every point of the repaired soup, the original point it copies
  /// (the identity for the original points).
  std::vector<std::uint32_t> originalOf;
  std::size_t originalCount = 0;
  RepairSummary summary;
};

/// Repairs soup (whose corners are in range). A facet is kept when each of its
/// directed edges is still free (or, turned over, each reversed edge is), and
/// has at least three distinct corners; the fan holding a vertex's first corner
/// in facet order keeps the original vertex. The kept facets keep their order
/// and source lines.
RepairedSoup repairSoup(const PolygonSoup& soup);

/// "repaired <sourceName>: split N vertices into M copies, reversed R facets,
/// dropped F facets".
std::string describeRepair(const RepairSummary& summary, const std::string& sourceName);

} // namespace vornel
