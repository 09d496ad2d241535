// The least-squares fit of the parameter vector to the table's equations, with
// the fallbacks that keep absurd parameters away from the annealing.

#include "estimation/FallbackMessage.hpp"
#include "estimation/Matrix.hpp"
#include "estimation/ParameterEstimator.hpp"
#include "estimation/RowEquation.hpp"

#include <cmath>
#include <cstdint>

namespace vornel {

namespace {

// Beyond this magnitude a parameter comes from a (nearly) singular system.
constexpr double kLargestParameter = 1e6;

/// A system of equations: one design row and one target per equation.
struct LinearSystem {
  LinearSystem(std::uint32_t equations, int unknowns)
      : design(equations, static_cast<std::uint32_t>(unknowns)), targets(equations) {}

  void setRow(std::uint32_t j, const std::vector<float>& features, float target) {
    for (std::uint32_t k = 0; k < design.columnCount(); ++k) {
      design(j, k) = features[k];
    }
    targets[j] = target;
  }

  Matrix<float> design;
  ColumnVector<float> targets;
};

/// The normal-equations solution (A^T A)^-1 A^T y.
std::vector<float> solve(const LinearSystem& system) {
  const Matrix<float> pseudoInverse = system.design.pseudoInverse();
  return pseudoInverse.multiply(system.targets).data;
}

bool isSound(const std::vector<float>& solution) {
  for (const float x : solution) {
    if (!std::isfinite(x) || std::fabs(double(x)) > kLargestParameter) {
      return false;
    }
  }
  return true;
}

/// The table's own equations: its first usableRows rows.
LinearSystem usableSystem(const ParameterEstimator& estimator) {
  LinearSystem system(static_cast<std::uint32_t>(estimator.usableRows), estimator.parameterCount);
  for (int j = 0; j < estimator.usableRows; ++j) {
    const NeighbourhoodConfiguration& row = estimator.configurations[j];
    system.setRow(static_cast<std::uint32_t>(j), row.features, row.logRatio);
  }
  return system;
}

/// Every row whose pair occurs at all, with the count ratio smoothed by 1/2 on
/// both sides so that a pair seen with one label only still gives a finite target.
LinearSystem smoothedSystem(const ParameterEstimator& estimator) {
  std::vector<const NeighbourhoodConfiguration*> rows;
  for (const NeighbourhoodConfiguration& row : estimator.configurations) {
    if (row.centreCounts[row.firstLabel] != 0 || row.centreCounts[row.secondLabel] != 0) {
      rows.push_back(&row);
    }
  }
  LinearSystem system(static_cast<std::uint32_t>(rows.size()), estimator.parameterCount);
  for (std::size_t j = 0; j < rows.size(); ++j) {
    const NeighbourhoodConfiguration& row = *rows[j];
    const double na = row.centreCounts[row.firstLabel];
    const double nb = row.centreCounts[row.secondLabel];
    system.setRow(static_cast<std::uint32_t>(j),
                  equationFeatures(row, estimator.parameterCount),
                  equationTarget((na + 0.5) / (nb + 0.5), row.firstLabel));
  }
  return system;
}

/// The solution when the system has at least as many equations as unknowns
/// and gives sound values; empty otherwise.
std::vector<float> trySolve(const LinearSystem& system) {
  if (system.design.rowCount() < system.design.columnCount()) {
    return {};
  }
  std::vector<float> solution = solve(system);
  return isSound(solution) ? solution : std::vector<float>{};
}

} // namespace

const std::vector<float>& ParameterEstimator::estimate() {
  const auto K = static_cast<std::size_t>(parameterCount);
  parameters = trySolve(usableSystem(*this));
  fallback = EstimateFallback::None;
  if (parameters.size() == K) {
    return parameters;
  }
  parameters = trySolve(smoothedSystem(*this));
  fallback = EstimateFallback::SmoothedRatios;
  if (parameters.size() == K) {
    return parameters;
  }
  parameters.assign(K, 1.0f);
  fallback = EstimateFallback::Neutral;
  return parameters;
}

std::string describeFallback(EstimateFallback fallback) {
  const std::string cause =
      "the labelling held too little information for the plain parameter fit; ";
  switch (fallback) {
  case EstimateFallback::SmoothedRatios:
    return cause + "used the smoothed-ratio fit over all configurations";
  case EstimateFallback::Neutral:
    return cause + "used neutral parameters (every class weight 1, interaction 1)";
  case EstimateFallback::None:
    break;
  }
  return {};
}

} // namespace vornel
