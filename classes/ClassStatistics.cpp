#include "classes/ClassStatistics.hpp"

#include <cstddef>

namespace vornel {

ClassStatistics statisticsOf(const std::vector<double>& values,
                             const std::vector<std::int32_t>& labels, int K) {
  return featureStatisticsOf(values, 1, labels, K);
}

ClassStatistics featureStatisticsOf(const std::vector<double>& values, int featureCount,
                                    const std::vector<std::int32_t>& labels, int K) {
  const std::size_t D = static_cast<std::size_t>(featureCount);
  ClassStatistics statistics{std::vector<std::int64_t>(K, 0), std::vector<double>(K * D, 0.0),
                             std::vector<double>(K * D * D, 0.0)};
  const std::size_t count = labels.size();
  for (std::size_t v = 0; v < count; ++v) {
    const std::size_t l = static_cast<std::size_t>(labels[v]);
    ++statistics.sizes[l];
    for (std::size_t i = 0; i < D; ++i)
      statistics.means[l * D + i] += values[v * D + i];
  }
  for (int l = 0; l < K; ++l)
    if (statistics.sizes[l] > 0)
      for (std::size_t i = 0; i < D; ++i)
        statistics.means[l * D + i] /= static_cast<double>(statistics.sizes[l]);
  for (std::size_t v = 0; v < count; ++v) {
    const std::size_t l = static_cast<std::size_t>(labels[v]);
    const double* const x = &values[v * D];
    const double* const mean = &statistics.means[l * D];
    double* const covariance = &statistics.variances[l * D * D];
    for (std::size_t i = 0; i < D; ++i) {
      const double di = x[i] - mean[i];
      for (std::size_t j = 0; j < D; ++j)
        covariance[i * D + j] += di * (x[j] - mean[j]);
    }
  }
  for (int l = 0; l < K; ++l)
    if (statistics.sizes[l] > 0)
      for (std::size_t e = 0; e < D * D; ++e)
        statistics.variances[l * D * D + e] /= static_cast<double>(statistics.sizes[l]);
  return statistics;
}

} // namespace vornel
