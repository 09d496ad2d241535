#pragma once
// How far a run has come, for a caller that shows it (the command line's
// --progress line, Python's progress=). The run tells each stage as it starts
// and, during the annealing, each sweep; telling never changes a result.

#include <functional>
#include <string>

namespace vornel {

/// stage: what runs now ("k-means", "annealing", "annealing, round 2"...).
/// done of total: the steps of the stage behind it (the sweeps of an
/// annealing); total is 0 for a stage told only as it starts.
using ProgressSink = std::function<void(const std::string& stage, int done, int total)>;

/// Tells sink, when there is one.
inline void tellProgress(const ProgressSink& sink, const std::string& stage, int done = 0,
                         int total = 0) {
  if (sink)
    sink(stage, done, total);
}

} // namespace vornel
