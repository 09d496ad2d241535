#include "estimation/ParameterEstimator.hpp"
#include "mesh/Errors.hpp"
#include "TestGraphs.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

namespace vornel {
namespace {

using test_graphs::gridGraph;
using test_graphs::graphFromSamples;
using test_graphs::LabelledGraph;
using test_graphs::randomLabels;

std::int64_t product(const NeighbourhoodConfiguration& row) {
  return std::int64_t{row.centreCounts[row.firstLabel]} * row.centreCounts[row.secondLabel];
}

const NeighbourhoodConfiguration* findRow(const ParameterEstimator& estimator,
                                          const std::vector<std::int32_t>& ring, int a, int b) {
  for (const auto& row : estimator.configurations) {
    if (row.neighbourCounts == ring && row.firstLabel == a && row.secondLabel == b) {
      return &row;
    }
  }
  return nullptr;
}

/// The table as a plain linear scan builds it, then expanded and ordered.
std::vector<NeighbourhoodConfiguration> referenceTable(const VertexGraph& graph,
                                                       const std::vector<std::int32_t>& labels,
                                                       int K) {
  std::vector<NeighbourhoodConfiguration> rows;
  for (std::size_t v = 0; v < graph.vertexCount(); ++v) {
    if (graph.degree(v) == 0) {
      continue;
    }
    std::vector<std::int32_t> ring(K, 0);
    for (std::uint32_t e = graph.ringBegin(v); e < graph.ringEnd(v); ++e) {
      ++ring[labels[graph.neighbours[e]]];
    }
    auto match = std::find_if(rows.begin(), rows.end(),
                              [&](const auto& row) { return row.neighbourCounts == ring; });
    if (match == rows.end()) {
      NeighbourhoodConfiguration row;
      row.neighbourCounts = ring;
      row.centreCounts.assign(K, 0);
      rows.push_back(row);
      match = rows.end() - 1;
    }
    ++match->centreCounts[labels[v]];
  }
  std::vector<NeighbourhoodConfiguration> expanded;
  for (const auto& row : rows) {
    for (int a = 0; a < K - 1; ++a) {
      for (int b = a + 1; b < K; ++b) {
        expanded.push_back(row);
        expanded.back().firstLabel = a;
        expanded.back().secondLabel = b;
      }
    }
  }
  std::stable_sort(expanded.begin(), expanded.end(),
                   [](const auto& x, const auto& y) { return product(x) > product(y); });
  return expanded;
}

TEST(ConfigurationTable, WorkedRowForThreeLabels) {
  const LabelledGraph g =
      graphFromSamples(3, {{{4, 1, 1}, 0, 30}, {{4, 1, 1}, 2, 3}});
  ParameterEstimator estimator(g.graph);
  estimator.buildConfigurations(g.labels, 3);
  ASSERT_EQ(estimator.configurations.size(), 3u);
  ASSERT_EQ(estimator.usableRows, 1);
  const NeighbourhoodConfiguration& row = estimator.configurations[0];
  EXPECT_EQ(row.firstLabel, 0);
  EXPECT_EQ(row.secondLabel, 2);
  EXPECT_EQ(row.centreCounts, (std::vector<std::int32_t>{30, 0, 3}));
  EXPECT_NEAR(row.logRatio, 1.302585f, 1e-6f);
  EXPECT_EQ(row.logRatio, static_cast<float>(double(static_cast<float>(std::log(10.0))) - 1.0));
  EXPECT_EQ(row.features, (std::vector<float>{0.0f, -1.0f, 1.0f}));
  EXPECT_TRUE(estimator.configurations[1].features.empty());
  EXPECT_TRUE(estimator.configurations[2].features.empty());
}

TEST(ConfigurationTable, TwoLabelsKeepTheOnlyPairAndFeatures) {
  const LabelledGraph g =
      graphFromSamples(2, {{{6, 0}, 0, 20}, {{6, 0}, 1, 2}, {{3, 3}, 0, 5}, {{3, 3}, 1, 5}});
  ParameterEstimator estimator(g.graph);
  estimator.buildConfigurations(g.labels, 2);
  ASSERT_EQ(estimator.configurations.size(), 2u);
  EXPECT_EQ(estimator.usableRows, 2);
  EXPECT_EQ(estimator.parameterCount, 2);
  const NeighbourhoodConfiguration* uniform = findRow(estimator, {6, 0}, 0, 1);
  const NeighbourhoodConfiguration* mixed = findRow(estimator, {3, 3}, 0, 1);
  ASSERT_NE(uniform, nullptr);
  ASSERT_NE(mixed, nullptr);
  EXPECT_EQ(uniform->features, (std::vector<float>{-1.0f, 2.0f}));
  EXPECT_EQ(mixed->features, (std::vector<float>{-1.0f, 0.0f}));
  EXPECT_FLOAT_EQ(uniform->logRatio, 1.302585f);
  EXPECT_EQ(mixed->logRatio, -1.0f);
  // Products 40 and 25: the better supported configuration comes first.
  EXPECT_EQ(&estimator.configurations[0], uniform);
}

TEST(ConfigurationTable, PairExpansionGivesOneRowPerConfigurationAndPair) {
  const VertexGraph graph = gridGraph(12, 9);
  for (int K = 3; K <= 5; ++K) {
    const auto labels = randomLabels(graph.vertexCount(), K, 17u + K);
    ParameterEstimator estimator(graph);
    estimator.buildConfigurations(labels, K);
    std::set<std::vector<std::int32_t>> distinct;
    for (const auto& row : estimator.configurations) {
      distinct.insert(row.neighbourCounts);
    }
    EXPECT_EQ(estimator.configurations.size(), distinct.size() * K * (K - 1) / 2) << "K " << K;
    EXPECT_GT(distinct.size(), 10u);
  }
}

TEST(ConfigurationTable, UsableRowsLeadAndCarryEquations) {
  const VertexGraph graph = gridGraph(15, 15);
  const auto labels = randomLabels(graph.vertexCount(), 3, 5u);
  ParameterEstimator estimator(graph);
  estimator.buildConfigurations(labels, 3);
  ASSERT_GT(estimator.usableRows, 0);
  ASSERT_LT(estimator.usableRows, static_cast<int>(estimator.configurations.size()));
  for (std::size_t j = 0; j < estimator.configurations.size(); ++j) {
    const auto& row = estimator.configurations[j];
    const bool usable = j < static_cast<std::size_t>(estimator.usableRows);
    EXPECT_EQ(product(row) > 0, usable) << "row " << j;
    EXPECT_EQ(row.features.size(), usable ? 3u : 0u) << "row " << j;
    if (j > 0) {
      EXPECT_GE(product(estimator.configurations[j - 1]), product(row));
    }
  }
}

TEST(ConfigurationTable, ConfigurationSeenWithOneLabelGivesNoUsableRow) {
  const LabelledGraph g = graphFromSamples(
      3, {{{2, 2, 2}, 0, 4}, {{2, 2, 2}, 1, 3}, {{5, 1, 0}, 0, 7}});
  ParameterEstimator estimator(g.graph);
  estimator.buildConfigurations(g.labels, 3);
  EXPECT_EQ(estimator.usableRows, 1);
  for (int a = 0; a < 2; ++a) {
    for (int b = a + 1; b < 3; ++b) {
      const NeighbourhoodConfiguration* row = findRow(estimator, {5, 1, 0}, a, b);
      ASSERT_NE(row, nullptr);
      EXPECT_GE(row - estimator.configurations.data(), estimator.usableRows);
      EXPECT_TRUE(row->features.empty());
    }
  }
}

TEST(ConfigurationTable, OneLabelEverywhereGivesNoUsableRow) {
  const VertexGraph graph = gridGraph(8, 8);
  const std::vector<std::int32_t> labels(graph.vertexCount(), 1);
  ParameterEstimator estimator(graph);
  estimator.buildConfigurations(labels, 3);
  EXPECT_EQ(estimator.usableRows, 0);
  EXPECT_FALSE(estimator.configurations.empty());
}

TEST(ConfigurationTable, EmptyGraphGivesEmptyTable) {
  const VertexGraph graph;
  ParameterEstimator estimator(graph);
  estimator.buildConfigurations({}, 3);
  EXPECT_TRUE(estimator.configurations.empty());
  EXPECT_EQ(estimator.usableRows, 0);
  EXPECT_EQ(estimator.parameterCount, 3);
}

TEST(ConfigurationTable, IsolatedVerticesAreLeftOut) {
  // Vertices 0 and 3 have no neighbours; 1 and 2 are joined.
  const VertexGraph graph = VertexGraph::fromRings({{}, {2}, {1}, {}});
  ParameterEstimator estimator(graph);
  estimator.buildConfigurations({0, 0, 1, 1}, 2);
  int counted = 0;
  for (const auto& row : estimator.configurations) {
    EXPECT_NE(row.neighbourCounts, (std::vector<std::int32_t>{0, 0}));
    counted += row.centreCounts[0] + row.centreCounts[1];
  }
  EXPECT_EQ(counted, 2);
  EXPECT_EQ(estimator.configurations.size(), 2u);
}

TEST(ConfigurationTable, SameRingInAnotherOrderSharesAConfiguration) {
  // Neighbours 0..3 are labelled 0,1,0,1; vertices 4 and 5 see them in other orders.
  const VertexGraph graph =
      VertexGraph::fromRings({{1}, {0}, {3}, {2}, {0, 1, 2, 3, 1}, {1, 3, 0, 1, 2}});
  ParameterEstimator estimator(graph);
  estimator.buildConfigurations({0, 1, 0, 1, 0, 1}, 2);
  const NeighbourhoodConfiguration* row = findRow(estimator, {2, 3}, 0, 1);
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(row->centreCounts, (std::vector<std::int32_t>{1, 1}));
}

TEST(ConfigurationTable, HashLookupBuildsTheLinearScanTable) {
  const VertexGraph graph = gridGraph(40, 30);
  for (int K = 2; K <= 5; ++K) {
    for (unsigned seed = 1; seed <= 3; ++seed) {
      const auto labels = randomLabels(graph.vertexCount(), K, seed * 100 + K);
      ParameterEstimator estimator(graph);
      estimator.buildConfigurations(labels, K);
      const auto expected = referenceTable(graph, labels, K);
      ASSERT_EQ(estimator.configurations.size(), expected.size()) << "K " << K;
      for (std::size_t j = 0; j < expected.size(); ++j) {
        const auto& row = estimator.configurations[j];
        EXPECT_EQ(row.neighbourCounts, expected[j].neighbourCounts) << "K " << K << " row " << j;
        EXPECT_EQ(row.centreCounts, expected[j].centreCounts) << "K " << K << " row " << j;
        EXPECT_EQ(row.firstLabel, expected[j].firstLabel);
        EXPECT_EQ(row.secondLabel, expected[j].secondLabel);
      }
    }
  }
}

TEST(ConfigurationTable, LabelOutsideTheClassesIsRejected) {
  const VertexGraph graph = gridGraph(3, 3);
  std::vector<std::int32_t> labels(graph.vertexCount(), 0);
  labels[4] = 2;
  ParameterEstimator estimator(graph);
  try {
    estimator.buildConfigurations(labels, 2);
    FAIL() << "no error thrown";
  } catch (const InvalidInputError& error) {
    EXPECT_NE(std::string(error.what()).find("vertex 4"), std::string::npos) << error.what();
  }
}

TEST(ConfigurationTable, SingleClassGivesNoRows) {
  const VertexGraph graph = gridGraph(4, 4);
  ParameterEstimator estimator(graph);
  estimator.buildConfigurations(std::vector<std::int32_t>(graph.vertexCount(), 0), 1);
  EXPECT_TRUE(estimator.configurations.empty());
  EXPECT_EQ(estimator.usableRows, 0);
}

} // namespace
} // namespace vornel
