#include "optimisation/MetropolisTest.hpp"
#include "optimisation/RingLabelCounts.hpp"
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
    const std::uint32_t* const begin = neighbours + offsets[v];
    const std::uint32_t* const end = neighbours + offsets[v + 1];
    const int degree = static_cast<int>(end - begin);
    int sameCurrent = 0;
    int sameCandidate = 0;
    if (RingLabelCounts::packable(model.classCount, static_cast<std::uint32_t>(degree))) {
      const RingLabelCounts counts(begin, end, labels);
      sameCurrent = counts[current];
      sameCandidate = counts[candidate];
    } else {
      const TwoLabelCounts counts(begin, end, labels, current, candidate);
      sameCurrent = counts.sameFirst;
      sameCandidate = counts.sameSecond;
    }
    const double x = values[v];
    const double eOld = model.dataTerm(current, x) +
                        model.neighbourhoodTerm(current, sameCurrent, degree - sameCurrent);
    const double eNew = model.dataTerm(candidate, x) +
                        model.neighbourhoodTerm(candidate, sameCandidate, degree - sameCandidate);
    // Greedy accepts exactly when p >= 1, so a tie changes the label.
    const bool accepted =
        greedy ? metropolis.acceptsWithoutDraw(eOld, eNew) : metropolis.accepts(eOld, eNew, rng);
    return accepted ? candidate : current;
  });
}

} // namespace vornel
