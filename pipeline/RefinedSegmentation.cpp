#include "pipeline/RefinedSegmentation.hpp"

#include "pipeline/ClassStart.hpp"

#include "classes/ClassStatistics.hpp"
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

namespace vornel {

namespace {

std::string format(const char* pattern, double a, double b = 0.0, double c = 0.0) {
  char line[160];
  std::snprintf(line, sizeof line, pattern, a, b, c);
  return line;
}

/// Step 2: no class variance below the noise variance read from the edges: a
/// class cut out of the values by their size alone would otherwise look
/// narrower than the noise and lose ever more vertices from round to round.
/// With several features each feature's variance (the covariance's diagonal)
/// has the floor of its own noise.
void applyVarianceFloor(Segmenter& segmenter, const std::vector<double>& floors) {
  const std::size_t D = floors.size();
  for (std::size_t c = 0; c < segmenter.variances.size() / (D * D); ++c)
    for (std::size_t i = 0; i < D; ++i) {
      double& variance = segmenter.variances[(c * D + i) * D + i];
      variance = std::max(variance, floors[i]);
    }
}

/// The noise variance of each feature, 0 where it cannot be read.
std::vector<double> noiseVariances(const Segmenter& segmenter) {
  std::vector<double> variances =
      featureNoiseVariances(segmenter.graph, segmenter.values, segmenter.featureCount);
  for (double& variance : variances)
    variance = std::isfinite(variance) ? variance : 0.0;
  return variances;
}

std::string noiseNote(const std::vector<double>& variances) {
  if (variances.size() == 1)
    return format("noise variance from the edge differences: %.9g (the class variance floor)",
                  variances[0]);
  std::string text = "noise variances from the edge differences:";
  for (std::size_t i = 0; i < variances.size(); ++i)
    text += format(i == 0 ? " %.9g" : ", %.9g", variances[i]);
  return text + " (the floors of the features' class variances)";
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

/// Whether class l's statistics are flat in some feature (a zero variance).
bool hasFlatFeature(const ClassStatistics& statistics, int l, std::size_t D) {
  for (std::size_t i = 0; i < D; ++i)
    if (statistics.variances[(l * D + i) * D + i] == 0.0)
      return true;
  return false;
}

/// Step 6's statistics: each class's mean and population variance (mean
/// vector and covariance) from the annealed labels, except for a class too
/// small or too flat to have them.
void updateStatistics(Segmenter& segmenter) {
  const std::size_t D = static_cast<std::size_t>(segmenter.featureCount);
  const ClassStatistics statistics = featureStatisticsOf(segmenter.values, segmenter.featureCount,
                                                         segmenter.labels, segmenter.classCount);
  for (int l = 0; l < segmenter.classCount; ++l) {
    if (statistics.sizes[l] < 2 || hasFlatFeature(statistics, l, D))
      continue;
    std::copy_n(&statistics.means[l * D], D, &segmenter.means[l * D]);
    std::copy_n(&statistics.variances[l * D * D], D * D, &segmenter.variances[l * D * D]);
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
  tellProgress(options.progress, "noise variance");
  const std::vector<double> noiseVariance = noiseVariances(segmenter);
  applyVarianceFloor(segmenter, noiseVariance);
  report.note(noiseNote(noiseVariance));
  report.stageDone("noise variance", stopwatch.lap());
  report.classes("after the variance floor",
                 summariseClasses(segmenter.labels, segmenter.means, segmenter.variances,
                                  segmenter.featureCount));

  tellProgress(options.progress, "majority filter");
  for (int pass = 0; pass < options.filterPasses; ++pass)
    segmenter.majorityFilter();
  report.stageDone("majority filter", stopwatch.lap());

  const AnnealingSchedule schedule = annealingScheduleFor(options);
  const int bound = sweepBound(schedule);
  const auto annealRound = [&](int round) {
    const std::string stage = "annealing, round " + std::to_string(round) + " of 2";
    tellProgress(options.progress, stage, 0, bound);
    const auto observe = [&](const SweepSummary& sweep) {
      report.sweep(sweep);
      tellProgress(options.progress, stage, sweep.sweep, bound);
    };
    const AnnealingReport annealing =
        anneal(segmenter, schedule, result.parameters, seed, nullptr, observe, round);
    if (schedule.settling && annealing.sweepsRun > 0)
      report.note(describeAnnealing(round, *schedule.settling, annealing, segmenter.labels.size()));
  };
  tellProgress(options.progress, "parameter estimate");
  result.parameters = fitParameters(segmenter, 1.0f, 1, report);
  report.stageDone("parameter estimate", stopwatch.lap());
  annealRound(1);
  report.stageDone("annealing", stopwatch.lap());

  updateStatistics(segmenter);
  applyVarianceFloor(segmenter, noiseVariance);
  report.classes("second round", summariseClasses(segmenter.labels, segmenter.means,
                                                  segmenter.variances, segmenter.featureCount));
  tellProgress(options.progress, "second parameter estimate");
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
                                  int featureCount, const SegmentationOptions& options,
                                  unsigned seed, RunReport& report) {
  return segmentInMode(graph, std::move(values), featureCount, options, seed, report,
                       [&](Segmenter& segmenter, SegmentationResult& result) {
                         refineLabels(segmenter, options, seed, result, report);
                       });
}

} // namespace vornel
