#include "optimisation/MetropolisTest.hpp"
#include "optimisation/RingLabelCounts.hpp"
#include "optimisation/SweepFrame.hpp"
#include "optimisation/Sweeps.hpp"

namespace vornel {

namespace {

/// The energies of one vertex under its own label and under the other one.
struct EnergyPair {
  double current;
  double candidate;
};

class TwoClassEnergies {
public:
  TwoClassEnergies(const Segmenter& segmenter, const EnergyModel& model)
      : offsets_(segmenter.graph.offsets.data()), neighbours_(segmenter.graph.neighbours.data()),
        labels_(segmenter.labels.data()), values_(segmenter.values.data()), model_(model) {}

  static std::int32_t otherLabel(std::int32_t current) {
    return static_cast<std::uint8_t>(current) == 0 ? 1 : 0;
  }

  EnergyPair operator()(std::size_t v, std::int32_t current) const {
    const std::int32_t candidate = otherLabel(current);
    // S of both labels from one pass over the ring.
    const std::uint32_t* const begin = neighbours_ + offsets_[v];
    const std::uint32_t* const end = neighbours_ + offsets_[v + 1];
    const int degree = static_cast<int>(end - begin);
    int sameCurrent = 0;
    int sameCandidate = 0;
    if (RingLabelCounts::packable(model_.classCount, static_cast<std::uint32_t>(degree))) {
      const RingLabelCounts counts(begin, end, labels_);
      sameCurrent = counts[current];
      sameCandidate = counts[candidate];
    } else {
      const TwoLabelCounts counts(begin, end, labels_, current, candidate);
      sameCurrent = counts.sameFirst;
      sameCandidate = counts.sameSecond;
    }
    const double x = values_[v];
    return {model_.dataTerm(current, x) +
                model_.neighbourhoodTerm(current, sameCurrent, degree - sameCurrent),
            model_.dataTerm(candidate, x) +
                model_.neighbourhoodTerm(candidate, sameCandidate, degree - sameCandidate)};
  }

private:
  const std::uint32_t* offsets_;
  const std::uint32_t* neighbours_;
  const std::int32_t* labels_;
  const double* values_;
  const EnergyModel& model_;
};

} // namespace

long twoClassSweep(Segmenter& segmenter, const EnergyModel& model, double T, bool greedy,
                   RandomGenerator& rng, SweepScratch& scratch) {
  if (model.classCount < 2)
    return 0; // no second label to offer
  const TwoClassEnergies energies(segmenter, model);
  const MetropolisTest metropolis(T);
  const auto other = TwoClassEnergies::otherLabel;

  if (greedy) // accepts exactly when p >= 1, so a tie changes the label
    return runSweepFrame(segmenter, scratch, [&](std::size_t v, std::int32_t current) {
      const EnergyPair e = energies(v, current);
      return metropolis.acceptsWithoutDraw(e.current, e.candidate) ? other(current) : current;
    });
  // With two classes the gathered form has nothing left for the walk: it is
  // the ahead form.
  if (drawnSweepForm(scratch, model.classCount) == DrawnSweepForm::InOrder)
    return runSweepInOrder(segmenter, scratch, [&](std::size_t v, std::int32_t current) {
      const EnergyPair e = energies(v, current);
      return metropolis.accepts(e.current, e.candidate, rng) ? other(current) : current;
    });
  return runDrawnSweep(
      segmenter, scratch, scratch.pending, 1,
      [&](std::size_t v, std::int32_t current, double* pending) {
        const EnergyPair e = energies(v, current);
        *pending = metropolis.pendingExponent(e.current, e.candidate);
      },
      [&](std::size_t, std::int32_t current, const double* pending) {
        return metropolis.acceptsPending(*pending, rng) ? other(current) : current;
      });
}

} // namespace vornel
