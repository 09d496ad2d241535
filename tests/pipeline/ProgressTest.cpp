// The progress sink: told every stage and annealing sweep of a run, in order,
// and never changing a label.

#include "GridGraphs.hpp"
#include "pipeline/Segmentation.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vornel {
namespace {

struct Told {
  std::string stage;
  int done;
  int total;
};

/// Two noisy halves of a grid: values 0 and 3 with a deterministic jitter.
std::vector<double> halves(int side) {
  std::vector<double> values;
  for (int v = 0; v < side * side; ++v)
    values.push_back((v % side < side / 2 ? 0.0 : 3.0) + 0.4 * ((v * 7919) % 11 - 5) / 5.0);
  return values;
}

std::vector<Told> runTelling(bool refine, std::vector<std::int32_t>& labels) {
  const VertexGraph graph = testing::fourNeighbourGrid(24);
  SegmentationOptions options;
  options.classCount = 2;
  options.sweepCount = 9;
  options.refine = refine;
  options.seed = 5;
  std::vector<Told> told;
  options.progress = [&told](const std::string& stage, int done, int total) {
    told.push_back({stage, done, total});
  };
  labels = segment(graph, halves(24), options, 0).labels;
  options.progress = nullptr;
  EXPECT_EQ(segment(graph, halves(24), options, 0).labels, labels) << "the sink changed a label";
  return told;
}

/// The sweeps told for one annealing stage: 0, 1, 2... of the same total.
void expectSweepsInOrder(const std::vector<Told>& told, const std::string& stage, int total) {
  int next = 0;
  for (const Told& event : told)
    if (event.stage == stage) {
      EXPECT_EQ(event.done, next++);
      EXPECT_EQ(event.total, total);
    }
  EXPECT_GT(next, 1) << stage;
}

TEST(Progress, PlainRunTellsEachStageThenEverySweepOfTheSchedule) {
  std::vector<std::int32_t> labels;
  const std::vector<Told> told = runTelling(false, labels);
  ASSERT_FALSE(told.empty());
  EXPECT_EQ(told.front().stage, "k-means");
  EXPECT_EQ(told.back().stage, "segments");
  expectSweepsInOrder(told, "annealing", 9);
  EXPECT_EQ(told[told.size() - 3].done, 9); // the last sweep, before the ordering
}

TEST(Progress, RefinedRunTellsBothRoundsAgainstTheirBound) {
  std::vector<std::int32_t> labels;
  const std::vector<Told> told = runTelling(true, labels);
  // 9 cooling sweeps, at most 36 settling and 10 greedy ones.
  expectSweepsInOrder(told, "annealing, round 1 of 2", 55);
  expectSweepsInOrder(told, "annealing, round 2 of 2", 55);
}

} // namespace
} // namespace vornel
