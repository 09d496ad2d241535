// Naming the places of a soup in messages, and the one way to build a soup
// into a surface: check it, then build it.

#include "mesh/PolygonSoup.hpp"

#include "mesh/build/SoupValidation.hpp"
#include "mesh/build/SurfaceBuilder.hpp"

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

void buildSurface(PolygonSoup soup, LabeledMesh& mesh, const std::string& sourceName) {
  mesh.surface.clear();
  SoupTopology topology;
  if (const auto problem = findSoupProblem(soup, &topology)) {
    refuseSoup(soup, *problem, sourceName);
  }
  buildValidatedSurface(std::move(soup), std::move(topology), mesh);
}

} // namespace vornel
