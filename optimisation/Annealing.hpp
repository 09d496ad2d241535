#pragma once
// Simulated annealing of the pairwise label model: a Gaussian data term per
// class plus the fitted neighbourhood term, over sweeps at a geometrically
// falling temperature. The fixed schedule runs a set number of sweeps, the last
// one greedy; the settling schedule runs on until the labels stop moving.

#include "classes/RandomGenerator.hpp"
#include "classes/Segmenter.hpp"

#include <cstdio>
#include <functional>
#include <optional>
#include <vector>

namespace vornel {

/// How a settling schedule ends. After the sweepCount cooling sweeps it keeps
/// sweeping at the last cooling temperature until a sweep changes fewer than
/// settledShare * vertexCount labels (at most settlingCap such sweeps; the last
/// cooling sweep counts as the first test), then runs greedy sweeps until one
/// changes no label or the labels repeat those of two sweeps before (at most
/// greedyCap).
struct SettlingRule {
  double settledShare = 0.005;
  int settlingCap = 0;
  int greedyCap = 0;
};

struct AnnealingSchedule {
  double initialTemperature = 4.0;
  double coolingFactor = 0.97;
  int sweepCount = 0;
  int extra =
      10; // second bound of the fixed schedule: sweep k runs only while k <= sweepCount + extra
  /// Empty: the fixed schedule, whose last sweep is greedy. Set: the settling
  /// schedule, whose sweepCount cooling sweeps are all Metropolis sweeps.
  std::optional<SettlingRule> settling = std::nullopt;
};

enum class SweepPhase {
  Cooling,  // the temperature falls by the cooling factor every sweep
  Settling, // at the last cooling temperature, until few labels change
  Greedy,   // only moves that do not raise the local energy
};

struct SweepSummary {
  int sweep = 0; // 1-based, counted through every phase of one annealing
  double temperature = 0.0;
  bool greedy = false;
  long changedLabels = 0;
  int round = 1; // 1-based annealing round of the run (the default model has one)
  SweepPhase phase = SweepPhase::Cooling;
};

struct AnnealingReport {
  int sweepsRun = 0;
  int greedySweeps = 0;
  // The settling schedule only:
  int settlingSweeps = 0;     // sweeps after the cooling, at its last temperature
  bool settled = false;       // they ended below the share, not at their cap
  long lastChangedLabels = 0; // changes in the last sweep at the last temperature
  bool greedySettled = false; // the last greedy sweep changed no label
  bool greedyCycle = false;   // the greedy sweeps alternate between two labellings
};

/// Called after every sweep (progress reporting); may be empty.
using SweepObserver = std::function<void(const SweepSummary&)>;

/// Runs the schedule on the Segmenter's labels. The generator is seeded with
/// seed at the start. parameters holds classCount floats (theta_1 ..
/// theta_{K-1}, beta). When report is not null the two summary lines go there.
/// Every SweepSummary carries the given round.
AnnealingReport anneal(Segmenter& segmenter, const AnnealingSchedule& schedule,
                       const std::vector<float>& parameters, unsigned seed,
                       std::FILE* report = nullptr, const SweepObserver& observer = {},
                       int round = 1);

} // namespace vornel
