#include "app/report/SegmentColours.hpp"

#include <algorithm>
#include <utility>

namespace vornel {

namespace {

/// The segments each segment meets across a facet edge, as sorted lists.
std::vector<std::vector<std::uint32_t>> segmentNeighbours(const ColouredMesh& mesh,
                                                          std::size_t count) {
  std::vector<std::vector<std::uint32_t>> neighbours(count);
  for (std::size_t f = 0; f < mesh.facetCount(); ++f) {
    const std::uint32_t first = mesh.facetOffsets[f], end = mesh.facetOffsets[f + 1];
    for (std::uint32_t k = first; k < end; ++k) {
      const std::uint32_t next = k + 1 < end ? k + 1 : first;
      const auto a = static_cast<std::uint32_t>(mesh.segments[mesh.corners[k]]);
      const auto b = static_cast<std::uint32_t>(mesh.segments[mesh.corners[next]]);
      if (a != b) {
        neighbours[a].push_back(b);
        neighbours[b].push_back(a);
      }
    }
  }
  for (std::vector<std::uint32_t>& list : neighbours) {
    std::sort(list.begin(), list.end());
    list.erase(std::unique(list.begin(), list.end()), list.end());
  }
  return neighbours;
}

} // namespace

std::vector<std::uint32_t> segmentColours(const ColouredMesh& mesh) {
  if (mesh.segments.empty())
    return {};
  const auto count =
      static_cast<std::size_t>(*std::max_element(mesh.segments.begin(), mesh.segments.end()) + 1);
  const std::vector<std::vector<std::uint32_t>> neighbours = segmentNeighbours(mesh, count);
  std::vector<std::uint32_t> colours(count, 0);
  std::vector<std::size_t> usedBy; // colour -> the last segment that found it on a neighbour
  for (std::size_t s = 0; s < count; ++s) {
    for (const std::uint32_t other : neighbours[s]) {
      if (other >= s)
        break; // coloured later
      if (colours[other] >= usedBy.size())
        usedBy.resize(colours[other] + 1, count);
      usedBy[colours[other]] = s;
    }
    std::uint32_t colour = 0;
    while (colour < usedBy.size() && usedBy[colour] == s)
      ++colour;
    colours[s] = colour;
  }
  return colours;
}

} // namespace vornel
