#pragma once
// The library entry point for a caller's own mesh: vertex positions, facets and
// one value per vertex in, labels and class statistics out. No file is read or
// written, and nothing is printed.

#include "pipeline/Options.hpp"
#include "pipeline/RunReport.hpp"
#include "pipeline/Segmentation.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vornel {

/// A mesh as flat arrays, the layout array libraries hold meshes in.
struct MeshArrays {
  std::vector<float> coordinates;             // x, y, z of vertex 0, then of vertex 1, ...
  std::vector<std::uint32_t> corners;         // 0-based vertex indices, facet after facet
  std::vector<std::uint32_t> facetOffsets{0}; // facet f: corners[offsets[f] .. offsets[f + 1])

  std::size_t vertexCount() const { return coordinates.size() / 3; }
  std::size_t facetCount() const { return facetOffsets.empty() ? 0 : facetOffsets.size() - 1; }
};

/// Segments a surface mesh into options.classCount classes from values[v], one
/// value per vertex, with the same pipeline and options as the command line:
/// k-means, options.filterPasses majority-filter passes, the parameter fit,
/// options.sweepCount annealing sweeps (schedule from options.initialTemperature
/// and options.coolingFactor when given), the ordering of the classes by
/// increasing mean and, when options.minSegmentSize > 1, the merge of the
/// smaller connected segments; result.segments numbers the connected segments.
///
/// positions[v] is vertex v; facets[f] lists the 0-based vertex indices of
/// facet f, at least three, consistently oriented. Every vertex is kept, also
/// those no facet uses, so result.labels[v] belongs to positions[v]. The
/// generator is seeded with options.seed, or the clock when it is empty.
/// report, when given, hears about every stage.
///
/// Throws InvalidInputError naming the fault: an empty mesh, a facet with too
/// few corners, an index out of range, a repeated vertex, a facet the halfedge
/// surface cannot hold (non-manifold or inconsistently oriented), a value count
/// that differs from the vertex count, a value that is not a finite number, an
/// impossible class count or schedule.
SegmentationResult segmentMesh(const std::vector<std::array<float, 3>>& positions,
                               const std::vector<std::vector<std::uint32_t>>& facets,
                               const std::vector<double>& values,
                               const SegmentationOptions& options, RunReport* report = nullptr);

/// The same on flat arrays: mesh and values are moved into the pipeline, so a
/// caller that hands them over as rvalues pays for no copy of the facets or the
/// values. Also throws InvalidInputError for coordinates that do not come in
/// threes and for facet offsets that do not run from 0 up to the corner count.
SegmentationResult segmentMesh(MeshArrays mesh, std::vector<double> values,
                               const SegmentationOptions& options, RunReport* report = nullptr);

/// The same with featureCount values per vertex, vertex after vertex (see
/// segment()); result.means is then K x featureCount and result.variances
/// K x featureCount x featureCount.
SegmentationResult segmentMesh(MeshArrays mesh, std::vector<double> values, int featureCount,
                               const SegmentationOptions& options, RunReport* report = nullptr);

} // namespace vornel
