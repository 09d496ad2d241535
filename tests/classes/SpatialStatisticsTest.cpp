#include "classes/SpatialStatistics.hpp"
#include "GridGraphs.hpp"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace vornel {
namespace {

TEST(RingAverages, AverageEachVertexWithItsRing) {
  // A path 0 - 1 - 2, vertex 3 isolated, vertex 4 joined to 2 by two edges.
  const VertexGraph graph = VertexGraph::fromRings({{1}, {0, 2}, {1, 4, 4}, {}, {2, 2}});
  const std::vector<double> averages = ringAverages(graph, {3.0, 6.0, 9.0, 5.0, 0.0});
  EXPECT_EQ(averages, (std::vector<double>{4.5, 6.0, 15.0 / 4.0, 5.0, 18.0 / 3.0}));
}

TEST(EdgeNoiseVariance, RecoversTheNoiseOfRegionsWithDifferentMeans) {
  const int side = 200;
  const VertexGraph graph = testing::fourNeighbourGrid(side);
  std::mt19937 engine(4);
  std::normal_distribution<double> noise(0.0, 0.5);
  std::vector<double> values;
  for (int v = 0; v < side * side; ++v) // four stripes of means 0, 10, 20, 30
    values.push_back(10.0 * ((v % side) * 4 / side) + noise(engine));
  const double variance = edgeNoiseVariance(graph, values);
  EXPECT_NEAR(variance, 0.25, 0.25 * 0.05); // the variance of all values is about 125
  // Twice the values, four times the variance (exactly: doubling is exact).
  for (double& x : values)
    x *= 2.0;
  EXPECT_EQ(edgeNoiseVariance(graph, values), 4.0 * variance);
}

TEST(EdgeNoiseVariance, IsZeroWithoutEdgesOrNoise) {
  EXPECT_EQ(edgeNoiseVariance(VertexGraph::fromRings({{}, {}}), {1.0, 5.0}), 0.0);
  // Constant regions: most edges join equal values.
  std::vector<double> values;
  for (int v = 0; v < 100; ++v)
    values.push_back(v % 10 < 5 ? 1.0 : 7.0);
  EXPECT_EQ(edgeNoiseVariance(testing::fourNeighbourGrid(10), values), 0.0);
}

} // namespace
} // namespace vornel
