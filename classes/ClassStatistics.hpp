#pragma once
// The classes as the labels have them: size, mean and variance of each
// class's values.

#include <cstdint>
#include <vector>

namespace vornel {

struct ClassStatistics {
  std::vector<std::int64_t> sizes;
  std::vector<double> means;     // 0 for an empty class
  std::vector<double> variances; // population variances; 0 for an empty class
};

/// Per-class size, mean and population variance of the labelled values (labels
/// in 0 .. K-1), sums formed from 0.0 in vertex order.
ClassStatistics statisticsOf(const std::vector<double>& values,
                             const std::vector<std::int32_t>& labels, int K);

} // namespace vornel
