// The least-squares fit of the parameter vector to the table's equations, with
// the fallbacks that keep absurd parameters away from the annealing.
//
// The fit is the normal-equations solution x = (A^T A)^-1 A^T y of the dense
// design matrix A (one row of coefficients per equation) and the targets y,
// formed as the matrix kit forms it: every inner product summed in double from
// 0 in increasing index order and rounded to float where it is stored. A row of
// A has at most three non-zero coefficients. A zero coefficient times a finite
// factor is a signed zero, and adding a signed zero to such a sum never changes
// it (the sum starts at +0 and never becomes -0), so the sums here visit the
// non-zero coefficients only, in the same order, and give the dense results bit
// for bit without storing A or (A^T A)^-1 A^T.

#include "estimation/FallbackMessage.hpp"
#include "estimation/Matrix.hpp"
#include "estimation/ParameterEstimator.hpp"
#include "estimation/RowEquation.hpp"

#include <array>
#include <cmath>
#include <cstdint>

namespace vornel {

namespace {

// Beyond this magnitude a parameter comes from a (nearly) singular system.
constexpr double kLargestParameter = 1e6;

/// The non-zero coefficients of one design row, in increasing column order.
struct SparseRow {
  std::array<std::uint32_t, 3> columns{};
  std::array<float, 3> values{};
  std::uint32_t size = 0;

