// The configuration table: collection of the distinct ring histograms, and one
// equation per configuration and label pair seen together at its centre,
// ordered by evidence.

#include "estimation/ParameterEstimator.hpp"

#include "core/Errors.hpp"
#include "core/Parallel.hpp"
#include "estimation/RingTable.hpp"
#include "estimation/RowEquation.hpp"

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

std::int64_t pairEvidence(const NeighbourhoodConfiguration& configuration, int a, int b) {
  return std::int64_t{configuration.centreCounts[a]} * std::int64_t{configuration.centreCounts[b]};
}

/// The equations of every configuration and pair (a, b) with both labels seen
/// at its centre, in configuration order, a outer, b inner.
std::vector<PairEquation>
pairsSeenTogether(const std::vector<NeighbourhoodConfiguration>& configurations) {
  std::vector<PairEquation> equations;
  std::vector<int> seen; // the labels seen at one configuration's centre, ascending
  for (std::size_t c = 0; c < configurations.size(); ++c) {
    const NeighbourhoodConfiguration& configuration = configurations[c];
    seenLabels(configuration, seen);
    if (seen.size() < 2) {
      continue;
    }
    const std::int32_t ring = ringSize(configuration.neighbourCounts);
    for (std::size_t i = 0; i + 1 < seen.size(); ++i) {
      for (std::size_t j = i + 1; j < seen.size(); ++j) {
        const int a = seen[i];
        const int b = seen[j];
        const double ratio =
            double(configuration.centreCounts[a]) / double(configuration.centreCounts[b]);
        equations.push_back(
            pairEquation(configuration, ring, static_cast<std::int32_t>(c), a, b, ratio));
      }
    }
  }
  return equations;
}

/// Vertices per range of the ring table collected on several threads: ranges
/// repeat few rings, so that appending them costs little next to collecting.
constexpr std::size_t ringTableRange = std::size_t{1} << 16;

/// The ring table of every vertex. On several threads ranges are collected
/// apart and appended in vertex order, which gives the table of one pass.
std::vector<NeighbourhoodConfiguration>
collectRingTable(const VertexGraph& graph, const std::vector<std::int32_t>& labels, int K) {
  const std::size_t count = graph.vertexCount();
  RingTable table(K);
  if (!severalThreads() || count <= ringTableRange) {
    table.addVertices(graph, labels, 0, count);
    return table.release();
  }
  std::vector<RingTable> parts(blockCount(count, ringTableRange), RingTable(K));
  forEachBlock(
      count,
      [&](std::size_t begin, std::size_t end, std::size_t range) {
        parts[range].addVertices(graph, labels, begin, end);
      },
      ringTableRange);
  for (const RingTable& part : parts)
    table.append(part);
  return table.release();
}

/// Decreasing product of the pair's centre counts; stable, so runs repeat.
void orderByEvidence(std::vector<PairEquation>& equations,
                     const std::vector<NeighbourhoodConfiguration>& configurations) {
  const auto evidence = [&configurations](const PairEquation& e) {
    return pairEvidence(configurations[e.configuration], e.firstLabel, e.secondLabel);
  };
  std::stable_sort(equations.begin(), equations.end(),
                   [&evidence](const PairEquation& x, const PairEquation& y) {
                     return evidence(x) > evidence(y);
                   });
}

} // namespace

void ParameterEstimator::buildConfigurations(const std::vector<std::int32_t>& labels, int K) {
  classCount = K;
  parameterCount = K;
  configurations.clear();
  equations.clear();
  usableRows = 0;
  parameters.clear();
  fallback = EstimateFallback::None;
  if (K < 2) {
    return; // a single class has no label pair and nothing to estimate
  }
  checkLabels(graph, labels, K);
  configurations = collectRingTable(graph, labels, K);
  equations = pairsSeenTogether(configurations);
  orderByEvidence(equations, configurations);
  usableRows = static_cast<int>(equations.size());
}

} // namespace vornel
