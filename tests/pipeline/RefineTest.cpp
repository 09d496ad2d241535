// The refined model (--refine): its schedule, repeatability, report, accuracy
// against the default run, and the default run left as it was.

#include "classes/Segmenter.hpp"
#include "classes/SpatialStatistics.hpp"
#include "pipeline/RunSchedule.hpp"
#include "pipeline/Segmentation.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace vornel {
namespace {

/// A side x side grid, triangulated like a mesh: 4-neighbours plus one diagonal.
VertexGraph triangulatedGrid(int side) {
  std::vector<std::vector<std::uint32_t>> rings(static_cast<std::size_t>(side) * side);
  const auto link = [&](int a, int b) {
    rings[a].push_back(static_cast<std::uint32_t>(b));
    rings[b].push_back(static_cast<std::uint32_t>(a));
  };
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x) {
      const int v = y * side + x;
      if (x + 1 < side)
        link(v, v + 1);
      if (y + 1 < side)
        link(v, v + side);
      if (x + 1 < side && y + 1 < side)
        link(v, v + side + 1);
    }
  return VertexGraph::fromRings(rings);
}

struct Stripes {
  std::vector<double> values;
  std::vector<std::int32_t> regions;
};

/// regions vertical stripes with means 0, 1, ...; noise in units of that spacing.
Stripes stripes(int side, int regions, double noise, unsigned seed) {
  std::mt19937 engine(seed);
  std::normal_distribution<double> gaussian(0.0, noise);
  Stripes s;
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x) {
      s.regions.push_back(x * regions / side);
      s.values.push_back(static_cast<float>(s.regions.back() + gaussian(engine)));
    }
  return s;
}

SegmentationOptions optionsFor(int classes, bool refine) {
  SegmentationOptions options;
  options.classCount = classes;
  options.refine = refine;
  return options;
}

double accuracy(const std::vector<std::int32_t>& labels, const std::vector<std::int32_t>& truth) {
  std::size_t agree = 0;
  for (std::size_t i = 0; i < labels.size(); ++i)
    agree += labels[i] == truth[i];
  return static_cast<double>(agree) / static_cast<double>(labels.size());
}

TEST(RefinedSchedule, CoolsFromOneToATwentiethOverTheSweeps) {
  SegmentationOptions options = optionsFor(3, true);
  options.sweepCount = 50;
  AnnealingSchedule schedule = annealingScheduleFor(options);
  EXPECT_EQ(schedule.initialTemperature, 1.0);
  EXPECT_NEAR(schedule.coolingFactor, 0.94069, 1e-5);
  EXPECT_NEAR(std::pow(schedule.coolingFactor, 49), 0.05, 1e-12);
  EXPECT_EQ(schedule.sweepCount, 50);
  ASSERT_TRUE(schedule.settling.has_value());
  EXPECT_EQ(schedule.settling->settledShare, 0.005);
  EXPECT_EQ(schedule.settling->settlingCap, 200); // 4 x IterNB
  EXPECT_EQ(schedule.settling->greedyCap, 10);

  options.initialTemperature = 2.5;
  options.coolingFactor = 0.9;
  schedule = annealingScheduleFor(options);
  EXPECT_EQ(schedule.initialTemperature, 2.5);
  EXPECT_EQ(schedule.coolingFactor, 0.9);

  const AnnealingSchedule plain = annealingScheduleFor(optionsFor(3, false));
  EXPECT_EQ(plain.initialTemperature, 4.0);
  EXPECT_EQ(plain.coolingFactor, 0.97);
  EXPECT_FALSE(plain.settling.has_value());
}

TEST(Refined, ASeededRunIsRepeatable) {
  const VertexGraph graph = triangulatedGrid(40);
  const Stripes data = stripes(40, 3, 1.0, 2);
  SegmentationOptions options = optionsFor(3, true);
  options.seed = 17;
  const SegmentationResult first = segment(graph, data.values, options, 1);
  const SegmentationResult second = segment(graph, data.values, options, 999);
  EXPECT_EQ(first.labels, second.labels);
  EXPECT_EQ(first.means, second.means);
  EXPECT_EQ(first.variances, second.variances);
  EXPECT_EQ(first.parameters, second.parameters);
  // Class weights stay at 1; beta alone is fitted.
  ASSERT_EQ(first.parameters.size(), 3u);
  EXPECT_EQ(first.parameters[0], 1.0f);
  EXPECT_EQ(first.parameters[1], 1.0f);
  EXPECT_GT(first.parameters[2], 0.0f);
  EXPECT_LT(first.means[0], first.means[1]);
  EXPECT_LT(first.means[1], first.means[2]);
}

