#include "estimation/RowEquation.hpp"

#include <cmath>
#include <numeric>

namespace vornel {

namespace {

/// r(l) = (d - s) / (d + s): s ring neighbours labelled l, d labelled otherwise.
double agreementRatio(std::int32_t same, std::int32_t ringSize) {
  const std::int32_t other = ringSize - same;
  return double(other - same) / double(other + same);
}

} // namespace

float equationTarget(double ratio, int firstLabel) {
  const auto logRatio = static_cast<float>(std::log(ratio));
  if (firstLabel != 0) {
    return logRatio;
  }
  return static_cast<float>(double(logRatio) - 1.0);
}

std::int32_t ringSize(const std::vector<std::int32_t>& neighbourCounts) {
  return std::accumulate(neighbourCounts.begin(), neighbourCounts.end(), std::int32_t{0});
}

void seenLabels(const NeighbourhoodConfiguration& configuration, std::vector<int>& seen) {
  seen.clear();
  for (std::size_t l = 0; l < configuration.centreCounts.size(); ++l) {
    if (configuration.centreCounts[l] != 0) {
      seen.push_back(static_cast<int>(l));
    }
  }
}

PairEquation pairEquation(const NeighbourhoodConfiguration& configuration, std::int32_t ringSize,
                          std::int32_t index, int a, int b, double ratio) {
  PairEquation equation;
  equation.configuration = index;
  equation.firstLabel = a;
  equation.secondLabel = b;
  equation.logRatio = equationTarget(ratio, a);
  const double difference = agreementRatio(configuration.neighbourCounts[b], ringSize) -
                            agreementRatio(configuration.neighbourCounts[a], ringSize);
  equation.interaction = static_cast<float>(difference);
  return equation;
}

std::vector<float> PairEquation::features(int parameterCount) const {
  std::vector<float> coefficients(static_cast<std::size_t>(parameterCount), 0.0f);
  if (firstLabel != 0) {
    coefficients[firstLabel - 1] = 1.0f;
  }
  coefficients[secondLabel - 1] = -1.0f;
  coefficients[parameterCount - 1] = interaction;
  return coefficients;
}

} // namespace vornel