  void add(std::uint32_t column, float value) {
    columns[size] = column;
    values[size] = value;
    ++size;
  }
};

/// +1 at theta_a (label 0 has no column), -1 at theta_b, the interaction at beta.
SparseRow designRow(const PairEquation& equation, std::uint32_t unknowns) {
  SparseRow row;
  if (equation.firstLabel != 0) {
    row.add(std::uint32_t(equation.firstLabel - 1), 1.0f);
  }
  row.add(std::uint32_t(equation.secondLabel - 1), -1.0f);
  row.add(unknowns - 1, equation.interaction);
  return row;
}

/// A^T A, each entry summed over the equations in order.
Matrix<float> normalMatrix(const std::vector<PairEquation>& equations, std::uint32_t n) {
  std::vector<double> sums(std::size_t(n) * n, 0.0);
  for (const PairEquation& equation : equations) {
    const SparseRow row = designRow(equation, n);
    for (std::uint32_t p = 0; p < row.size; ++p) {
      for (std::uint32_t q = 0; q < row.size; ++q) {
        sums[std::size_t(row.columns[p]) * n + row.columns[q]] +=
            double(row.values[p]) * double(row.values[q]);
      }
    }
  }
  Matrix<float> normal(n, n);
  for (std::uint32_t i = 0; i < n; ++i) {
    for (std::uint32_t j = 0; j < n; ++j) {
      normal(i, j) = static_cast<float>(sums[std::size_t(i) * n + j]);
    }
  }
  return normal;
}

bool allFinite(const Matrix<float>& matrix) {
  for (std::uint32_t k = 0; k < matrix.columnCount(); ++k) {
    for (std::uint32_t r = 0; r < matrix.rowCount(); ++r) {
      if (!std::isfinite(matrix(r, k))) {
        return false;
      }
    }
  }
  return true;
}

/// The normal-equations solution; empty when it cannot be sound. Column k of
/// P = (A^T A)^-1 A^T is formed from equation k alone and rounded to float as
/// P stores it; x[j] sums P(j, k) y[k] over k in equation order.
std::vector<float> solve(const std::vector<PairEquation>& equations, std::uint32_t n) {
  Matrix<float> inverse = normalMatrix(equations, n);
  inverse.invert();
  // A non-finite entry in row j of the inverse makes every P(j, k) non-finite
  // (a zero coefficient times it is NaN), and so x[j].
  if (!allFinite(inverse)) {
    return {};
  }
  std::vector<double> sums(n, 0.0);
  for (const PairEquation& equation : equations) {
    const SparseRow row = designRow(equation, n);
    const double target = equation.logRatio;
    for (std::uint32_t j = 0; j < n; ++j) {
      double p = 0.0;
      for (std::uint32_t t = 0; t < row.size; ++t) {
        p += double(inverse(j, row.columns[t])) * double(row.values[t]);
      }
      sums[j] += double(static_cast<float>(p)) * target;
    }
  }
  std::vector<float> solution(n);
  for (std::uint32_t j = 0; j < n; ++j) {
    solution[j] = static_cast<float>(sums[j]);
  }
  return solution;
}

bool isSound(const std::vector<float>& solution) {
  for (const float x : solution) {
    if (!std::isfinite(x) || std::fabs(double(x)) > kLargestParameter) {
      return false;
    }
  }
  return true;
}

/// The solution when there are at least as many equations as unknowns and it
/// gives sound values; empty otherwise.
std::vector<float> trySolve(const std::vector<PairEquation>& equations, int unknowns) {
  const auto n = static_cast<std::uint32_t>(unknowns);
  if (equations.size() < n) {
    return {};
  }
  std::vector<float> solution = solve(equations, n);
  return isSound(solution) ? solution : std::vector<float>{};
}

/// Appends configuration c's equations for the pairs seen with exactly one of
/// their labels, a outer, b inner, with the count ratio smoothed by 1/2.
void appendOneSidedPairs(const NeighbourhoodConfiguration& configuration, std::int32_t c,
                         std::vector<PairEquation>& equations) {
  const std::vector<std::int32_t>& counts = configuration.centreCounts;
  const int K = static_cast<int>(counts.size());
  const std::int32_t ring = ringSize(configuration.neighbourCounts);
  std::vector<int> seen;
  for (int l = 0; l < K; ++l) {
    if (counts[l] != 0) {
      seen.push_back(l);
    }
  }
  const auto add = [&](int a, int b) {
    const double ratio = (double(counts[a]) + 0.5) / (double(counts[b]) + 0.5);
    equations.push_back(pairEquation(configuration, ring, c, a, b, ratio));
  };
  for (int a = 0; a + 1 < K; ++a) {
    if (counts[a] != 0) {
      for (int b = a + 1; b < K; ++b) {
        if (counts[b] == 0) {
          add(a, b);
        }
      }
    } else {
      for (const int b : seen) {
        if (b > a) {
          add(a, b);
        }
      }
    }
  }
}

/// Every pair seen at a configuration's centre, with the count ratio smoothed
/// by 1/2 on both sides so that a pair seen with one label only still gives a
/// finite target: first the table's equations in table order, then the pairs
/// seen with one label, configuration by configuration.
std::vector<PairEquation> smoothedEquations(const ParameterEstimator& estimator) {
  std::vector<PairEquation> equations;
  equations.reserve(estimator.equations.size());
  for (const PairEquation& equation : estimator.equations) {
    const NeighbourhoodConfiguration& configuration =
        estimator.configurations[equation.configuration];
    const double na = configuration.centreCounts[equation.firstLabel];
    const double nb = configuration.centreCounts[equation.secondLabel];
    PairEquation smoothed = equation;
    smoothed.logRatio = equationTarget((na + 0.5) / (nb + 0.5), equation.firstLabel);
    equations.push_back(smoothed);
  }
  for (std::size_t c = 0; c < estimator.configurations.size(); ++c) {
    appendOneSidedPairs(estimator.configurations[c], static_cast<std::int32_t>(c), equations);
  }
  return equations;
}

} // namespace

const std::vector<float>& ParameterEstimator::estimate() {
  const auto K = static_cast<std::size_t>(parameterCount);
  parameters = trySolve(equations, parameterCount);
  fallback = EstimateFallback::None;
  if (parameters.size() == K) {
    return parameters;
  }
  parameters = trySolve(smoothedEquations(*this), parameterCount);
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
