#pragma once
// The local energy of one vertex under one label: a Gaussian data term plus the
// fitted neighbourhood term. Both sweeps share it, so every energy is formed by
// the same expressions in the same order.

#include "classes/Segmenter.hpp"
#include "core/VertexGraph.hpp"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vornel {

/// The sweeps handle labels in 8 bits, so at most this many classes anneal.
constexpr int maxAnnealedClasses = 256;

/// Per-class constants of the local energy, fixed for a whole schedule.
struct EnergyModel {
  /// Reads means, variances and classCount from the Segmenter; parameters holds
  /// theta_1 .. theta_{K-1} then beta. Throws InvalidInputError when a per-class
  /// array is shorter than the class count or the class count exceeds 256.
  static EnergyModel fromSegmenter(const Segmenter& segmenter,
                                   const std::vector<float>& parameters);

  /// 0.5 * (mean - x)^2 / variance of the label.
  double dataTerm(int label, double x) const {
    const double d = means[label] - x;
    return 0.5 * (d * d) / variances[label];
  }

  /// With several features: vertex v's data term under label, from the table.
  double featureDataTerm(int label, std::size_t v) const {
    return featureEnergies[v * static_cast<std::size_t>(classCount) + label];
  }

  /// beta * (D - S) / (D + S) - theta_label for S ring neighbours with the label
  /// and D with another; a vertex without neighbours has ratio 0. Small rings
  /// read the term from a table of the same expression, built once.
  double neighbourhoodTerm(int label, int same, int other) const {
    const int total = other + same;
    if (total < ratioTableSize)
      return neighbourhoodTable[(total * classCount + label) * ratioTableSize + same];
    return beta * agreementRatio(same, other) - classWeights[label];
  }

  /// (D - S) / (D + S), the difference and sum formed as integers; 0 for no
  /// neighbours. Small rings read the quotient from a table built once.
  double agreementRatio(int same, int other) const {
    const int total = other + same;
    if (total < ratioTableSize)
      return ratioTable[total * ratioTableSize + same];
    return static_cast<double>(other - same) / static_cast<double>(total);
  }

  static constexpr int ratioTableSize = 33; // rings of up to 32 neighbours
  int classCount = 0;
  int featureCount = 1;
  /// With one feature: per class. With several: empty, the data terms are in
  /// featureEnergies.
  std::vector<double> means;
  std::vector<double> variances;    // a zero variance replaced by varianceFloor
  std::vector<double> classWeights; // theta_l; theta_0 = 1.0
  double beta = 0.0;
  std::vector<double> ratioTable; // [total * ratioTableSize + same]
  /// beta * ratioTable[total * ratioTableSize + same] - classWeights[label] at
  /// [(total * classCount + label) * ratioTableSize + same].
  std::vector<double> neighbourhoodTable;
  /// With several features, vertex v's data term under label l at
  /// [v * classCount + l] (see featureDataEnergies); empty with one feature.
  std::vector<double> featureEnergies;
};

/// The variance that stands in for a class of variance 0: 1e-12 times the
/// square of the span of the values and class means (clamped to the normal
/// doubles). Every distance |mean - x| is within that span, so such a class has
/// a data term of at most 5e11 (finite) and 0 for a value equal to its mean.
double varianceFloor(const std::vector<double>& values, const std::vector<double>& means);

/// Neighbourhood term of vertex v as if it carried label: counts v's ring
/// neighbours in labels that carry label (S) and the others (D).
double neighbourhoodEnergy(const VertexGraph& graph, const std::vector<std::int32_t>& labels,
                           std::size_t v, int label, const EnergyModel& model);

/// E(v, label) = data term + neighbourhood term, v taken to carry label; one
/// feature per vertex.
double localEnergy(const VertexGraph& graph, const std::vector<std::int32_t>& labels,
                   const std::vector<double>& values, std::size_t v, int label,
                   const EnergyModel& model);

} // namespace vornel
