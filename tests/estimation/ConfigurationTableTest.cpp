#include "ReferenceEstimate.hpp"
#include "TestGraphs.hpp"
#include "core/Errors.hpp"
#include "estimation/ParameterEstimator.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

namespace vornel {
namespace {

using test_graphs::graphFromSamples;
using test_graphs::gridGraph;
using test_graphs::LabelledGraph;
using test_graphs::randomLabels;

std::int64_t product(const ParameterEstimator& estimator, const PairEquation& equation) {
  const auto& counts = estimator.configurations[equation.configuration].centreCounts;
  return std::int64_t{counts[equation.firstLabel]} * counts[equation.secondLabel];
}

const NeighbourhoodConfiguration* findConfiguration(const ParameterEstimator& estimator,
                                                    const std::vector<std::int32_t>& ring) {
  for (const auto& configuration : estimator.configurations) {
    if (configuration.neighbourCounts == ring) {
      return &configuration;
    }
  }
  return nullptr;
}

const PairEquation* findRow(const ParameterEstimator& estimator,
                            const std::vector<std::int32_t>& ring, int a, int b) {
  for (const auto& equation : estimator.equations) {
    if (estimator.configurations[equation.configuration].neighbourCounts == ring &&
        equation.firstLabel == a && equation.secondLabel == b) {
      return &equation;
    }
  }
  return nullptr;
}

TEST(ConfigurationTable, WorkedRowForThreeLabels) {
  const LabelledGraph g = graphFromSamples(3, {{{4, 1, 1}, 0, 30}, {{4, 1, 1}, 2, 3}});
  ParameterEstimator estimator(g.graph);
  estimator.buildConfigurations(g.labels, 3);
  ASSERT_EQ(estimator.configurations.size(), 1u);
  EXPECT_EQ(estimator.configurations[0].neighbourCounts, (std::vector<std::int32_t>{4, 1, 1}));
  EXPECT_EQ(estimator.configurations[0].centreCounts, (std::vector<std::int32_t>{30, 0, 3}));
  // The pairs (0, 1) and (1, 2) are not seen at the centre: one equation only.
  ASSERT_EQ(estimator.usableRows, 1);
  ASSERT_EQ(estimator.equations.size(), 1u);
  const PairEquation& row = estimator.equations[0];
  EXPECT_EQ(row.configuration, 0);
  EXPECT_EQ(row.firstLabel, 0);
  EXPECT_EQ(row.secondLabel, 2);
  EXPECT_NEAR(row.logRatio, 1.302585f, 1e-6f);
  EXPECT_EQ(row.logRatio, static_cast<float>(double(static_cast<float>(std::log(10.0))) - 1.0));
  EXPECT_EQ(row.features(3), (std::vector<float>{0.0f, -1.0f, 1.0f}));
}

TEST(ConfigurationTable, TwoLabelsKeepTheOnlyPairAndFeatures) {
  const LabelledGraph g =
      graphFromSamples(2, {{{6, 0}, 0, 20}, {{6, 0}, 1, 2}, {{3, 3}, 0, 5}, {{3, 3}, 1, 5}});
  ParameterEstimator estimator(g.graph);
  estimator.buildConfigurations(g.labels, 2);
  ASSERT_EQ(estimator.configurations.size(), 2u);
  EXPECT_EQ(estimator.usableRows, 2);
  EXPECT_EQ(estimator.parameterCount, 2);
  const PairEquation* uniform = findRow(estimator, {6, 0}, 0, 1);
  const PairEquation* mixed = findRow(estimator, {3, 3}, 0, 1);
  ASSERT_NE(uniform, nullptr);
  ASSERT_NE(mixed, nullptr);
  EXPECT_EQ(uniform->features(2), (std::vector<float>{-1.0f, 2.0f}));
  EXPECT_EQ(mixed->features(2), (std::vector<float>{-1.0f, 0.0f}));
  EXPECT_FLOAT_EQ(uniform->logRatio, 1.302585f);
  EXPECT_EQ(mixed->logRatio, -1.0f);
  // Products 40 and 25: the better supported configuration comes first.
  ASSERT_EQ(estimator.equations.size(), 2u);
  EXPECT_EQ(&estimator.equations[0], uniform);
}

TEST(ConfigurationTable, OneEquationPerConfigurationAndPairSeenAtItsCentre) {
  const VertexGraph graph = gridGraph(12, 9);
  for (int K = 3; K <= 5; ++K) {
    const auto labels = randomLabels(graph.vertexCount(), K, 17u + K);
    ParameterEstimator estimator(graph);
    estimator.buildConfigurations(labels, K);
    std::set<std::vector<std::int32_t>> distinct;
    std::size_t pairsSeen = 0;
    for (const auto& configuration : estimator.configurations) {
      distinct.insert(configuration.neighbourCounts);
      for (int a = 0; a < K; ++a) {
        for (int b = a + 1; b < K; ++b) {
          pairsSeen += configuration.centreCounts[a] > 0 && configuration.centreCounts[b] > 0;
        }
      }
    }
    EXPECT_EQ(estimator.configurations.size(), distinct.size()) << "K " << K;
    EXPECT_GT(distinct.size(), 10u);
    std::set<std::vector<int>> equations;
    for (const auto& equation : estimator.equations) {
      equations.insert({equation.configuration, equation.firstLabel, equation.secondLabel});
    }
    EXPECT_EQ(equations.size(), estimator.equations.size()) << "K " << K;
    EXPECT_EQ(estimator.equations.size(), pairsSeen) << "K " << K;
    EXPECT_GT(pairsSeen, 0u);
  }
}

TEST(ConfigurationTable, EquationsAreOrderedByEvidence) {
  const VertexGraph graph = gridGraph(15, 15);
  const auto labels = randomLabels(graph.vertexCount(), 3, 5u);
  ParameterEstimator estimator(graph);
  estimator.buildConfigurations(labels, 3);
  ASSERT_GT(estimator.usableRows, 0);
  ASSERT_EQ(estimator.equations.size(), std::size_t(estimator.usableRows));
  for (std::size_t j = 0; j < estimator.equations.size(); ++j) {
    const PairEquation& row = estimator.equations[j];
    EXPECT_LT(row.firstLabel, row.secondLabel) << "row " << j;
    EXPECT_GT(product(estimator, row), 0) << "row " << j;
    if (j > 0) {
      EXPECT_GE(product(estimator, estimator.equations[j - 1]), product(estimator, row));
    }
  }
}

TEST(ConfigurationTable, ConfigurationSeenWithOneLabelGivesNoUsableRow) {
  const LabelledGraph g =
      graphFromSamples(3, {{{2, 2, 2}, 0, 4}, {{2, 2, 2}, 1, 3}, {{5, 1, 0}, 0, 7}});
  ParameterEstimator estimator(g.graph);
  estimator.buildConfigurations(g.labels, 3);
  EXPECT_EQ(estimator.usableRows, 1);
  const NeighbourhoodConfiguration* configuration = findConfiguration(estimator, {5, 1, 0});
  ASSERT_NE(configuration, nullptr);
  EXPECT_EQ(configuration->centreCounts, (std::vector<std::int32_t>{7, 0, 0}));
  for (int a = 0; a < 2; ++a) {
    for (int b = a + 1; b < 3; ++b) {
      EXPECT_EQ(findRow(estimator, {5, 1, 0}, a, b), nullptr) << a << "," << b;
    }
  }
  EXPECT_NE(findRow(estimator, {2, 2, 2}, 0, 1), nullptr);
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
  const NeighbourhoodConfiguration* row = findConfiguration(estimator, {2, 3});
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(row->centreCounts, (std::vector<std::int32_t>{1, 1}));
  EXPECT_NE(findRow(estimator, {2, 3}, 0, 1), nullptr);
}

TEST(ConfigurationTable, HashLookupBuildsTheLinearScanTable) {
  const VertexGraph graph = gridGraph(40, 30);
  for (int K = 2; K <= 5; ++K) {
    for (unsigned seed = 1; seed <= 3; ++seed) {
      const auto labels = randomLabels(graph.vertexCount(), K, seed * 100 + K);
      ParameterEstimator estimator(graph);
      estimator.buildConfigurations(labels, K);
      const reference::Estimate expected = reference::estimate(graph, labels, K);
      ASSERT_EQ(estimator.configurations.size(), expected.distinct.size()) << "K " << K;
      for (std::size_t c = 0; c < expected.distinct.size(); ++c) {
        const auto& configuration = estimator.configurations[c];
        EXPECT_EQ(configuration.neighbourCounts, expected.distinct[c].neighbourCounts);
        EXPECT_EQ(configuration.centreCounts, expected.distinct[c].centreCounts);
      }
      ASSERT_EQ(estimator.usableRows, expected.usableRows) << "K " << K;
      for (int j = 0; j < expected.usableRows; ++j) {
        const auto& row = estimator.equations[j];
        const auto& configuration = estimator.configurations[row.configuration];
        EXPECT_EQ(configuration.neighbourCounts, expected.rows[j].neighbourCounts)
            << "K " << K << " row " << j;
        EXPECT_EQ(configuration.centreCounts, expected.rows[j].centreCounts)
            << "K " << K << " row " << j;
        EXPECT_EQ(row.firstLabel, expected.rows[j].firstLabel);
        EXPECT_EQ(row.secondLabel, expected.rows[j].secondLabel);
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
