#include "app/report/ReportCollector.hpp"

#include <utility>

namespace vornel {

void ReportCollector::stageDone(const std::string& stage, const StageTime& time) {
  record_.stages.push_back({stage, time.seconds});
  next_.stageDone(stage, time);
}

void ReportCollector::note(const std::string& line) {
  record_.notes.push_back(line);
  next_.note(line);
}

void ReportCollector::classes(const std::string& when, const ClassSummary& summary) {
  record_.classes.push_back({when, summary});
  next_.classes(when, summary);
}

void ReportCollector::parameters(const std::vector<float>& parameters, EstimateFallback fallback) {
  record_.parameters.push_back(parameters);
  if (fallback != EstimateFallback::None)
    record_.fallback = fallback;
  next_.parameters(parameters, fallback);
}

void ReportCollector::sweep(const SweepSummary& summary) {
  record_.trace.push_back({summary.round, summary});
  next_.sweep(summary);
}

void ReportCollector::seed(unsigned seed) {
  record_.seed = seed;
  next_.seed(seed);
}

WarningSink ReportCollector::recordingWarnings(WarningSink warn) {
  return [this, warn = std::move(warn)](const std::string& line) {
    record_.warnings.push_back(line);
    if (warn)
      warn(line);
  };
}

} // namespace vornel
