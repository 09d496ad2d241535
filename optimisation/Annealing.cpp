#include "optimisation/Annealing.hpp"

#include "mesh/Errors.hpp"
#include "classes/RandomGenerator.hpp"
#include "optimisation/LocalEnergy.hpp"
#include "optimisation/Sweeps.hpp"

#include <cmath>
#include <string>

namespace vornel {

namespace {

/// The sweeps index per-class arrays by label, so every label must be a class.
void requireValidLabels(const Segmenter& segmenter) {
  if (segmenter.labels.size() != segmenter.graph.vertexCount() ||
      segmenter.values.size() != segmenter.graph.vertexCount())
    throw InvalidInputError("annealing needs one label and one value per vertex (" +
                            std::to_string(segmenter.graph.vertexCount()) + " vertices)");
  for (std::size_t v = 0; v < segmenter.labels.size(); ++v) {
    const std::int32_t label = segmenter.labels[v];
    if (label < 0 || label >= segmenter.classCount)
      throw InvalidInputError("vertex " + std::to_string(v) + " has label " + std::to_string(label) +
                              ", outside 0 .. " + std::to_string(segmenter.classCount - 1));
  }
}

void writeReport(std::FILE* report, const AnnealingReport& result) {
  if (report == nullptr)
    return;
  std::fprintf(report, "Nb Iterations Total= %i\n", result.sweepsRun);
  std::fprintf(report, "Nb Iterations Greedy= %i\n", result.greedySweeps);
}

} // namespace

AnnealingReport anneal(Segmenter& segmenter, const AnnealingSchedule& schedule,
                       const std::vector<float>& parameters, unsigned seed, std::FILE* report,
                       const SweepObserver& observer) {
  RandomGenerator rng(seed);
  AnnealingReport result;
  // With one class there is nothing to decide: no sweep runs.
  if (segmenter.classCount < 2) {
    writeReport(report, result);
    return result;
  }
  const EnergyModel model = EnergyModel::fromSegmenter(segmenter, parameters);
  requireValidLabels(segmenter);

  std::vector<std::int32_t> workingLabels;
  const long long n = schedule.sweepCount;
  const long long bound = n + schedule.extra;
  for (long long k = 1; k <= n && k <= bound; ++k) {
    const double T = schedule.initialTemperature * std::pow(schedule.coolingFactor, static_cast<double>(k - 1));
    const bool greedy = k >= n;
    const long changed = segmenter.classCount > 2
                             ? multiClassSweep(segmenter, model, T, greedy, rng, workingLabels)
                             : twoClassSweep(segmenter, model, T, greedy, rng, workingLabels);
    ++result.sweepsRun;
    result.greedySweeps += greedy ? 1 : 0;
    if (observer)
      observer(SweepSummary{static_cast<int>(k), T, greedy, changed});
  }
  writeReport(report, result);
  return result;
}

} // namespace vornel
