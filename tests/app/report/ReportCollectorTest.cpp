#include "app/report/ReportCollector.hpp"

#include <gtest/gtest.h>

namespace vornel {
namespace {

/// Counts what reaches it, to check that the collector passes events on.
class CountingReport : public RunReport {
public:
  void stageDone(const std::string&, const StageTime&) override { ++events; }
  void note(const std::string&) override { ++events; }
  void classes(const std::string&, const ClassSummary&) override { ++events; }
  void parameters(const std::vector<float>&, EstimateFallback) override { ++events; }
  void sweep(const SweepSummary&) override { ++events; }
  void seed(unsigned) override { ++events; }
  int events = 0;
};

SweepSummary sweepNumber(int sweep, int round = 1) {
  SweepSummary summary;
  summary.sweep = sweep;
  summary.round = round;
  summary.temperature = 4.0 / sweep;
  summary.changedLabels = 100 - sweep;
  return summary;
}

TEST(ReportCollector, EachSweepKeepsItsRound) {
  ReportCollector collector;
  for (const auto& [sweep, round] : {std::pair{1, 1}, {2, 1}, {3, 1}, {1, 2}, {2, 2}})
    collector.sweep(sweepNumber(sweep, round));
  const std::vector<TraceEntry>& trace = collector.record().trace;
  ASSERT_EQ(trace.size(), 5u);
  EXPECT_EQ(trace[2].round, 1);
  EXPECT_EQ(trace[3].round, 2);
  EXPECT_EQ(trace[4].round, 2);
  EXPECT_EQ(trace[4].sweep.changedLabels, 98);
}

TEST(ReportCollector, RecordsEveryEventAndPassesItOn) {
  CountingReport next;
  ReportCollector collector(&next);
  collector.stageDone("k-means", 0.5);
  collector.note("a note");
  collector.classes("after k-means", ClassSummary{{2, 3}, {0.0, 1.0}, {0.1, 0.2}});
  collector.classes("final", ClassSummary{{1, 4}, {0.5, 1.5}, {0.3, 0.4}});
  collector.parameters({0.5f, 1.5f}, EstimateFallback::SmoothedRatios);
  collector.parameters({0.25f, 2.5f}, EstimateFallback::None);
  collector.sweep(sweepNumber(1));
  collector.seed(42);
  EXPECT_EQ(next.events, 8);

  const RunRecord& record = collector.record();
  ASSERT_EQ(record.stages.size(), 1u);
  EXPECT_EQ(record.stages[0].seconds, 0.5);
  EXPECT_EQ(record.notes, std::vector<std::string>{"a note"});
  ASSERT_NE(record.classesAt("final"), nullptr);
  EXPECT_EQ(record.classesAt("final")->sizes, (std::vector<std::int64_t>{1, 4}));
  EXPECT_EQ(record.classesAt("second round"), nullptr);
  ASSERT_EQ(record.parameters.size(), 2u);
  EXPECT_EQ(record.fallback, EstimateFallback::SmoothedRatios); // a fallback is kept
  EXPECT_EQ(record.seed, 42u);
}

TEST(ReportCollector, WarningsAreRecordedAndStillShown) {
  ReportCollector collector;
  std::vector<std::string> shown;
  const WarningSink warn =
      collector.recordingWarnings([&shown](const std::string& line) { shown.push_back(line); });
  warn("first");
  warn("second");
  EXPECT_EQ(shown, (std::vector<std::string>{"first", "second"}));
  EXPECT_EQ(collector.record().warnings, shown);
}

} // namespace
} // namespace vornel
