// The class stages on several threads against one thread: the k-means
// assignment passes and the majority filter give the same results bit for bit.

#include "classes/KMeans.hpp"
#include "classes/Segmenter.hpp"

#include "GridGraphs.hpp"
#include "NoisyValues.hpp"
#include "core/Parallel.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace vornel {
namespace {

void expectSameClusters(const KMeansResult& result, const KMeansResult& reference,
                        unsigned threads) {
  EXPECT_EQ(result.assignment, reference.assignment) << threads << " threads";
  EXPECT_EQ(result.centres, reference.centres) << threads << " threads";
  EXPECT_EQ(result.memberCounts, reference.memberCounts) << threads << " threads";
  EXPECT_EQ(result.iterations, reference.iterations) << threads << " threads";
}

TEST(ParallelKMeans, SortedAndFullPassesAgreeWithOneThread) {
  // 20011 values: the blocks do not divide them evenly.
  const std::vector<double> values = testing::noisyClasses(20011, 5, 0.4, 3);
  const auto cluster = [&](unsigned threads, bool fullPasses) {
    return StageThreads(threads).run([&] {
      RandomGenerator rng(9);
      return fullPasses ? kmeansByFullPasses(values, 1, 5, rng) : kmeans(values, 1, 5, rng);
    });
  };
  for (const bool fullPasses : {false, true}) {
    const KMeansResult reference = cluster(1, fullPasses);
    for (const unsigned threads : {2u, 3u, 8u})
      expectSameClusters(cluster(threads, fullPasses), reference, threads);
  }
}

TEST(ParallelKMeans, SeveralDimensionsAgreeWithOneThread) {
  std::mt19937 engine(4);
  std::normal_distribution<double> noise(0.0, 0.5);
  std::vector<double> points;
  for (int p = 0; p < 15000; ++p)
    for (int t = 0; t < 3; ++t)
      points.push_back((p % 4) * (t + 1) + noise(engine));
  const auto cluster = [&](unsigned threads) {
    return StageThreads(threads).run([&] {
      RandomGenerator rng(21);
      return kmeans(points, 3, 4, rng);
    });
  };
  const KMeansResult reference = cluster(1);
  for (const unsigned threads : {2u, 3u, 8u})
    expectSameClusters(cluster(threads), reference, threads);
}

TEST(ParallelMajorityFilter, EveryThreadCountGivesTheOneThreadLabels) {
  const VertexGraph graph = testing::fourNeighbourGrid(150);
  for (const int classCount : {2, 7, 256}) {
    const auto filtered = [&](unsigned threads) {
      Segmenter segmenter(graph, std::vector<double>(graph.vertexCount(), 0.0));
      std::mt19937 engine(classCount);
      std::uniform_int_distribution<int> label(0, classCount - 1);
      for (auto& l : segmenter.labels)
        l = label(engine);
      segmenter.classCount = classCount;
      std::vector<std::vector<std::int32_t>> passes;
      StageThreads(threads).run([&] {
        for (int pass = 0; pass < 3; ++pass) {
          segmenter.majorityFilter();
          passes.push_back(segmenter.labels);
        }
      });
      return passes;
    };
    const auto reference = filtered(1);
    for (const unsigned threads : {2u, 3u, 8u})
      EXPECT_EQ(filtered(threads), reference) << classCount << " classes, " << threads;
  }
}

} // namespace
} // namespace vornel
