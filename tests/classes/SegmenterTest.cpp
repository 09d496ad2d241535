#include "classes/Segmenter.hpp"
#include "core/Errors.hpp"

#include "GridGraphs.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <vector>

namespace vornel {
namespace {

using Rings = std::vector<std::vector<std::uint32_t>>;
using Labels = std::vector<std::int32_t>;

Segmenter labelled(const VertexGraph& graph, Labels labels, int classCount) {
  Segmenter segmenter(graph, std::vector<double>(graph.vertexCount(), 0.0));
  segmenter.labels = std::move(labels);
  segmenter.classCount = classCount;
  segmenter.means.assign(classCount, 0.0);
  segmenter.variances.assign(classCount, 0.0);
  return segmenter;
}

// --- class initialisation -------------------------------------------------

TEST(InitialiseClasses, OneRepeatedValueMakesOneClassWithoutSpread) {
  const VertexGraph graph = testing::pathGraph(5);
  Segmenter segmenter(graph, std::vector<double>(5, 2.5));
  RandomGenerator rng(1);
  segmenter.initialiseClasses(1, 0, rng);
  EXPECT_EQ(segmenter.classCount, 1);
  EXPECT_EQ(segmenter.labels, Labels(5, 0));
  EXPECT_EQ(segmenter.means, std::vector<double>{2.5});
  EXPECT_EQ(segmenter.variances, std::vector<double>{0.0});
}

TEST(InitialiseClasses, MeansAndPopulationVariances) {
  const VertexGraph graph = testing::pathGraph(5);
  for (const unsigned seed : {1u, 2u, 3u, 4u}) {
    Segmenter segmenter(graph, {1.0, 12.0, 2.0, 10.0, 3.0});
    RandomGenerator rng(seed);
    const InitialisationReport report = segmenter.initialiseClasses(2, 0, rng);
    EXPECT_GE(report.kmeansIterations, 1);
    ASSERT_EQ(segmenter.classCount, 2);
    const int low = segmenter.labels[0];
    const int high = 1 - low;
    EXPECT_EQ(segmenter.labels, (Labels{low, high, low, high, low}));
    EXPECT_EQ(segmenter.means[low], 2.0);
    EXPECT_EQ(segmenter.variances[low], 2.0 / 3.0); // divided by n, not n - 1
    EXPECT_EQ(segmenter.means[high], 11.0);
    EXPECT_EQ(segmenter.variances[high], 1.0);
  }
}

TEST(InitialiseClasses, OffsetOneKeepsClassZeroAndAddsClassesAfterIt) {
  const VertexGraph graph = testing::pathGraph(6);
  Segmenter segmenter(graph, {100.0, 1.0, 2.0, 100.0, 10.0, 11.0});
  segmenter.labels = {0, 1, 1, 0, 1, 1};
  segmenter.means = {100.0};
  segmenter.variances = {0.5};
  segmenter.classCount = 1;
  RandomGenerator rng(5);
  segmenter.initialiseClasses(2, 1, rng);

  EXPECT_EQ(segmenter.classCount, 3);
  ASSERT_EQ(segmenter.means.size(), 3u);
  EXPECT_EQ(segmenter.means[0], 100.0);
  EXPECT_EQ(segmenter.variances[0], 0.5);
  EXPECT_EQ(segmenter.labels[0], 0);
  EXPECT_EQ(segmenter.labels[3], 0);
  const int low = segmenter.labels[1];
  const int high = 3 - low;
  ASSERT_TRUE(low == 1 || low == 2);
  EXPECT_EQ(segmenter.labels, (Labels{0, low, low, 0, high, high}));
  EXPECT_EQ(segmenter.means[low], 1.5);
  EXPECT_EQ(segmenter.means[high], 10.5);
  EXPECT_EQ(segmenter.variances[low], 0.25);
  EXPECT_EQ(segmenter.variances[high], 0.25);
}

TEST(InitialiseClasses, TooFewValuesOrDistinctValuesIsAnError) {
  const VertexGraph graph = testing::pathGraph(3);
  Segmenter segmenter(graph, {1.0, 1.0, 2.0});
  RandomGenerator rng(1);
  EXPECT_THROW(segmenter.initialiseClasses(4, 0, rng), InvalidInputError);
  EXPECT_THROW(segmenter.initialiseClasses(3, 0, rng), InvalidInputError);
}

// --- majority filter ------------------------------------------------------

TEST(MajorityFilter, EvenSplitGoesToTheLowestLabel) {
  const VertexGraph graph = VertexGraph::fromRings({{1, 2, 3, 4}, {0}, {0}, {0}, {0}});
  Segmenter segmenter = labelled(graph, {0, 2, 1, 2, 1}, 3);
  segmenter.majorityFilter();
  EXPECT_EQ(segmenter.labels[0], 1);
}

TEST(MajorityFilter, UniformRingImposesItsLabel) {
  const VertexGraph graph = VertexGraph::fromRings({{1, 2, 3}, {0, 2}, {0, 1}, {0}});
  Segmenter segmenter = labelled(graph, {0, 3, 3, 3}, 4);
  segmenter.majorityFilter();
  EXPECT_EQ(segmenter.labels[0], 3);
}

TEST(MajorityFilter, NeighbourOnTwoEdgesCountsTwice) {
  const VertexGraph graph = VertexGraph::fromRings({{1, 1, 2}, {0, 0}, {0}});
  Segmenter segmenter = labelled(graph, {0, 2, 1}, 3);
  segmenter.majorityFilter();
  EXPECT_EQ(segmenter.labels[0], 2); // counted once it would tie and give 1
}

TEST(MajorityFilter, IsolatedVertexKeepsItsLabel) {
  const VertexGraph graph = VertexGraph::fromRings({{1}, {0}, {}});
  Segmenter segmenter = labelled(graph, {1, 1, 2}, 3);
  segmenter.majorityFilter();
  EXPECT_EQ(segmenter.labels, (Labels{1, 1, 2}));
}

TEST(MajorityFilter, JudgesEveryVertexOnTheLabelsBeforeThePass) {
  const VertexGraph graph = testing::pathGraph(4);
  Segmenter segmenter = labelled(graph, {0, 1, 1, 0}, 2);
  segmenter.majorityFilter();
  // Updated in place in vertex order it would give 1, 1, 0, 0.
  EXPECT_EQ(segmenter.labels, (Labels{1, 0, 0, 1}));
  segmenter.majorityFilter(); // the inner pair ties and both ends follow it
  EXPECT_EQ(segmenter.labels, (Labels{0, 0, 0, 0}));
}

TEST(MajorityFilter, ResultDoesNotDependOnVertexOrder) {
  const std::uint32_t n = 300;
  std::mt19937 engine(9);
  Rings rings(n);
  for (int e = 0; e < 900; ++e) {
    const std::uint32_t a = engine() % n;
    const std::uint32_t b = engine() % n;
    if (a == b)
      continue;
    rings[a].push_back(b);
    rings[b].push_back(a);
  }
  Labels labels(n);
  for (auto& label : labels)
    label = static_cast<std::int32_t>(engine() % 4);

  std::vector<std::uint32_t> order(n); // new position of each vertex
  std::iota(order.begin(), order.end(), 0u);
  std::shuffle(order.begin(), order.end(), engine);
  Rings permutedRings(n);
  Labels permutedLabels(n);
  for (std::uint32_t v = 0; v < n; ++v) {
    for (const std::uint32_t w : rings[v])
      permutedRings[order[v]].push_back(order[w]);
    permutedLabels[order[v]] = labels[v];
  }

  const VertexGraph graph = VertexGraph::fromRings(rings);
  const VertexGraph permutedGraph = VertexGraph::fromRings(permutedRings);
  Segmenter original = labelled(graph, labels, 4);
  Segmenter permuted = labelled(permutedGraph, permutedLabels, 4);
  for (int pass = 0; pass < 3; ++pass) {
    original.majorityFilter();
    permuted.majorityFilter();
  }
  for (std::uint32_t v = 0; v < n; ++v)
    ASSERT_EQ(permuted.labels[order[v]], original.labels[v]) << "vertex " << v;
}

TEST(MajorityFilter, OneClassLeavesEveryLabelAtZero) {
  const VertexGraph graph = VertexGraph::fromRings({{1}, {0}, {}});
  Segmenter segmenter = labelled(graph, {0, 0, 0}, 1);
  segmenter.majorityFilter();
  EXPECT_EQ(segmenter.labels, (Labels{0, 0, 0}));
}

// --- class ordering -------------------------------------------------------

Segmenter withMeans(const VertexGraph& graph, std::vector<double> means) {
  const int K = static_cast<int>(means.size());
  Labels labels(graph.vertexCount());
  for (std::size_t v = 0; v < labels.size(); ++v)
    labels[v] = static_cast<std::int32_t>(v % K);
  Segmenter segmenter = labelled(graph, labels, K);
  segmenter.means = std::move(means);
  for (int k = 0; k < K; ++k)
    segmenter.variances[k] = 10.0 + k; // tags each class
  return segmenter;
}

TEST(ClassOrdering, AscendingMeansChangeNothing) {
  const VertexGraph graph = testing::pathGraph(6);
  Segmenter segmenter = withMeans(graph, {1.0, 2.0, 3.0});
  segmenter.sortClassesByMean();
  EXPECT_EQ(segmenter.labels, (Labels{0, 1, 2, 0, 1, 2}));
  EXPECT_EQ(segmenter.means, (std::vector<double>{1.0, 2.0, 3.0}));
  EXPECT_EQ(segmenter.variances, (std::vector<double>{10.0, 11.0, 12.0}));
}

TEST(ClassOrdering, DescendingMeansSwapTheOuterClasses) {
  const VertexGraph graph = testing::pathGraph(6);
  Segmenter segmenter = withMeans(graph, {3.0, 2.0, 1.0});
  segmenter.sortClassesByMean();
  EXPECT_EQ(segmenter.labels, (Labels{2, 1, 0, 2, 1, 0}));
  EXPECT_EQ(segmenter.means, (std::vector<double>{1.0, 2.0, 3.0}));
  EXPECT_EQ(segmenter.variances, (std::vector<double>{12.0, 11.0, 10.0}));
}

TEST(ClassOrdering, EqualMeansFollowTheExchanges) {
  const VertexGraph graph = testing::pathGraph(6);
  Segmenter segmenter = withMeans(graph, {2.0, 2.0, 1.0});
  segmenter.sortClassesByMean();
  // Class 2 -> 0, class 1 stays, class 0 -> 2.
  EXPECT_EQ(segmenter.labels, (Labels{2, 1, 0, 2, 1, 0}));
  EXPECT_EQ(segmenter.means, (std::vector<double>{1.0, 2.0, 2.0}));
  EXPECT_EQ(segmenter.variances, (std::vector<double>{12.0, 11.0, 10.0}));
}

TEST(ClassOrdering, OneClassChangesNothing) {
  const VertexGraph graph = testing::pathGraph(3);
  Segmenter segmenter = withMeans(graph, {4.0});
  segmenter.sortClassesByMean();
  EXPECT_EQ(segmenter.labels, (Labels{0, 0, 0}));
  EXPECT_EQ(segmenter.means, std::vector<double>{4.0});
}

TEST(ClassOrdering, MatchesExchangeByExchangeRelabelling) {
  const VertexGraph graph = testing::pathGraph(40);
  std::mt19937 engine(21);
  for (int trial = 0; trial < 50; ++trial) {
    std::vector<double> means(6);
    for (double& mean : means)
      mean = static_cast<double>(engine() % 4); // plenty of equal means
    Segmenter segmenter = withMeans(graph, means);
    std::shuffle(segmenter.labels.begin(), segmenter.labels.end(), engine);

    const Labels before = segmenter.labels;

    // Relabel the vertices at every exchange, as the sort is described.
    Labels expected = before;
    std::vector<double> expectedMeans = means;
    for (int i = 0; i < 6; ++i) {
      int m = i;
      for (int j = i + 1; j < 6; ++j)
        if (expectedMeans[j] < expectedMeans[m])
          m = j;
      std::swap(expectedMeans[i], expectedMeans[m]);
      for (auto& label : expected)
        label = label == m ? i : label == i ? m : label;
    }
    segmenter.sortClassesByMean();
    ASSERT_EQ(segmenter.labels, expected) << "trial " << trial;
    ASSERT_EQ(segmenter.means, expectedMeans);
    // Every vertex still points at its former class's mean and variance.
    for (std::size_t v = 0; v < before.size(); ++v) {
      ASSERT_EQ(segmenter.means[segmenter.labels[v]], means[before[v]]);
      ASSERT_EQ(segmenter.variances[segmenter.labels[v]], 10.0 + before[v]);
    }
  }
}

// --- several features per vertex -------------------------------------------

TEST(FeatureClasses, SortByFirstFeatureThenSecond) {
  const VertexGraph graph = testing::pathGraph(6);
  Segmenter segmenter(graph, std::vector<double>(12, 0.0), 2);
  segmenter.labels = {0, 1, 2, 0, 1, 2};
  segmenter.classCount = 3;
  segmenter.means = {1.0, 5.0, 0.0, 9.0, 1.0, 2.0};
  // Each class's covariance tagged by its class on every entry.
  segmenter.variances = {10, 10, 10, 10, 11, 11, 11, 11, 12, 12, 12, 12};
  segmenter.sortClassesByMean();
  EXPECT_EQ(segmenter.means, (std::vector<double>{0.0, 9.0, 1.0, 2.0, 1.0, 5.0}));
  EXPECT_EQ(segmenter.variances,
            (std::vector<double>{11, 11, 11, 11, 12, 12, 12, 12, 10, 10, 10, 10}));
  EXPECT_EQ(segmenter.labels, (Labels{2, 0, 1, 2, 0, 1}));
}

TEST(FeatureClasses, MeanVectorsAndCovariancesOfTheFeatures) {
  const VertexGraph graph = testing::pathGraph(6);
  // Two groups far apart in both features; within a group the second feature
  // follows the first in one and mirrors it in the other.
  Segmenter segmenter(graph, {0.0, 0.0, 1.0, 1.0, 2.0, 2.0, 100.0, 12.0, 101.0, 11.0, 102.0, 10.0},
                      2);
  RandomGenerator rng(3);
  segmenter.initialiseClasses(2, 0, rng);
  segmenter.sortClassesByMean();
  EXPECT_EQ(segmenter.labels, (Labels{0, 0, 0, 1, 1, 1}));
  EXPECT_EQ(segmenter.means, (std::vector<double>{1.0, 1.0, 101.0, 11.0}));
  const double v = 2.0 / 3.0; // population variance of 0, 1, 2
  EXPECT_EQ(segmenter.variances, (std::vector<double>{v, v, v, v, v, -v, -v, v}));
}

TEST(FeatureClasses, KMeansIgnoresTheUnitOfAFeature) {
  // The second feature's spread of classes is 20 times the first's; unscaled,
  // k-means would split along it alone.
  const VertexGraph graph = testing::pathGraph(400);
  std::mt19937 engine(5);
  std::normal_distribution<double> gaussian(0.0, 0.1);
  std::vector<double> features;
  for (int v = 0; v < 400; ++v) {
    features.push_back(v % 2 + gaussian(engine));
    features.push_back(20.0 * gaussian(engine));
  }
  Labels labels[2];
  for (const double unit : {1.0, 1000.0}) {
    std::vector<double> scaled = features;
    for (std::size_t p = 0; p < scaled.size(); p += 2)
      scaled[p] *= unit;
    Segmenter segmenter(graph, scaled, 2);
    RandomGenerator rng(9);
    segmenter.initialiseClasses(2, 0, rng);
    labels[unit == 1.0 ? 0 : 1] = segmenter.labels;
  }
  EXPECT_EQ(labels[0], labels[1]);
}

TEST(FeatureClasses, ValueCountMustMatchVerticesTimesFeatures) {
  const VertexGraph graph = testing::pathGraph(3);
  EXPECT_THROW(Segmenter(graph, std::vector<double>(5, 0.0), 2), InvalidInputError);
  EXPECT_THROW(Segmenter(graph, std::vector<double>(3, 0.0), 0), InvalidInputError);
  Segmenter segmenter(graph, std::vector<double>(6, 0.0), 2);
  RandomGenerator rng(1);
  EXPECT_THROW(segmenter.initialiseClasses(1, 1, rng), InvalidInputError);
}

} // namespace
} // namespace vornel
