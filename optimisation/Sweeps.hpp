#pragma once
// One sweep of the annealing over all vertices, for two classes and for more.
// A sweep is a simultaneous update: every decision sees the labels as they were
// when the sweep began, and all decided labels take effect together. The
// labels do not depend on the calling arena's thread count: the annealing
// either decides the vertices in order, each taking its draws as it goes, or,
// on several threads, forms what it can of every vertex's decision in parallel
// first and then walks the draws in the same order (see drawnSweepForm).

#include "classes/RandomGenerator.hpp"
#include "classes/Segmenter.hpp"
#include "optimisation/LocalEnergy.hpp"
#include "optimisation/SweepFrame.hpp"

#include <cstdint>
#include <vector>

namespace vornel {

/// Two-class sweep: every vertex is offered the other label (1 for label 0, else
/// 0, on the low 8 bits). Annealing decides by the Metropolis test at T; greedy
/// accepts when p >= 1, so a tie changes the label. scratch is memory reused
/// across sweeps. Returns the number of labels that changed.
long twoClassSweep(Segmenter& segmenter, const EnergyModel& model, double T, bool greedy,
                   RandomGenerator& rng, SweepScratch& scratch);

/// Multi-class sweep. Annealing: proposal r = next() % (K-1), candidate r if
/// r < l else r + 1, then the Metropolis test at T. Greedy: the label of
/// strictly lowest energy, the current one kept on a tie, the lowest label
/// winning among equal others. Returns the number of labels that changed.
long multiClassSweep(Segmenter& segmenter, const EnergyModel& model, double T, bool greedy,
                     RandomGenerator& rng, SweepScratch& scratch);

} // namespace vornel
