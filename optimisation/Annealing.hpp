#pragma once
// Simulated annealing of the pairwise label model: a Gaussian data term per
// class plus the fitted neighbourhood term, over a fixed number of sweeps at a
// geometrically falling temperature, the last sweep greedy.

#include "classes/RandomGenerator.hpp"
#include "classes/Segmenter.hpp"

#include <cstdio>
#include <functional>
#include <vector>

namespace vornel {

struct AnnealingSchedule {
  double initialTemperature = 4.0;
  double coolingFactor = 0.97;
  int sweepCount = 0;
  int extra = 10; // second bound: sweep k runs only while k <= sweepCount + extra
};

struct SweepSummary {
  int sweep = 0; // 1-based
  double temperature = 0.0;
  bool greedy = false;
  long changedLabels = 0;
};

struct AnnealingReport {
  int sweepsRun = 0;
  int greedySweeps = 0;
};

/// Called after every sweep (progress reporting); may be empty.
using SweepObserver = std::function<void(const SweepSummary&)>;

/// Runs the schedule on the Segmenter's labels. The generator is seeded with
/// seed at the start. parameters holds classCount floats (theta_1 ..
/// theta_{K-1}, beta). When report is not null the two summary lines go there.
AnnealingReport anneal(Segmenter& segmenter, const AnnealingSchedule& schedule,
                       const std::vector<float>& parameters, unsigned seed,
                       std::FILE* report = nullptr, const SweepObserver& observer = {});

} // namespace vornel
