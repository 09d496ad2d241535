// Naming the places of a soup in messages.

#include "mesh/PolygonSoup.hpp"

namespace vornel {

std::string PolygonSoup::facetPlace(std::size_t facet, const std::string& sourceName) const {
  if (facet < facetLines.size()) {
    return sourceName + ":" + std::to_string(facetLines[facet]) + ": facet";
  }
  return sourceName + ": facet " + std::to_string(facet + 1);
}

std::string PolygonSoup::vertexName(std::uint32_t vertex) const {
  return std::to_string(static_cast<std::uint64_t>(vertex) + firstVertexNumber);
}

} // namespace vornel
