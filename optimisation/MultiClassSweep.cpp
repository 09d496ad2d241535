#include "optimisation/DataTerms.hpp"
#include "optimisation/MetropolisTest.hpp"
#include "optimisation/RingLabelCounts.hpp"
#include "optimisation/SweepFrame.hpp"
#include "optimisation/Sweeps.hpp"

#include <algorithm>
#include <array>

namespace vornel {

namespace {

struct SweepData {
  const std::uint32_t* offsets;
  const std::uint32_t* neighbours;
  const std::int32_t* labels;
};

SweepData sweepData(const Segmenter& segmenter) {
  return {segmenter.graph.offsets.data(), segmenter.graph.neighbours.data(),
          segmenter.labels.data()};
}

/// The label a draw proposes, on 8 bits: every label but the current one is
/// equally likely.
class Proposal {
public:
  explicit Proposal(int classCount)
      : proposals_(classCount - 1),
        // For a power of two the remainder is a mask (the draws are non-negative).
        mask_((proposals_ & (proposals_ - 1)) == 0 ? proposals_ - 1 : -1) {}

  std::int32_t candidate(int draw, std::int32_t current) const {
    const std::uint8_t drawn =
        static_cast<std::uint8_t>(mask_ >= 0 ? draw & mask_ : draw % proposals_);
    const std::uint8_t current8 = static_cast<std::uint8_t>(current);
    return drawn < current8 ? drawn : static_cast<std::uint8_t>(drawn + 1);
  }

private:
  int proposals_;
  int mask_;
};

/// same[l] = the number of v's ring neighbours labelled l, for every class l.
void countRingLabels(const SweepData& data, int classCount, std::size_t v, int* same) {
  const std::uint32_t* const begin = data.neighbours + data.offsets[v];
  const std::uint32_t* const end = data.neighbours + data.offsets[v + 1];
  if (RingLabelCounts::packable(classCount, static_cast<std::uint32_t>(end - begin))) {
    const RingLabelCounts counts(begin, end, data.labels);
    for (int label = 0; label < classCount; ++label)
      same[label] = counts[label];
    return;
  }
  std::fill_n(same, classCount, 0);
  for (const std::uint32_t* n = begin; n != end; ++n)
    ++same[data.labels[*n]];
}

/// The Metropolis decision of one vertex as it is reached: its proposal's
/// draw, the ring counts of its label and the candidate, then the test.
template <class DataTerms> class InOrderDecision {
public:
  InOrderDecision(const SweepData& data, const EnergyModel& model, const DataTerms& terms,
                  const MetropolisTest& metropolis, RandomGenerator& rng)
      : data_(data), model_(model), terms_(terms), metropolis_(metropolis), rng_(rng),
        proposal_(model.classCount) {}

  std::int32_t operator()(std::size_t v, std::int32_t current) const {
    const std::int32_t candidate = proposal_.candidate(rng_.next(), current);
    const std::uint32_t* const begin = data_.neighbours + data_.offsets[v];
    const std::uint32_t* const end = data_.neighbours + data_.offsets[v + 1];
    const int degree = static_cast<int>(end - begin);
    int sameCurrent = 0;
    int sameCandidate = 0;
    if (RingLabelCounts::packable(model_.classCount, static_cast<std::uint32_t>(degree))) {
      const RingLabelCounts counts(begin, end, data_.labels);
      sameCurrent = counts[current];
      sameCandidate = counts[candidate];
    } else {
      const TwoLabelCounts counts(begin, end, data_.labels, current, candidate);
      sameCurrent = counts.sameFirst;
      sameCandidate = counts.sameSecond;
    }
    const auto dataTerm = terms_.at(v);
    const double eOld =
        dataTerm(current) + model_.neighbourhoodTerm(current, sameCurrent, degree - sameCurrent);
    const double eNew = dataTerm(candidate) +
                        model_.neighbourhoodTerm(candidate, sameCandidate, degree - sameCandidate);
    return metropolis_.accepts(eOld, eNew, rng_) ? candidate : current;
  }

private:
  const SweepData& data_;
  const EnergyModel& model_;
  const DataTerms& terms_;
  const MetropolisTest& metropolis_;
  RandomGenerator& rng_;
  Proposal proposal_;
};

/// Annealing on one thread: one proposed label per vertex, decided by the
/// Metropolis test as the vertex is reached.
template <class DataTerms>
long annealingSweepInOrder(Segmenter& segmenter, const EnergyModel& model, const DataTerms& terms,
                           double T, RandomGenerator& rng, SweepScratch& scratch) {
  const SweepData data = sweepData(segmenter);
  const MetropolisTest metropolis(T);
  return runSweepInOrder(segmenter, scratch, InOrderDecision(data, model, terms, metropolis, rng));
}

/// Annealing on several threads: every label's pending test is formed for
/// every vertex in parallel, then the draws pick one per vertex in order.
template <class DataTerms>
long annealingSweepAhead(Segmenter& segmenter, const EnergyModel& model, const DataTerms& terms,
                         double T, RandomGenerator& rng, SweepScratch& scratch) {
  const SweepData data = sweepData(segmenter);
  const MetropolisTest metropolis(T);
  const int classCount = model.classCount;
  const Proposal proposal(classCount);

  const auto prepare = [&](std::size_t v, std::int32_t current, double* pending) {
    std::array<int, maxAnnealedClasses> same;
    countRingLabels(data, classCount, v, same.data());
    const int degree = static_cast<int>(data.offsets[v + 1] - data.offsets[v]);
    const auto dataTerm = terms.at(v);
    const double eOld =
        dataTerm(current) + model.neighbourhoodTerm(current, same[current], degree - same[current]);
    for (int label = 0; label < classCount; ++label) {
      if (label == current)
        continue;
      const double eNew =
          dataTerm(label) + model.neighbourhoodTerm(label, same[label], degree - same[label]);
      pending[label] = metropolis.pendingExponent(eOld, eNew);
    }
  };
  return runDrawnSweep(segmenter, scratch, scratch.pending, static_cast<std::size_t>(classCount),
                       prepare, [&](std::size_t, std::int32_t current, const double* pending) {
                         const std::int32_t candidate = proposal.candidate(rng.next(), current);
                         return metropolis.acceptsPending(pending[candidate], rng) ? candidate
                                                                                   : current;
                       });
}

/// Annealing on several threads with at most eight classes: the ring gathers
/// (the memory-bound part) and the energy under the current label are formed
/// in parallel; the walk over the draws forms only the drawn candidate's
/// energy, from the packed counts. A ring too long to pack is decided in the
/// walk as the in-order sweep decides it.
template <class DataTerms>
long annealingSweepGathered(Segmenter& segmenter, const EnergyModel& model, const DataTerms& terms,
                            double T, RandomGenerator& rng, SweepScratch& scratch) {
  const SweepData data = sweepData(segmenter);
  const MetropolisTest metropolis(T);
  const int classCount = model.classCount;
  const Proposal proposal(classCount);
  const InOrderDecision<DataTerms> inOrder(data, model, terms, metropolis, rng);

  const auto prepare = [&](std::size_t v, std::int32_t current, GatheredRing* ring) {
    const std::uint32_t* const begin = data.neighbours + data.offsets[v];
    const std::uint32_t* const end = data.neighbours + data.offsets[v + 1];
    const int degree = static_cast<int>(end - begin);
    if (!RingLabelCounts::packable(classCount, static_cast<std::uint32_t>(degree))) {
      ring->counts = GatheredRing::unpacked;
      return;
    }
    const RingLabelCounts counts(begin, end, data.labels);
    const int same = counts[current];
    ring->counts = counts.packed();
    ring->currentEnergy =
        terms.at(v)(current) + model.neighbourhoodTerm(current, same, degree - same);
  };
  const auto decide = [&](std::size_t v, std::int32_t current, const GatheredRing* ring) {
    if (ring->counts == GatheredRing::unpacked)
      return inOrder(v, current);
    const std::int32_t candidate = proposal.candidate(rng.next(), current);
    const int degree = static_cast<int>(data.offsets[v + 1] - data.offsets[v]);
    const int same = RingLabelCounts::fromPacked(ring->counts)[candidate];
    const double eNew =
        terms.at(v)(candidate) + model.neighbourhoodTerm(candidate, same, degree - same);
    return metropolis.accepts(ring->currentEnergy, eNew, rng) ? candidate : current;
  };
  return runDrawnSweep(segmenter, scratch, scratch.gathered, 1, prepare, decide);
}

/// The label of strictly lowest local energy, starting from the current one;
/// same(label) is the number of ring neighbours carrying label.
template <class DataTerm, class SameCount>
std::int32_t lowestEnergyLabel(const EnergyModel& model, const DataTerm& dataTerm,
                               std::int32_t current, int degree, SameCount same) {
  const std::uint8_t current8 = static_cast<std::uint8_t>(current);
  std::uint8_t best = current8;
  double bestEnergy =
      dataTerm(current) + model.neighbourhoodTerm(current, same(current), degree - same(current));
  for (int label = 0; label < model.classCount; ++label) {
    if (label == current8)
      continue;
    const int sameLabel = same(label);
    const double energy =
        dataTerm(label) + model.neighbourhoodTerm(label, sameLabel, degree - sameLabel);
    if (energy < bestEnergy) {
      best = static_cast<std::uint8_t>(label);
      bestEnergy = energy;
    }
  }
  return static_cast<std::int32_t>(best);
}

/// Greedy: the label of strictly lowest local energy, starting from the current
/// one. No draws: the vertices are decided in parallel.
template <class DataTerms>
long greedySweep(Segmenter& segmenter, const EnergyModel& model, const DataTerms& terms,
                 SweepScratch& scratch) {
  const SweepData data = sweepData(segmenter);
  const int classCount = model.classCount;

  return runSweepFrame(segmenter, scratch, [&](std::size_t v, std::int32_t current) {
    const std::uint32_t* const begin = data.neighbours + data.offsets[v];
    const std::uint32_t* const end = data.neighbours + data.offsets[v + 1];
    const int degree = static_cast<int>(end - begin);
    const auto dataTerm = terms.at(v);
    if (RingLabelCounts::packable(classCount, static_cast<std::uint32_t>(degree))) {
      const RingLabelCounts counts(begin, end, data.labels);
      return lowestEnergyLabel(model, dataTerm, current, degree,
                               [&](int label) { return counts[label]; });
    }
    std::array<int, maxAnnealedClasses> same;
    countRingLabels(data, classCount, v, same.data());
    return lowestEnergyLabel(model, dataTerm, current, degree,
                             [&](int label) { return same[label]; });
  });
}

} // namespace

long multiClassSweep(Segmenter& segmenter, const EnergyModel& model, double T, bool greedy,
                     RandomGenerator& rng, SweepScratch& scratch) {
  if (model.classCount < 2)
    return 0; // no other label to propose
  return withDataTerms(segmenter, model, [&](const auto& terms) {
    if (greedy)
      return greedySweep(segmenter, model, terms, scratch);
    switch (drawnSweepForm(scratch, model.classCount)) {
    case DrawnSweepForm::Gathered:
      if (model.classCount <= RingLabelCounts::packedClasses)
        return annealingSweepGathered(segmenter, model, terms, T, rng, scratch);
      break; // too many classes to pack: the ahead form
    case DrawnSweepForm::InOrder:
      return annealingSweepInOrder(segmenter, model, terms, T, rng, scratch);
    default:
      break;
    }
    return annealingSweepAhead(segmenter, model, terms, T, rng, scratch);
  });
}

} // namespace vornel
