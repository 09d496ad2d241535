#pragma once
// The linear equation of one configuration for its label pair (a, b):
//   theta_a - theta_b + beta * (r(b) - r(a)) = ln(n_a / n_b),
// with theta_0 = 1 moved to the target side. Shared by the table's own
// equations and the smoothed refit of the estimate.

#include "estimation/ParameterEstimator.hpp"

#include <cstdint>
#include <vector>

namespace vornel {

/// ln(ratio) rounded to float, minus 1 (again rounded) when firstLabel is 0.
float equationTarget(double ratio, int firstLabel);

/// The number of ring neighbours of a configuration (the sum of its counts).
std::int32_t ringSize(const std::vector<std::int32_t>& neighbourCounts);

/// The labels seen at a configuration's centre, ascending, into seen.
void seenLabels(const NeighbourhoodConfiguration& configuration, std::vector<int>& seen);

/// The equation of configuration `index` (whose ring has ringSize neighbours)
/// for the pair (a, b) with target ln(ratio).
PairEquation pairEquation(const NeighbourhoodConfiguration& configuration, std::int32_t ringSize,
                          std::int32_t index, int a, int b, double ratio);

} // namespace vornel
