#include "optimisation/MetropolisTest.hpp"
#include "optimisation/RingLabelCounts.hpp"
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
  return {segmenter.graph.offsets.data(), segmenter.graph.neighbours.data(),
          segmenter.labels.data(), segmenter.values.data()};
}

/// Annealing: one proposed label per vertex, decided by the Metropolis test.
long annealingSweep(Segmenter& segmenter, const EnergyModel& model, double T, RandomGenerator& rng,
                    std::vector<std::int32_t>& workingLabels) {
  const SweepData data = sweepData(segmenter);
  const MetropolisTest metropolis(T);
  const int classCount = model.classCount;
  const int proposals = classCount - 1;
  // For a power of two the remainder is a mask (the draws are non-negative).
  const int proposalMask = (proposals & (proposals - 1)) == 0 ? proposals - 1 : -1;

  return runSweepFrame(segmenter, workingLabels, [&](std::size_t v, std::int32_t current) {
    // Proposal and comparison on 8 bits: every label but the current one is equally likely.
    const int draw = rng.next();
    const std::uint8_t drawn =
        static_cast<std::uint8_t>(proposalMask >= 0 ? draw & proposalMask : draw % proposals);
    const std::uint8_t current8 = static_cast<std::uint8_t>(current);
    const std::int32_t candidate = drawn < current8 ? drawn : static_cast<std::uint8_t>(drawn + 1);
    const std::uint32_t* const begin = data.neighbours + data.offsets[v];
    const std::uint32_t* const end = data.neighbours + data.offsets[v + 1];
    const int degree = static_cast<int>(end - begin);
    int sameCurrent = 0;
    int sameCandidate = 0;
    if (RingLabelCounts::packable(classCount, static_cast<std::uint32_t>(degree))) {
      const RingLabelCounts counts(begin, end, data.labels);
      sameCurrent = counts[current];
      sameCandidate = counts[candidate];
    } else {
      const TwoLabelCounts counts(begin, end, data.labels, current, candidate);
      sameCurrent = counts.sameFirst;
      sameCandidate = counts.sameSecond;
    }
    const double x = data.values[v];
    const double eOld = model.dataTerm(current, x) +
                        model.neighbourhoodTerm(current, sameCurrent, degree - sameCurrent);
    const double eNew = model.dataTerm(candidate, x) +
                        model.neighbourhoodTerm(candidate, sameCandidate, degree - sameCandidate);
    return metropolis.accepts(eOld, eNew, rng) ? candidate : current;
  });
}

/// The label of strictly lowest local energy, starting from the current one;
/// same(label) is the number of ring neighbours carrying label.
template <class SameCount>
std::int32_t lowestEnergyLabel(const EnergyModel& model, double x, std::int32_t current, int degree,
                               SameCount same) {
  const std::uint8_t current8 = static_cast<std::uint8_t>(current);
  std::uint8_t best = current8;
  double bestEnergy = model.dataTerm(current, x) +
                      model.neighbourhoodTerm(current, same(current), degree - same(current));
  for (int label = 0; label < model.classCount; ++label) {
    if (label == current8)
      continue;
    const int sameLabel = same(label);
    const double energy =
        model.dataTerm(label, x) + model.neighbourhoodTerm(label, sameLabel, degree - sameLabel);
    if (energy < bestEnergy) {
      best = static_cast<std::uint8_t>(label);
      bestEnergy = energy;
    }
  }
  return static_cast<std::int32_t>(best);
}

/// Greedy: the label of strictly lowest local energy, starting from the current one.
long greedySweep(Segmenter& segmenter, const EnergyModel& model,
                 std::vector<std::int32_t>& workingLabels) {
  const SweepData data = sweepData(segmenter);
  const int classCount = model.classCount;
  std::array<int, maxAnnealedClasses> ringCounts{}; // back to all zero after every vertex

  return runSweepFrame(segmenter, workingLabels, [&](std::size_t v, std::int32_t current) {
    const std::uint32_t* const begin = data.neighbours + data.offsets[v];
    const std::uint32_t* const end = data.neighbours + data.offsets[v + 1];
    const int degree = static_cast<int>(end - begin);
    const double x = data.values[v];
    if (RingLabelCounts::packable(classCount, static_cast<std::uint32_t>(degree))) {
      const RingLabelCounts counts(begin, end, data.labels);
      return lowestEnergyLabel(model, x, current, degree, [&](int label) { return counts[label]; });
    }
    for (const std::uint32_t* n = begin; n != end; ++n)
      ++ringCounts[data.labels[*n]];
    const std::int32_t best =
        lowestEnergyLabel(model, x, current, degree, [&](int label) { return ringCounts[label]; });
    for (const std::uint32_t* n = begin; n != end; ++n)
      ringCounts[data.labels[*n]] = 0;
    return best;
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
