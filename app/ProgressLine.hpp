#pragma once
// The --progress line: one line on a terminal, rewritten in place with the
// stage the run is in and, during the annealing, the sweep; erased when the
// line goes away, so that a finished run leaves the terminal as it was.

#include "pipeline/Progress.hpp"

#include <chrono>
#include <cstdio>
#include <string>

namespace vornel {

class ProgressLine {
public:
  /// stream must be a terminal: the line is rewritten with a carriage return.
  explicit ProgressLine(std::FILE* stream) : stream_(stream) {}
  ~ProgressLine();
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  /// Shows the stage, with "sweep done of total" when total > 0. Steps of one
  /// stage are shown at most ten times a second: a terminal is slower than a
  /// sweep of a small mesh.
  void show(const std::string& stage, int done, int total);

  /// A sink that shows on this line; the line must outlive the run.
  ProgressSink sink();

  /// Erases the line, for another line to take its place; the next step
  /// shows it again.
  void erase();

private:
  void write(const std::string& text);

  std::FILE* stream_;
  std::string stage_;
  bool shown_ = false;
  std::chrono::steady_clock::time_point lastWrite_{};
};

} // namespace vornel
