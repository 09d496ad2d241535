#include "pipeline/SegmentMesh.hpp"

#include "core/Errors.hpp"
#include "core/Parallel.hpp"
#include "mesh/MeshInput.hpp"
#include "mesh/PolygonSoup.hpp"
#include "mesh/build/SurfaceFromSoup.hpp"
#include "pipeline/RunSchedule.hpp"

#include <cmath>
#include <ctime>
#include <sstream>
#include <string>
#include <utility>

namespace vornel {

namespace {

// The name the surface builder puts in front of a rejected facet's number.
constexpr const char* facetSource = "the facet array";

std::string numberText(double value) {
  std::ostringstream text;
  text << value;
  return text.str();
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

/// The builder trusts the offsets: they must start at 0, never decrease and end
/// at the corner count.
void checkFacetOffsets(const MeshArrays& mesh) {
  const std::vector<std::uint32_t>& offsets = mesh.facetOffsets;
  if (offsets.empty() || offsets.front() != 0 || offsets.back() != mesh.corners.size())
    throw InvalidInputError("the facet offsets must run from 0 to the corner count (" +
                            std::to_string(mesh.corners.size()) + ")");
  for (std::size_t f = 0; f + 1 < offsets.size(); ++f)
    if (offsets[f + 1] < offsets[f])
      throw InvalidInputError("the facet offsets decrease at facet " + std::to_string(f + 1));
}

PolygonSoup soupFrom(MeshArrays&& mesh) {
  if (mesh.coordinates.size() % 3 != 0)
    throw InvalidInputError("the coordinate array holds " +
                            std::to_string(mesh.coordinates.size()) +
                            " numbers, not three per vertex");
  checkFacetOffsets(mesh);
  PolygonSoup soup;
  soup.points.reserve(mesh.vertexCount());
  const float* const xyz = mesh.coordinates.data();
  for (std::size_t v = 0; v < mesh.vertexCount(); ++v)
    soup.points.emplace_back(xyz[3 * v], xyz[3 * v + 1], xyz[3 * v + 2]);
  std::vector<float>().swap(mesh.coordinates);
  soup.corners = std::move(mesh.corners);
  soup.facetOffsets = std::move(mesh.facetOffsets);
  return soup;
}

void checkValues(const std::vector<double>& values, std::size_t vertexCount, int featureCount = 1) {
  if (vertexCount == 0)
    throw InvalidInputError("the mesh has no vertices");
  if (featureCount < 1)
    throw InvalidInputError("a vertex needs at least one feature, got " +
                            std::to_string(featureCount));
  const std::size_t D = static_cast<std::size_t>(featureCount);
  if (values.size() != vertexCount * D)
    throw InvalidInputError(
        D == 1 ? "the value array holds " + std::to_string(values.size()) +
                     " values; the mesh has " + std::to_string(vertexCount) + " vertices"
               : "the value array holds " + std::to_string(values.size()) + " values; the mesh's " +
                     std::to_string(vertexCount) + " vertices of " + std::to_string(D) +
                     " features need " + std::to_string(vertexCount * D));
  for (std::size_t p = 0; p < values.size(); ++p)
    if (!std::isfinite(values[p]))
      throw InvalidInputError(
          (D == 1 ? "the value of vertex " + std::to_string(p)
                  : "feature " + std::to_string(p % D) + " of vertex " + std::to_string(p / D)) +
          " is " + numberText(values[p]) + ", not a finite number");
}

SegmentationResult segmentSoup(PolygonSoup&& soup, std::vector<double>&& values, int featureCount,
                               const SegmentationOptions& options, RunReport* report) {
  // Only the ring adjacency is needed: the stages after it work on flat arrays,
  // so the soup and the mesh are dropped as soon as the graph is built.
  VertexGraph graph;
  {
    tellProgress(options.progress, "building the mesh");
    LabeledMesh mesh;
    buildSurface(std::move(soup), mesh, facetSource);
    graph = buildVertexGraph(mesh);
  }
  const unsigned clockSeed = static_cast<unsigned>(std::time(nullptr));
  return segment(graph, std::move(values), featureCount, options, clockSeed, report);
}

/// The surface and its rings are built on the run's threads too.
SegmentationResult segmentSoupOnThreads(PolygonSoup&& soup, std::vector<double>&& values,
                                        int featureCount, const SegmentationOptions& options,
                                        RunReport* report) {
  return StageThreads(options.threads).run([&] {
    return segmentSoup(std::move(soup), std::move(values), featureCount, options, report);
  });
}

} // namespace

SegmentationResult segmentMesh(const std::vector<std::array<float, 3>>& positions,
                               const std::vector<std::vector<std::uint32_t>>& facets,
                               const std::vector<double>& values,
                               const SegmentationOptions& options, RunReport* report) {
  checkValues(values, positions.size());
  checkSchedule(options);
  return segmentSoupOnThreads(soupFrom(positions, facets), std::vector<double>(values), 1, options,
                              report);
}

SegmentationResult segmentMesh(MeshArrays mesh, std::vector<double> values,
                               const SegmentationOptions& options, RunReport* report) {
  return segmentMesh(std::move(mesh), std::move(values), 1, options, report);
}

SegmentationResult segmentMesh(MeshArrays mesh, std::vector<double> values, int featureCount,
                               const SegmentationOptions& options, RunReport* report) {
  checkValues(values, mesh.vertexCount(), featureCount);
  checkSchedule(options);
  return segmentSoupOnThreads(soupFrom(std::move(mesh)), std::move(values), featureCount, options,
                              report);
}

} // namespace vornel
