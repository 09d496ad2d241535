#pragma once
// Lloyd's k-means over N points of a fixed dimension, stored flat.

#include "classes/RandomGenerator.hpp"

#include <cstdint>
#include <vector>

namespace vornel {

struct KMeansOptions {
  /// Safety cap on refinement iterations; a run that reaches it stops there
  /// and reports it.
  int maxIterations = 100000;
};

struct KMeansResult {
  std::vector<std::int32_t> assignment; // cluster of each point, 0 .. K-1
  std::vector<double> centres;          // K * dimension coordinates
  std::vector<std::int32_t> memberCounts;
  int iterations = 0;             // refinement iterations run
  bool hitIterationCap = false;   // true when maxIterations stopped the refinement
};

/// Clusters points (N * dimension doubles, point-major) into K clusters.
/// Seeds are drawn from rng by rejection (rand() mod N, repeats discarded).
/// Every cluster of the result is non-empty. Throws InvalidInputError when
/// N < K or the points hold fewer than K distinct values.
KMeansResult kmeans(const std::vector<double>& points, int dimension, int K, RandomGenerator& rng,
                    const KMeansOptions& options = {});

} // namespace vornel
