// One annealing sweep over a 1000 x 1000 triangulated grid (1M vertices, six
// neighbours inside), three noisy vertical bands, labels from the nearest mean;
// and over the rings of the generated test sphere of 1M vertices (three bands
// by height, values as vornel_make_mesh writes them).

#include "bench/MeshGenerator.hpp"
#include "optimisation/Annealing.hpp"
#include "optimisation/Sweeps.hpp"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

namespace {

using namespace vornel;

constexpr std::uint32_t side = 1000;

VertexGraph triangulatedGrid() {
  VertexGraph graph;
  graph.offsets.reserve(side * side + 1);
  graph.neighbours.reserve(6 * side * side);
  const auto add = [&](long x, long y) {
    if (x >= 0 && y >= 0 && x < side && y < side)
      graph.neighbours.push_back(static_cast<std::uint32_t>(y * side + x));
  };
  for (long y = 0; y < side; ++y)
    for (long x = 0; x < side; ++x) {
      // Each square is split along its (x, y)-(x + 1, y + 1) diagonal.
      add(x + 1, y);
      add(x + 1, y + 1);
      add(x, y + 1);
      add(x - 1, y);
      add(x - 1, y - 1);
      add(x, y - 1);
      graph.offsets.push_back(static_cast<std::uint32_t>(graph.neighbours.size()));
    }
  return graph;
}

// Three (or K) vertical bands of means 0, 1, 2, ... with Gaussian noise.
std::vector<double> bandValues(int classCount) {
  std::mt19937 random(1);
  std::normal_distribution<double> noise(0.0, 0.6);
  std::vector<double> values(side * side);
  for (std::size_t v = 0; v < values.size(); ++v)
    values[v] = static_cast<int>((v % side) * classCount / side) + noise(random);
  return values;
}

struct Fixture {
  explicit Fixture(int classCount)
      : graph(triangulatedGrid()), segmenter(graph, bandValues(classCount)) {
    segmenter.labels.resize(graph.vertexCount());
    for (std::size_t v = 0; v < graph.vertexCount(); ++v) {
      const int nearest = static_cast<int>(std::floor(segmenter.values[v] + 0.5));
      segmenter.labels[v] = std::min(classCount - 1, std::max(0, nearest));
    }
    segmenter.means.clear();
    segmenter.variances.clear();
    for (int l = 0; l < classCount; ++l) {
      segmenter.means.push_back(l);
      segmenter.variances.push_back(0.36);
      parameters.push_back(1.0f - 0.05f * l);
    }
    parameters.back() = 1.8f; // beta
    segmenter.classCount = classCount;
  }
  VertexGraph graph;
  Segmenter segmenter;
  std::vector<float> parameters;
};

template <class Sweep>
void runSweeps(benchmark::State& state, int classCount, double T, bool greedy, Sweep sweep) {
  const auto fixture = std::make_unique<Fixture>(classCount);
  const EnergyModel model = EnergyModel::fromSegmenter(fixture->segmenter, fixture->parameters);
  RandomGenerator rng(7);
  SweepScratch working;
  long changed = 0;
  for (auto _ : state)
    changed += sweep(fixture->segmenter, model, T, greedy, rng, working);
  state.counters["changed/sweep"] =
      static_cast<double>(changed) / static_cast<double>(state.iterations());
}

double fastest(const std::vector<double>& times) {
  return *std::min_element(times.begin(), times.end());
}

void multiClassAnnealingT4(benchmark::State& state) {
  runSweeps(state, 3, 4.0, false, multiClassSweep);
}
void multiClassAnnealingT1(benchmark::State& state) {
  runSweeps(state, 3, 0.9, false, multiClassSweep);
}
void multiClassGreedy(benchmark::State& state) {
  runSweeps(state, 3, 0.9, true, multiClassSweep);
}
void twoClassAnnealingT4(benchmark::State& state) {
  runSweeps(state, 2, 4.0, false, twoClassSweep);
}
void twoClassGreedy(benchmark::State& state) {
  runSweeps(state, 2, 0.9, true, twoClassSweep);
}

void fiftySweepSchedule(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    const auto fixture = std::make_unique<Fixture>(3);
    state.ResumeTiming();
    anneal(fixture->segmenter, {4.0, 0.97, 50, 10}, fixture->parameters, 7);
  }
}

