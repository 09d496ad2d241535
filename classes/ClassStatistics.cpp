#include "classes/ClassStatistics.hpp"

#include <cstddef>

namespace vornel {

ClassStatistics statisticsOf(const std::vector<double>& values,
                             const std::vector<std::int32_t>& labels, int K) {
  ClassStatistics statistics{std::vector<std::int64_t>(K, 0), std::vector<double>(K, 0.0),
                             std::vector<double>(K, 0.0)};
  for (std::size_t v = 0; v < values.size(); ++v) {
    ++statistics.sizes[labels[v]];
    statistics.means[labels[v]] += values[v];
  }
  for (int l = 0; l < K; ++l)
    if (statistics.sizes[l] > 0)
      statistics.means[l] /= static_cast<double>(statistics.sizes[l]);
  for (std::size_t v = 0; v < values.size(); ++v) {
    const double difference = values[v] - statistics.means[labels[v]];
    statistics.variances[labels[v]] += difference * difference;
  }
  for (int l = 0; l < K; ++l)
    if (statistics.sizes[l] > 0)
      statistics.variances[l] /= static_cast<double>(statistics.sizes[l]);
  return statistics;
}

} // namespace vornel
