#pragma once
// Wall-clock time since construction or the last lap, for the run report.

#include <chrono>

namespace vornel {

class Stopwatch {
public:
  /// Seconds since the previous lap (or construction); starts the next lap.
  double lap() {
    const auto now = std::chrono::steady_clock::now();
    const double seconds = std::chrono::duration<double>(now - last_).count();
    last_ = now;
    return seconds;
  }
  double total() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  }

private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point last_ = start_;
};

} // namespace vornel
