#include "optimisation/MetropolisTest.hpp"
#include "optimisation/SweepFrame.hpp"
#include "optimisation/Sweeps.hpp"

#include <array>

namespace vornel {

namespace {

struct SweepData {
  const std::uint32_t* offsets;
  const std::uint32_t* neighbours;
  const std::int32_t* labels;
  const double* values;
};

SweepData sweepData(const Segmenter& segmenter) {
  return {segmenter.graph.offsets.data(), segmenter.graph.neighbours.data(), segmenter.labels.data(),
          segmenter.values.data()};
}

/// Annealing: one proposed label per vertex, decided by the Metropolis test.
long annealingSweep(Segmenter& segmenter, const EnergyModel& model, double T, RandomGenerator& rng,
                    std::vector<std::int32_t>& workingLabels) {
  const SweepData data = sweepData(segmenter);
  const MetropolisTest metropolis(T);
  const int proposals = model.classCount - 1;
  // For a power of two the remainder is a mask (the draws are non-negative).
  const int proposalMask = (proposals & (proposals - 1)) == 0 ? proposals - 1 : -1;

  return runSweepFrame(segmenter, workingLabels, [&](std::size_t v, std::int32_t current) {
    // Proposal and comparison on 8 bits: every label but the current one is equally likely.
    const int draw = rng.next();
    const std::uint8_t drawn = static_cast<std::uint8_t>(proposalMask >= 0 ? draw & proposalMask : draw % proposals);
    const std::uint8_t current8 = static_cast<std::uint8_t>(current);
    const std::int32_t candidate = drawn < current8 ? drawn : static_cast<std::uint8_t>(drawn + 1);
    int sameCurrent = 0;
    int sameCandidate = 0;
    const std::uint32_t begin = data.offsets[v];
    const std::uint32_t end = data.offsets[v + 1];
    for (std::uint32_t j = begin; j < end; ++j) {
      const std::int32_t neighbourLabel = data.labels[data.neighbours[j]];
      sameCurrent += neighbourLabel == current;
      sameCandidate += neighbourLabel == candidate;
    }
    const int degree = static_cast<int>(end - begin);
    const double x = data.values[v];
    const double eOld = model.dataTerm(current, x) +
                        model.neighbourhoodTerm(current, sameCurrent, degree - sameCurrent);
    const double eNew = model.dataTerm(candidate, x) +
                        model.neighbourhoodTerm(candidate, sameCandidate, degree - sameCandidate);
    return metropolis.accepts(eOld, eNew, rng) ? candidate : current;
  });
}

/// Greedy: the label of strictly lowest local energy, starting from the current one.
long greedySweep(Segmenter& segmenter, const EnergyModel& model, std::vector<std::int32_t>& workingLabels) {
  const SweepData data = sweepData(segmenter);
  const int classCount = model.classCount;
  std::array<int, maxAnnealedClasses> ringCounts{}; // back to all zero after every vertex

  return runSweepFrame(segmenter, workingLabels, [&](std::size_t v, std::int32_t current) {
    const std::uint32_t begin = data.offsets[v];
    const std::uint32_t end = data.offsets[v + 1];
    for (std::uint32_t j = begin; j < end; ++j)
      ++ringCounts[data.labels[data.neighbours[j]]];
    const int degree = static_cast<int>(end - begin);
    const double x = data.values[v];
    const std::uint8_t current8 = static_cast<std::uint8_t>(current);
    std::uint8_t best = current8;
    double bestEnergy = model.dataTerm(current, x) +
                        model.neighbourhoodTerm(current, ringCounts[current], degree - ringCounts[current]);
    for (int label = 0; label < classCount; ++label) {
      if (label == current8)
        continue;
      const int same = ringCounts[label];
      const double energy = model.dataTerm(label, x) + model.neighbourhoodTerm(label, same, degree - same);
      if (energy < bestEnergy) {
        best = static_cast<std::uint8_t>(label);
        bestEnergy = energy;
      }
    }
    for (std::uint32_t j = begin; j < end; ++j)
      ringCounts[data.labels[data.neighbours[j]]] = 0;
    return static_cast<std::int32_t>(best);
  });
}

} // namespace

long multiClassSweep(Segmenter& segmenter, const EnergyModel& model, double T, bool greedy,
                     RandomGenerator& rng, std::vector<std::int32_t>& workingLabels) {
  if (model.classCount < 2)
    return 0; // no other label to propose
  return greedy ? greedySweep(segmenter, model, workingLabels)
                : annealingSweep(segmenter, model, T, rng, workingLabels);
}

} // namespace vornel
