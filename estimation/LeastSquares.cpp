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
// for bit without storing A or (A^T A)^-1 A^T. The equations themselves are
// only visited: the smoothed refit's, about K per configuration, are made as
// they are needed, so the fit's memory does not grow with their number.

#include "estimation/FallbackMessage.hpp"
#include "estimation/Matrix.hpp"
#include "estimation/ParameterEstimator.hpp"
#include "estimation/RowEquation.hpp"

#include <algorithm>
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

/// A^T A, each entry summed over the equations in order. forEach(visit) calls
/// visit(equation) for every equation of the fit, in the fit's order.
template <class ForEach> Matrix<float> normalMatrix(const ForEach& forEach, std::uint32_t n) {
  std::vector<double> sums(std::size_t(n) * n, 0.0);
  forEach([&sums, n](const PairEquation& equation) {
    const SparseRow row = designRow(equation, n);
    for (std::uint32_t p = 0; p < row.size; ++p) {
      for (std::uint32_t q = 0; q < row.size; ++q) {
        sums[std::size_t(row.columns[p]) * n + row.columns[q]] +=
            double(row.values[p]) * double(row.values[q]);
      }
    }
  });
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

/// Adds one equation's terms P(j, k) y[k] to sums[j] for every j. P(j, k) is
/// the inner product of row j of the inverse with the equation's design row,
/// summed from 0 over the non-zero coefficients in column order and rounded
/// to float. Row j of the inverse is read down its columns, whose entries lie
/// next to each other, so the loop over j runs over contiguous memory.
void addSolutionTerms(const Matrix<float>& inverse, const PairEquation& equation,
                      std::vector<double>& sums) {
  const std::uint32_t n = inverse.rowCount();
  const SparseRow row = designRow(equation, n);
  const double target = equation.logRatio;
  const float* first = inverse.column(row.columns[0]);
  const float* second = inverse.column(row.columns[1]);
  const double firstValue = row.values[0];
  const double secondValue = row.values[1];
  double* const out = sums.data();
  if (row.size == 2) {
    for (std::uint32_t j = 0; j < n; ++j) {
      double p = 0.0;
      p += double(first[j]) * firstValue;
      p += double(second[j]) * secondValue;
      out[j] += double(static_cast<float>(p)) * target;
    }
    return;
  }
  const float* third = inverse.column(row.columns[2]);
  const double thirdValue = row.values[2];
  for (std::uint32_t j = 0; j < n; ++j) {
    double p = 0.0;
    p += double(first[j]) * firstValue;
    p += double(second[j]) * secondValue;
    p += double(third[j]) * thirdValue;
    out[j] += double(static_cast<float>(p)) * target;
  }
}

/// The normal-equations solution; empty when it cannot be sound. Column k of
/// P = (A^T A)^-1 A^T is formed from equation k alone and rounded to float as
/// P stores it; x[j] sums P(j, k) y[k] over k in equation order. The equations
/// are visited twice and never stored.
template <class ForEach> std::vector<float> solve(const ForEach& forEach, std::uint32_t n) {
  Matrix<float> inverse = normalMatrix(forEach, n);
  inverse.invert();
  // A non-finite entry in row j of the inverse makes every P(j, k) non-finite
  // (a zero coefficient times it is NaN), and so x[j].
  if (!allFinite(inverse)) {
    return {};
  }
  std::vector<double> sums(n, 0.0);
  forEach([&inverse, &sums](const PairEquation& equation) {
    addSolutionTerms(inverse, equation, sums);
  });
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

/// The solution when there are at least as many equations (equationCount of
/// them) as unknowns and it gives sound values; empty otherwise.
template <class ForEach>
std::vector<float> trySolve(const ForEach& forEach, std::size_t equationCount, int unknowns) {
  const auto n = static_cast<std::uint32_t>(unknowns);
  if (equationCount < n) {
    return {};
  }
  std::vector<float> solution = solve(forEach, n);
  return isSound(solution) ? solution : std::vector<float>{};
}

/// Visits configuration c's equations for the pairs seen with exactly one of
/// their labels, a outer, b inner, with the count ratio smoothed by 1/2.
/// seen is scratch space.
template <class Visit>
void visitOneSidedPairs(const NeighbourhoodConfiguration& configuration, std::int32_t c,
                        std::vector<int>& seen, const Visit& visit) {
  const std::vector<std::int32_t>& counts = configuration.centreCounts;
  const int K = static_cast<int>(counts.size());
  const std::int32_t ring = ringSize(configuration.neighbourCounts);
  seenLabels(configuration, seen);
  const auto add = [&](int a, int b) {
    const double ratio = (double(counts[a]) + 0.5) / (double(counts[b]) + 0.5);
    visit(pairEquation(configuration, ring, c, a, b, ratio));
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

/// The equations of the smoothed refit: every pair seen at a configuration's
/// centre, with the count ratio smoothed by 1/2 on both sides so that a pair
/// seen with one label only still gives a finite target: first the table's
/// equations in table order, then the pairs seen with one label,
/// configuration by configuration. There are about K per configuration, so
/// they are made as they are visited rather than held.
class SmoothedEquations {
public:
  explicit SmoothedEquations(const ParameterEstimator& estimator) : estimator_(estimator) {}

  template <class Visit> void operator()(const Visit& visit) const {
    for (const PairEquation& equation : estimator_.equations) {
      const NeighbourhoodConfiguration& configuration =
          estimator_.configurations[equation.configuration];
      const double na = configuration.centreCounts[equation.firstLabel];
      const double nb = configuration.centreCounts[equation.secondLabel];
      PairEquation smoothed = equation;
      smoothed.logRatio = equationTarget((na + 0.5) / (nb + 0.5), equation.firstLabel);
      visit(smoothed);
    }
    std::vector<int> seen;
    for (std::size_t c = 0; c < estimator_.configurations.size(); ++c) {
      visitOneSidedPairs(estimator_.configurations[c], static_cast<std::int32_t>(c), seen, visit);
    }
  }

  /// The number of equations visited: the table's, and s (K - s) for a
  /// configuration with s labels seen at its centre.
  std::size_t count() const {
    std::size_t total = estimator_.equations.size();
    for (const NeighbourhoodConfiguration& configuration : estimator_.configurations) {
      const std::vector<std::int32_t>& counts = configuration.centreCounts;
      const auto seen = static_cast<std::size_t>(
          counts.size() - std::size_t(std::count(counts.begin(), counts.end(), 0)));
      total += seen * (counts.size() - seen);
    }
    return total;
  }

private:
  const ParameterEstimator& estimator_;
};

} // namespace

const std::vector<float>& ParameterEstimator::estimate() {
  const auto K = static_cast<std::size_t>(parameterCount);
  const auto tableEquations = [this](const auto& visit) {
    for (const PairEquation& equation : equations) {
      visit(equation);
    }
  };
  parameters = trySolve(tableEquations, equations.size(), parameterCount);
  fallback = EstimateFallback::None;
  if (parameters.size() == K) {
    return parameters;
  }
  const SmoothedEquations smoothed(*this);
  parameters = trySolve(smoothed, smoothed.count(), parameterCount);
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

const char* fallbackName(EstimateFallback fallback) {
  switch (fallback) {
  case EstimateFallback::SmoothedRatios:
    return "smoothed ratios";
  case EstimateFallback::Neutral:
    return "neutral";
  case EstimateFallback::None:
    break;
  }
  return nullptr;
}

} // namespace vornel