TEST(Refined, IsMoreAccurateThanTheDefaultOnNoisyRegions) {
  const VertexGraph graph = triangulatedGrid(60);
  double plain = 0.0, refined = 0.0;
  for (unsigned seed = 1; seed <= 4; ++seed) {
    const Stripes data = stripes(60, 3, 1.0, seed);
    plain += accuracy(segment(graph, data.values, optionsFor(3, false), seed).labels, data.regions);
    refined +=
        accuracy(segment(graph, data.values, optionsFor(3, true), seed).labels, data.regions);
  }
  EXPECT_GT(refined / 4, 0.9);
  EXPECT_GT(refined / 4, plain / 4 + 0.05);
}

TEST(Refined, OneClassLabelsEverythingZero) {
  const VertexGraph graph = triangulatedGrid(5);
  const Stripes data = stripes(5, 2, 0.3, 1);
  const SegmentationResult result = segment(graph, data.values, optionsFor(1, true), 3);
  EXPECT_EQ(result.labels, std::vector<std::int32_t>(25, 0));
  EXPECT_TRUE(result.parameters.empty());
}

/// Collects what a --verbose run would print.
class RecordingReport : public RunReport {
public:
  void note(const std::string& line) override { notes.push_back(line); }
  void sweep(const SweepSummary& summary) override { sweeps.push_back(summary); }
  bool noted(const std::string& start) const {
    for (const std::string& line : notes)
      if (line.rfind(start, 0) == 0)
        return true;
    return false;
  }
  std::vector<std::string> notes;
  std::vector<SweepSummary> sweeps;
};

/// The sweeps of one round, in order.
std::vector<SweepSummary> sweepsOfRound(const RecordingReport& report, int round) {
  std::vector<SweepSummary> sweeps;
  for (const SweepSummary& sweep : report.sweeps)
    if (sweep.round == round)
      sweeps.push_back(sweep);
  return sweeps;
}

int countPhase(const std::vector<SweepSummary>& sweeps, SweepPhase phase) {
  int count = 0;
  for (const SweepSummary& sweep : sweeps)
    count += sweep.phase == phase;
  return count;
}

TEST(Refined, ReportsTheStartTheNoiseFloorAndBothRounds) {
  const VertexGraph graph = triangulatedGrid(20);
  const Stripes data = stripes(20, 2, 0.8, 5);
  SegmentationOptions options = optionsFor(2, true);
  options.sweepCount = 12;
  RecordingReport report;
  segment(graph, data.values, options, 4, &report);
  EXPECT_TRUE(report.noted("k-means on the ring averages: kept start "));
  EXPECT_TRUE(report.noted("noise variance from the edge differences: "));
  EXPECT_TRUE(report.noted("round 1: beta = "));
  EXPECT_TRUE(report.noted("round 2: beta = "));
  EXPECT_TRUE(report.noted("round 1 annealing: 12 cooling sweeps, then "));
  EXPECT_TRUE(report.noted("round 2 annealing: 12 cooling sweeps, then "));
  std::size_t total = 0;
  for (const int round : {1, 2}) {
    const std::vector<SweepSummary> sweeps = sweepsOfRound(report, round);
    total += sweeps.size();
    ASSERT_GE(sweeps.size(), 13u) << round; // 12 cooling sweeps and at least one greedy
    EXPECT_EQ(sweeps[0].temperature, 1.0);
    EXPECT_NEAR(sweeps[11].temperature, 0.05, 1e-12); // the twelfth has cooled to a twentieth
    EXPECT_EQ(countPhase(sweeps, SweepPhase::Cooling), 12);
    EXPECT_LE(countPhase(sweeps, SweepPhase::Settling), 48);
    EXPECT_GE(countPhase(sweeps, SweepPhase::Greedy), 1);
    EXPECT_TRUE(sweeps.back().greedy);
    for (std::size_t k = 0; k < sweeps.size(); ++k)
      EXPECT_EQ(sweeps[k].sweep, static_cast<int>(k) + 1);
  }
  EXPECT_EQ(total, report.sweeps.size()); // every sweep belongs to round 1 or 2
}

/// The refined run of a problem, with its report.
RecordingReport refinedReport(const Stripes& data, int side, int classes,
                              const SegmentationOptions& options,
                              SegmentationResult* result = nullptr) {
  const VertexGraph graph = triangulatedGrid(side);
  RecordingReport report;
  SegmentationResult run = segment(graph, data.values, options, 1, &report);
  EXPECT_EQ(run.labels.size(), static_cast<std::size_t>(side * side));
  EXPECT_EQ(run.means.size(), static_cast<std::size_t>(classes));
  if (result)
    *result = std::move(run);
  return report;
}

