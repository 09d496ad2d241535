#include "TestGraphs.hpp"
#include "estimation/ParameterEstimator.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

namespace vornel {
namespace {

using test_graphs::graphFromSamples;
using test_graphs::gridGraph;
using test_graphs::LabelledGraph;
using test_graphs::randomLabels;

/// Labels 0 .. K-1 in vertical stripes with one vertex in seven flipped.
std::vector<std::int32_t> noisyStripes(int width, int height, int K, unsigned seed) {
  std::mt19937 generator(seed);
  std::vector<std::int32_t> labels;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      std::int32_t label = x * K / width;
      if (generator() % 7 == 0) {
        label = static_cast<std::int32_t>(generator() % K);
      }
      labels.push_back(label);
    }
  }
  return labels;
}

TEST(Estimate, WorkedExampleForTwoLabels) {
  const LabelledGraph g =
      graphFromSamples(2, {{{6, 0}, 0, 20}, {{6, 0}, 1, 2}, {{3, 3}, 0, 5}, {{3, 3}, 1, 5}});
  ParameterEstimator estimator(g.graph);
  estimator.buildConfigurations(g.labels, 2);
  const std::vector<float>& parameters = estimator.estimate();
  ASSERT_EQ(parameters.size(), 2u);
  EXPECT_NEAR(parameters[0], 1.0f, 1e-6f);
  EXPECT_NEAR(parameters[1], 1.151293f, 1e-6f);
  EXPECT_EQ(estimator.fallback, EstimateFallback::None);
  EXPECT_EQ(&parameters, &estimator.parameters);
}

TEST(Estimate, OverdeterminedFitLeavesResidualsOrthogonalToEveryColumn) {
  const VertexGraph graph = gridGraph(30, 30);
  const auto labels = noisyStripes(30, 30, 3, 11u);
  ParameterEstimator estimator(graph);
  estimator.buildConfigurations(labels, 3);
  ASSERT_GT(estimator.usableRows, 6);
  const std::vector<float> x = estimator.estimate();
  ASSERT_EQ(estimator.fallback, EstimateFallback::None);
  ASSERT_EQ(x.size(), 3u);
  for (int k = 0; k < 3; ++k) {
    double projection = 0.0;
    double scale = 0.0;
    for (int j = 0; j < estimator.usableRows; ++j) {
      const auto& row = estimator.equations[j];
      const std::vector<float> features = row.features(3);
      double residual = -double(row.logRatio);
      for (int t = 0; t < 3; ++t) {
        residual += double(features[t]) * x[t];
      }
      projection += residual * features[k];
      scale += std::fabs(double(row.logRatio) * features[k]);
    }
    EXPECT_NEAR(projection / scale, 0.0, 1e-4) << "column " << k;
  }
  // Stripes reward agreeing neighbours: the interaction coefficient is positive.
  EXPECT_GT(x[2], 0.0f);
}

TEST(Estimate, RowOrderChangesTheEstimateOnlyByRounding) {
  const VertexGraph graph = gridGraph(30, 30);
  const auto labels = noisyStripes(30, 30, 4, 23u);
  ParameterEstimator estimator(graph);
  estimator.buildConfigurations(labels, 4);
  const std::vector<float> ordered = estimator.estimate();
  ASSERT_EQ(estimator.fallback, EstimateFallback::None);
  std::mt19937 generator(3u);
  std::shuffle(estimator.equations.begin(), estimator.equations.end(), generator);
  const std::vector<float> shuffled = estimator.estimate();
  ASSERT_EQ(shuffled.size(), ordered.size());
  for (std::size_t k = 0; k < ordered.size(); ++k) {
    EXPECT_NEAR(shuffled[k], ordered[k], 1e-4f * (1.0f + std::fabs(ordered[k]))) << k;
  }
}

