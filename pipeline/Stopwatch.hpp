#pragma once
// Wall-clock and processor time since construction or the last lap, for the
// run report.

#include "pipeline/ResourceUsage.hpp"

#include <chrono>

namespace vornel {

/// The time one stage took. A plain number converts to a wall time whose
/// processor time is not known.
struct StageTime {
  StageTime(double wallSeconds = 0.0, double processor = -1.0)
      : seconds(wallSeconds), processorSeconds(processor) {}
  double seconds;
  double processorSeconds; // negative when not measured
};

class Stopwatch {
public:
  /// Time since the previous lap (or construction); starts the next lap.
  StageTime lap() {
    const auto now = std::chrono::steady_clock::now();
    const double processor = currentResourceUsage().processorSeconds;
    const StageTime time(std::chrono::duration<double>(now - last_).count(),
                         processor - lastProcessor_);
    last_ = now;
    lastProcessor_ = processor;
    return time;
  }
  double total() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  }

private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point last_ = start_;
  double lastProcessor_ = currentResourceUsage().processorSeconds;
};

} // namespace vornel
