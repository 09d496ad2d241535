#include "optimisation/FeatureDataTerms.hpp"

#include "classes/FeatureScaling.hpp"
#include "core/Errors.hpp"
#include "core/LargeArray.hpp"
#include "core/Parallel.hpp"

#include <cmath>
#include <string>

namespace vornel {

namespace {

/// One class's constants: its mean, the factor of its floored covariance and
/// half its log-determinant.
struct GaussianClass {
  const double* mean;
  std::vector<double> factor;
  double halfLogDeterminant = 0.0;
};

GaussianClass gaussianClass(const double* mean, const double* covariance, int D,
                            const std::vector<double>& ridge, int label) {
  std::vector<double> floored(covariance, covariance + static_cast<std::size_t>(D) * D);
  for (int i = 0; i < D; ++i)
    floored[static_cast<std::size_t>(i) * D + i] += ridge[i];
  GaussianClass gaussian{mean, {}, 0.0};
  if (!choleskyFactor(floored.data(), D, gaussian.factor))
    throw InvalidInputError("the covariance of class " + std::to_string(label) +
                            " is not a finite positive definite matrix");
  for (int i = 0; i < D; ++i)
    gaussian.halfLogDeterminant += std::log(gaussian.factor[static_cast<std::size_t>(i) * D + i]);
  return gaussian;
}

/// 0.5 * |L^-1 (x - m)|^2 + 0.5 log det, by forward substitution.
double negativeLogLikelihood(const GaussianClass& gaussian, const double* x, int D, double* work) {
  double squares = 0.0;
  for (int i = 0; i < D; ++i) {
    const double* const row = &gaussian.factor[static_cast<std::size_t>(i) * D];
    double sum = x[i] - gaussian.mean[i];
    for (int j = 0; j < i; ++j)
      sum -= row[j] * work[j];
    work[i] = sum / row[i];
    squares += work[i] * work[i];
  }
  return 0.5 * squares + gaussian.halfLogDeterminant;
}

} // namespace

std::vector<double> covarianceRidge(const std::vector<double>& values, int featureCount) {
  std::vector<double> ridge = featureDeviations(values, featureCount);
  for (double& r : ridge)
    r = 1e-6 * (r * r);
  return ridge;
}

bool choleskyFactor(const double* matrix, int D, std::vector<double>& factor) {
  factor.assign(static_cast<std::size_t>(D) * D, 0.0);
  for (int i = 0; i < D; ++i)
    for (int j = 0; j <= i; ++j) {
      double sum = matrix[static_cast<std::size_t>(i) * D + j];
      for (int k = 0; k < j; ++k)
        sum -= factor[static_cast<std::size_t>(i) * D + k] *
               factor[static_cast<std::size_t>(j) * D + k];
      if (i == j) {
        if (!(sum > 0.0) || !std::isfinite(sum))
          return false;
        factor[static_cast<std::size_t>(i) * D + i] = std::sqrt(sum);
      } else {
        factor[static_cast<std::size_t>(i) * D + j] =
            sum / factor[static_cast<std::size_t>(j) * D + j];
      }
    }
  return true;
}

std::vector<double> featureDataEnergies(const std::vector<double>& values, int featureCount,
                                        const std::vector<double>& means,
                                        const std::vector<double>& covariances, int K,
                                        const std::vector<double>& ridge) {
  const int D = featureCount;
  const std::size_t count = values.size() / static_cast<std::size_t>(D);
  std::vector<GaussianClass> classes;
  for (int l = 0; l < K; ++l)
    classes.push_back(gaussianClass(&means[static_cast<std::size_t>(l) * D],
                                    &covariances[static_cast<std::size_t>(l) * D * D], D, ridge,
                                    l));
  std::vector<double> energies;
  reserveLarge(energies, count * K);
  energies.resize(count * K);
  forEachBlock(count, [&](std::size_t begin, std::size_t end, std::size_t) {
    std::vector<double> work(static_cast<std::size_t>(D));
    for (std::size_t v = begin; v < end; ++v)
      for (int l = 0; l < K; ++l)
        energies[v * K + l] = negativeLogLikelihood(classes[l], &values[v * D], D, work.data());
  });
  return energies;
}

} // namespace vornel