TEST(RefinedStoppingRule, StopsAtTheCapWhenTheTemperatureNeverFalls) {
  // At T = 50 about half of the labels change in every sweep: nothing settles.
  const Stripes data = stripes(30, 3, 0.5, 7);
  SegmentationOptions options = optionsFor(3, true);
  options.sweepCount = 5;
  options.initialTemperature = 50.0;
  options.coolingFactor = 1.0;
  options.seed = 3;
  const RecordingReport report = refinedReport(data, 30, 3, options);
  EXPECT_TRUE(report.noted("round 1 annealing: 5 cooling sweeps, then 20 at the last temperature "
                           "(stopped at the cap of 20"));
  EXPECT_TRUE(report.noted("round 2 annealing: 5 cooling sweeps, then 20 at the last temperature "
                           "(stopped at the cap of 20"));
  for (const int round : {1, 2}) {
    const std::vector<SweepSummary> sweeps = sweepsOfRound(report, round);
    EXPECT_EQ(countPhase(sweeps, SweepPhase::Settling), 20);
    for (const SweepSummary& sweep : sweeps)
      EXPECT_EQ(sweep.temperature, 50.0);
  }
}

TEST(RefinedStoppingRule, StopsEarlyOnANoiseFreeProblem) {
  const Stripes data = stripes(30, 3, 0.0, 8);
  SegmentationOptions options = optionsFor(3, true);
  options.seed = 5;
  SegmentationResult result;
  const RecordingReport report = refinedReport(data, 30, 3, options, &result);
  EXPECT_EQ(result.labels, data.regions);
  for (const int round : {1, 2}) {
    const std::vector<SweepSummary> sweeps = sweepsOfRound(report, round);
    EXPECT_LE(countPhase(sweeps, SweepPhase::Settling), 2) << round;
    EXPECT_LE(countPhase(sweeps, SweepPhase::Greedy), 2) << round;
    EXPECT_EQ(sweeps.back().changedLabels, 0) << round;
  }
  EXPECT_TRUE(report.noted("round 1 annealing: 50 cooling sweeps, then "));
  for (const std::string& line : report.notes) {
    if (line.find(" annealing: ") != std::string::npos) {
      EXPECT_NE(line.find("(converged: "), std::string::npos) << line;
    }
  }
}

TEST(Refined, FindsFiveClassesUnderNoiseAsStrongAsTheirSpacing) {
  const VertexGraph graph = triangulatedGrid(80);
  double plain = 0.0, refined = 0.0;
  for (unsigned seed = 1; seed <= 2; ++seed) {
    const Stripes data = stripes(80, 5, 1.0, seed);
    plain += accuracy(segment(graph, data.values, optionsFor(5, false), seed).labels, data.regions);
    const SegmentationResult result = segment(graph, data.values, optionsFor(5, true), seed);
    refined += accuracy(result.labels, data.regions);
    // No class is narrower than the noise read from the edges.
    const double noise = edgeNoiseVariance(graph, data.values);
    EXPECT_NEAR(noise, 1.0, 0.1);
    for (const double variance : result.variances)
      EXPECT_GE(variance, noise);
  }
  EXPECT_GT(refined / 2, 0.93);
  EXPECT_GT(refined / 2, plain / 2 + 0.3);
}

TEST(Refined, ClustersTheValuesWhenTheRingAveragesCannotMakeTheClasses) {
  // Every ring of a tetrahedron holds the three other vertices, so every ring
  // average is the mean of all four values.
  const VertexGraph graph = VertexGraph::fromRings({{1, 2, 3}, {0, 2, 3}, {0, 1, 3}, {0, 1, 2}});
  RecordingReport report;
  const SegmentationResult result =
      segment(graph, {0.0, 0.1, 5.0, 5.1}, optionsFor(2, true), 2, &report);
  EXPECT_TRUE(report.noted("k-means on the values: kept start "));
  EXPECT_EQ(result.labels.size(), 4u);
  EXPECT_EQ(result.means.size(), 2u);
}

TEST(DefaultRun, IsTheCompositionOfThePlainStages) {
  const VertexGraph graph = triangulatedGrid(30);
  const Stripes data = stripes(30, 3, 0.8, 6);
  const unsigned seed = 21;
  const SegmentationResult result = segment(graph, data.values, optionsFor(3, false), seed);

  Segmenter segmenter(graph, data.values);
  RandomGenerator generator(seed);
  segmenter.initialiseClasses(3, 0, generator);
  for (int pass = 0; pass < 3; ++pass)
    segmenter.majorityFilter();
  ParameterEstimator estimator(graph);
  estimator.buildConfigurations(segmenter.labels, 3);
  const std::vector<float> parameters = estimator.estimate();
  AnnealingSchedule schedule; // 4.0 and 0.97
  schedule.sweepCount = 50;
  anneal(segmenter, schedule, parameters, seed);
  segmenter.sortClassesByMean();

  EXPECT_EQ(result.parameters, parameters);
  EXPECT_EQ(result.labels, segmenter.labels);
  EXPECT_EQ(result.means, segmenter.means);
  EXPECT_EQ(result.variances, segmenter.variances);
}

} // namespace
} // namespace vornel
