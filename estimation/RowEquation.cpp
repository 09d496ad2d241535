#include "estimation/RowEquation.hpp"

#include <cmath>
#include <cstdint>
#include <numeric>

namespace vornel {

namespace {

/// r(l) = (d - s) / (d + s): s ring neighbours labelled l, d labelled otherwise.
double agreementRatio(const std::vector<std::int32_t>& neighbourCounts, int label) {
  const std::int32_t total =
      std::accumulate(neighbourCounts.begin(), neighbourCounts.end(), std::int32_t{0});
  const std::int32_t same = neighbourCounts[label];
  const std::int32_t other = total - same;
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

std::vector<float> equationFeatures(const NeighbourhoodConfiguration& row, int parameterCount) {
  std::vector<float> features(static_cast<std::size_t>(parameterCount), 0.0f);
  const int a = row.firstLabel;
  const int b = row.secondLabel;
  if (a != 0) {
    features[a - 1] = 1.0f;
  }
  if (b != 0) {
    features[b - 1] = -1.0f;
  }
  const double difference =
      agreementRatio(row.neighbourCounts, b) - agreementRatio(row.neighbourCounts, a);
  features[parameterCount - 1] = static_cast<float>(difference);
  return features;
}

} // namespace vornel
