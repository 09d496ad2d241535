#pragma once
// The --report collector: records every event of a run for the HTML page and
// passes each one on to another report (the --verbose one), when given.

#include "app/report/RunRecord.hpp"
#include "pipeline/RunReport.hpp"
#include "pipeline/Stopwatch.hpp"

namespace vornel {

class ReportCollector : public RunReport {
public:
  explicit ReportCollector(RunReport* next = nullptr) : next_(next ? *next : silent_) {}

  void stageDone(const std::string& stage, const StageTime& time) override;
  void note(const std::string& line) override;
  void classes(const std::string& when, const ClassSummary& summary) override;
  void parameters(const std::vector<float>& parameters, EstimateFallback fallback) override;
  void sweep(const SweepSummary& summary) override;
  void seed(unsigned seed) override;

  /// A sink that records each warning and then hands it to warn.
  WarningSink recordingWarnings(WarningSink warn);

  const RunRecord& record() const { return record_; }
  /// Seconds since the collector was made (the run's start).
  double elapsedSeconds() const { return clock_.total(); }

private:
  RunReport silent_;
  RunReport& next_;
  RunRecord record_;
  Stopwatch clock_;
};

} // namespace vornel
