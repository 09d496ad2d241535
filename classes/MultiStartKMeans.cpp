#include "classes/MultiStartKMeans.hpp"

#include "classes/SortedKMeans.hpp"

#include <algorithm>
#include <cmath>
#include <optional>
#include <set>
#include <utility>

namespace vornel {

namespace {

/// One start: its ranges of sorted values when the shortcut decided it, or
/// the full result when kmeans() ran it.
struct StartOutcome {
  StartSummary summary;
  std::optional<SortedClusters> sorted;
  std::optional<KMeansResult> full;
};

/// Sum of squares about each cluster's centre, clusters by increasing centre.
double directSumOfSquares(const std::vector<double>& values, const KMeansResult& clusters) {
  std::vector<double> sums(clusters.centres.size(), 0.0);
  for (std::size_t p = 0; p < values.size(); ++p) {
    const double d = values[p] - clusters.centres[clusters.assignment[p]];
    sums[clusters.assignment[p]] += d * d;
  }
  std::vector<std::size_t> order(sums.size());
  for (std::size_t j = 0; j < order.size(); ++j)
    order[j] = j;
  std::sort(order.begin(), order.end(), [&](std::size_t x, std::size_t y) {
    return clusters.centres[x] < clusters.centres[y];
  });
  double total = 0.0;
  for (const std::size_t j : order)
    total += sums[j];
  return total;
}

/// A start that kmeans() itself ran, summarised like the shortcut's starts so
/// that equal partitions compare equal.
StartOutcome outcomeOfFullRun(const SortedValues& sorted, const std::vector<double>& values,
                              KMeansResult result) {
  StartOutcome outcome;
  outcome.summary.iterations = result.iterations;
  outcome.summary.hasEmptyClass = std::find(result.memberCounts.begin(), result.memberCounts.end(),
                                            0) != result.memberCounts.end();
  if (!outcome.summary.hasEmptyClass) {
    const auto ranges = sorted.rangesOf(result);
    outcome.summary.sumOfSquares =
        ranges ? sorted.sumOfSquares(*ranges) : directSumOfSquares(values, result);
  }
  outcome.full = std::move(result);
  return outcome;
}

StartOutcome runStart(const SortedValues& sorted, const std::vector<double>& values, int K,
                      RandomGenerator& rng, const KMeansOptions& options) {
  if (!sorted.shortcutUsable())
    return outcomeOfFullRun(sorted, values, kmeansByFullPasses(values, 1, K, rng, options));
  RandomGenerator replay = rng; // full passes draw the same seeds from this copy
  const std::vector<double> seeds = drawSeedValues(values, K, rng);
  std::optional<SortedClusters> clusters = sorted.lloyd(seeds, options.maxIterations);
  if (!clusters)
    return outcomeOfFullRun(sorted, values, kmeansByFullPasses(values, 1, K, replay, options));
  StartOutcome outcome;
  outcome.summary.sumOfSquares = sorted.sumOfSquares(clusters->ranges);
  outcome.summary.iterations = clusters->iterations;
  outcome.sorted = std::move(clusters);
  return outcome;
}

/// Sum of squared distances of the points to their cluster's centre.
double pointSumOfSquares(const std::vector<double>& points, int dimension,
                         const KMeansResult& clusters) {
  const std::size_t D = static_cast<std::size_t>(dimension);
  double total = 0.0;
  for (std::size_t p = 0; p < clusters.assignment.size(); ++p) {
    const double* const centre = &clusters.centres[clusters.assignment[p] * D];
    for (std::size_t i = 0; i < D; ++i) {
      const double d = points[p * D + i] - centre[i];
      total += d * d;
    }
  }
  return total;
}

/// True when points holds at least K distinct points of dimension D.
bool holdsDistinctPoints(const std::vector<double>& points, std::size_t D, int K) {
  std::set<std::vector<double>> seen;
  for (std::size_t p = 0; p < points.size() && static_cast<int>(seen.size()) < K; p += D)
    seen.emplace(points.begin() + p, points.begin() + p + D);
  return static_cast<int>(seen.size()) >= K;
}

KMeansResult resultOf(const SortedValues& sorted, const StartOutcome& outcome) {
  return outcome.full ? *outcome.full : sorted.materialise(*outcome.sorted);
}

} // namespace

int chooseStart(const std::vector<StartSummary>& starts) {
  int chosen = -1;
  for (std::size_t s = 0; s < starts.size(); ++s) {
    if (starts[s].hasEmptyClass)
      continue;
    if (chosen < 0 || starts[s].sumOfSquares < starts[chosen].sumOfSquares)
      chosen = static_cast<int>(s);
  }
  return chosen;
}

MultiStartResult multiStartKMeans(const std::vector<double>& values, int K, RandomGenerator& rng,
                                  const MultiStartOptions& options) {
  const SortedValues sorted(values);
  // Inputs kmeans() refuses: let it throw its own message.
  if (K < 1 || values.size() < static_cast<std::size_t>(K) ||
      (sorted.shortcutUsable() && sorted.distinctCount(K) < K)) {
    RandomGenerator scratch = rng;
    kmeans(values, 1, K, scratch, options.kmeans);
  }
  std::vector<StartOutcome> outcomes;
  MultiStartResult result;
  for (int s = 0; s < std::max(options.startCount, 1); ++s) {
    outcomes.push_back(runStart(sorted, values, K, rng, options.kmeans));
    result.starts.push_back(outcomes.back().summary);
    if (options.keepEveryStart)
      result.everyStart.push_back(resultOf(sorted, outcomes.back()));
  }
  result.chosenStart = std::max(chooseStart(result.starts), 0);
  result.best = resultOf(sorted, outcomes[static_cast<std::size_t>(result.chosenStart)]);
  return result;
}

MultiStartResult multiStartKMeansOf(const std::vector<double>& points, int dimension, int K,
                                    RandomGenerator& rng, const MultiStartOptions& options) {
  std::vector<KMeansResult> runs;
  MultiStartResult result;
  for (int s = 0; s < std::max(options.startCount, 1); ++s) {
    runs.push_back(kmeans(points, dimension, K, rng, options.kmeans));
    const KMeansResult& run = runs.back();
    StartSummary summary;
    summary.iterations = run.iterations;
    summary.hasEmptyClass =
        std::find(run.memberCounts.begin(), run.memberCounts.end(), 0) != run.memberCounts.end();
    summary.sumOfSquares = summary.hasEmptyClass ? 0.0 : pointSumOfSquares(points, dimension, run);
    result.starts.push_back(summary);
    if (options.keepEveryStart)
      result.everyStart.push_back(run);
  }
  result.chosenStart = std::max(chooseStart(result.starts), 0);
  result.best = std::move(runs[static_cast<std::size_t>(result.chosenStart)]);
  return result;
}

MultiStartResult sampledMultiStartKMeans(const std::vector<double>& points, int dimension, int K,
                                         std::size_t sampleSize, RandomGenerator& rng,
                                         const MultiStartOptions& options) {
  const std::size_t D = static_cast<std::size_t>(dimension);
  const std::size_t count = points.size() / D;
  if (count <= sampleSize)
    return multiStartKMeansOf(points, dimension, K, rng, options);
  const std::size_t step = (count + sampleSize - 1) / sampleSize;
  std::vector<double> sample;
  sample.reserve((count / step + 1) * D);
  for (std::size_t p = 0; p < count; p += step)
    sample.insert(sample.end(), points.begin() + p * D, points.begin() + (p + 1) * D);
  // Points repeated so often that the sample misses some: every point is used.
  if (!holdsDistinctPoints(sample, D, K))
    return multiStartKMeansOf(points, dimension, K, rng, options);
  MultiStartResult result = multiStartKMeansOf(sample, dimension, K, rng, options);
  result.best = kmeansFromCentres(points, dimension, result.best.centres, options.kmeans);
  return result;
}

} // namespace vornel
