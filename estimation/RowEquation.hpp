#pragma once
// The linear equation of one configuration row for its label pair (a, b):
//   theta_a - theta_b + beta * (r(b) - r(a)) = ln(n_a / n_b),
// with theta_0 = 1 moved to the target side. Shared by the table's own
// equations and the smoothed refit of the estimate.

#include "estimation/ParameterEstimator.hpp"

#include <vector>

namespace vornel {

/// ln(ratio) rounded to float, minus 1 (again rounded) when firstLabel is 0.
float equationTarget(double ratio, int firstLabel);

/// The parameterCount coefficients of the row's equation: +1 at theta_a,
/// -1 at theta_b (label 0 has no entry), and r(b) - r(a) for beta.
std::vector<float> equationFeatures(const NeighbourhoodConfiguration& row, int parameterCount);

} // namespace vornel
