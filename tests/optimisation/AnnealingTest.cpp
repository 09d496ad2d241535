#include "optimisation/Annealing.hpp"
#include "GridGraphs.hpp"
#include "JointFeatures.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace vornel {
namespace {

// ---------------------------------------------------------------------------
// A plain model of the schedule: every local energy is evaluated by writing the
// label into the vertex, walking its ring and adding the data term; draws come
// from the C library's rand() after srand(seed).

struct Problem {
  std::vector<std::vector<std::uint32_t>> rings;
  std::vector<double> values;
  std::vector<std::int32_t> labels;
  std::vector<double> means;
  std::vector<double> variances;
  std::vector<float> parameters;
  int classCount = 0;
};

double plainEnergy(const Problem& problem, std::vector<std::int32_t>& labels, std::size_t v,
                   int label) {
  labels[v] = label;
  int same = 0;
  int other = 0;
  for (const std::uint32_t n : problem.rings[v])
    (labels[n] == labels[v] ? same : other) += 1;
  const double ratio = same + other == 0
                           ? 0.0
                           : static_cast<double>(other - same) / static_cast<double>(other + same);
  const double theta = label == 0 ? 1.0 : static_cast<double>(problem.parameters[label - 1]);
  const double beta = static_cast<double>(problem.parameters[problem.classCount - 1]);
  const double neighbourhood = beta * ratio - theta;
  const double data =
      0.5 * std::pow(problem.means[label] - problem.values[v], 2) / problem.variances[label];
  return data + neighbourhood;
}

bool plainMetropolis(double eOld, double eNew, double inverseTemperature) {
  const double p = std::exp(-(eNew - eOld) * inverseTemperature);
  if (p < 1.0)
    return (std::rand() % 1000) * 0.001 <= p;
  return true;
}

int plainDecision(const Problem& problem, std::vector<std::int32_t>& labels, std::size_t v,
                  double T, bool greedy) {
  const int K = problem.classCount;
  const std::uint8_t l = static_cast<std::uint8_t>(labels[v]);
  if (K <= 2) {
    const std::uint8_t candidate = l == 0 ? 1 : 0;
    const double eOld = plainEnergy(problem, labels, v, l);
    const double eNew = plainEnergy(problem, labels, v, candidate);
    if (greedy)
      return std::exp(-(eNew - eOld) * (1.0 / T)) < 1.0 ? l : candidate;
    return plainMetropolis(eOld, eNew, 1.0 / T) ? candidate : l;
  }
  if (greedy) {
    std::uint8_t best = l;
    double bestEnergy = plainEnergy(problem, labels, v, l);
    for (int i = 0; i < K; ++i) {
      if (i == l)
        continue;
      const double energy = plainEnergy(problem, labels, v, i);
      if (energy < bestEnergy) {
        best = static_cast<std::uint8_t>(i);
        bestEnergy = energy;
      }
    }
    return best;
  }
  const double eOld = plainEnergy(problem, labels, v, l);
  const std::uint8_t r = static_cast<std::uint8_t>(std::rand() % (K - 1));
  const std::uint8_t candidate = r < l ? r : static_cast<std::uint8_t>(r + 1);
  const double eNew = plainEnergy(problem, labels, v, candidate);
  return plainMetropolis(eOld, eNew, 1.0 / T) ? candidate : l;
}

void plainSchedule(Problem& problem, double T0, double factor, int n, unsigned seed) {
  std::srand(seed);
  for (int k = 1; k <= n; ++k) {
    const double T = T0 * std::pow(factor, k - 1);
    std::vector<std::int32_t> copy = problem.labels;
    for (std::size_t v = 0; v < problem.labels.size(); ++v) {
      const std::int32_t l = problem.labels[v];
      copy[v] = plainDecision(problem, problem.labels, v, T, k >= n);
      problem.labels[v] = l;
    }
    problem.labels = copy;
  }
}

// ---------------------------------------------------------------------------

Problem randomProblem(int classCount, std::size_t vertexCount, unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> degree(0, 8);
  std::uniform_int_distribution<std::uint32_t> vertex(0,
                                                      static_cast<std::uint32_t>(vertexCount - 1));
  std::uniform_int_distribution<int> label(0, classCount - 1);
  std::normal_distribution<double> noise(0.0, 1.0);
  Problem problem;
  problem.classCount = classCount;
  for (int l = 0; l < classCount; ++l) {
    problem.means.push_back(1.5 * l + 0.1 * noise(random));
    problem.variances.push_back(0.6 + 0.1 * l);
    problem.parameters.push_back(static_cast<float>(0.9 + 0.05 * l));
  }
  problem.parameters.back() = 1.3f; // beta
  for (std::size_t v = 0; v < vertexCount; ++v) {
    std::vector<std::uint32_t> ring;
    for (int j = degree(random); j > 0; --j) {
      const std::uint32_t n = vertex(random);
      if (n != v) // a mesh ring never holds the vertex itself
        ring.push_back(n);
    }
    problem.rings.push_back(ring);
    const int l = label(random);
    problem.labels.push_back(l);
    problem.values.push_back(problem.means[l] + noise(random));
  }
  return problem;
}

Segmenter& fill(Segmenter& segmenter, const Problem& problem) {
  segmenter.labels = problem.labels;
  segmenter.means = problem.means;
  segmenter.variances = problem.variances;
  segmenter.classCount = problem.classCount;
  return segmenter;
}

TEST(Annealing, MatchesThePlainModelDrawForDraw) {
  for (const int K : {2, 3, 5}) {
    Problem problem = randomProblem(K, 400, 17u + K);
    const VertexGraph graph = VertexGraph::fromRings(problem.rings);
    Segmenter segmenter(graph, problem.values);
    fill(segmenter, problem);
    const unsigned seed = 1234u + K;
    long changes = 0;
    anneal(segmenter, {2.0, 0.9, 30, 10}, problem.parameters, seed, nullptr,
           [&](const SweepSummary& s) { changes += s.changedLabels; });
    plainSchedule(problem, 2.0, 0.9, 30, seed);
    EXPECT_EQ(segmenter.labels, problem.labels) << "K = " << K;
    EXPECT_GT(changes, 400) << "K = " << K; // the sweeps did real work
  }
}

TEST(Annealing, SameSeedSameLabels) {
  const Problem problem = randomProblem(3, 300, 5);
  const VertexGraph graph = VertexGraph::fromRings(problem.rings);
  Segmenter first(graph, problem.values);
  Segmenter second(graph, problem.values);
  Segmenter other(graph, problem.values);
  anneal(fill(first, problem), {4.0, 0.97, 20, 10}, problem.parameters, 42);
  anneal(fill(second, problem), {4.0, 0.97, 20, 10}, problem.parameters, 42);
  anneal(fill(other, problem), {4.0, 0.97, 20, 10}, problem.parameters, 43);
  EXPECT_EQ(first.labels, second.labels);
  EXPECT_NE(first.labels, other.labels);
}

std::vector<SweepSummary> runSchedule(const AnnealingSchedule& schedule, int classCount,
                                      std::string* reportText) {
  const Problem problem = randomProblem(classCount, 50, 9);
  const VertexGraph graph = VertexGraph::fromRings(problem.rings);
  Segmenter segmenter(graph, problem.values);
  fill(segmenter, problem);
  std::vector<SweepSummary> sweeps;
  std::FILE* report = reportText ? std::tmpfile() : nullptr;
  const AnnealingReport result = anneal(segmenter, schedule, problem.parameters, 1, report,
                                        [&](const SweepSummary& s) { sweeps.push_back(s); });
  EXPECT_EQ(result.sweepsRun, static_cast<int>(sweeps.size()));
  if (report) {
    std::rewind(report);
    char buffer[256] = {};
    const std::size_t length = std::fread(buffer, 1, sizeof buffer - 1, report);
    *reportText = std::string(buffer, length);
    std::fclose(report);
  }
  return sweeps;
}

TEST(Annealing, NoSweepForZeroOrNegativeCount) {
  for (const int n : {0, -3}) {
    std::string text;
    EXPECT_TRUE(runSchedule({4.0, 0.97, n, 10}, 3, &text).empty());
    EXPECT_EQ(text, "Nb Iterations Total= 0\nNb Iterations Greedy= 0\n");
  }
}

TEST(Annealing, SingleSweepIsGreedyAtInitialTemperature) {
  const std::vector<SweepSummary> sweeps = runSchedule({4.0, 0.97, 1, 10}, 2, nullptr);
  ASSERT_EQ(sweeps.size(), 1u);
  EXPECT_TRUE(sweeps[0].greedy);
  EXPECT_EQ(sweeps[0].temperature, 4.0);
}

TEST(Annealing, FiftySweepsReportOneGreedy) {
  std::string text;
  const std::vector<SweepSummary> sweeps = runSchedule({4.0, 0.97, 50, 10}, 3, &text);
  EXPECT_EQ(text, "Nb Iterations Total= 50\nNb Iterations Greedy= 1\n");
  ASSERT_EQ(sweeps.size(), 50u);
  EXPECT_EQ(sweeps[1].temperature, 4.0 * 0.97);
  EXPECT_EQ(sweeps[49].temperature, 4.0 * std::pow(0.97, 49.0));
  for (int k = 0; k < 49; ++k)
    EXPECT_FALSE(sweeps[k].greedy) << k;
  EXPECT_TRUE(sweeps[49].greedy);
}

TEST(Annealing, NegativeExtraStopsEarlyWithoutGreedySweep) {
  std::string text;
  const std::vector<SweepSummary> sweeps = runSchedule({4.0, 0.97, 5, -2}, 3, &text);
  EXPECT_EQ(sweeps.size(), 3u);
  EXPECT_EQ(text, "Nb Iterations Total= 3\nNb Iterations Greedy= 0\n");
}

TEST(Annealing, SingleClassRunsNoSweep) {
  const VertexGraph graph = VertexGraph::fromRings({{1}, {0}});
  Segmenter segmenter(graph, {1.0, 2.0});
  segmenter.labels = {0, 0};
  segmenter.means = {1.5};
  segmenter.variances = {0.25};
  segmenter.classCount = 1;
  const AnnealingReport report = anneal(segmenter, {4.0, 0.97, 10, 10}, {1.0f}, 1);
  EXPECT_EQ(report.sweepsRun, 0);
  EXPECT_EQ(segmenter.labels, (std::vector<std::int32_t>{0, 0}));
}

// ---------------------------------------------------------------------------
// The settling schedule: cooling sweeps, then sweeps at the last temperature
// until few labels change, then greedy sweeps until none does.

struct SettlingRun {
  AnnealingReport report;
  std::vector<SweepSummary> sweeps;
  std::vector<std::int32_t> labels;
};

SettlingRun runSettling(const Problem& problem, const AnnealingSchedule& schedule, unsigned seed) {
  const VertexGraph graph = VertexGraph::fromRings(problem.rings);
  Segmenter segmenter(graph, problem.values);
  fill(segmenter, problem);
  SettlingRun run;
  run.report = anneal(
      segmenter, schedule, problem.parameters, seed, nullptr,
      [&](const SweepSummary& s) { run.sweeps.push_back(s); }, 3);
  run.labels = segmenter.labels;
  return run;
}

AnnealingSchedule settlingSchedule(double T0, double factor, int n, SettlingRule rule) {
  AnnealingSchedule schedule{T0, factor, n, 10};
  schedule.settling = rule;
  return schedule;
}

TEST(SettlingSchedule, StopsAtTheCapWhenTheTemperatureStaysHigh) {
  // At T = 50 about half of the proposals are accepted in every sweep.
  const SettlingRun run =
      runSettling(randomProblem(3, 400, 11), settlingSchedule(50.0, 1.0, 6, {0.001, 9, 4}), 5);
  EXPECT_EQ(run.report.settlingSweeps, 9);
  EXPECT_FALSE(run.report.settled);
  EXPECT_GT(run.report.lastChangedLabels, 100);
  EXPECT_EQ(run.report.sweepsRun, 6 + 9 + run.report.greedySweeps);
  EXPECT_GE(run.report.greedySweeps, 1);
  EXPECT_LE(run.report.greedySweeps, 4);
  ASSERT_EQ(run.sweeps.size(), static_cast<std::size_t>(run.report.sweepsRun));
  for (std::size_t k = 0; k < run.sweeps.size(); ++k) {
    const SweepSummary& sweep = run.sweeps[k];
    const SweepPhase expected = k < 6    ? SweepPhase::Cooling
                                : k < 15 ? SweepPhase::Settling
                                         : SweepPhase::Greedy;
    EXPECT_EQ(sweep.phase, expected) << k;
    EXPECT_EQ(sweep.greedy, expected == SweepPhase::Greedy) << k;
    EXPECT_EQ(sweep.sweep, static_cast<int>(k) + 1);
    EXPECT_EQ(sweep.round, 3);
    EXPECT_EQ(sweep.temperature, 50.0);
  }
}

TEST(SettlingSchedule, StopsEarlyWhenNoLabelWantsToMove) {
  // Every vertex starts at its own class, whose mean it sits on, far from the
  // others. Only a draw of 0 (one in a thousand) accepts such a move.
  Problem problem = randomProblem(3, 300, 12);
  problem.means = {0.0, 10.0, 20.0};
  problem.variances = {0.01, 0.01, 0.01};
  for (std::size_t v = 0; v < problem.values.size(); ++v)
    problem.values[v] = problem.means[problem.labels[v]];
  const SettlingRun run = runSettling(problem, settlingSchedule(1.0, 0.9, 20, {0.01, 80, 10}), 7);
  EXPECT_TRUE(run.report.settled);
  EXPECT_LE(run.report.settlingSweeps, 1);
  EXPECT_LT(run.report.lastChangedLabels, 3);
  EXPECT_TRUE(run.report.greedySettled);
  EXPECT_LE(run.report.greedySweeps, 2); // one to undo a lucky move, one that changes nothing
  EXPECT_EQ(run.labels, problem.labels);
  EXPECT_EQ(run.sweeps.back().temperature, std::pow(0.9, 19.0)); // the last cooling temperature
  EXPECT_EQ(run.sweeps.back().changedLabels, 0);
}

TEST(SettlingSchedule, NoSettlingSweepWhenTheLastCoolingSweepIsAlreadySettled) {
  // As above: every vertex sits on its own class's mean, so the cooling sweeps
  // end with next to no change and the settling test passes at once.
  Problem problem = randomProblem(3, 300, 12);
  problem.means = {0.0, 10.0, 20.0};
  problem.variances = {0.01, 0.01, 0.01};
  for (std::size_t v = 0; v < problem.values.size(); ++v)
    problem.values[v] = problem.means[problem.labels[v]];
  const SettlingRule rule{0.01, 80, 10};
  const SettlingRun run = runSettling(problem, settlingSchedule(1.0, 0.9, 20, rule), 7);
  ASSERT_GE(run.sweeps.size(), 20u);
  ASSERT_LT(static_cast<double>(run.sweeps[19].changedLabels),
            rule.settledShare * static_cast<double>(problem.values.size()));
  EXPECT_TRUE(run.report.settled);
  EXPECT_EQ(run.report.settlingSweeps, 0);
  for (const SweepSummary& sweep : run.sweeps)
    EXPECT_NE(sweep.phase, SweepPhase::Settling) << sweep.sweep;
  EXPECT_EQ(run.report.sweepsRun, 20 + run.report.greedySweeps);
}

TEST(SettlingSchedule, SettlesOnANoisyProblemBeforeTheCap) {
  const Problem problem = randomProblem(5, 400, 13);
  const SettlingRun run = runSettling(problem, settlingSchedule(1.0, 0.9, 30, {0.01, 200, 10}), 8);
  EXPECT_TRUE(run.report.settled);
  EXPECT_LT(run.report.lastChangedLabels, 4); // below 1 % of 400
  EXPECT_LT(run.report.settlingSweeps, 200);
  // The same seed repeats the run exactly; the settling sweeps draw like the others.
  const SettlingRun again =
      runSettling(problem, settlingSchedule(1.0, 0.9, 30, {0.01, 200, 10}), 8);
  EXPECT_EQ(again.labels, run.labels);
  EXPECT_EQ(again.report.sweepsRun, run.report.sweepsRun);
}

TEST(SettlingSchedule, CoolingSweepsAreTheFixedScheduleWithoutItsGreedyEnd) {
  // The first n - 1 sweeps of both schedules are the same Metropolis sweeps.
  const Problem problem = randomProblem(3, 200, 14);
  const SettlingRun settling =
      runSettling(problem, settlingSchedule(2.0, 0.9, 8, {0.001, 0, 0}), 9);
  const std::vector<SweepSummary> fixedSweeps = [&] {
    const VertexGraph graph = VertexGraph::fromRings(problem.rings);
    Segmenter segmenter(graph, problem.values);
    std::vector<SweepSummary> sweeps;
    anneal(fill(segmenter, problem), {2.0, 0.9, 8, 10}, problem.parameters, 9, nullptr,
           [&](const SweepSummary& s) { sweeps.push_back(s); });
    return sweeps;
  }();
  ASSERT_EQ(settling.sweeps.size(), 8u); // no settling or greedy sweep allowed
  for (int k = 0; k < 7; ++k)
    EXPECT_EQ(settling.sweeps[k].changedLabels, fixedSweeps[k].changedLabels) << k;
  EXPECT_FALSE(settling.sweeps[7].greedy);
  EXPECT_TRUE(fixedSweeps[7].greedy);
  EXPECT_EQ(fixedSweeps[7].round, 1);
}

TEST(SettlingSchedule, GreedySweepsStopWhenAPairSwapsLabelsForEver) {
  // Two neighbours, equally far from both means, each pulled to the other's
  // label: the simultaneous update swaps them in every sweep, with no draw.
  const VertexGraph graph = VertexGraph::fromRings({{1}, {0}});
  Segmenter segmenter(graph, {0.5, 0.5});
  segmenter.labels = {0, 1};
  segmenter.means = {0.0, 1.0};
  segmenter.variances = {1.0, 1.0};
  segmenter.classCount = 2;
  std::vector<SweepSummary> sweeps;
  const AnnealingReport report =
      anneal(segmenter, settlingSchedule(0.1, 1.0, 3, {0.5, 4, 10}), {1.0f, 2.0f}, 1, nullptr,
             [&](const SweepSummary& s) { sweeps.push_back(s); });
  ASSERT_EQ(sweeps.size(), 3u + 4u + 2u);
  for (const SweepSummary& sweep : sweeps)
    EXPECT_EQ(sweep.changedLabels, 2);
  EXPECT_FALSE(report.settled); // every sweep changes both labels
  EXPECT_EQ(report.settlingSweeps, 4);
  EXPECT_EQ(report.greedySweeps, 2); // the second is back at the labels before the first
  EXPECT_TRUE(report.greedyCycle);
  EXPECT_FALSE(report.greedySettled);
}

TEST(SettlingSchedule, NoSweepForZeroCount) {
  const SettlingRun run =
      runSettling(randomProblem(2, 50, 15), settlingSchedule(1.0, 0.9, 0, {0.001, 5, 5}), 1);
  EXPECT_TRUE(run.sweeps.empty());
  EXPECT_EQ(run.report.sweepsRun, 0);
}

// A grid of three vertical bands with noise as strong as the spacing of the
// means: annealing from the nearest-mean labelling recovers the bands better.
TEST(Annealing, SmoothsANoisyThreeBandGrid) {
  const int side = 60;
  std::mt19937 random(3);
  std::normal_distribution<double> noise(0.0, 1.0);
  std::vector<int> truth;
  std::vector<double> values;
  for (int v = 0; v < side * side; ++v) {
    truth.push_back((v % side) * 3 / side);
    values.push_back(truth.back() + noise(random));
  }
  const VertexGraph graph = testing::fourNeighbourGrid(side);
  Segmenter segmenter(graph, values);
  segmenter.means = {0.0, 1.0, 2.0};
  segmenter.variances = {1.0, 1.0, 1.0};
  segmenter.classCount = 3;
  segmenter.labels.clear();
  for (const double x : values)
    segmenter.labels.push_back(x < 0.5 ? 0 : x < 1.5 ? 1 : 2);
  const auto accuracy = [&] {
    int correct = 0;
    for (int v = 0; v < side * side; ++v)
      correct += segmenter.labels[v] == truth[v];
    return static_cast<double>(correct) / (side * side);
  };
  const double before = accuracy();
  anneal(segmenter, {4.0, 0.97, 50, 10}, {1.0f, 1.0f, 2.0f}, 7);
  EXPECT_LT(before, 0.65);
  EXPECT_GT(accuracy(), before + 0.2);
}

// --- several features per vertex -------------------------------------------

/// The labels of k-means on the two features of the quadrant problem, then a
/// fixed annealing schedule with neutral class weights.
std::vector<std::int32_t> annealedQuadrants(const testing::JointProblem& problem) {
  Segmenter segmenter(problem.graph, problem.features, 2);
  RandomGenerator rng(4);
  segmenter.initialiseClasses(4, 0, rng);
  AnnealingSchedule schedule;
  schedule.sweepCount = 30;
  anneal(segmenter, schedule, {1.0f, 1.0f, 1.0f, 2.5f}, 8);
  return segmenter.labels;
}

TEST(FeatureAnnealing, SolvesQuadrantsThatNeitherFeatureTellsApart) {
  const testing::JointProblem problem = testing::jointProblem(60, 0.5, 12);
  const double accuracy = testing::bestMatchAccuracy(annealedQuadrants(problem), problem.truth);
  EXPECT_GE(accuracy, 0.9);
}

TEST(FeatureAnnealing, UnitOfAFeatureChangesNoLabel) {
  const testing::JointProblem metres = testing::jointProblem(40, 0.5, 13);
  const testing::JointProblem millimetres = testing::jointProblem(40, 0.5, 13, 1000.0);
  EXPECT_EQ(annealedQuadrants(metres), annealedQuadrants(millimetres));
}

TEST(FeatureAnnealing, FlatClassKeepsFiniteEnergies) {
  // The left half carries one repeated feature vector: a class of zero covariance.
  testing::JointProblem problem = testing::jointProblem(20, 0.3, 14);
  for (std::size_t v = 0; v < problem.truth.size(); ++v)
    if (problem.truth[v] % 2 == 0) {
      problem.features[2 * v] = 0.0;
      problem.features[2 * v + 1] = 0.0;
    }
  Segmenter segmenter(problem.graph, problem.features, 2);
  RandomGenerator rng(2);
  segmenter.initialiseClasses(3, 0, rng);
  AnnealingSchedule schedule;
  schedule.sweepCount = 10;
  anneal(segmenter, schedule, {1.0f, 1.0f, 1.0f}, 3);
  // The flat half stays one class.
  const std::int32_t flat = segmenter.labels[0];
  for (std::size_t v = 0; v < problem.truth.size(); ++v) {
    if (problem.truth[v] % 2 == 0) {
      ASSERT_EQ(segmenter.labels[v], flat) << v;
    }
  }
}

} // namespace
} // namespace vornel
