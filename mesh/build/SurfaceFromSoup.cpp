#include "mesh/build/SurfaceFromSoup.hpp"

#include "mesh/build/SoupValidation.hpp"
#include "mesh/build/SurfaceBuilder.hpp"

namespace vornel {

void buildSurface(PolygonSoup soup, LabeledMesh& mesh, const std::string& sourceName) {
  mesh.surface.clear();
  SoupTopology topology;
  if (const auto problem = findSoupProblem(soup, &topology)) {
    refuseSoup(soup, *problem, sourceName);
  }
  buildValidatedSurface(std::move(soup), std::move(topology), mesh);
}

} // namespace vornel
