#pragma once
// The table of neighbourhood label configurations of a labelling and the
// least-squares fit of the pairwise label model's parameters to it.

#include "mesh/VertexGraph.hpp"

#include <cstdint>
#include <vector>

namespace vornel {

/// One row of the table: a ring histogram, the centre labels seen with it, and
/// (once usable) one linear equation for the label pair (firstLabel, secondLabel).
struct NeighbourhoodConfiguration {
  std::vector<std::int32_t> neighbourCounts; // entry l: ring neighbours labelled l
  std::vector<std::int32_t> centreCounts;    // entry l: vertices with this ring labelled l
  int firstLabel = 0;
  int secondLabel = 1;
  float logRatio = 0.0f;
  std::vector<float> features; // parameterCount coefficients, empty unless usable
};

/// How the parameters were obtained.
enum class EstimateFallback {
  None,           // the plain least-squares fit over the usable rows
  SmoothedRatios, // refit over all rows with smoothed count ratios
  Neutral,        // every class weight 1 and interaction coefficient 1
};

class ParameterEstimator {
public:
  explicit ParameterEstimator(const VertexGraph& graph) : graph(graph) {}

  /// Builds the whole table from one label per vertex (0 .. classCount-1).
  void buildConfigurations(const std::vector<std::int32_t>& labels, int classCount);

  /// Fits the parameter vector: theta_1 .. theta_{K-1}, then beta. Never returns
  /// a NaN, an infinity or an absurd magnitude (see EstimateFallback).
  const std::vector<float>& estimate();

  const VertexGraph& graph;
  int classCount = 0;
  std::vector<NeighbourhoodConfiguration> configurations;
  int parameterCount = 0;
  int usableRows = 0;
  std::vector<float> parameters;
  EstimateFallback fallback = EstimateFallback::None;
};

} // namespace vornel
