#include "optimisation/Sweeps.hpp"

#include "classes/RandomGenerator.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <vector>

namespace vornel {
namespace {

// The Segmenter refers to the graph, so a case lives in one place (never moved).
struct SweepCase {
  SweepCase(VertexGraph g, std::vector<double> values)
      : graph(std::move(g)), segmenter(graph, std::move(values)) {}
  SweepCase(const SweepCase&) = delete;
  SweepCase& operator=(const SweepCase&) = delete;
  VertexGraph graph;
  Segmenter segmenter;
  SweepScratch working;
};

void setClasses(Segmenter& segmenter, std::vector<std::int32_t> labels, std::vector<double> means,
                std::vector<double> variances) {
  segmenter.labels = std::move(labels);
  segmenter.classCount = static_cast<int>(means.size());
  segmenter.means = std::move(means);
  segmenter.variances = std::move(variances);
}

// The worked example: value 4, label 0, four neighbours of label 1 (value 10).
std::unique_ptr<SweepCase> workedExample() {
  auto c = std::make_unique<SweepCase>(VertexGraph::fromRings({{1, 2, 3, 4}, {0}, {0}, {0}, {0}}),
                                       std::vector<double>{4.0, 10.0, 10.0, 10.0, 10.0});
  setClasses(c->segmenter, {0, 1, 1, 1, 1}, {0.0, 10.0}, {1.0, 1.0});
  return c;
}

TEST(TwoClassSweep, WorkedExampleAcceptsExactlyForDrawsUpTo135) {
  std::set<bool> outcomes;
  for (unsigned seed = 1; seed <= 300; ++seed) {
    const auto owner = workedExample();
    SweepCase& c = *owner;
    const EnergyModel model = EnergyModel::fromSegmenter(c.segmenter, {1.0f, 1.0f});
    RandomGenerator rng(seed);
    const int draw = RandomGenerator(seed).next() % 1000; // vertex 0 draws first
    twoClassSweep(c.segmenter, model, 4.0, false, rng, c.working);
    const bool accepted = draw <= 135;
    EXPECT_EQ(c.segmenter.labels[0], accepted ? 1 : 0) << "seed " << seed << " draw " << draw;
    outcomes.insert(accepted);
  }
  EXPECT_EQ(outcomes.size(), 2u); // both outcomes were exercised
}

TEST(TwoClassSweep, WorkedExampleGreedyKeepsLabel0) {
  const auto owner = workedExample();
  SweepCase& c = *owner;
  const EnergyModel model = EnergyModel::fromSegmenter(c.segmenter, {1.0f, 1.0f});
  RandomGenerator rng(1);
  RandomGenerator untouched(1);
  twoClassSweep(c.segmenter, model, 4.0, true, rng, c.working);
  EXPECT_EQ(c.segmenter.labels[0], 0);
  EXPECT_EQ(rng.next(), untouched.next()); // greedy draws nothing
}

TEST(TwoClassSweep, GreedyTieChangesTheLabel) {
  // Isolated vertex midway between the means, theta_1 = theta_0 = 1: equal energies.
  SweepCase c(VertexGraph::fromRings({{}}), {5.0});
  setClasses(c.segmenter, {0}, {0.0, 10.0}, {1.0, 1.0});
  const EnergyModel model = EnergyModel::fromSegmenter(c.segmenter, {1.0f, 2.0f});
  RandomGenerator rng(3);
  EXPECT_EQ(twoClassSweep(c.segmenter, model, 1.0, true, rng, c.working), 1);
  EXPECT_EQ(c.segmenter.labels[0], 1);
}

// Two adjacent vertices of labels 0 and 1, equally far from both means: each
// lowers its energy by taking the other's label, judged on the old labels.
std::unique_ptr<SweepCase> adjacentPair(int classCount) {
  auto c = std::make_unique<SweepCase>(VertexGraph::fromRings({{1}, {0}}),
                                       std::vector<double>{5.0, 5.0});
  std::vector<double> means = {0.0, 10.0, 100.0};
  means.resize(classCount);
  setClasses(c->segmenter, {0, 1}, means, std::vector<double>(classCount, 1.0));
  return c;
}

TEST(TwoClassSweep, AdjacentVerticesChangeTogetherInBothModes) {
  for (const bool greedy : {false, true}) {
    const auto owner = adjacentPair(2);
    SweepCase& c = *owner;
    const EnergyModel model = EnergyModel::fromSegmenter(c.segmenter, {1.0f, 1.0f});
    RandomGenerator rng(5);
    EXPECT_EQ(twoClassSweep(c.segmenter, model, 2.0, greedy, rng, c.working), 2);
    EXPECT_EQ(c.segmenter.labels, (std::vector<std::int32_t>{1, 0})) << "greedy " << greedy;
  }
}

TEST(MultiClassSweep, AdjacentVerticesChangeTogetherWhenGreedy) {
  const auto owner = adjacentPair(3);
  SweepCase& c = *owner;
  const EnergyModel model = EnergyModel::fromSegmenter(c.segmenter, {1.0f, 1.0f, 1.0f});
  RandomGenerator rng(5);
  multiClassSweep(c.segmenter, model, 2.0, true, rng, c.working);
  EXPECT_EQ(c.segmenter.labels, (std::vector<std::int32_t>{1, 0}));
}

TEST(MultiClassSweep, GreedyTieKeepsTheCurrentLabel) {
  // Isolated vertex at 5: labels 0 and 1 tie (theta_1 = 1), label 2 is far.
  for (const std::int32_t current : {0, 1}) {
    SweepCase c(VertexGraph::fromRings({{}}), {5.0});
    setClasses(c.segmenter, {current}, {0.0, 10.0, 50.0}, {1.0, 1.0, 1.0});
    const EnergyModel model = EnergyModel::fromSegmenter(c.segmenter, {1.0f, 1.0f, 1.0f});
    RandomGenerator rng(3);
    EXPECT_EQ(multiClassSweep(c.segmenter, model, 1.0, true, rng, c.working), 0);
    EXPECT_EQ(c.segmenter.labels[0], current);
  }
}

TEST(MultiClassSweep, GreedyTieAmongOthersTakesTheLowestLabel) {
  // Labels 1 and 3 share the lowest energy, below that of the current label 2.
  SweepCase c(VertexGraph::fromRings({{}}), {10.0});
  setClasses(c.segmenter, {2}, {-100.0, 5.0, 30.0, 15.0}, {1.0, 1.0, 1.0, 1.0});
  const EnergyModel model = EnergyModel::fromSegmenter(c.segmenter, {1.0f, 1.0f, 1.0f, 1.0f});
  RandomGenerator rng(3);
  multiClassSweep(c.segmenter, model, 1.0, true, rng, c.working);
  EXPECT_EQ(c.segmenter.labels[0], 1);
}

TEST(MultiClassSweep, ProposalMappingForThreeClasses) {
  // Expected candidate for current label l and draw r (K = 3).
  const int candidate[3][2] = {{1, 2}, {0, 2}, {0, 1}};
  std::set<int> drawsSeen;
  for (std::int32_t current = 0; current < 3; ++current) {
    for (unsigned seed = 1; seed <= 20; ++seed) {
      // The value sits on both other means and far from its own class, so every
      // proposal lowers the energy and is accepted without a further draw.
      std::vector<double> means = {7.0, 7.0, 7.0};
      means[current] = 1000.0;
      SweepCase c(VertexGraph::fromRings({{}}), {7.0});
      setClasses(c.segmenter, {current}, means, {1.0, 1.0, 1.0});
      const EnergyModel model = EnergyModel::fromSegmenter(c.segmenter, {1.0f, 1.0f, 1.0f});
      RandomGenerator rng(seed);
      const int draw = RandomGenerator(seed).next() % 2;
      drawsSeen.insert(draw);
      multiClassSweep(c.segmenter, model, 1.0, false, rng, c.working);
      EXPECT_EQ(c.segmenter.labels[0], candidate[current][draw])
          << "label " << current << " draw " << draw;
    }
  }
  EXPECT_EQ(drawsSeen.size(), 2u);
}

} // namespace
} // namespace vornel
