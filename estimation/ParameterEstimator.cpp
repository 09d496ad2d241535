// The configuration table: collection of the distinct ring histograms, one row
// per label pair, ordering by evidence, and one equation per usable row.

#include "estimation/ParameterEstimator.hpp"

#include "estimation/ConfigurationIndex.hpp"
#include "estimation/RowEquation.hpp"
#include "mesh/Errors.hpp"

#include <algorithm>
#include <string>
#include <utility>

namespace vornel {

namespace {

void checkLabels(const VertexGraph& graph, const std::vector<std::int32_t>& labels, int K) {
  if (labels.size() != graph.vertexCount()) {
    throw InvalidInputError("the label array holds " + std::to_string(labels.size()) +
                            " labels for " + std::to_string(graph.vertexCount()) + " vertices");
  }
  for (std::size_t v = 0; v < labels.size(); ++v) {
    if (labels[v] < 0 || labels[v] >= K) {
      throw InvalidInputError("vertex " + std::to_string(v) + " has label " +
                              std::to_string(labels[v]) + ", outside 0.." + std::to_string(K - 1));
    }
  }
}

/// One row per distinct ring histogram, in order of first appearance along the
/// vertex list. Vertices without neighbours are left out: their empty ring
/// would give 0/0 agreement ratios.
std::vector<NeighbourhoodConfiguration> collect(const VertexGraph& graph,
                                                const std::vector<std::int32_t>& labels, int K) {
  std::vector<NeighbourhoodConfiguration> rows;
  ConfigurationIndex index(K);
  std::vector<std::int32_t> ring(static_cast<std::size_t>(K)); // reused for every vertex
  for (std::size_t v = 0; v < graph.vertexCount(); ++v) {
    if (graph.degree(v) == 0) {
      continue;
    }
    std::fill(ring.begin(), ring.end(), 0);
    for (std::uint32_t e = graph.ringBegin(v); e < graph.ringEnd(v); ++e) {
      ++ring[labels[graph.neighbours[e]]];
    }
    bool inserted = false;
    const std::int32_t row = index.findOrInsert(ring.data(), inserted);
    if (inserted) {
      NeighbourhoodConfiguration configuration;
      configuration.neighbourCounts = ring;
      configuration.centreCounts.assign(ring.size(), 0);
      rows.push_back(std::move(configuration));
    }
    ++rows[row].centreCounts[labels[v]];
  }
  return rows;
}

/// Each configuration once per label pair (a, b), a outer, b inner.
std::vector<NeighbourhoodConfiguration> expandPairs(
    const std::vector<NeighbourhoodConfiguration>& rows, int K) {
  std::vector<NeighbourhoodConfiguration> expanded;
  expanded.reserve(rows.size() * std::size_t(K) * std::size_t(K - 1) / 2);
  for (const NeighbourhoodConfiguration& row : rows) {
    for (int a = 0; a + 1 < K; ++a) {
      for (int b = a + 1; b < K; ++b) {
        NeighbourhoodConfiguration copy = row;
        copy.firstLabel = a;
        copy.secondLabel = b;
        expanded.push_back(std::move(copy));
      }
    }
  }
  return expanded;
}

std::int64_t pairEvidence(const NeighbourhoodConfiguration& row) {
  return std::int64_t{row.centreCounts[row.firstLabel]} *
         std::int64_t{row.centreCounts[row.secondLabel]};
}

/// Decreasing product of the pair's centre counts; stable, so runs repeat.
void orderByEvidence(std::vector<NeighbourhoodConfiguration>& rows) {
  std::stable_sort(rows.begin(), rows.end(),
                   [](const NeighbourhoodConfiguration& x, const NeighbourhoodConfiguration& y) {
                     return pairEvidence(x) > pairEvidence(y);
                   });
}

/// Equations for the leading rows whose pair occurs with both labels; returns
/// their number. The rows after them keep their counts only.
int setEquations(std::vector<NeighbourhoodConfiguration>& rows, int parameterCount) {
  int usable = 0;
  for (NeighbourhoodConfiguration& row : rows) {
    const std::int32_t na = row.centreCounts[row.firstLabel];
    const std::int32_t nb = row.centreCounts[row.secondLabel];
    if (na == 0 || nb == 0) {
      break;
    }
    row.logRatio = equationTarget(double(na) / double(nb), row.firstLabel);
    row.features = equationFeatures(row, parameterCount);
    ++usable;
  }
  return usable;
}

} // namespace

void ParameterEstimator::buildConfigurations(const std::vector<std::int32_t>& labels,
                                             int K) {
  classCount = K;
  parameterCount = K;
  configurations.clear();
  usableRows = 0;
  parameters.clear();
  fallback = EstimateFallback::None;
  if (K < 2) {
    return; // a single class has no label pair and nothing to estimate
  }
  checkLabels(graph, labels, K);
  configurations = collect(graph, labels, K);
  if (K > 2) {
    configurations = expandPairs(configurations, K);
  }
  orderByEvidence(configurations);
  usableRows = setEquations(configurations, parameterCount);
}

} // namespace vornel
