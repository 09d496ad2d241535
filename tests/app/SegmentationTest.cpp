// The library entry point on flat arrays, without files.

#include "app/Segmentation.hpp"
#include "core/Errors.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

namespace vornel {
namespace {

/// A width x height grid, 4-connected, as explicit rings.
VertexGraph gridGraph(int width, int height) {
  std::vector<std::vector<std::uint32_t>> rings(static_cast<std::size_t>(width) * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      auto& ring = rings[static_cast<std::size_t>(y) * width + x];
      if (x > 0)
        ring.push_back(y * width + x - 1);
      if (y > 0)
        ring.push_back((y - 1) * width + x);
      if (x + 1 < width)
        ring.push_back(y * width + x + 1);
      if (y + 1 < height)
        ring.push_back((y + 1) * width + x);
    }
  return VertexGraph::fromRings(rings);
}

std::vector<double> stripeValues(int width, int height, int regions, double noise, unsigned seed) {
  std::mt19937 engine(seed);
  std::normal_distribution<double> gaussian(0.0, noise);
  std::vector<double> values;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      values.push_back(x * regions / width + gaussian(engine));
  return values;
}

SegmentationOptions optionsFor(int classes, int passes, int sweeps) {
  SegmentationOptions options;
  options.classCount = classes;
  options.filterPasses = passes;
  options.sweepCount = sweeps;
  return options;
}

TEST(Segment, OneClassLabelsEverythingZeroAndSkipsTheModel) {
  const VertexGraph graph = gridGraph(4, 4);
  std::vector<double> values(16);
  for (int i = 0; i < 16; ++i)
    values[i] = i;
  const SegmentationResult result = segment(graph, values, optionsFor(1, 3, 50), 1);
  EXPECT_EQ(result.labels, std::vector<std::int32_t>(16, 0));
  ASSERT_EQ(result.means.size(), 1u);
  EXPECT_DOUBLE_EQ(result.means[0], 7.5);
  EXPECT_TRUE(result.parameters.empty());
  EXPECT_TRUE(result.warnings.empty());
}

TEST(Segment, RejectsImpossibleRequests) {
  const VertexGraph graph = gridGraph(2, 2);
  EXPECT_THROW(segment(graph, {1, 2, 3, 4}, optionsFor(5, 3, 50), 1), InvalidInputError);
  EXPECT_THROW(segment(graph, {1, 2, 3}, optionsFor(2, 3, 50), 1), InvalidInputError);
  EXPECT_THROW(segment(graph, {1, 1, 2, 2}, optionsFor(3, 3, 50), 1), InvalidInputError);
  // Whatever gave them, values k-means cannot sort never reach it.
  const double infinity = std::numeric_limits<double>::infinity();
  EXPECT_THROW(segment(graph, {1, 2, infinity, 4}, optionsFor(2, 3, 50), 1), InvalidInputError);
  EXPECT_THROW(segment(graph, {std::nan(""), 2, 3, 4}, optionsFor(2, 3, 50), 1), InvalidInputError);
}

TEST(Segment, ClassesComeOutNumberedByIncreasingMean) {
  const VertexGraph graph = gridGraph(30, 10);
  const std::vector<double> values = stripeValues(30, 10, 3, 0.2, 3);
  for (unsigned seed = 1; seed <= 5; ++seed) {
    const SegmentationResult result = segment(graph, values, optionsFor(3, 3, 10), seed);
    ASSERT_EQ(result.means.size(), 3u);
    EXPECT_LT(result.means[0], result.means[1]);
    EXPECT_LT(result.means[1], result.means[2]);
    // The left stripe has the smallest values, the right one the largest.
    EXPECT_EQ(result.labels.front(), 0);
    EXPECT_EQ(result.labels.back(), 2);
  }
}

TEST(Segment, TheSeedMakesARunRepeatable) {
  const VertexGraph graph = gridGraph(20, 20);
  const std::vector<double> values = stripeValues(20, 20, 3, 0.9, 4);
  SegmentationOptions options = optionsFor(3, 3, 20);
  const SegmentationResult first = segment(graph, values, options, 11);
  EXPECT_EQ(segment(graph, values, options, 11).labels, first.labels);
  options.seed = 11; // the option wins over the caller's clock value
  EXPECT_EQ(segment(graph, values, options, 12345).labels, first.labels);
}

TEST(Segment, CleanRegionsFallBackToFiniteParametersWithAWarning) {
  // Noise-free stripes: after filtering no ring configuration is seen with two
  // centre labels, so the plain fit has nothing to stand on.
  const VertexGraph graph = gridGraph(20, 6);
  const std::vector<double> values = stripeValues(20, 6, 2, 0.0, 1);
  const SegmentationResult result = segment(graph, values, optionsFor(2, 3, 10), 1);
  ASSERT_EQ(result.parameters.size(), 2u);
  for (float p : result.parameters)
    EXPECT_TRUE(std::isfinite(p));
  EXPECT_NE(result.fallback, EstimateFallback::None);
  ASSERT_EQ(result.warnings.size(), 1u);
  for (std::size_t i = 0; i < values.size(); ++i)
    EXPECT_EQ(result.labels[i], static_cast<int>(values[i]));
}

} // namespace
} // namespace vornel