/// The rings of the generated sphere: every triangle gives each corner the next
/// corner, so each vertex meets each of its neighbours once (in another order
/// than the mesh's rings, which the counts do not see).
VertexGraph sphereGraph(const generator::GeneratedMesh& sphere) {
  std::vector<std::uint32_t> degree(sphere.points.size(), 0);
  for (const auto& t : sphere.triangles)
    for (const std::uint32_t corner : t)
      ++degree[corner];
  VertexGraph graph;
  for (const std::uint32_t d : degree)
    graph.offsets.push_back(graph.offsets.back() + d);
  graph.neighbours.resize(graph.offsets.back());
  std::vector<std::uint32_t> next(graph.offsets.begin(), graph.offsets.end() - 1);
  for (const auto& t : sphere.triangles)
    for (int k = 0; k < 3; ++k)
      graph.neighbours[next[t[k]]++] = t[(k + 1) % 3];
  return graph;
}

struct SphereFixture {
  explicit SphereFixture(const generator::GeneratedMesh& sphere)
      : graph(sphereGraph(sphere)), segmenter(graph, std::vector<double>(sphere.points.size())) {
    std::mt19937 random(1);
    std::normal_distribution<double> noise(0.0, 0.25);
    for (std::size_t v = 0; v < sphere.points.size(); ++v) {
      segmenter.values[v] = static_cast<float>(sphere.regions[v] + noise(random));
      const int nearest = static_cast<int>(std::floor(segmenter.values[v] + 0.5));
      segmenter.labels[v] = std::min(2, std::max(0, nearest));
    }
    segmenter.means = {0.0, 1.0, 2.0};
    segmenter.variances = {0.0625, 0.0625, 0.0625};
    segmenter.classCount = 3;
    parameters = {1.2f, 1.25f, 2.6f}; // theta_1, theta_2, beta as fitted on such a sphere
  }
  VertexGraph graph;
  Segmenter segmenter;
  std::vector<float> parameters;
};

void runSphereSweeps(benchmark::State& state, double T, bool greedy) {
  const auto fixture = std::make_unique<SphereFixture>(generator::makeIcosphere(1000000, 3));
  const EnergyModel model = EnergyModel::fromSegmenter(fixture->segmenter, fixture->parameters);
  RandomGenerator rng(7);
  SweepScratch working;
  long changed = 0;
  for (auto _ : state)
    changed += multiClassSweep(fixture->segmenter, model, T, greedy, rng, working);
  state.counters["changed/sweep"] =
      static_cast<double>(changed) / static_cast<double>(state.iterations());
  state.counters["perVertex"] = benchmark::Counter(
      static_cast<double>(fixture->graph.vertexCount()),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void sphereAnnealingT4(benchmark::State& state) {
  runSphereSweeps(state, 4.0, false);
}
void sphereAnnealingT1(benchmark::State& state) {
  runSphereSweeps(state, 1.0, false);
}
void sphereGreedy(benchmark::State& state) {
  runSphereSweeps(state, 1.0, true);
}

/// Nine repetitions in milliseconds, reported as their mean, median and fastest.
void timedNineTimes(benchmark::internal::Benchmark* run) {
  run->Unit(benchmark::kMillisecond)
      ->Repetitions(9)
      ->ReportAggregatesOnly(true)
      ->ComputeStatistics("min", fastest);
}

BENCHMARK(multiClassAnnealingT4)->Apply(timedNineTimes);
BENCHMARK(multiClassAnnealingT1)->Apply(timedNineTimes);
BENCHMARK(multiClassGreedy)->Apply(timedNineTimes);
BENCHMARK(twoClassAnnealingT4)->Apply(timedNineTimes);
BENCHMARK(twoClassGreedy)->Apply(timedNineTimes);
BENCHMARK(sphereAnnealingT4)->Apply(timedNineTimes);
BENCHMARK(sphereAnnealingT1)->Apply(timedNineTimes);
BENCHMARK(sphereGreedy)->Apply(timedNineTimes);
BENCHMARK(fiftySweepSchedule)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

} // namespace

BENCHMARK_MAIN();
