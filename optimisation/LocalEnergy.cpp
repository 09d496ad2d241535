#include "optimisation/LocalEnergy.hpp"

#include "core/Errors.hpp"
#include "optimisation/FeatureDataTerms.hpp"

#include <algorithm>
#include <cfloat>
#include <string>

namespace vornel {

namespace {

void requireLength(const char* what, std::size_t length, int classCount) {
  if (length < static_cast<std::size_t>(classCount))
    throw InvalidInputError(std::string("annealing needs ") + std::to_string(classCount) + " " +
                            what + ", got " + std::to_string(length));
}

std::vector<double> buildRatioTable() {
  const int size = EnergyModel::ratioTableSize;
  std::vector<double> table(static_cast<std::size_t>(size) * size, 0.0);
  for (int total = 1; total < size; ++total)
    for (int same = 0; same <= total; ++same)
      table[total * size + same] =
          static_cast<double>((total - same) - same) / static_cast<double>(total);
  return table;
}

} // namespace

double varianceFloor(const std::vector<double>& values, const std::vector<double>& means) {
  double low = 0.0;
  double high = 0.0;
  bool first = true;
  for (const auto* list : {&values, &means}) {
    for (const double x : *list) {
      low = first ? x : std::min(low, x);
      high = first ? x : std::max(high, x);
      first = false;
    }
  }
  const double span = high - low;
  const double floor = 1e-12 * (span * span);
  if (!(floor >= DBL_MIN))
    return DBL_MIN; // no span: every distance is 0, any positive floor gives 0
  return std::min(floor, DBL_MAX);
}

EnergyModel EnergyModel::fromSegmenter(const Segmenter& segmenter,
                                       const std::vector<float>& parameters) {
  const int classCount = segmenter.classCount;
  if (classCount > maxAnnealedClasses)
    throw InvalidInputError("annealing supports at most " + std::to_string(maxAnnealedClasses) +
                            " classes, got " + std::to_string(classCount));
  requireLength("parameters", parameters.size(), classCount);
  const int D = segmenter.featureCount;
  requireLength("class means", segmenter.means.size() / D, classCount);
  requireLength("class variances", segmenter.variances.size() / (D * D), classCount);

  EnergyModel model;
  model.classCount = classCount;
  model.featureCount = D;
  model.ratioTable = buildRatioTable();
  if (classCount <= 0)
    return model;
  if (D > 1) {
    model.featureEnergies =
        featureDataEnergies(segmenter.values, D, segmenter.means, segmenter.variances, classCount,
                            covarianceRidge(segmenter.values, D));
  } else {
    model.means.assign(segmenter.means.begin(), segmenter.means.begin() + classCount);
    const double floor = varianceFloor(segmenter.values, model.means);
    model.variances.reserve(classCount);
    for (int l = 0; l < classCount; ++l) {
      const double variance = segmenter.variances[l];
      model.variances.push_back(variance > 0.0 ? variance : floor);
    }
  }
  model.classWeights.push_back(1.0);
  for (int l = 1; l < classCount; ++l)
    model.classWeights.push_back(static_cast<double>(parameters[l - 1]));
  model.beta = static_cast<double>(parameters[classCount - 1]);
  model.neighbourhoodTable.reserve(static_cast<std::size_t>(ratioTableSize) * classCount *
                                   ratioTableSize);
  for (int total = 0; total < ratioTableSize; ++total)
    for (int l = 0; l < classCount; ++l)
      for (int same = 0; same < ratioTableSize; ++same)
        model.neighbourhoodTable.push_back(
            model.beta * model.ratioTable[total * ratioTableSize + same] - model.classWeights[l]);
  return model;
}

double neighbourhoodEnergy(const VertexGraph& graph, const std::vector<std::int32_t>& labels,
                           std::size_t v, int label, const EnergyModel& model) {
  int same = 0;
  int other = 0;
  for (std::uint32_t j = graph.ringBegin(v); j < graph.ringEnd(v); ++j) {
    if (labels[graph.neighbours[j]] == label)
      ++same;
    else
      ++other;
  }
  return model.neighbourhoodTerm(label, same, other);
}

double localEnergy(const VertexGraph& graph, const std::vector<std::int32_t>& labels,
                   const std::vector<double>& values, std::size_t v, int label,
                   const EnergyModel& model) {
  return model.dataTerm(label, values[v]) + neighbourhoodEnergy(graph, labels, v, label, model);
}

} // namespace vornel