TEST(Estimate, TooFewUsableRowsUsesTheSmoothedRefit) {
  // Only (3, 3) is usable; (6, 0) is seen with label 0 alone.
  const LabelledGraph g = graphFromSamples(2, {{{6, 0}, 0, 20}, {{3, 3}, 0, 5}, {{3, 3}, 1, 5}});
  ParameterEstimator estimator(g.graph);
  estimator.buildConfigurations(g.labels, 2);
  ASSERT_EQ(estimator.usableRows, 1);
  const std::vector<float>& parameters = estimator.estimate();
  EXPECT_EQ(estimator.fallback, EstimateFallback::SmoothedRatios);
  ASSERT_EQ(parameters.size(), 2u);
  // -theta_1 + 2 beta = ln(20.5 / 0.5) - 1 and -theta_1 = ln(5.5 / 5.5) - 1.
  EXPECT_NEAR(parameters[0], 1.0f, 1e-5f);
  EXPECT_NEAR(parameters[1], std::log(41.0) / 2.0, 1e-5);
  // The table's own equations are untouched by the refit.
  ASSERT_EQ(estimator.equations.size(), 1u);
  EXPECT_EQ(estimator.equations[0].logRatio, -1.0f);
}

TEST(Estimate, SingularPlainFitUsesTheSmoothedRefit) {
  // Two usable rows with the same coefficients (-1, 2); the one-label ring
  // (3, 0) adds the independent row of the refit.
  const LabelledGraph g = graphFromSamples(
      2, {{{6, 0}, 0, 20}, {{6, 0}, 1, 2}, {{3, 0}, 0, 10}, {{3, 0}, 1, 1}, {{1, 1}, 0, 4}});
  ParameterEstimator estimator(g.graph);
  estimator.buildConfigurations(g.labels, 2);
  ASSERT_EQ(estimator.usableRows, 2);
  const std::vector<float>& parameters = estimator.estimate();
  EXPECT_EQ(estimator.fallback, EstimateFallback::SmoothedRatios);
  for (const float p : parameters) {
    EXPECT_TRUE(std::isfinite(p));
  }
  // The (1, 1) row: -theta_1 = ln(4.5 / 0.5) - 1.
  EXPECT_NEAR(parameters[0], 1.0 - std::log(9.0), 1e-5);
}

TEST(Estimate, OneLabelEverywhereEndsWithNeutralParameters) {
  const VertexGraph graph = gridGraph(10, 10);
  for (int K = 2; K <= 4; ++K) {
    ParameterEstimator estimator(graph);
    estimator.buildConfigurations(std::vector<std::int32_t>(graph.vertexCount(), 0), K);
    EXPECT_EQ(estimator.usableRows, 0);
    const std::vector<float>& parameters = estimator.estimate();
    EXPECT_EQ(estimator.fallback, EstimateFallback::Neutral);
    EXPECT_EQ(parameters, std::vector<float>(K, 1.0f)) << "K " << K;
  }
}

TEST(Estimate, EmptyTableEndsWithNeutralParameters) {
  const VertexGraph graph;
  ParameterEstimator estimator(graph);
  estimator.buildConfigurations({}, 3);
  EXPECT_EQ(estimator.estimate(), std::vector<float>(3, 1.0f));
  EXPECT_EQ(estimator.fallback, EstimateFallback::Neutral);
}

TEST(Estimate, RandomLabelsNeverGiveAbsurdParameters) {
  const VertexGraph graph = gridGraph(20, 20);
  for (int K = 2; K <= 6; ++K) {
    const auto labels = randomLabels(graph.vertexCount(), K, 40u + K);
    ParameterEstimator estimator(graph);
    estimator.buildConfigurations(labels, K);
    const std::vector<float>& parameters = estimator.estimate();
    ASSERT_EQ(parameters.size(), static_cast<std::size_t>(K));
    for (const float p : parameters) {
      EXPECT_TRUE(std::isfinite(p) && std::fabs(p) <= 1e6f) << "K " << K << ": " << p;
    }
  }
}

} // namespace
} // namespace vornel
