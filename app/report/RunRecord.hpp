#pragma once
// Everything a run told about itself, kept for the HTML report.

#include "pipeline/RunReport.hpp"

#include <optional>
#include <string>
#include <vector>

namespace vornel {

struct StageRecord {
  std::string stage;
  double seconds = 0.0;
};

struct ClassSnapshot {
  std::string when; // "after k-means", "final", ...
  ClassSummary summary;
};

/// One annealing sweep, with the annealing round it belongs to (from 1).
struct TraceEntry {
  int round = 1;
  SweepSummary sweep;
};

struct RunRecord {
  std::vector<StageRecord> stages;
  std::vector<std::string> notes;
  std::vector<std::string> warnings;
  std::vector<ClassSnapshot> classes;
  /// Every fit, in order (the refined model fits once per round).
  std::vector<std::vector<float>> parameters;
  EstimateFallback fallback = EstimateFallback::None;
  std::vector<TraceEntry> trace;
  std::optional<unsigned> seed;

  /// The classes recorded under `when` (the last such snapshot); null when none.
  const ClassSummary* classesAt(const std::string& when) const;
};

} // namespace vornel
