#pragma once
// Lloyd's k-means over N points of a fixed dimension, stored flat.

#include "classes/RandomGenerator.hpp"

#include <cstddef>
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
  int iterations = 0;           // refinement iterations run
  bool hitIterationCap = false; // true when maxIterations stopped the refinement
};

/// Clusters points (N * dimension doubles, point-major) into K clusters.
/// Seeds are drawn from rng by rejection (rand() mod N, repeats discarded).
/// Every cluster of the result is non-empty. Throws InvalidInputError when
/// N < K or the points hold fewer than K distinct values. In one dimension the
/// iterations run on the values sorted once (SortedKMeans.hpp), at a cost that
/// does not grow with the number of iterations; where that cannot decide a
/// start exactly, full passes run it. Both give the same result bit for bit.
KMeansResult kmeans(const std::vector<double>& points, int dimension, int K, RandomGenerator& rng,
                    const KMeansOptions& options = {});

/// kmeans() by full passes over every point in every iteration, never through
/// the sorted values.
KMeansResult kmeansByFullPasses(const std::vector<double>& points, int dimension, int K,
                                RandomGenerator& rng, const KMeansOptions& options = {});

/// kmeansByFullPasses() from the given centres (K x dimension coordinates,
/// K = centres.size() / dimension) instead of seeds drawn at random.
KMeansResult kmeansFromCentres(const std::vector<double>& points, int dimension,
                               const std::vector<double>& centres,
                               const KMeansOptions& options = {});

/// K distinct indices below count by rejection (next() mod count, repeats
/// discarded), in drawing order: the seeds of kmeans().
std::vector<std::size_t> drawSeedIndices(std::size_t count, int K, RandomGenerator& rng);

/// The values at drawSeedIndices(values.size(), K, rng).
std::vector<double> drawSeedValues(const std::vector<double>& values, int K, RandomGenerator& rng);

} // namespace vornel
