// The refined model (--refine): its schedule, repeatability, report, accuracy
// against the default run, and the default run left as it was.

#include "app/Segmentation.hpp"
#include "classes/Segmenter.hpp"

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

  options.initialTemperature = 2.5;
  options.coolingFactor = 0.9;
  schedule = annealingScheduleFor(options);
  EXPECT_EQ(schedule.initialTemperature, 2.5);
  EXPECT_EQ(schedule.coolingFactor, 0.9);

  const AnnealingSchedule plain = annealingScheduleFor(optionsFor(3, false));
  EXPECT_EQ(plain.initialTemperature, 4.0);
  EXPECT_EQ(plain.coolingFactor, 0.97);
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

TEST(Refined, ReportsTheStartTheMixtureAndBothRounds) {
  const VertexGraph graph = triangulatedGrid(20);
  const Stripes data = stripes(20, 2, 0.8, 5);
  SegmentationOptions options = optionsFor(2, true);
  options.sweepCount = 12;
  RecordingReport report;
  segment(graph, data.values, options, 4, &report);
  EXPECT_TRUE(report.noted("k-means: kept start "));
  EXPECT_TRUE(report.noted("mixture fit: 100 iterations"));
  EXPECT_TRUE(report.noted("round 1: beta = "));
  EXPECT_TRUE(report.noted("round 2: beta = "));
  ASSERT_EQ(report.sweeps.size(), 24u); // two annealings of 12 sweeps
  EXPECT_EQ(report.sweeps[0].temperature, 1.0);
  EXPECT_EQ(report.sweeps[12].temperature, 1.0);
  EXPECT_TRUE(report.sweeps[23].greedy);
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
