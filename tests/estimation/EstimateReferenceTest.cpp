// The estimator against the straightforward reference, bit for bit, on random
// labellings of small graphs, with cases that take each of the three ways to
// the parameters.

#include "ReferenceEstimate.hpp"
#include "TestGraphs.hpp"
#include "estimation/ParameterEstimator.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <set>
#include <string>

namespace vornel {
namespace {

using test_graphs::gridGraph;

struct Case {
  std::string name;
  VertexGraph graph;
  std::vector<std::int32_t> labels;
};

std::uint32_t bitsOf(float value) {
  std::uint32_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

std::vector<std::uint32_t> bitsOf(const std::vector<float>& values) {
  std::vector<std::uint32_t> bits;
  for (const float value : values) {
    bits.push_back(bitsOf(value));
  }
  return bits;
}

int pick(std::mt19937& generator, int low, int high) {
  return std::uniform_int_distribution<int>(low, high)(generator);
}

/// A few ring patterns over isolated anchors labelled 0 .. K-1, each shared by
/// many vertices whose labels come from all classes or from the first few:
/// many centre labels per configuration, or one only.
Case sharedRings(int K, std::mt19937& generator) {
  std::vector<std::vector<std::uint32_t>> rings(static_cast<std::size_t>(K));
  Case c{"shared rings", {}, {}};
  for (int l = 0; l < K; ++l) {
    c.labels.push_back(l);
  }
  const int patterns = pick(generator, 2, 6);
  for (int p = 0; p < patterns; ++p) {
    std::vector<std::uint32_t> ring(static_cast<std::size_t>(pick(generator, 1, 7)));
    for (auto& neighbour : ring) {
      neighbour = std::uint32_t(pick(generator, 0, K - 1));
    }
    const int subset = pick(generator, 0, 1) == 0 ? K : pick(generator, 1, K);
    const int vertices = pick(generator, 5, 8 * K);
    for (int v = 0; v < vertices; ++v) {
      rings.push_back(ring);
      c.labels.push_back(pick(generator, 0, subset - 1));
    }
  }
  c.graph = VertexGraph::fromRings(rings);
  return c;
}

/// Random rings of 0 to 6 neighbours (isolated vertices included), random labels.
Case randomGraph(int K, std::mt19937& generator) {
  const int n = pick(generator, 8, 30);
  std::vector<std::vector<std::uint32_t>> rings(static_cast<std::size_t>(n));
  Case c{"random graph", {}, {}};
  for (auto& ring : rings) {
    ring.resize(static_cast<std::size_t>(pick(generator, 0, 6)));
    for (auto& neighbour : ring) {
      neighbour = std::uint32_t(pick(generator, 0, n - 1));
    }
    c.labels.push_back(pick(generator, 0, K - 1));
  }
  c.graph = VertexGraph::fromRings(rings);
  return c;
}

Case randomGrid(int K, std::mt19937& generator) {
  Case c{"random grid", gridGraph(pick(generator, 3, 5), pick(generator, 3, 5)), {}};
  for (std::size_t v = 0; v < c.graph.vertexCount(); ++v) {
    c.labels.push_back(pick(generator, 0, K - 1));
  }
  return c;
}

/// One label on a grid (four ring sizes) or on a cycle (one ring).
Case oneLabel(int K, std::mt19937& generator, bool onGrid) {
  Case c{onGrid ? "one label on a grid" : "one label on a cycle", {}, {}};
  if (onGrid) {
    c.graph = gridGraph(pick(generator, 3, 6), pick(generator, 3, 6));
  } else {
    const auto n = std::uint32_t(pick(generator, 3, 20));
    std::vector<std::vector<std::uint32_t>> rings;
    for (std::uint32_t v = 0; v < n; ++v) {
      rings.push_back({(v + n - 1) % n, (v + 1) % n});
    }
    c.graph = VertexGraph::fromRings(rings);
  }
  c.labels.assign(c.graph.vertexCount(), pick(generator, 0, K - 1));
  return c;
}

void expectSameTable(const ParameterEstimator& estimator, const reference::Estimate& expected,
                     int K) {
  ASSERT_EQ(estimator.configurations.size(), expected.distinct.size());
  for (std::size_t c = 0; c < expected.distinct.size(); ++c) {
    EXPECT_EQ(estimator.configurations[c].neighbourCounts, expected.distinct[c].neighbourCounts);
    EXPECT_EQ(estimator.configurations[c].centreCounts, expected.distinct[c].centreCounts);
  }
  ASSERT_EQ(estimator.usableRows, expected.usableRows);
  ASSERT_EQ(estimator.equations.size(), std::size_t(expected.usableRows));
  for (int j = 0; j < expected.usableRows; ++j) {
    const PairEquation& equation = estimator.equations[j];
    const reference::Row& row = expected.rows[j];
    const NeighbourhoodConfiguration& configuration =
        estimator.configurations[equation.configuration];
    EXPECT_EQ(configuration.neighbourCounts, row.neighbourCounts) << "row " << j;
    EXPECT_EQ(configuration.centreCounts, row.centreCounts) << "row " << j;
    EXPECT_EQ(equation.firstLabel, row.firstLabel) << "row " << j;
    EXPECT_EQ(equation.secondLabel, row.secondLabel) << "row " << j;
    EXPECT_EQ(bitsOf(equation.logRatio), bitsOf(row.logRatio)) << "row " << j;
    EXPECT_EQ(bitsOf(equation.features(K)), bitsOf(row.features)) << "row " << j;
  }
}

class EstimateReference : public ::testing::TestWithParam<int> {};

TEST_P(EstimateReference, TableParametersAndFallbackMatchBitForBit) {
  const int K = GetParam();
  std::mt19937 generator(1000u + unsigned(K));
  std::set<EstimateFallback> taken;
  for (int round = 0; round < 5; ++round) {
    for (const Case& c :
         {sharedRings(K, generator), randomGraph(K, generator), randomGrid(K, generator),
          oneLabel(K, generator, true), oneLabel(K, generator, false)}) {
      SCOPED_TRACE("K " + std::to_string(K) + ", round " + std::to_string(round) + ", " + c.name);
      const reference::Estimate expected = reference::estimate(c.graph, c.labels, K);
      ParameterEstimator estimator(c.graph);
      estimator.buildConfigurations(c.labels, K);
      expectSameTable(estimator, expected, K);
      const std::vector<float>& parameters = estimator.estimate();
      EXPECT_EQ(estimator.fallback, expected.fallback);
      EXPECT_EQ(bitsOf(parameters), bitsOf(expected.parameters));
      taken.insert(estimator.fallback);
    }
  }
  EXPECT_EQ(taken.size(), 3u) << "not every way to the parameters was exercised";
}

INSTANTIATE_TEST_SUITE_P(ClassCounts, EstimateReference, ::testing::Values(2, 3, 5, 17, 64));

} // namespace
} // namespace vornel
