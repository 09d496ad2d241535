#pragma once
// The table of neighbourhood label configurations of a labelling and the
// least-squares fit of the pairwise label model's parameters to it.

#include "core/VertexGraph.hpp"

#include <cstdint>
#include <vector>

namespace vornel {

/// One distinct ring histogram of the labelling and the centre labels seen with it.
struct NeighbourhoodConfiguration {
  std::vector<std::int32_t> neighbourCounts; // entry l: ring neighbours labelled l
  std::vector<std::int32_t> centreCounts;    // entry l: vertices with this ring labelled l
};

/// The linear equation of one configuration for a label pair (a, b), a < b,
/// both seen at the configuration's centre:
///   theta_a - theta_b + beta * interaction = logRatio,
/// with theta_0 = 1 moved to the target side (label 0 has no unknown).
struct PairEquation {
  std::int32_t configuration = 0; // index into the estimator's configurations
  std::int32_t firstLabel = 0;
  std::int32_t secondLabel = 1;
  float logRatio = 0.0f;
  float interaction = 0.0f; // r(b) - r(a) over the configuration's ring

  /// The parameterCount coefficients in parameter-vector order: +1 at theta_a,
  /// -1 at theta_b, interaction at beta, 0 elsewhere.
  std::vector<float> features(int parameterCount) const;
};

/// How the parameters were obtained.
enum class EstimateFallback {
  None,           // the plain least-squares fit over the usable equations
  SmoothedRatios, // refit over every pair seen at a centre, with smoothed count ratios
  Neutral,        // every class weight 1 and interaction coefficient 1
};

class ParameterEstimator {
public:
  explicit ParameterEstimator(const VertexGraph& graph) : graph(graph) {}

  /// Builds the table from one label per vertex (0 .. classCount-1).
  void buildConfigurations(const std::vector<std::int32_t>& labels, int classCount);

  /// Fits the parameter vector: theta_1 .. theta_{K-1}, then beta. Never returns
  /// a NaN, an infinity or an absurd magnitude (see EstimateFallback).
  const std::vector<float>& estimate();

  const VertexGraph& graph;
  int classCount = 0;
  /// The distinct ring histograms, in order of first appearance along the vertex list.
  std::vector<NeighbourhoodConfiguration> configurations;
  /// One equation per configuration and label pair seen together at its
  /// centre, by decreasing product of the pair's centre counts (ties in
  /// configuration order, then by first and second label).
  std::vector<PairEquation> equations;
  int parameterCount = 0;
  int usableRows = 0; // equations.size()
  std::vector<float> parameters;
  EstimateFallback fallback = EstimateFallback::None;
};

} // namespace vornel
