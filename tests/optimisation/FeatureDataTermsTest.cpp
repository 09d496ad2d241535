#include "optimisation/FeatureDataTerms.hpp"

#include "core/Errors.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace vornel {
namespace {

TEST(FeatureDataEnergies, GaussianNegativeLogLikelihoodOfEachClass) {
  // Class 0: diagonal covariance; class 1: correlated, inverse known.
  const std::vector<double> values{1.0, 2.0, -1.0, 0.5};
  const std::vector<double> means{0.0, 0.0, 1.0, 1.0};
  const std::vector<double> covariances{4.0, 0.0, 0.0, 9.0, 2.0, 1.0, 1.0, 2.0};
  const std::vector<double> energies =
      featureDataEnergies(values, 2, means, covariances, 2, {0.0, 0.0});
  ASSERT_EQ(energies.size(), 4u);
  const auto diagonal = [](double x, double y) {
    return 0.5 * (x * x / 4.0 + y * y / 9.0) + 0.5 * std::log(36.0);
  };
  // The inverse of [[2, 1], [1, 2]] is [[2, -1], [-1, 2]] / 3; determinant 3.
  const auto correlated = [](double x, double y) {
    const double dx = x - 1.0;
    const double dy = y - 1.0;
    return 0.5 * (2.0 * dx * dx - 2.0 * dx * dy + 2.0 * dy * dy) / 3.0 + 0.5 * std::log(3.0);
  };
  EXPECT_NEAR(energies[0], diagonal(1.0, 2.0), 1e-12);
  EXPECT_NEAR(energies[1], correlated(1.0, 2.0), 1e-12);
  EXPECT_NEAR(energies[2], diagonal(-1.0, 0.5), 1e-12);
  EXPECT_NEAR(energies[3], correlated(-1.0, 0.5), 1e-12);
}

TEST(FeatureDataEnergies, SingularCovariancesStayFiniteWithTheRidge) {
  // Class 0 is one repeated point (covariance 0); class 1 lies on a line
  // (its two features perfectly correlated).
  const std::vector<double> values{3.0, 3.0, 3.0, 3.0, 0.0, 0.0, 1.0, 1.0, 2.0, 2.0};
  const std::vector<double> means{3.0, 3.0, 1.0, 1.0};
  const double v = 2.0 / 3.0;
  const std::vector<double> covariances{0.0, 0.0, 0.0, 0.0, v, v, v, v};
  const std::vector<double> ridge = covarianceRidge(values, 2);
  ASSERT_EQ(ridge.size(), 2u);
  EXPECT_GT(ridge[0], 0.0);
  const std::vector<double> energies = featureDataEnergies(values, 2, means, covariances, 2, ridge);
  for (const double e : energies)
    EXPECT_TRUE(std::isfinite(e)) << e;
  // Each point is likelier under its own class.
  EXPECT_LT(energies[0], energies[1]);
  EXPECT_LT(energies[7], energies[6]);
}

TEST(FeatureDataEnergies, RidgeScalesWithTheUnitAndCoversConstantFeatures) {
  const std::vector<double> values{0.0, 5.0, 2.0, 5.0};
  const std::vector<double> scaled{0.0, 5.0, 2000.0, 5.0};
  const std::vector<double> ridge = covarianceRidge(values, 2);
  const std::vector<double> scaledRidge = covarianceRidge(scaled, 2);
  EXPECT_DOUBLE_EQ(scaledRidge[0], 1e6 * ridge[0]);
  EXPECT_GT(ridge[1], 0.0); // the constant feature still gets one
}

TEST(FeatureDataEnergies, NonFiniteCovarianceIsAnError) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_THROW(featureDataEnergies({0.0, 0.0}, 2, {0.0, 0.0}, {nan, 0.0, 0.0, 1.0}, 1, {1.0, 1.0}),
               InvalidInputError);
}

TEST(CholeskyFactor, RejectsMatricesThatAreNotPositiveDefinite) {
  std::vector<double> factor;
  const std::vector<double> indefinite{1.0, 2.0, 2.0, 1.0};
  EXPECT_FALSE(choleskyFactor(indefinite.data(), 2, factor));
  const std::vector<double> definite{4.0, 2.0, 2.0, 5.0};
  ASSERT_TRUE(choleskyFactor(definite.data(), 2, factor));
  EXPECT_EQ(factor, (std::vector<double>{2.0, 0.0, 1.0, 2.0}));
}

} // namespace
} // namespace vornel
