// The repair works in two passes. Placing: every directed edge may carry one
// facet, which is what keeps each edge to at most two consistently oriented
// facets. Splitting: the corners at a vertex are joined into fans wherever two
// of them share an edge; each fan beyond the first becomes its own vertex.

#include "mesh/repair/MeshRepair.hpp"

#include <algorithm>
#include <limits>
#include <numeric>
#include <unordered_map>
#include <unordered_set>

namespace vornel {
namespace {

using EdgeKey = std::uint64_t;

EdgeKey edgeKey(std::uint32_t from, std::uint32_t to) {
  return (static_cast<EdgeKey>(from) << 32) | to;
}

bool hasDistinctCorners(const std::uint32_t* first, const std::uint32_t* last, std::size_t points) {
  if (last - first < 3) {
    return false;
  }
  for (const std::uint32_t* c = first; c != last; ++c) {
    if (*c >= points || std::find(first, c, *c) != c) {
      return false;
    }
  }
  return true;
}

bool edgesFree(const std::vector<std::uint32_t>& facet,
               const std::unordered_set<EdgeKey>& usedEdges) {
  for (std::size_t i = 0; i < facet.size(); ++i) {
    if (usedEdges.count(edgeKey(facet[i], facet[(i + 1) % facet.size()])) != 0) {
      return false;
    }
  }
  return true;
}

/// Keeps the facets that fit, turned over where needed, in their order.
PolygonSoup placeFacets(const PolygonSoup& soup, RepairSummary& summary) {
  PolygonSoup placed;
  std::unordered_set<EdgeKey> usedEdges;
  usedEdges.reserve(soup.corners.size());
  std::vector<std::uint32_t> facet;
  for (std::size_t f = 0; f < soup.facetCount(); ++f) {
    const std::uint32_t* const first = soup.corners.data() + soup.facetOffsets[f];
    const std::uint32_t* const last = soup.corners.data() + soup.facetOffsets[f + 1];
    facet.assign(first, last);
    bool fits = hasDistinctCorners(first, last, soup.points.size());
    if (fits && !edgesFree(facet, usedEdges)) {
      std::reverse(facet.begin(), facet.end());
      fits = edgesFree(facet, usedEdges);
      summary.reversedFacets += fits ? 1 : 0;
    }
    if (!fits) {
      ++summary.droppedFacets;
      continue;
    }
    for (std::size_t i = 0; i < facet.size(); ++i) {
      usedEdges.insert(edgeKey(facet[i], facet[(i + 1) % facet.size()]));
    }
    placed.corners.insert(placed.corners.end(), facet.begin(), facet.end());
    placed.facetOffsets.push_back(static_cast<std::uint32_t>(placed.corners.size()));
    if (f < soup.facetLines.size()) {
      placed.facetLines.push_back(soup.facetLines[f]);
    }
  }
  return placed;
}

class CornerSets {
public:
  explicit CornerSets(std::size_t count) : parent_(count) {
    std::iota(parent_.begin(), parent_.end(), std::uint32_t{0});
  }
  std::uint32_t find(std::uint32_t corner) {
    while (parent_[corner] != corner) {
      parent_[corner] = parent_[parent_[corner]];
      corner = parent_[corner];
    }
    return corner;
  }
  void join(std::uint32_t a, std::uint32_t b) {
    a = find(a);
    b = find(b);
    if (a != b) {
      parent_[std::max(a, b)] = std::min(a, b);
    }
  }

private:
  std::vector<std::uint32_t> parent_;
};

/// Joins each corner with the corner of the neighbouring facet across the
/// edge that enters it: both sit at the same vertex and in the same fan.
CornerSets joinFans(const PolygonSoup& placed) {
  const std::size_t cornerCount = placed.corners.size();
  std::vector<std::uint32_t> previous(cornerCount);
  std::unordered_map<EdgeKey, std::uint32_t> cornerLeaving; // edge v -> next: the corner at v
  cornerLeaving.reserve(cornerCount);
  for (std::size_t f = 0; f < placed.facetCount(); ++f) {
    const std::uint32_t begin = placed.facetOffsets[f];
    const std::uint32_t end = placed.facetOffsets[f + 1];
    for (std::uint32_t k = begin; k < end; ++k) {
      const std::uint32_t next = k + 1 == end ? begin : k + 1;
      previous[next] = placed.corners[k];
      cornerLeaving.emplace(edgeKey(placed.corners[k], placed.corners[next]), k);
    }
  }
  CornerSets fans(cornerCount);
  for (std::uint32_t k = 0; k < cornerCount; ++k) {
    const auto across = cornerLeaving.find(edgeKey(placed.corners[k], previous[k]));
    if (across != cornerLeaving.end()) {
      fans.join(k, across->second);
    }
  }
  return fans;
}

/// Gives each fan its own vertex: the first fan met keeps the original.
void splitFans(const PolygonSoup& soup, RepairedSoup& result) {
  PolygonSoup& placed = result.soup;
  CornerSets fans = joinFans(placed);
  constexpr std::uint32_t none = std::numeric_limits<std::uint32_t>::max();
  std::vector<std::uint32_t> vertexOfFan(placed.corners.size(), none);
  std::vector<std::uint32_t> extraFans(soup.points.size(), 0);
  std::vector<bool> taken(soup.points.size(), false);
  for (std::uint32_t k = 0; k < placed.corners.size(); ++k) {
    const std::uint32_t fan = fans.find(k);
    const std::uint32_t original = placed.corners[k];
    if (vertexOfFan[fan] == none) {
      if (!taken[original]) {
        taken[original] = true;
        vertexOfFan[fan] = original;
      } else {
        vertexOfFan[fan] = static_cast<std::uint32_t>(placed.points.size());
        placed.points.push_back(soup.points[original]);
        result.originalOf.push_back(original);
        ++extraFans[original];
      }
    }
    placed.corners[k] = vertexOfFan[fan];
  }
  for (const std::uint32_t extra : extraFans) {
    if (extra > 0) {
      ++result.summary.splitVertices;
      result.summary.vertexCopies += extra + 1;
    }
  }
}

std::string counted(std::size_t count, const char* singular, const char* plural) {
  return std::to_string(count) + " " + (count == 1 ? singular : plural);
}

} // namespace

RepairedSoup repairSoup(const PolygonSoup& soup) {
  RepairedSoup result;
  result.originalCount = soup.points.size();
  result.soup = placeFacets(soup, result.summary);
  result.soup.points = soup.points;
  result.originalOf.resize(soup.points.size());
  std::iota(result.originalOf.begin(), result.originalOf.end(), std::uint32_t{0});
  splitFans(soup, result);
  return result;
}

std::string describeRepair(const RepairSummary& summary, const std::string& sourceName) {
  return "repaired " + sourceName + ": split " +
         counted(summary.splitVertices, "vertex", "vertices") + " into " +
         counted(summary.vertexCopies, "copy", "copies") + ", reversed " +
         counted(summary.reversedFacets, "facet", "facets") + ", dropped " +
         counted(summary.droppedFacets, "facet", "facets");
}

} // namespace vornel
