#pragma once
// The refined model (--refine), its whole recipe here: the same stages as the
// plain run with better class statistics (the best of ten k-means starts on
// the ring averages, class variances no smaller than the noise variance read
// from the edges), an interaction-only fit, a cooler schedule (from 1 down to
// a twentieth of it over IterNB sweeps, then at most 4 x IterNB more until the
// labels settle) and a second round.

#include "optimisation/Annealing.hpp"
#include "pipeline/Segmentation.hpp"

namespace vornel {

/// The refined model's schedule for IterNB = sweepCount, before the options'
/// temperature and cooling factor override it (annealingScheduleFor).
AnnealingSchedule refinedSchedule(int sweepCount);

/// The refined model's stopping rule for IterNB = sweepCount: settled when a
/// sweep changes fewer than 0.5 % of the labels, at most 4 x IterNB sweeps at
/// the last cooling temperature, then at most 10 greedy sweeps.
SettlingRule refinedSettlingRule(int sweepCount);

/// Runs the refined model; the input has been checked by segment().
SegmentationResult segmentRefined(const VertexGraph& graph, std::vector<double> values,
                                  int featureCount, const SegmentationOptions& options,
                                  unsigned seed, RunReport& report);

} // namespace vornel
