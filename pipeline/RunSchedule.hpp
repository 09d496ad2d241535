#pragma once
// The annealing schedule of a run, and the rules its settings keep: the
// command line, segmentMesh and segment() all check them here.

#include "optimisation/Annealing.hpp"
#include "pipeline/Options.hpp"

namespace vornel {

/// A first temperature is a finite number above 0: an infinite one would make
/// every sweep but the greedy one a random draw.
bool isValidInitialTemperature(double temperature);

/// A cooling factor lies in (0, 1].
bool isValidCoolingFactor(double factor);

/// Throws InvalidInputError naming the first schedule setting of options that
/// breaks its rule.
void checkSchedule(const SegmentationOptions& options);

/// The annealing schedule of a run: the mode's defaults, overridden by the
/// options' temperature and cooling factor when given. The refined model's
/// schedule settles (see refinedSchedule); the default one is fixed.
AnnealingSchedule annealingScheduleFor(const SegmentationOptions& options);

} // namespace vornel
