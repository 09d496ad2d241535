#pragma once
// The joint density of two features on a grid of cells, each cell naming the
// class most of its vertices belong to: compact whatever the mesh or class count.

#include "app/report/BinAxis.hpp"

#include <cstdint>
#include <vector>

namespace vornel {

struct FeatureDensity {
  BinAxis x, y;
  /// Per cell, row by row from the lowest y (cell = row * x.binCount + column):
  /// its vertex count and the class with most of them (the lowest such label),
  /// -1 for an empty cell.
  std::vector<std::int64_t> counts;
  std::vector<std::int32_t> classes;
};

/// Bins the vertices by (x[v], y[v]) on the axes of binAxisOf(.., maxBins).
/// labels[v] lies in 0 .. classCount - 1.
FeatureDensity featureDensity(const ValueColumn& x, const ValueColumn& y,
                              const std::vector<std::int32_t>& labels, int classCount,
                              int maxBins = 48);

} // namespace vornel
