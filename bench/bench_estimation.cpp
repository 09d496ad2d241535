// Configuration table and least-squares estimate on a 1M-vertex triangulated
// grid with five classes and a smoothed, region-like labelling.

#include "estimation/ParameterEstimator.hpp"
#include "mesh/VertexGraph.hpp"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

namespace {

constexpr int kSide = 1000;
constexpr int kClasses = 5;

/// Each quad split along the same diagonal: inner vertices have 6 neighbours.
vornel::VertexGraph gridGraph(int side) {
  const int steps[6][2] = {{1, 0}, {1, 1}, {0, 1}, {-1, 0}, {-1, -1}, {0, -1}};
  vornel::VertexGraph graph;
  graph.offsets.reserve(std::size_t(side) * side + 1);
  graph.neighbours.reserve(std::size_t(side) * side * 6);
  for (int y = 0; y < side; ++y) {
    for (int x = 0; x < side; ++x) {
      for (const auto& step : steps) {
        const int nx = x + step[0];
        const int ny = y + step[1];
        if (nx >= 0 && nx < side && ny >= 0 && ny < side) {
          graph.neighbours.push_back(std::uint32_t(ny * side + nx));
        }
      }
      graph.offsets.push_back(std::uint32_t(graph.neighbours.size()));
    }
  }
  return graph;
}

/// Wavy stripes of the five classes, 10% of the vertices relabelled at random.
std::vector<std::int32_t> noisyStripes(int side, std::mt19937& generator) {
  std::vector<std::int32_t> labels;
  labels.reserve(std::size_t(side) * side);
  for (int y = 0; y < side; ++y) {
    const int shift = int(60.0 * (((y / 37) % 5) - 2) / 2.0);
    for (int x = 0; x < side; ++x) {
      const int position = std::clamp(x + shift, 0, side - 1);
      std::int32_t label = position * kClasses / side;
      if (generator() % 10 == 0) {
        label = std::int32_t(generator() % kClasses);
      }
      labels.push_back(label);
    }
  }
  return labels;
}

/// One simultaneous pass of a 1-ring majority vote (ties to the lowest label).
std::vector<std::int32_t> majorityPass(const vornel::VertexGraph& graph,
                                       const std::vector<std::int32_t>& labels) {
  std::vector<std::int32_t> result(labels.size());
  std::vector<int> counts(kClasses);
  for (std::size_t v = 0; v < graph.vertexCount(); ++v) {
    std::fill(counts.begin(), counts.end(), 0);
    ++counts[labels[v]];
    for (std::uint32_t e = graph.ringBegin(v); e < graph.ringEnd(v); ++e) {
      ++counts[labels[graph.neighbours[e]]];
    }
    result[v] = std::int32_t(std::max_element(counts.begin(), counts.end()) - counts.begin());
  }
  return result;
}

void BM_TableAndEstimate(benchmark::State& state) {
  const vornel::VertexGraph graph = gridGraph(kSide);
  std::mt19937 generator(2024u);
  std::vector<std::int32_t> labels = noisyStripes(kSide, generator);
  for (int pass = 0; pass < 2; ++pass) {
    labels = majorityPass(graph, labels);
  }
  std::size_t rows = 0;
  int usable = 0;
  int fallback = 0;
  for (auto _ : state) {
    vornel::ParameterEstimator estimator(graph);
    estimator.buildConfigurations(labels, kClasses);
    benchmark::DoNotOptimize(estimator.estimate().data());
    rows = estimator.configurations.size();
    usable = estimator.usableRows;
    fallback = static_cast<int>(estimator.fallback);
  }
  state.counters["rows"] = double(rows);
  state.counters["usableRows"] = double(usable);
  state.counters["fallback"] = double(fallback); // 0 plain fit, 1 smoothed, 2 neutral
}
BENCHMARK(BM_TableAndEstimate)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
