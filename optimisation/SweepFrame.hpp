#pragma once
// The frame shared by both sweeps: each vertex's decision is written to a
// label-only working copy, and the copy replaces the labels at the end.

#include "classes/Segmenter.hpp"
#include "core/LargeArray.hpp"

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace vornel {

/// decide(v, l) returns the new label of vertex v (current label l), reading
/// only the labels at the start of the sweep. Returns the number of changes.
template <class Decide>
long runSweepFrame(Segmenter& segmenter, std::vector<std::int32_t>& workingLabels,
                   Decide&& decide) {
  const std::vector<std::int32_t>& labels = segmenter.labels;
  const std::size_t count = labels.size();
  reserveLarge(workingLabels, count);
  workingLabels.resize(count);
  long changed = 0;
  for (std::size_t v = 0; v < count; ++v) {
    const std::int32_t current = labels[v];
    const std::int32_t decided = decide(v, current);
    workingLabels[v] = decided;
    changed += decided != current;
  }
  std::swap(segmenter.labels, workingLabels);
  return changed;
}

} // namespace vornel
