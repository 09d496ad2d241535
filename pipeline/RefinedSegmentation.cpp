#include "pipeline/RefinedSegmentation.hpp"

#include "classes/ClassStatistics.hpp"
#include "classes/MultiStartKMeans.hpp"
#include "classes/Segmenter.hpp"
#include "classes/SpatialStatistics.hpp"
#include "estimation/InteractionFit.hpp"
#include "pipeline/RunSchedule.hpp"
#include "pipeline/Stopwatch.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <unordered_set>

namespace vornel {

namespace {

constexpr int kmeansStarts = 10;

std::string format(const char* pattern, double a, double b = 0.0, double c = 0.0) {
  char line[160];
  std::snprintf(line, sizeof line, pattern, a, b, c);
  return line;
}

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

/// Step 1: the best of several k-means starts on the ring averages of the
/// values (averaging over a ring divides the noise variance by about the ring
/// size, so noisy classes separate) gives the first labels; the class
/// statistics are those of the values themselves under these labels. Where
/// the averages cannot make K classes (too few distinct or not all finite)
/// the values are clustered instead.
void initialiseFromBestStart(Segmenter& segmenter, int K, unsigned seed, SegmentationResult& result,
                             RunReport& report) {
  RandomGenerator generator(seed);
  MultiStartOptions options;
  options.startCount = kmeansStarts;
  const std::vector<double> averages = ringAverages(segmenter.graph, segmenter.values);
  const bool averaged = canMakeClasses(averages, K);
  const MultiStartResult starts =
      multiStartKMeans(averaged ? averages : segmenter.values, K, generator, options);
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
      "k-means on the " + std::string(averaged ? "ring averages" : "values") + ": kept start " +
      std::to_string(starts.chosenStart) + " of " + std::to_string(starts.starts.size()) +
      format(", within-class sum of squares %.9g", starts.starts[starts.chosenStart].sumOfSquares));
}

/// Step 2: no class variance below the noise variance read from the edges: a
/// class cut out of the values by their size alone would otherwise look
/// narrower than the noise and lose ever more vertices from round to round.
void applyVarianceFloor(Segmenter& segmenter, double floor) {
  for (double& variance : segmenter.variances)
    variance = std::max(variance, floor);
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

/// The --verbose line on how one round's annealing ended.
std::string describeAnnealing(int round, const SettlingRule& rule, const AnnealingReport& annealing,
                              std::size_t vertexCount) {
  const int cooling = annealing.sweepsRun - annealing.settlingSweeps - annealing.greedySweeps;
  const double changedPercent =
      100.0 * static_cast<double>(annealing.lastChangedLabels) / static_cast<double>(vertexCount);
  std::string line =
      "round " + std::to_string(round) + " annealing: " + std::to_string(cooling) +
      " cooling sweeps, then " + std::to_string(annealing.settlingSweeps) +
      " at the last temperature (" +
      (annealing.settled ? std::string("converged")
                         : "stopped at the cap of " + std::to_string(rule.settlingCap)) +
      format(": %.3g %% of the labels changed in the last sweep, threshold %.3g %%)",
             changedPercent, 100.0 * rule.settledShare);
  line +=
      ", then " + std::to_string(annealing.greedySweeps) + " greedy (" +
      (annealing.greedySettled ? std::string("converged: the last changed no label)")
       : annealing.greedyCycle ? std::string("stopped: the labels alternate between two states)")
                               : "stopped at the cap of " + std::to_string(rule.greedyCap) + ")");
  return line;
}

/// Steps 2 to 6, for two classes or more.
void refineLabels(Segmenter& segmenter, const SegmentationOptions& options, unsigned seed,
                  SegmentationResult& result, RunReport& report) {
  Stopwatch stopwatch;
  const double edgeVariance = edgeNoiseVariance(segmenter.graph, segmenter.values);
  const double noiseVariance = std::isfinite(edgeVariance) ? edgeVariance : 0.0;
  applyVarianceFloor(segmenter, noiseVariance);
  report.note(format("noise variance from the edge differences: %.9g (the class variance floor)",
                     noiseVariance));
  report.stageDone("noise variance", stopwatch.lap());
  report.classes("after the variance floor",
                 summariseClasses(segmenter.labels, segmenter.means, segmenter.variances));

  for (int pass = 0; pass < options.filterPasses; ++pass)
    segmenter.majorityFilter();
  report.stageDone("majority filter", stopwatch.lap());

  const AnnealingSchedule schedule = annealingScheduleFor(options);
  const auto observe = [&report](const SweepSummary& sweep) { report.sweep(sweep); };
  const auto annealRound = [&](int round) {
    const AnnealingReport annealing =
        anneal(segmenter, schedule, result.parameters, seed, nullptr, observe, round);
    if (schedule.settling && annealing.sweepsRun > 0)
      report.note(describeAnnealing(round, *schedule.settling, annealing, segmenter.labels.size()));
  };
  result.parameters = fitParameters(segmenter, 1.0f, 1, report);
  report.stageDone("parameter estimate", stopwatch.lap());
  annealRound(1);
  report.stageDone("annealing", stopwatch.lap());

  updateStatistics(segmenter);
  applyVarianceFloor(segmenter, noiseVariance);
  report.classes("second round",
                 summariseClasses(segmenter.labels, segmenter.means, segmenter.variances));
  result.parameters = fitParameters(segmenter, result.parameters.back(), 2, report);
  report.stageDone("second parameter estimate", stopwatch.lap());
  annealRound(2);
  report.stageDone("second annealing", stopwatch.lap());
}

} // namespace

SettlingRule refinedSettlingRule(int sweepCount) {
  SettlingRule rule;
  // A settled labelling still moves: the acceptance test lets one proposal in
  // a thousand through whatever its energy, and a later sweep moves it back,
  // so about 0.2 % of the labels change in every sweep; borders jitter on top.
  rule.settledShare = 0.005;
  rule.settlingCap = sweepCount > std::numeric_limits<int>::max() / 4
                         ? std::numeric_limits<int>::max()
                         : 4 * std::max(sweepCount, 0);
  rule.greedyCap = 10;
  return rule;
}

AnnealingSchedule refinedSchedule(int sweepCount) {
  AnnealingSchedule schedule;
  // From the temperature the fitted model describes down to a twentieth of it,
  // then on at that temperature until the labels have settled.
  schedule.initialTemperature = 1.0;
  schedule.coolingFactor = sweepCount > 1 ? std::pow(0.05, 1.0 / (sweepCount - 1)) : 1.0;
  schedule.sweepCount = sweepCount;
  schedule.settling = refinedSettlingRule(sweepCount);
  return schedule;
}

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
