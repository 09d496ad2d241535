#pragma once
// K-means restarted from several seed draws on one random
// stream, keeping the start with the smallest within-class sum of squares.

#include "classes/KMeans.hpp"
#include "classes/RandomGenerator.hpp"

#include <vector>

namespace vornel {

struct StartSummary {
  double sumOfSquares = 0.0; // within-class sum of squares of the start's classes
  bool hasEmptyClass = false;
  int iterations = 0;
};

struct MultiStartOptions {
  int startCount = 10;
  bool keepEveryStart = false; // also return every start's full result (for checks)
  KMeansOptions kmeans;
};

struct MultiStartResult {
  KMeansResult best; // the chosen start, exactly as kmeans() returns it
  int chosenStart = 0;
  std::vector<StartSummary> starts;
  std::vector<KMeansResult> everyStart; // filled only with keepEveryStart
};

/// The start to keep: the smallest sum of squares among the starts without an
/// empty class, a later start only when strictly smaller. -1 when every start
/// has an empty class.
int chooseStart(const std::vector<StartSummary>& starts);

/// startCount runs of kmeans() on values (dimension 1) in a row, each drawing
/// its seeds from rng where the previous one left it, so start 0 is exactly
/// kmeans(values, 1, K, rng). Since kmeans() moves an empty cluster until
/// every cluster has members, a start can only keep an empty class when it
/// stops at its iteration cap; such a start is skipped (start 0 is kept if
/// every one is). Throws as kmeans() does.
MultiStartResult multiStartKMeans(const std::vector<double>& values, int K, RandomGenerator& rng,
                                  const MultiStartOptions& options = {});

/// The same for points of any dimension (point-major), each start a full
/// kmeans() run; the sums of squares are formed point by point.
MultiStartResult multiStartKMeansOf(const std::vector<double>& points, int dimension, int K,
                                    RandomGenerator& rng, const MultiStartOptions& options = {});

/// multiStartKMeansOf() on an evenly spaced sample of at most sampleSize
/// points (every point when there are not more), then one kmeansFromCentres()
/// run on every point from the chosen start's centres: the starts then cost
/// little however many points there are. The starts' summaries are those of
/// the sample (so is everyStart); best is the run on every point.
MultiStartResult sampledMultiStartKMeans(const std::vector<double>& points, int dimension, int K,
                                         std::size_t sampleSize, RandomGenerator& rng,
                                         const MultiStartOptions& options = {});

} // namespace vornel
