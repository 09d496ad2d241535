#pragma once
// The segmentation pipeline on flat arrays: k-means classes, majority filter,
// parameter fit, annealing and class ordering. It touches no file, so programs
// can call it on their own meshes.

#include "core/VertexGraph.hpp"
#include "estimation/ParameterEstimator.hpp"
#include "pipeline/Options.hpp"
#include "pipeline/RunReport.hpp"

#include <cstdint>
#include <string>
#include <vector>

namespace vornel {

struct SegmentationResult {
  std::vector<std::int32_t> labels; // one per vertex, classes numbered by increasing mean
  /// One per vertex: its connected segment (vertices of one label joined by
  /// edges), numbered in the order of each segment's first vertex.
  std::vector<std::int32_t> segments;
  std::size_t segmentCount = 0;
  /// Per class, ascending; with D features D per class (class l's feature i
  /// at [l * D + i]), classes in lexicographic order of their mean vectors.
  std::vector<double> means;
  /// Per class; with D features a D x D covariance per class, class l's entry
  /// (i, j) at [(l * D + i) * D + j].
  std::vector<double> variances;
  int featureCount = 1;
  std::vector<float> parameters; // theta_1 .. theta_{K-1}, beta (empty when K = 1)
  EstimateFallback fallback = EstimateFallback::None;
  std::vector<std::string> warnings; // one line each, for the caller to show
};

/// Segments one value per vertex of graph into options.classCount classes,
/// merges the segments below options.minSegmentSize (the class statistics are
/// then those of the final labels) and numbers the connected segments.
/// seed is used where options.seed is empty. report, when given, hears about
/// every stage. Throws InvalidInputError when the values cannot make that many
/// non-empty classes or a schedule setting breaks its rule (checkSchedule).
SegmentationResult segment(const VertexGraph& graph, std::vector<double> values,
                           const SegmentationOptions& options, unsigned seed,
                           RunReport* report = nullptr);

/// The same for featureCount values per vertex (vertex after vertex): the
/// k-means compares the features each divided by its standard deviation, and
/// each class has a mean vector and a full covariance, its data term the
/// Gaussian negative log-likelihood. With featureCount 1 it is the call above.
SegmentationResult segment(const VertexGraph& graph, std::vector<double> values, int featureCount,
                           const SegmentationOptions& options, unsigned seed,
                           RunReport* report = nullptr);

} // namespace vornel
