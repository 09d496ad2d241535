// Configuration table and least-squares estimate: on a 1M-vertex triangulated
// grid with five classes and a smoothed, region-like labelling, and on a
// 400-vertex grid with many classes, labelled as a run labels it (k-means of
// random values into K classes, then three majority-filter passes), and on a
// 200k-vertex sphere in many height bands.

#include "MeshGenerator.hpp"
#include "classes/RandomGenerator.hpp"
#include "classes/Segmenter.hpp"
#include "core/VertexGraph.hpp"
#include "estimation/ParameterEstimator.hpp"

#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

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

/// The labels of a run with ClustNb = K on the graph: k-means of seeded random
/// values, then three majority-filter passes (the default MedianNb).
vornel::Segmenter runLabelling(const vornel::VertexGraph& graph, int K) {
  std::mt19937 generator(9000u + unsigned(K));
  std::uniform_real_distribution<double> value(0.0, 1.0);
  std::vector<double> values(graph.vertexCount());
  for (double& v : values) {
    v = value(generator);
  }
  vornel::Segmenter segmenter(graph, std::move(values));
  vornel::RandomGenerator rng(77u);
  segmenter.initialiseClasses(K, 0, rng);
  for (int pass = 0; pass < 3; ++pass) {
    segmenter.majorityFilter();
  }
  return segmenter;
}

struct MemoryUse {
  double startMB = -1.0; // resident at the start (this process's pages)
  double peakMB = -1.0;  // peak resident while building the table and estimating
};

double maxResidentMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return double(usage.ru_maxrss) / 1024.0;
}

/// Builds the table and estimates once in a child process, which starts with
/// this process's pages, and reports its resident memory before and at peak.
MemoryUse memoryOfOneEstimate(const vornel::VertexGraph& graph,
                              const std::vector<std::int32_t>& labels, int K) {
  MemoryUse use;
  int channel[2];
  if (pipe(channel) != 0) {
    return use;
  }
  const pid_t child = fork();
  if (child == 0) {
    MemoryUse measured;
    measured.startMB = maxResidentMegabytes();
    {
      vornel::ParameterEstimator estimator(graph);
      estimator.buildConfigurations(labels, K);
      benchmark::DoNotOptimize(estimator.estimate().data());
    }
    measured.peakMB = maxResidentMegabytes();
    const bool written = write(channel[1], &measured, sizeof measured) == sizeof measured;
    _exit(written ? 0 : 1);
  }
  close(channel[1]);
  int status = 0;
  if (child > 0 && read(channel[0], &use, sizeof use) != sizeof use) {
    use = MemoryUse{};
  }
  close(channel[0]);
  if (child > 0) {
    waitpid(child, &status, 0);
  }
  return use;
}

void BM_ManyClassesOnSmallGrid(benchmark::State& state) {
  const vornel::VertexGraph graph = gridGraph(20);
  const vornel::Segmenter segmenter = runLabelling(graph, int(state.range(0)));
  const int K = segmenter.classCount;
  int usable = 0;
  int fallback = 0;
  for (auto _ : state) {
    vornel::ParameterEstimator estimator(graph);
    estimator.buildConfigurations(segmenter.labels, K);
    benchmark::DoNotOptimize(estimator.estimate().data());
    usable = estimator.usableRows;
    fallback = static_cast<int>(estimator.fallback);
  }
  state.counters["usableRows"] = double(usable);
  state.counters["fallback"] = double(fallback);
  const MemoryUse memory = memoryOfOneEstimate(graph, segmenter.labels, K);
  state.counters["peakMB"] = memory.peakMB;
  state.counters["estimateMB"] = memory.peakMB - memory.startMB;
}
BENCHMARK(BM_ManyClassesOnSmallGrid)
    ->Arg(64)
    ->Arg(100)
    ->Arg(129)
    ->Arg(160)
    ->Arg(256)
    ->Unit(benchmark::kMillisecond);

/// The ring adjacency of a generated mesh, each ring in order of first mention.
vornel::VertexGraph graphOf(const vornel::generator::GeneratedMesh& mesh) {
  std::vector<std::vector<std::uint32_t>> rings(mesh.points.size());
  const auto link = [&rings](std::uint32_t a, std::uint32_t b) {
    if (std::find(rings[a].begin(), rings[a].end(), b) == rings[a].end()) {
      rings[a].push_back(b);
    }
  };
  for (const auto& t : mesh.triangles) {
    for (int k = 0; k < 3; ++k) {
      link(t[k], t[(k + 1) % 3]);
      link(t[(k + 1) % 3], t[k]);
    }
  }
  return vornel::VertexGraph::fromRings(rings);
}

/// A 200k-vertex sphere in K height bands, labelled as `vornel sphere.obj K 3 ...`
/// labels it: k-means of the band values plus noise, three filter passes. With
/// many classes the plain fit falls back to the smoothed refit, whose
/// equations (about K per distinct ring) are streamed.
void BM_ManyClassesOnSphere(benchmark::State& state) {
  const int classes = int(state.range(0));
  const vornel::generator::GeneratedMesh mesh = vornel::generator::makeIcosphere(200000, classes);
  const vornel::VertexGraph graph = graphOf(mesh);
  // The values vornel_make_mesh writes (seed 1, rounded to float), k-means
  // seeded as with --seed 1.
  std::mt19937 generator(1u);
  std::normal_distribution<double> noise(0.0, 0.25);
  std::vector<double> values;
  for (const int region : mesh.regions) {
    values.push_back(static_cast<float>(region + noise(generator)));
  }
  vornel::Segmenter segmenter(graph, std::move(values));
  vornel::RandomGenerator rng(1u);
  segmenter.initialiseClasses(classes, 0, rng);
  for (int pass = 0; pass < 3; ++pass) {
    segmenter.majorityFilter();
  }
  std::size_t rings = 0;
  int fallback = 0;
  for (auto _ : state) {
    vornel::ParameterEstimator estimator(graph);
    estimator.buildConfigurations(segmenter.labels, classes);
    benchmark::DoNotOptimize(estimator.estimate().data());
    rings = estimator.configurations.size();
    fallback = static_cast<int>(estimator.fallback);
  }
  state.counters["rings"] = double(rings);
  state.counters["fallback"] = double(fallback);
  const MemoryUse memory = memoryOfOneEstimate(graph, segmenter.labels, classes);
  state.counters["estimateMB"] = memory.peakMB - memory.startMB;
}
BENCHMARK(BM_ManyClassesOnSphere)->Arg(50)->Arg(200)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
