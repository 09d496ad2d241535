#include "optimisation/MetropolisTest.hpp"
#include "optimisation/SweepFrame.hpp"
#include "optimisation/Sweeps.hpp"

namespace vornel {

long twoClassSweep(Segmenter& segmenter, const EnergyModel& model, double T, bool greedy,
                   RandomGenerator& rng, std::vector<std::int32_t>& workingLabels) {
  if (model.classCount < 2)
    return 0; // no second label to offer
  const std::uint32_t* const offsets = segmenter.graph.offsets.data();
  const std::uint32_t* const neighbours = segmenter.graph.neighbours.data();
  const std::int32_t* const labels = segmenter.labels.data();
  const double* const values = segmenter.values.data();
  const MetropolisTest metropolis(T);

  return runSweepFrame(segmenter, workingLabels, [&](std::size_t v, std::int32_t current) {
    const std::int32_t candidate = static_cast<std::uint8_t>(current) == 0 ? 1 : 0;
    // S of both labels from one pass over the ring.
    int sameCurrent = 0;
    int sameCandidate = 0;
    const std::uint32_t begin = offsets[v];
    const std::uint32_t end = offsets[v + 1];
    for (std::uint32_t j = begin; j < end; ++j) {
      const std::int32_t neighbourLabel = labels[neighbours[j]];
      sameCurrent += neighbourLabel == current;
      sameCandidate += neighbourLabel == candidate;
    }
    const int degree = static_cast<int>(end - begin);
    const double x = values[v];
    const double eOld = model.dataTerm(current, x) +
                        model.neighbourhoodTerm(current, sameCurrent, degree - sameCurrent);
    const double eNew = model.dataTerm(candidate, x) +
                        model.neighbourhoodTerm(candidate, sameCandidate, degree - sameCandidate);
    // Greedy accepts exactly when p >= 1, so a tie changes the label.
    const bool accepted = greedy ? metropolis.acceptsWithoutDraw(eOld, eNew) : metropolis.accepts(eOld, eNew, rng);
    return accepted ? candidate : current;
  });
}

} // namespace vornel
