#include "classes/GaussianMixture.hpp"

#include "core/Errors.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <string>

namespace vornel {

namespace {

/// Points with weights: the values themselves (weight 1) or histogram bins.
struct WeightedPoints {
  std::vector<double> positions;
  std::vector<double> weights;
  double total = 0.0; // sum of the weights
};

double populationVariance(const std::vector<double>& values) {
  double sum = 0.0;
  for (const double x : values)
    sum += x;
  const double mean = sum / static_cast<double>(values.size());
  double squares = 0.0;
  for (const double x : values)
    squares += (x - mean) * (x - mean);
  return squares / static_cast<double>(values.size());
}

WeightedPoints everyValue(const std::vector<double>& values) {
  return WeightedPoints{values, std::vector<double>(values.size(), 1.0),
                        static_cast<double>(values.size())};
}

WeightedPoints histogramOf(const std::vector<double>& values, int binCount) {
  const auto [low, high] = std::minmax_element(values.begin(), values.end());
  const double minimum = *low;
  const double width = *high - minimum;
  const std::size_t bins = static_cast<std::size_t>(std::max(binCount, 1));
  std::vector<double> sums(bins, 0.0);
  std::vector<double> counts(bins, 0.0);
  for (const double x : values) {
    const double position = width > 0.0 ? (x - minimum) / width * static_cast<double>(bins) : 0.0;
    const std::size_t bin = std::min(static_cast<std::size_t>(position), bins - 1);
    sums[bin] += x;
    counts[bin] += 1.0;
  }
  WeightedPoints points;
  for (std::size_t b = 0; b < bins; ++b) {
    if (counts[b] == 0.0)
      continue;
    points.positions.push_back(sums[b] / counts[b]);
    points.weights.push_back(counts[b]);
  }
  points.total = static_cast<double>(values.size());
  return points;
}

void checkStart(const std::vector<double>& values, const GaussianMixture& start) {
  if (values.empty())
    throw InvalidInputError("a mixture cannot be fitted to no values");
  const std::size_t K = start.means.size();
  if (K == 0 || start.weights.size() != K || start.variances.size() != K)
    throw InvalidInputError("a mixture start needs as many weights, means and variances as "
                            "components, got " +
                            std::to_string(start.weights.size()) + ", " + std::to_string(K) +
                            " and " + std::to_string(start.variances.size()));
}

/// The EM iterations proper. responsibilities is points x K, point-major.
class Em {
public:
  Em(const WeightedPoints& points, GaussianMixture mixture, double floor)
      : points_(points), mixture_(std::move(mixture)), floor_(floor), K_(mixture_.means.size()),
        responsibilities_(points.positions.size() * K_, 0.0), logTerms_(K_, 0.0), mass_(K_, 0.0) {
    for (double& variance : mixture_.variances)
      variance = std::max(variance, floor_);
  }

  GaussianMixture run(int iterations) && {
    for (int i = 0; i < iterations; ++i) {
      expect();
      const double vanishing = 1e-9 * points_.total;
      if (std::any_of(mass_.begin(), mass_.end(), [&](double m) { return m < vanishing; })) {
        mixture_.stoppedEarly = true;
        break;
      }
      maximise();
      ++mixture_.iterations;
    }
    return std::move(mixture_);
  }

private:
  /// E-step: gamma_il proportional to pi_l / sigma_l * exp(-(x - mu_l)^2 / (2 sigma_l^2)),
  /// normalised through log-sum-exp; also each component's mass N_l.
  void expect() {
    std::fill(mass_.begin(), mass_.end(), 0.0);
    std::vector<double> logScale(K_);
    for (std::size_t l = 0; l < K_; ++l)
      logScale[l] = std::log(mixture_.weights[l]) - 0.5 * std::log(mixture_.variances[l]);
    for (std::size_t p = 0; p < points_.positions.size(); ++p) {
      const double x = points_.positions[p];
      double largest = -std::numeric_limits<double>::infinity();
      for (std::size_t l = 0; l < K_; ++l) {
        const double difference = x - mixture_.means[l];
        logTerms_[l] = logScale[l] - difference * difference / (2.0 * mixture_.variances[l]);
        largest = std::max(largest, logTerms_[l]);
      }
      double total = 0.0;
      for (std::size_t l = 0; l < K_; ++l) {
        logTerms_[l] = std::exp(logTerms_[l] - largest);
        total += logTerms_[l];
      }
      double* gamma = &responsibilities_[p * K_];
      for (std::size_t l = 0; l < K_; ++l) {
        gamma[l] = points_.weights[p] * (logTerms_[l] / total);
        mass_[l] += gamma[l];
      }
    }
  }

  /// M-step: proportions, means, then variances about the new means.
  void maximise() {
    std::vector<double> sums(K_, 0.0);
    for (std::size_t p = 0; p < points_.positions.size(); ++p)
      for (std::size_t l = 0; l < K_; ++l)
        sums[l] += responsibilities_[p * K_ + l] * points_.positions[p];
    for (std::size_t l = 0; l < K_; ++l) {
      mixture_.weights[l] = mass_[l] / points_.total;
      mixture_.means[l] = sums[l] / mass_[l];
    }
    std::fill(sums.begin(), sums.end(), 0.0);
    for (std::size_t p = 0; p < points_.positions.size(); ++p)
      for (std::size_t l = 0; l < K_; ++l) {
        const double difference = points_.positions[p] - mixture_.means[l];
        sums[l] += responsibilities_[p * K_ + l] * difference * difference;
      }
    for (std::size_t l = 0; l < K_; ++l)
      mixture_.variances[l] = std::max(sums[l] / mass_[l], floor_);
  }

  const WeightedPoints& points_;
  GaussianMixture mixture_;
  const double floor_;
  const std::size_t K_;
  std::vector<double> responsibilities_; // weighted: count * gamma
  std::vector<double> logTerms_;
  std::vector<double> mass_;
};

GaussianMixture fit(const std::vector<double>& values, const WeightedPoints& points,
                    GaussianMixture start, const MixtureOptions& options) {
  start.iterations = 0;
  start.stoppedEarly = false;
  const double floor = options.varianceFloorRatio * populationVariance(values);
  return Em(points, std::move(start), floor).run(options.iterations);
}

} // namespace

GaussianMixture fitMixture(const std::vector<double>& values, GaussianMixture start,
                           const MixtureOptions& options) {
  checkStart(values, start);
  return fit(values, everyValue(values), std::move(start), options);
}

GaussianMixture fitMixtureOnHistogram(const std::vector<double>& values, GaussianMixture start,
                                      const MixtureOptions& options) {
  checkStart(values, start);
  return fit(values, histogramOf(values, options.histogramBins), std::move(start), options);
}

} // namespace vornel
