#include "optimisation/DataTerms.hpp"
#include "optimisation/MetropolisTest.hpp"
#include "optimisation/RingLabelCounts.hpp"
#include "optimisation/SweepFrame.hpp"
#include "optimisation/Sweeps.hpp"

namespace vornel {

namespace {

/// The label offered to a vertex: 1 for label 0, else 0, on the low 8 bits.
std::int32_t otherLabel(std::int32_t current) {
  return static_cast<std::uint8_t>(current) == 0 ? 1 : 0;
}

/// The energies of one vertex under its own label and under the other one.
struct EnergyPair {
  double current;
  double candidate;
};

template <class DataTerms> class TwoClassEnergies {
public:
  TwoClassEnergies(const Segmenter& segmenter, const EnergyModel& model, const DataTerms& terms)
      : offsets_(segmenter.graph.offsets.data()), neighbours_(segmenter.graph.neighbours.data()),
        labels_(segmenter.labels.data()), terms_(terms), model_(model) {}

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
    const auto dataTerm = terms_.at(v);
    return {dataTerm(current) +
                model_.neighbourhoodTerm(current, sameCurrent, degree - sameCurrent),
            dataTerm(candidate) +
                model_.neighbourhoodTerm(candidate, sameCandidate, degree - sameCandidate)};
  }

private:
  const std::uint32_t* offsets_;
  const std::uint32_t* neighbours_;
  const std::int32_t* labels_;
  const DataTerms& terms_;
  const EnergyModel& model_;
};

template <class DataTerms>
long twoClassSweepWith(Segmenter& segmenter, const EnergyModel& model, const DataTerms& terms,
                       double T, bool greedy, RandomGenerator& rng, SweepScratch& scratch) {
  const TwoClassEnergies<DataTerms> energies(segmenter, model, terms);
  const MetropolisTest metropolis(T);

  if (greedy) // accepts exactly when p >= 1, so a tie changes the label
    return runSweepFrame(segmenter, scratch, [&](std::size_t v, std::int32_t current) {
      const EnergyPair e = energies(v, current);
      return metropolis.acceptsWithoutDraw(e.current, e.candidate) ? otherLabel(current) : current;
    });
  // With two classes the gathered form has nothing left for the walk: it is
  // the ahead form.
  if (drawnSweepForm(scratch, model.classCount) == DrawnSweepForm::InOrder)
    return runSweepInOrder(segmenter, scratch, [&](std::size_t v, std::int32_t current) {
      const EnergyPair e = energies(v, current);
      return metropolis.accepts(e.current, e.candidate, rng) ? otherLabel(current) : current;
    });
  return runDrawnSweep(
      segmenter, scratch, scratch.pending, 1,
      [&](std::size_t v, std::int32_t current, double* pending) {
        const EnergyPair e = energies(v, current);
        *pending = metropolis.pendingExponent(e.current, e.candidate);
      },
      [&](std::size_t, std::int32_t current, const double* pending) {
        return metropolis.acceptsPending(*pending, rng) ? otherLabel(current) : current;
      });
}

} // namespace

long twoClassSweep(Segmenter& segmenter, const EnergyModel& model, double T, bool greedy,
                   RandomGenerator& rng, SweepScratch& scratch) {
  if (model.classCount < 2)
    return 0; // no second label to offer
  return withDataTerms(segmenter, model, [&](const auto& terms) {
    return twoClassSweepWith(segmenter, model, terms, T, greedy, rng, scratch);
  });
}

} // namespace vornel
