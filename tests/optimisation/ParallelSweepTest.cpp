// Sweeps on several threads against the one-thread sweep, which decides each
// vertex in order and takes its draws as it goes: the same labels, changes and
// draws for every thread count.

#include "optimisation/Sweeps.hpp"

#include "GridGraphs.hpp"
#include "core/Parallel.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace vornel {
namespace {

/// A grid whose first vertex is also joined to every vertex of the first rows,
/// so that one ring is longer than 255 and the label counts cannot be packed.
VertexGraph gridWithHub(int side, std::uint32_t hubDegree) {
  const VertexGraph grid = testing::fourNeighbourGrid(side);
  std::vector<std::vector<std::uint32_t>> rings(grid.vertexCount());
  for (std::size_t v = 0; v < grid.vertexCount(); ++v)
    rings[v].assign(grid.neighbours.begin() + grid.ringBegin(v),
                    grid.neighbours.begin() + grid.ringEnd(v));
  for (std::uint32_t w = 2; w < hubDegree + 2; ++w) {
    rings[0].push_back(w);
    rings[w].push_back(0);
  }
  return VertexGraph::fromRings(rings);
}

/// Values around K means with noise, labels drawn at random: plenty of
/// proposals that raise the energy, so that second draws are taken.
struct SweepState {
  SweepState(const VertexGraph& graph, int classCount, unsigned seed)
      : segmenter(graph, std::vector<double>(graph.vertexCount())) {
    std::mt19937 engine(seed);
    std::normal_distribution<double> noise(0.0, 0.6);
    std::uniform_int_distribution<int> label(0, classCount - 1);
    for (std::size_t v = 0; v < graph.vertexCount(); ++v) {
      segmenter.values[v] =
          static_cast<double>(v % static_cast<std::size_t>(classCount)) + noise(engine);
      segmenter.labels[v] = label(engine);
    }
    segmenter.classCount = classCount;
    for (int l = 0; l < classCount; ++l) {
      segmenter.means.push_back(l + 0.1 * l * l);
      segmenter.variances.push_back(0.2 + 0.05 * l);
    }
    for (int l = 1; l < classCount; ++l)
      parameters.push_back(1.0f + 0.1f * static_cast<float>(l));
    parameters.push_back(1.3f); // beta
  }
  Segmenter segmenter;
  std::vector<float> parameters;
};

/// Per sweep: labels, number changed, and the next draw after the sweep.
struct SweepTrace {
  std::vector<std::vector<std::int32_t>> labels;
  std::vector<long> changed;
  std::vector<int> nextDraw;
  bool operator==(const SweepTrace& other) const {
    return labels == other.labels && changed == other.changed && nextDraw == other.nextDraw;
  }
};

struct SweepRun {
  unsigned threads = 1;
  DrawnSweepForm form = DrawnSweepForm::Chosen;
  std::size_t chunkBytes = SweepScratch().chunkBytes;
};

SweepTrace traceSweeps(const VertexGraph& graph, int classCount, const SweepRun& run) {
  SweepState state(graph, classCount, 11);
  const EnergyModel model = EnergyModel::fromSegmenter(state.segmenter, state.parameters);
  SweepTrace trace;
  StageThreads(run.threads).run([&] {
    RandomGenerator rng(2024);
    SweepScratch scratch;
    scratch.chunkBytes = run.chunkBytes;
    scratch.form = run.form;
    for (int k = 0; k < 12; ++k) {
      const bool greedy = k >= 10;
      const double T = 3.0 * std::pow(0.8, k);
      trace.changed.push_back(
          classCount == 2 ? twoClassSweep(state.segmenter, model, T, greedy, rng, scratch)
                          : multiClassSweep(state.segmenter, model, T, greedy, rng, scratch));
      trace.labels.push_back(state.segmenter.labels);
      RandomGenerator peek = rng;
      trace.nextDraw.push_back(peek.next());
    }
  });
  return trace;
}

TEST(ParallelSweep, EveryFormAndThreadCountGivesTheOneThreadLabelsAndDraws) {
  // 30000 vertices, more than one block.
  const VertexGraph graph = gridWithHub(173, 300);
  for (const int classCount : {2, 3, 5, 8, 9, 40}) {
    const SweepTrace reference = traceSweeps(graph, classCount, {1, DrawnSweepForm::InOrder});
    long changes = 0;
    for (const long changed : reference.changed)
      changes += changed;
    ASSERT_GT(changes, 0) << classCount << " classes: the sweeps should move labels";
    for (const unsigned threads : {1u, 2u, 3u, 8u}) {
      EXPECT_TRUE(traceSweeps(graph, classCount, {threads, DrawnSweepForm::Ahead}) == reference)
          << classCount << " classes ahead on " << threads << " threads";
      EXPECT_TRUE(traceSweeps(graph, classCount, {threads, DrawnSweepForm::Gathered}) == reference)
          << classCount << " classes gathered on " << threads << " threads";
      EXPECT_TRUE(traceSweeps(graph, classCount, {threads, DrawnSweepForm::Chosen}) == reference)
          << classCount << " classes on " << threads << " threads";
    }
    // Chunks of one block: the next chunk is prepared while one is walked.
    EXPECT_TRUE(traceSweeps(graph, classCount, {2, DrawnSweepForm::Ahead, 1}) == reference)
        << classCount << " classes";
    EXPECT_TRUE(traceSweeps(graph, classCount, {2, DrawnSweepForm::Gathered, 1}) == reference)
        << classCount << " classes gathered";
  }
}

TEST(ParallelSweep, ManyClassesKeepTheDecisionDataBounded) {
  // 256 classes: a chunk is one block of vertices, and the results still agree.
  const VertexGraph graph = testing::fourNeighbourGrid(100);
  EXPECT_TRUE(traceSweeps(graph, 256, {3, DrawnSweepForm::Ahead}) ==
              traceSweeps(graph, 256, {1, DrawnSweepForm::InOrder}));
}

} // namespace
} // namespace vornel
