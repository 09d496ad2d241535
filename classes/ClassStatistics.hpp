#pragma once
// The classes as the labels have them: size, mean and variance of each
// class's values, or with several features per vertex, each class's mean
// vector and covariance matrix.

#include <cstdint>
#include <vector>

namespace vornel {

struct ClassStatistics {
  std::vector<std::int64_t> sizes;
  /// K * D: class l's mean of feature i at [l * D + i]; 0 for an empty class.
  std::vector<double> means;
  /// K * D * D population covariances, class l's entry (i, j) at
  /// [(l * D + i) * D + j]; with one feature the variances. 0 for an empty class.
  std::vector<double> variances;
};

/// Per-class size, mean and population variance of the labelled values (labels
/// in 0 .. K-1), sums formed from 0.0 in vertex order.
ClassStatistics statisticsOf(const std::vector<double>& values,
                             const std::vector<std::int32_t>& labels, int K);

/// The same for featureCount values per vertex (vertex-major): mean vectors
/// and covariance matrices. With one feature it is statisticsOf above, bit for bit.
ClassStatistics featureStatisticsOf(const std::vector<double>& values, int featureCount,
                                    const std::vector<std::int32_t>& labels, int K);

} // namespace vornel
