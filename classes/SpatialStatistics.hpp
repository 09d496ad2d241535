#pragma once
// Statistics of one value per vertex that use the ring adjacency: the values
// averaged over each ring, and the noise variance read from the differences
// across edges.

#include "core/VertexGraph.hpp"

#include <vector>

namespace vornel {

/// Each vertex's value averaged with those of its ring neighbours (a neighbour
/// joined by two edges counts twice); an isolated vertex keeps its value.
std::vector<double> ringAverages(const VertexGraph& graph, const std::vector<double>& values);

/// The variance sigma^2 of independent noise on regions of constant mean, read
/// from the differences across edges: within a region x_u - x_v has variance
/// 2 sigma^2, and the median of its square is 2 sigma^2 times the median of a
/// chi-square variable with one degree of freedom. The median holds while
/// fewer than half of the edges cross a region border. 0 without edges.
double edgeNoiseVariance(const VertexGraph& graph, const std::vector<double>& values);

/// ringAverages of each of featureCount features per vertex (vertex-major, as
/// the values).
std::vector<double> featureRingAverages(const VertexGraph& graph, const std::vector<double>& values,
                                        int featureCount);

/// edgeNoiseVariance of each of featureCount features per vertex.
std::vector<double> featureNoiseVariances(const VertexGraph& graph,
                                          const std::vector<double>& values, int featureCount);

} // namespace vornel
