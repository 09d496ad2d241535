// The library entry point on flat arrays, without files.

#include "pipeline/Segmentation.hpp"
#include "JointFeatures.hpp"
#include "classes/ClassStatistics.hpp"
#include "core/Errors.hpp"

#include <gtest/gtest.h>

#include <algorithm>
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
  // The schedule's rules hold here as they do on the command line and in segmentMesh.
  SegmentationOptions options = optionsFor(2, 3, 50);
  options.coolingFactor = 1.5;
  EXPECT_THROW(segment(graph, {1, 2, 3, 4}, options, 1), InvalidInputError);
  options.coolingFactor.reset();
  options.initialTemperature = infinity;
  EXPECT_THROW(segment(graph, {1, 2, 3, 4}, options, 1), InvalidInputError);
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

// --- segments and their clean-up ---------------------------------------------

/// One label per segment, different labels across every edge between two
/// segments, ids met in increasing order.
void expectSegmentsMatchLabels(const VertexGraph& graph, const SegmentationResult& result) {
  ASSERT_EQ(result.segments.size(), result.labels.size());
  std::vector<std::int32_t> labelOf(result.segmentCount, -1);
  std::int32_t nextNew = 0;
  for (std::size_t v = 0; v < result.labels.size(); ++v) {
    const std::int32_t id = result.segments[v];
    ASSERT_LE(id, nextNew);
    ASSERT_LT(static_cast<std::size_t>(id), result.segmentCount);
    nextNew += id == nextNew;
    if (labelOf[id] < 0)
      labelOf[id] = result.labels[v];
    EXPECT_EQ(labelOf[id], result.labels[v]) << "segment " << id << " holds two labels";
    for (std::uint32_t j = graph.ringBegin(v); j < graph.ringEnd(v); ++j) {
      const std::uint32_t n = graph.neighbours[j];
      EXPECT_EQ(result.segments[n] == id, result.labels[n] == result.labels[v]);
    }
  }
  EXPECT_EQ(static_cast<std::size_t>(nextNew), result.segmentCount);
}

std::vector<std::uint32_t> segmentSizes(const SegmentationResult& result) {
  std::vector<std::uint32_t> sizes(result.segmentCount, 0);
  for (const std::int32_t id : result.segments)
    ++sizes[id];
  return sizes;
}

TEST(SegmentCleanUp, ASizeOfOneOrLessChangesNothing) {
  const VertexGraph graph = gridGraph(30, 30);
  const std::vector<double> values = stripeValues(30, 30, 3, 0.9, 6);
  const SegmentationResult plain = segment(graph, values, optionsFor(3, 3, 10), 8);
  expectSegmentsMatchLabels(graph, plain);
  for (const std::uint32_t size : {0u, 1u}) {
    SegmentationOptions options = optionsFor(3, 3, 10);
    options.minSegmentSize = size;
    const SegmentationResult result = segment(graph, values, options, 8);
    EXPECT_EQ(result.labels, plain.labels);
    EXPECT_EQ(result.segments, plain.segments);
    EXPECT_EQ(result.means, plain.means);
    EXPECT_EQ(result.variances, plain.variances);
    EXPECT_EQ(result.warnings, plain.warnings);
  }
}

TEST(SegmentCleanUp, MergedLabelsKeepTheOrderAndGiveTheClassStatistics) {
  const VertexGraph graph = gridGraph(40, 40);
  const std::vector<double> values = stripeValues(40, 40, 3, 0.9, 6);
  const SegmentationResult plain = segment(graph, values, optionsFor(3, 1, 5), 8);
  const std::vector<std::uint32_t> plainSizes = segmentSizes(plain);
  ASSERT_GT(std::count_if(plainSizes.begin(), plainSizes.end(),
                          [](std::uint32_t size) { return size < 30; }),
            10);

  SegmentationOptions options = optionsFor(3, 1, 5);
  options.minSegmentSize = 30;
  const SegmentationResult merged = segment(graph, values, options, 8);
  expectSegmentsMatchLabels(graph, merged);
  for (const std::uint32_t size : segmentSizes(merged))
    EXPECT_GE(size, 30u);
  EXPECT_LT(merged.segmentCount, plain.segmentCount);
  const ClassStatistics statistics = statisticsOf(values, merged.labels, 3);
  EXPECT_EQ(merged.means, statistics.means);
  EXPECT_EQ(merged.variances, statistics.variances);
  EXPECT_TRUE(std::is_sorted(merged.means.begin(), merged.means.end()));
  EXPECT_EQ(segment(graph, values, options, 8).labels, merged.labels);
}

// --- several features per vertex -------------------------------------------

// Noisy quadrants that no feature tells apart alone: a single k-means start on
// the raw features mixes the classes beyond what the annealing repairs.
TEST(SegmentFeatures, DefaultModelSolvesNoisyQuadrants) {
  const testing::JointProblem problem = testing::jointProblem(60, 0.5, 21);
  const SegmentationResult result =
      segment(problem.graph, problem.features, 2, optionsFor(4, 2, 50), 5);
  EXPECT_GE(testing::bestMatchAccuracy(result.labels, problem.truth), 0.95);
}

TEST(SegmentFeatures, FirstClassesDoNotDependOnTheThreadCount) {
  const testing::JointProblem problem = testing::jointProblem(40, 0.6, 22);
  SegmentationOptions options = optionsFor(3, 2, 20);
  options.threads = 1;
  const SegmentationResult one = segment(problem.graph, problem.features, 2, options, 9);
  options.threads = 2;
  const SegmentationResult two = segment(problem.graph, problem.features, 2, options, 9);
  EXPECT_EQ(one.labels, two.labels);
}

} // namespace
} // namespace vornel
