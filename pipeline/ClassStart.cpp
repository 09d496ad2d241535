#include "pipeline/ClassStart.hpp"

#include "classes/ClassStatistics.hpp"
#include "classes/FeatureScaling.hpp"
#include "classes/MultiStartKMeans.hpp"
#include "classes/SpatialStatistics.hpp"
#include "pipeline/Progress.hpp"
#include "pipeline/Stopwatch.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <set>
#include <string>
#include <unordered_set>
#include <vector>

namespace vornel {

namespace {

constexpr int kmeansStarts = 10;
// Points the default mode's starts see with several features: on the joint
// problems measured, a 20000-point sample chose worse starts than every point
// did and this one chooses the same; at 1M vertices its ten starts still cost
// a small part of the annealing.
constexpr std::size_t defaultStartSample = 50000;

/// True when every value is finite and at least K of them are distinct.
bool canMakeClasses(const std::vector<double>& values, int K) {
  std::unordered_set<double> seen;
  for (const double x : values) {
    if (!std::isfinite(x))
      return false;
    if (static_cast<int>(seen.size()) < K)
      seen.insert(x);
  }
  return static_cast<int>(seen.size()) >= K;
}

/// The same for points of featureCount values each. Only the first points up
/// to K distinct ones are copied: the finiteness check needs no copies.
bool canMakeFeatureClasses(const std::vector<double>& values, int featureCount, int K) {
  if (featureCount == 1)
    return canMakeClasses(values, K);
  if (!std::all_of(values.begin(), values.end(), [](double x) { return std::isfinite(x); }))
    return false;
  std::set<std::vector<double>> seen;
  for (std::size_t p = 0; p < values.size() && static_cast<int>(seen.size()) < K; p += featureCount)
    seen.emplace(values.begin() + p, values.begin() + p + featureCount);
  return static_cast<int>(seen.size()) >= K;
}

/// The best of several k-means starts on the ring averages of the values
/// (averaging over a ring divides the noise variance by about the ring size,
/// so noisy classes separate) gives the first labels; the class statistics
/// are those of the values themselves under these labels. Where the averages
/// cannot make K classes (too few distinct or not all finite) the values are
/// clustered instead.
InitialisationReport startFromBestStart(Segmenter& segmenter, int K, unsigned seed,
                                        RunReport& report, std::size_t sampleSize) {
  const int D = segmenter.featureCount;
  RandomGenerator generator(seed);
  MultiStartOptions options;
  options.startCount = kmeansStarts;
  const std::vector<double> averages = featureRingAverages(segmenter.graph, segmenter.values, D);
  const bool averaged = canMakeFeatureClasses(averages, D, K);
  const std::vector<double>& clustered = averaged ? averages : segmenter.values;
  const MultiStartResult starts =
      D == 1 ? multiStartKMeans(clustered, K, generator, options)
             : sampledMultiStartKMeans(standardisedFeatures(clustered, D), D, K, sampleSize,
                                       generator, options);
  segmenter.labels = starts.best.assignment;
  segmenter.classCount = K;
  ClassStatistics statistics = featureStatisticsOf(segmenter.values, D, segmenter.labels, K);
  segmenter.means = std::move(statistics.means);
  segmenter.variances = std::move(statistics.variances);
  char sum[80];
  std::snprintf(sum, sizeof sum, ", within-class sum of squares %.9g",
                starts.starts[starts.chosenStart].sumOfSquares);
  report.note("k-means on the " + std::string(averaged ? "ring averages" : "values") +
              ": kept start " + std::to_string(starts.chosenStart) + " of " +
              std::to_string(starts.starts.size()) + sum);
  return {starts.best.iterations, starts.best.hitIterationCap};
}

} // namespace

void startClasses(Segmenter& segmenter, const SegmentationOptions& options, unsigned seed,
                  SegmentationResult& result, RunReport& report) {
  Stopwatch stopwatch;
  tellProgress(options.progress, "k-means");
  InitialisationReport initialisation;
  // With several features a single start often settles in a poor local
  // optimum, and the raw values of noisy classes overlap, so the default mode
  // too takes the best start on the ring averages, its starts on a sample to
  // stay cheap. One feature keeps its single start on the values: stored runs
  // depend on it.
  if (options.refine) {
    initialisation = startFromBestStart(segmenter, options.classCount, seed, report,
                                        std::numeric_limits<std::size_t>::max());
  } else if (segmenter.featureCount > 1) {
    initialisation =
        startFromBestStart(segmenter, options.classCount, seed, report, defaultStartSample);
  } else {
    RandomGenerator generator(seed);
    initialisation = segmenter.initialiseClasses(options.classCount, 0, generator);
  }
  if (initialisation.hitIterationCap)
    result.warnings.push_back("k-means stopped at its iteration cap after " +
                              std::to_string(initialisation.kmeansIterations) +
                              " iterations without settling; its last classes are used");
  report.stageDone("k-means", stopwatch.lap());
  report.classes("after k-means", summariseClasses(segmenter.labels, segmenter.means,
                                                   segmenter.variances, segmenter.featureCount));
}

SegmentationResult segmentInMode(const VertexGraph& graph, std::vector<double> values,
                                 int featureCount, const SegmentationOptions& options,
                                 unsigned seed, RunReport& report, const ModeSteps& steps) {
  SegmentationResult result;
  Segmenter segmenter(graph, std::move(values), featureCount);
  startClasses(segmenter, options, seed, result, report);

  // With one class every vertex is labelled 0 and nothing is left to decide.
  if (segmenter.classCount > 1)
    steps(segmenter, result);

  Stopwatch stopwatch;
  tellProgress(options.progress, "class ordering");
  segmenter.sortClassesByMean();
  report.stageDone("class ordering", stopwatch.lap());
  result.labels = std::move(segmenter.labels);
  result.means = std::move(segmenter.means);
  result.variances = std::move(segmenter.variances);
  return result;
}

} // namespace vornel
