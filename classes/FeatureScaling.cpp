#include "classes/FeatureScaling.hpp"

#include <cmath>
#include <cstddef>

namespace vornel {

std::vector<double> featureDeviations(const std::vector<double>& values, int featureCount) {
  const std::size_t D = static_cast<std::size_t>(featureCount);
  const std::size_t count = D > 0 ? values.size() / D : 0;
  std::vector<double> deviations(D, 1.0);
  if (count == 0)
    return deviations;
  for (std::size_t i = 0; i < D; ++i) {
    double sum = 0.0;
    for (std::size_t v = 0; v < count; ++v)
      sum += values[v * D + i];
    const double mean = sum / static_cast<double>(count);
    double squares = 0.0;
    for (std::size_t v = 0; v < count; ++v) {
      const double d = values[v * D + i] - mean;
      squares += d * d;
    }
    const double deviation = std::sqrt(squares / static_cast<double>(count));
    if (deviation > 0.0 && std::isfinite(deviation))
      deviations[i] = deviation;
  }
  return deviations;
}

std::vector<double> standardisedFeatures(const std::vector<double>& values, int featureCount) {
  const std::vector<double> deviations = featureDeviations(values, featureCount);
  std::vector<double> scaled(values);
  const std::size_t D = static_cast<std::size_t>(featureCount);
  for (std::size_t p = 0; p < scaled.size(); ++p)
    scaled[p] /= deviations[p % D];
  return scaled;
}

std::vector<double> featureColumn(const std::vector<double>& values, int featureCount, int i) {
  const std::size_t D = static_cast<std::size_t>(featureCount);
  std::vector<double> column;
  column.reserve(values.size() / D);
  for (std::size_t p = static_cast<std::size_t>(i); p < values.size(); p += D)
    column.push_back(values[p]);
  return column;
}

} // namespace vornel
