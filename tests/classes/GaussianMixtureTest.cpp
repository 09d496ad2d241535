// The one-dimensional mixture fit: recovery of a known sample, the variance
// floor, the early stop and the histogram variant against the direct one.

#include "classes/GaussianMixture.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace vornel {
namespace {

/// 40% from N(-2, 0.5^2), 60% from N(3, 1), shuffled by drawing.
std::vector<double> twoGaussians(std::size_t count, unsigned seed) {
  std::mt19937 engine(seed);
  std::bernoulli_distribution second(0.6);
  std::normal_distribution<double> left(-2.0, 0.5), right(3.0, 1.0);
  std::vector<double> values;
  for (std::size_t i = 0; i < count; ++i)
    values.push_back(second(engine) ? right(engine) : left(engine));
  return values;
}

GaussianMixture roughStart() {
  GaussianMixture start;
  start.weights = {0.5, 0.5};
  start.means = {-1.0, 2.0};
  start.variances = {2.0, 2.0};
  return start;
}

TEST(GaussianMixture, RecoversTwoGaussians) {
  const GaussianMixture fit = fitMixture(twoGaussians(20000, 7), roughStart());
  EXPECT_EQ(fit.iterations, 100);
  EXPECT_FALSE(fit.stoppedEarly);
  EXPECT_NEAR(fit.weights[0], 0.4, 0.015);
  EXPECT_NEAR(fit.weights[1], 0.6, 0.015);
  EXPECT_NEAR(fit.means[0], -2.0, 0.03);
  EXPECT_NEAR(fit.means[1], 3.0, 0.03);
  EXPECT_NEAR(std::sqrt(fit.variances[0]), 0.5, 0.02);
  EXPECT_NEAR(std::sqrt(fit.variances[1]), 1.0, 0.03);
}

TEST(GaussianMixture, RunsExactlyTheRequestedIterations) {
  MixtureOptions options;
  options.iterations = 7;
  EXPECT_EQ(fitMixture(twoGaussians(500, 1), roughStart(), options).iterations, 7);
  EXPECT_EQ(fitMixtureOnHistogram(twoGaussians(500, 1), roughStart(), options).iterations, 7);
}

TEST(GaussianMixture, HistogramFitMatchesTheDirectFit) {
  const std::vector<double> values = twoGaussians(50000, 11);
  const GaussianMixture direct = fitMixture(values, roughStart());
  const GaussianMixture binned = fitMixtureOnHistogram(values, roughStart());
  for (int l = 0; l < 2; ++l) {
    EXPECT_NEAR(binned.weights[l], direct.weights[l], 1e-4);
    EXPECT_NEAR(binned.means[l], direct.means[l], 1e-4);
    EXPECT_NEAR(binned.variances[l], direct.variances[l], 1e-3 * direct.variances[l]);
  }
}

TEST(GaussianMixture, VarianceNeverFallsBelowTheFloor) {
  // Half the values sit exactly on 0: the component started there collapses
  // onto them and must stop at 1e-6 times the variance of all values.
  std::vector<double> values(1000, 0.0);
  std::mt19937 engine(3);
  std::normal_distribution<double> gaussian(5.0, 1.0);
  for (std::size_t i = 500; i < values.size(); ++i)
    values[i] = gaussian(engine);
  double mean = 0.0;
  for (const double x : values)
    mean += x;
  mean /= 1000.0;
  double variance = 0.0;
  for (const double x : values)
    variance += (x - mean) * (x - mean);
  variance /= 1000.0;

  GaussianMixture start;
  start.weights = {0.5, 0.5};
  start.means = {0.0, 5.0};
  start.variances = {0.0, 1.0}; // a zero start is raised to the floor too
  for (const GaussianMixture& fit :
       {fitMixture(values, start), fitMixtureOnHistogram(values, start)}) {
    EXPECT_EQ(fit.iterations, 100);
    EXPECT_NEAR(fit.means[0], 0.0, 1e-12);
    EXPECT_NEAR(fit.variances[0], 1e-6 * variance, 1e-9 * 1e-6 * variance);
    EXPECT_GE(fit.variances[0], 1e-6 * variance * (1 - 1e-12));
    EXPECT_NEAR(fit.weights[0], 0.5, 1e-6);
  }
}

TEST(GaussianMixture, StopsWhenAComponentVanishes) {
  GaussianMixture start = roughStart();
  start.means[1] = 1e6; // no value within reach: its mass underflows at once
  start.variances[1] = 1.0;
  const GaussianMixture fit = fitMixture(twoGaussians(1000, 5), start);
  EXPECT_TRUE(fit.stoppedEarly);
  EXPECT_EQ(fit.iterations, 0);
  EXPECT_EQ(fit.means[1], 1e6);
}

} // namespace
} // namespace vornel
