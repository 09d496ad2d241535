// The class model on a million vertices: k-means with K = 5, the class
// initialisation around it, three majority-filter passes, the connected
// segments and their merge on a grid; and k-means per value at one and four
// million values.

#include "classes/KMeans.hpp"
#include "classes/SegmentMerge.hpp"
#include "classes/Segmenter.hpp"
#include "core/VertexGraph.hpp"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

constexpr std::uint32_t gridSide = 1000;

/// Five bands of the grid with means 0, 10, 20, 30, 40 plus Gaussian noise.
std::vector<double> noisyRegions() {
  std::mt19937 engine(12345);
  std::normal_distribution<double> noise(0.0, 3.0);
  std::vector<double> values(static_cast<std::size_t>(gridSide) * gridSide);
  for (std::size_t v = 0; v < values.size(); ++v) {
    const std::size_t row = v / gridSide;
    values[v] = 10.0 * static_cast<double>(row * 5 / gridSide) + noise(engine);
  }
  return values;
}

/// The ring graph of a side x side vertex grid split into triangles along one
/// diagonal: interior vertices have six neighbours.
vornel::VertexGraph triangulatedGrid(std::uint32_t side) {
  vornel::VertexGraph graph;
  graph.offsets.reserve(static_cast<std::size_t>(side) * side + 1);
  graph.neighbours.reserve(static_cast<std::size_t>(side) * side * 6);
  const int steps[6][2] = {{1, 0}, {1, 1}, {0, 1}, {-1, 0}, {-1, -1}, {0, -1}};
  for (std::uint32_t row = 0; row < side; ++row) {
    for (std::uint32_t column = 0; column < side; ++column) {
      for (const auto& step : steps) {
        const std::int64_t r = static_cast<std::int64_t>(row) + step[0];
        const std::int64_t c = static_cast<std::int64_t>(column) + step[1];
        if (r >= 0 && c >= 0 && r < side && c < side)
          graph.neighbours.push_back(static_cast<std::uint32_t>(r * side + c));
      }
      graph.offsets.push_back(static_cast<std::uint32_t>(graph.neighbours.size()));
    }
  }
  return graph;
}

void BM_KMeansFiveClassesOneMillion(benchmark::State& state) {
  const std::vector<double> values = noisyRegions();
  int iterations = 0;
  for (auto _ : state) {
    vornel::RandomGenerator rng(1);
    const vornel::KMeansResult result = vornel::kmeans(values, 1, 5, rng);
    iterations = result.iterations;
    benchmark::DoNotOptimize(result.assignment.data());
  }
  state.counters["lloydIterations"] = iterations;
}
BENCHMARK(BM_KMeansFiveClassesOneMillion)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

/// Three bands of means 0, 1, 2 plus noise of deviation 0.25, stored as
/// floats: the attribute field of the generated spheres.
std::vector<double> sphereLikeValues(std::size_t count) {
  std::mt19937 engine(1);
  std::normal_distribution<double> noise(0.0, 0.25);
  std::vector<double> values(count);
  for (std::size_t v = 0; v < count; ++v)
    values[v] = static_cast<float>(static_cast<double>(v * 3 / count) + noise(engine));
  return values;
}

/// K-means time per value at 1M and 4M values (args: values, K): the time per
/// value must not grow with the count. Lloyd iterations run on the sorted
/// values, so their number does not enter the time.
void BM_KMeansPerValue(benchmark::State& state) {
  const std::vector<double> values = sphereLikeValues(static_cast<std::size_t>(state.range(0)));
  const int K = static_cast<int>(state.range(1));
  int iterations = 0;
  for (auto _ : state) {
    vornel::RandomGenerator rng(1);
    const vornel::KMeansResult result = vornel::kmeans(values, 1, K, rng);
    iterations = result.iterations;
    benchmark::DoNotOptimize(result.assignment.data());
  }
  state.counters["lloydIterations"] = iterations;
  state.counters["perValue"] = benchmark::Counter(static_cast<double>(values.size()),
                                                  benchmark::Counter::kIsIterationInvariantRate |
                                                      benchmark::Counter::kInvert);
}
BENCHMARK(BM_KMeansPerValue)
    ->Args({1000000, 3})
    ->Args({4000000, 3})
    ->Args({1000000, 5})
    ->Args({4000000, 5})
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_InitialiseClassesOneMillion(benchmark::State& state) {
  const vornel::VertexGraph graph = triangulatedGrid(gridSide);
  vornel::Segmenter segmenter(graph, noisyRegions());
  for (auto _ : state) {
    vornel::RandomGenerator rng(1);
    segmenter.initialiseClasses(5, 0, rng);
    benchmark::DoNotOptimize(segmenter.labels.data());
  }
}
BENCHMARK(BM_InitialiseClassesOneMillion)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_ThreeFilterPassesOneMillion(benchmark::State& state) {
  const vornel::VertexGraph graph = triangulatedGrid(gridSide);
  vornel::Segmenter segmenter(graph, noisyRegions());
  vornel::RandomGenerator rng(1);
  segmenter.initialiseClasses(5, 0, rng);
  const std::vector<std::int32_t> initial = segmenter.labels;
  for (auto _ : state) {
    state.PauseTiming();
    segmenter.labels = initial;
    state.ResumeTiming();
    for (int pass = 0; pass < 3; ++pass)
      segmenter.majorityFilter();
    benchmark::DoNotOptimize(segmenter.labels.data());
  }
}
BENCHMARK(BM_ThreeFilterPassesOneMillion)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

/// The k-means labels of the noisy grid: speckled, many small segments.
std::vector<std::int32_t> speckledLabels(const vornel::VertexGraph& graph) {
  vornel::Segmenter segmenter(graph, noisyRegions());
  vornel::RandomGenerator rng(1);
  segmenter.initialiseClasses(5, 0, rng);
  segmenter.majorityFilter();
  return segmenter.labels;
}

void BM_ConnectedSegmentsOneMillion(benchmark::State& state) {
  const vornel::VertexGraph graph = triangulatedGrid(gridSide);
  const std::vector<std::int32_t> labels = speckledLabels(graph);
  std::size_t count = 0;
  for (auto _ : state) {
    const vornel::Segments segments = vornel::connectedSegments(graph, labels);
    count = segments.count();
    benchmark::DoNotOptimize(segments.ids.data());
  }
  state.counters["segments"] = static_cast<double>(count);
}
BENCHMARK(BM_ConnectedSegmentsOneMillion)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

/// Merging every segment below state.range(0) vertices, after finding them.
void BM_MergeSmallSegmentsOneMillion(benchmark::State& state) {
  const vornel::VertexGraph graph = triangulatedGrid(gridSide);
  const std::vector<std::int32_t> initial = speckledLabels(graph);
  const vornel::Segments found = vornel::connectedSegments(graph, initial);
  std::size_t merged = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::vector<std::int32_t> labels = initial;
    vornel::Segments segments = found;
    state.ResumeTiming();
    merged = vornel::mergeSmallSegments(graph, segments, static_cast<std::uint32_t>(state.range(0)),
                                        labels)
                 .merged;
    benchmark::DoNotOptimize(labels.data());
  }
  state.counters["segments"] = static_cast<double>(found.count());
  state.counters["merged"] = static_cast<double>(merged);
}
BENCHMARK(BM_MergeSmallSegmentsOneMillion)
    ->Arg(40)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

} // namespace

BENCHMARK_MAIN();
