#include "app/RefinedSegmentation.hpp"

#include "app/Stopwatch.hpp"
#include "classes/GaussianMixture.hpp"
#include "classes/MultiStartKMeans.hpp"
#include "classes/Segmenter.hpp"
#include "estimation/InteractionFit.hpp"

#include <cstdio>
#include <string>

namespace vornel {

namespace {

constexpr int kmeansStarts = 10;

struct ClassStatistics {
  std::vector<std::int64_t> sizes;
  std::vector<double> means;
  std::vector<double> variances; // population variances
};

/// Per-class size, mean and population variance of the labelled values, sums
/// formed from 0.0 in vertex order.
ClassStatistics statisticsOf(const std::vector<double>& values,
                             const std::vector<std::int32_t>& labels, int K) {
  ClassStatistics statistics{std::vector<std::int64_t>(K, 0), std::vector<double>(K, 0.0),
                             std::vector<double>(K, 0.0)};
  for (std::size_t v = 0; v < values.size(); ++v) {
    ++statistics.sizes[labels[v]];
    statistics.means[labels[v]] += values[v];
  }
  for (int l = 0; l < K; ++l)
    if (statistics.sizes[l] > 0)
      statistics.means[l] /= static_cast<double>(statistics.sizes[l]);
  for (std::size_t v = 0; v < values.size(); ++v) {
    const double difference = values[v] - statistics.means[labels[v]];
    statistics.variances[labels[v]] += difference * difference;
  }
  for (int l = 0; l < K; ++l)
    if (statistics.sizes[l] > 0)
      statistics.variances[l] /= static_cast<double>(statistics.sizes[l]);
  return statistics;
}

std::string format(const char* pattern, double a, double b = 0.0, double c = 0.0) {
  char line[160];
  std::snprintf(line, sizeof line, pattern, a, b, c);
  return line;
}

/// Step 1: the best of several k-means starts gives the first labels and
/// class statistics.
void initialiseFromBestStart(Segmenter& segmenter, int K, unsigned seed, SegmentationResult& result,
                             RunReport& report) {
  RandomGenerator generator(seed);
  MultiStartOptions options;
  options.startCount = kmeansStarts;
  const MultiStartResult starts = multiStartKMeans(segmenter.values, K, generator, options);
  if (starts.best.hitIterationCap)
    result.warnings.push_back("k-means stopped at its iteration cap after " +
                              std::to_string(starts.best.iterations) +
                              " iterations without settling; its last classes are used");
  segmenter.labels = starts.best.assignment;
  segmenter.classCount = K;
  const ClassStatistics statistics = statisticsOf(segmenter.values, segmenter.labels, K);
  segmenter.means = statistics.means;
  segmenter.variances = statistics.variances;
  report.note(
      "k-means: kept start " + std::to_string(starts.chosenStart) + " of " +
      std::to_string(starts.starts.size()) +
      format(", within-class sum of squares %.9g", starts.starts[starts.chosenStart].sumOfSquares));
}

/// Step 2: the data term's means and variances from a mixture fit started at
/// the k-means classes; the labels stay as k-means left them.
void fitClassStatistics(Segmenter& segmenter, RunReport& report) {
  const int K = segmenter.classCount;
  const ClassStatistics kmeansClasses = statisticsOf(segmenter.values, segmenter.labels, K);
  GaussianMixture start;
  for (int l = 0; l < K; ++l)
    start.weights.push_back(static_cast<double>(kmeansClasses.sizes[l]) /
                            static_cast<double>(segmenter.values.size()));
  start.means = segmenter.means;
  start.variances = segmenter.variances;
  const GaussianMixture mixture = fitMixtureOnHistogram(segmenter.values, std::move(start));
  segmenter.means = mixture.means;
  segmenter.variances = mixture.variances;
  report.note("mixture fit: " + std::to_string(mixture.iterations) + " iterations" +
              (mixture.stoppedEarly ? " (stopped: a component vanished)" : ""));
  for (int l = 0; l < K; ++l)
    report.note("  class " + std::to_string(l) +
                format(": weight %.6g, mean %.9g, variance %.9g", mixture.weights[l],
                       mixture.means[l], mixture.variances[l]));
}

/// Steps 4 and 6: beta alone on the current labels' table; previousBeta when
/// no row is usable.
std::vector<float> fitParameters(const Segmenter& segmenter, float previousBeta, int round,
                                 RunReport& report) {
  ParameterEstimator estimator(segmenter.graph);
  estimator.buildConfigurations(segmenter.labels, segmenter.classCount);
  const InteractionFit fit = fitInteractionOnly(estimator.equations);
  const float beta = fit.usableRows > 0 ? fit.beta : previousBeta;
  const std::vector<float> parameters = interactionOnlyParameters(segmenter.classCount, beta);
  report.note("round " + std::to_string(round) + format(": beta = %.9g", beta) + " from " +
              std::to_string(fit.usableRows) + " usable rows");
  report.parameters(parameters, EstimateFallback::None);
  return parameters;
}

/// Step 6's statistics: each class's mean and population variance from the
/// annealed labels, except for a class too small or too flat to have them.
void updateStatistics(Segmenter& segmenter) {
  const ClassStatistics statistics =
      statisticsOf(segmenter.values, segmenter.labels, segmenter.classCount);
  for (int l = 0; l < segmenter.classCount; ++l) {
    if (statistics.sizes[l] < 2 || statistics.variances[l] == 0.0)
      continue;
    segmenter.means[l] = statistics.means[l];
    segmenter.variances[l] = statistics.variances[l];
  }
}

/// Steps 2 to 6, for two classes or more.
void refineLabels(Segmenter& segmenter, const SegmentationOptions& options, unsigned seed,
                  SegmentationResult& result, RunReport& report) {
  Stopwatch stopwatch;
  fitClassStatistics(segmenter, report);
  report.stageDone("mixture fit", stopwatch.lap());
  report.classes("after mixture fit",
                 summariseClasses(segmenter.labels, segmenter.means, segmenter.variances));

  for (int pass = 0; pass < options.filterPasses; ++pass)
    segmenter.majorityFilter();
  report.stageDone("majority filter", stopwatch.lap());

  const AnnealingSchedule schedule = annealingScheduleFor(options);
  const auto observe = [&report](const SweepSummary& sweep) { report.sweep(sweep); };
  result.parameters = fitParameters(segmenter, 1.0f, 1, report);
  report.stageDone("parameter estimate", stopwatch.lap());
  anneal(segmenter, schedule, result.parameters, seed, nullptr, observe);
  report.stageDone("annealing", stopwatch.lap());

  updateStatistics(segmenter);
  report.classes("second round",
                 summariseClasses(segmenter.labels, segmenter.means, segmenter.variances));
  result.parameters = fitParameters(segmenter, result.parameters.back(), 2, report);
  report.stageDone("second parameter estimate", stopwatch.lap());
  anneal(segmenter, schedule, result.parameters, seed, nullptr, observe);
  report.stageDone("second annealing", stopwatch.lap());
}

} // namespace

SegmentationResult segmentRefined(const VertexGraph& graph, std::vector<double> values,
                                  const SegmentationOptions& options, unsigned seed,
                                  RunReport& report) {
  SegmentationResult result;
  Stopwatch stopwatch;
  Segmenter segmenter(graph, std::move(values));
  initialiseFromBestStart(segmenter, options.classCount, seed, result, report);
  report.stageDone("k-means", stopwatch.lap());
  report.classes("after k-means",
                 summariseClasses(segmenter.labels, segmenter.means, segmenter.variances));

  // With one class every vertex is labelled 0 and nothing is left to decide.
  if (segmenter.classCount > 1)
    refineLabels(segmenter, options, seed, result, report);

  stopwatch.lap();
  segmenter.sortClassesByMean();
  report.stageDone("class ordering", stopwatch.lap());
  result.labels = std::move(segmenter.labels);
  result.means = std::move(segmenter.means);
  result.variances = std::move(segmenter.variances);
  return result;
}

} // namespace vornel
