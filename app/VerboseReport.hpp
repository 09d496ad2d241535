#pragma once
// The --verbose report: one line per event on a stream (standard error), as it
// happens, so a long run shows its progress. Each stage line also carries the
// stage's processor time and the peak resident size so far.

#include "pipeline/RunReport.hpp"

#include <cstdio>

namespace vornel {

class VerboseReport : public RunReport {
public:
  explicit VerboseReport(std::FILE* stream) : stream_(stream) {}

  void stageDone(const std::string& stage, const StageTime& time) override;
  void note(const std::string& line) override;
  void classes(const std::string& when, const ClassSummary& summary) override;
  void parameters(const std::vector<float>& parameters, EstimateFallback fallback) override;
  void sweep(const SweepSummary& summary) override;
  void seed(unsigned seed) override;

private:
  void line(const std::string& text);
  std::FILE* stream_;
};

} // namespace vornel
