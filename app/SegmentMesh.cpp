#include "app/SegmentMesh.hpp"

#include "mesh/Errors.hpp"
#include "mesh/MeshInput.hpp"
#include "mesh/PolygonSoup.hpp"

#include <ctime>
#include <sstream>
#include <string>

namespace vornel {

namespace {

// The name the surface builder puts in front of a rejected facet's number.
constexpr const char* facetSource = "the facet array";

std::string numberText(double value) {
  std::ostringstream text;
  text << value;
  return text.str();
}

/// The schedule rules of the command line, as errors of the caller's input.
void checkSchedule(const SegmentationOptions& options) {
  if (options.initialTemperature && !(*options.initialTemperature > 0.0))
    throw InvalidInputError("the initial temperature must be above 0, got " +
                            numberText(*options.initialTemperature));
  if (options.coolingFactor && !(*options.coolingFactor > 0.0 && *options.coolingFactor <= 1.0))
    throw InvalidInputError("the cooling factor must lie in (0, 1], got " +
                            numberText(*options.coolingFactor));
}

PolygonSoup soupFrom(const std::vector<std::array<float, 3>>& positions,
                     const std::vector<std::vector<std::uint32_t>>& facets) {
  PolygonSoup soup;
  soup.points.reserve(positions.size());
  for (const auto& p : positions)
    soup.points.emplace_back(p[0], p[1], p[2]);
  soup.facetOffsets.reserve(facets.size() + 1);
  for (const auto& facet : facets) {
    soup.corners.insert(soup.corners.end(), facet.begin(), facet.end());
    soup.facetOffsets.push_back(static_cast<std::uint32_t>(soup.corners.size()));
  }
  return soup;
}

} // namespace

SegmentationResult segmentMesh(const std::vector<std::array<float, 3>>& positions,
                               const std::vector<std::vector<std::uint32_t>>& facets,
                               const std::vector<double>& values,
                               const SegmentationOptions& options, RunReport* report) {
  if (positions.empty())
    throw InvalidInputError("the mesh has no vertices");
  if (values.size() != positions.size())
    throw InvalidInputError("the value array holds " + std::to_string(values.size()) +
                            " values; the mesh has " + std::to_string(positions.size()) +
                            " vertices");
  checkSchedule(options);

  // Only the ring adjacency is needed: the stages after it work on flat arrays,
  // so the mesh is dropped as soon as the graph is built.
  VertexGraph graph;
  {
    LabeledMesh mesh;
    buildSurface(soupFrom(positions, facets), mesh, facetSource);
    graph = buildVertexGraph(mesh);
  }
  const unsigned clockSeed = static_cast<unsigned>(std::time(nullptr));
  return segment(graph, values, options, clockSeed, report);
}

} // namespace vornel
