#include "optimisation/Annealing.hpp"

#include "classes/RandomGenerator.hpp"
#include "core/Errors.hpp"
#include "optimisation/LocalEnergy.hpp"
#include "optimisation/Sweeps.hpp"

#include <cmath>
#include <string>
#include <utility>
#include <vector>

namespace vornel {

namespace {

/// The sweeps index per-class arrays by label, so every label must be a class.
void requireValidLabels(const Segmenter& segmenter) {
  const std::size_t count = segmenter.graph.vertexCount();
  if (segmenter.labels.size() != count ||
      segmenter.values.size() != count * static_cast<std::size_t>(segmenter.featureCount))
    throw InvalidInputError("annealing needs one label and one value per vertex (" +
                            std::to_string(count) + " vertices)");
  for (std::size_t v = 0; v < segmenter.labels.size(); ++v) {
    const std::int32_t label = segmenter.labels[v];
    if (label < 0 || label >= segmenter.classCount)
      throw InvalidInputError("vertex " + std::to_string(v) + " has label " +
                              std::to_string(label) + ", outside 0 .. " +
                              std::to_string(segmenter.classCount - 1));
  }
}

void writeReport(std::FILE* report, const AnnealingReport& result) {
  if (report == nullptr)
    return;
  std::fprintf(report, "Nb Iterations Total= %i\n", result.sweepsRun);
  std::fprintf(report, "Nb Iterations Greedy= %i\n", result.greedySweeps);
}

/// One sweep of the right kind for the class count, reported to the observer.
class SweepRunner {
public:
  SweepRunner(Segmenter& segmenter, const EnergyModel& model, unsigned seed,
              const SweepObserver& observer, int round)
      : segmenter_(segmenter), model_(model), rng_(seed), observer_(observer), round_(round) {}

  long run(long long k, double T, SweepPhase phase, AnnealingReport& result) {
    const bool greedy = phase == SweepPhase::Greedy;
    const long changed = segmenter_.classCount > 2
                             ? multiClassSweep(segmenter_, model_, T, greedy, rng_, scratch_)
                             : twoClassSweep(segmenter_, model_, T, greedy, rng_, scratch_);
    ++result.sweepsRun;
    result.greedySweeps += greedy ? 1 : 0;
    if (observer_)
      observer_(SweepSummary{static_cast<int>(k), T, greedy, changed, round_, phase});
    return changed;
  }

  const std::vector<std::int32_t>& labels() const { return segmenter_.labels; }

private:
  Segmenter& segmenter_;
  const EnergyModel& model_;
  RandomGenerator rng_;
  const SweepObserver& observer_;
  const int round_;
  SweepScratch scratch_;
};

/// sweepCount sweeps at T0 * factor^(k-1) while k <= sweepCount + extra; the
/// sweep k = sweepCount is greedy.
void runFixedSchedule(SweepRunner& sweeps, const AnnealingSchedule& schedule,
                      AnnealingReport& result) {
  const long long n = schedule.sweepCount;
  const long long bound = n + schedule.extra;
  for (long long k = 1; k <= n && k <= bound; ++k) {
    const double T =
        schedule.initialTemperature * std::pow(schedule.coolingFactor, static_cast<double>(k - 1));
    sweeps.run(k, T, k >= n ? SweepPhase::Greedy : SweepPhase::Cooling, result);
  }
}

/// The labels as they were two sweeps ago, to tell when the simultaneous
/// update alternates between two labellings.
class LabelHistory {
public:
  explicit LabelHistory(const std::vector<std::int32_t>& labels) : labels_(labels) {}

  /// Call before a sweep.
  void remember() {
    std::swap(twoBefore_, oneBefore_);
    oneBefore_ = labels_;
  }

  /// After a sweep: whether two sweeps have been remembered and the labels are
  /// back where they were two sweeps ago.
  bool backToTwoBefore() const { return !twoBefore_.empty() && labels_ == twoBefore_; }

private:
  const std::vector<std::int32_t>& labels_;
  std::vector<std::int32_t> oneBefore_;
  std::vector<std::int32_t> twoBefore_;
};

/// Greedy sweeps from sweep number k until one changes no label, or the labels
/// are back where they were two sweeps before (the simultaneous update then
/// alternates between two labellings for ever), at most cap sweeps.
void runGreedyFinish(SweepRunner& sweeps, long long k, double T, int cap, AnnealingReport& result) {
  LabelHistory history(sweeps.labels());
  for (int greedy = 0; greedy < cap; ++greedy) {
    history.remember();
    if (sweeps.run(k++, T, SweepPhase::Greedy, result) == 0) {
      result.greedySettled = true;
      return;
    }
    if (history.backToTwoBefore()) {
      result.greedyCycle = true;
      return;
    }
  }
}

/// sweepCount Metropolis sweeps at T0 * factor^(k-1), then more at the last of
/// those temperatures until few labels change, then greedy sweeps until none
/// does; the settling and greedy phases are bounded by the rule's caps.
void runSettlingSchedule(SweepRunner& sweeps, const AnnealingSchedule& schedule,
                         const SettlingRule& rule, std::size_t vertexCount,
                         AnnealingReport& result) {
  const long long n = schedule.sweepCount;
  if (n <= 0)
    return;
  double T = schedule.initialTemperature;
  long long k = 1;
  for (; k <= n; ++k) {
    T = schedule.initialTemperature * std::pow(schedule.coolingFactor, static_cast<double>(k - 1));
    result.lastChangedLabels = sweeps.run(k, T, SweepPhase::Cooling, result);
  }
  const double settledBelow = rule.settledShare * static_cast<double>(vertexCount);
  result.settled = static_cast<double>(result.lastChangedLabels) < settledBelow;
  while (!result.settled && result.settlingSweeps < rule.settlingCap) {
    result.lastChangedLabels = sweeps.run(k++, T, SweepPhase::Settling, result);
    ++result.settlingSweeps;
    result.settled = static_cast<double>(result.lastChangedLabels) < settledBelow;
  }
  runGreedyFinish(sweeps, k, T, rule.greedyCap, result);
}

} // namespace

AnnealingReport anneal(Segmenter& segmenter, const AnnealingSchedule& schedule,
                       const std::vector<float>& parameters, unsigned seed, std::FILE* report,
                       const SweepObserver& observer, int round) {
  AnnealingReport result;
  // With one class there is nothing to decide: no sweep runs.
  if (segmenter.classCount < 2) {
    writeReport(report, result);
    return result;
  }
  const EnergyModel model = EnergyModel::fromSegmenter(segmenter, parameters);
  requireValidLabels(segmenter);

  SweepRunner sweeps(segmenter, model, seed, observer, round);
  if (schedule.settling)
    runSettlingSchedule(sweeps, schedule, *schedule.settling, segmenter.labels.size(), result);
  else
    runFixedSchedule(sweeps, schedule, result);
  writeReport(report, result);
  return result;
}

} // namespace vornel
