#include "classes/Segmenter.hpp"
#include "core/LargeArray.hpp"

#include <cstddef>
#include <utility>

namespace vornel {

// Every vertex takes the label most frequent in its ring, judged on the labels
// as they stood before the pass: new labels go to a working copy that replaces
// the labels at the end. Counting walks the ring once and clearing it once
// more, so the histogram is all zero between vertices and the cost is the
// degree, not the class count.
void Segmenter::majorityFilter() {
  if (classCount <= 1)
    return; // every label is 0 already
  const std::size_t vertexCount = labels.size();
  histogram_.assign(static_cast<std::size_t>(classCount), 0);
  reserveLarge(scratchLabels_, vertexCount);
  scratchLabels_.resize(vertexCount);

  const std::uint32_t* neighbours = graph.neighbours.data();
  for (std::size_t v = 0; v < vertexCount; ++v) {
    const std::uint32_t begin = graph.ringBegin(v);
    const std::uint32_t end = graph.ringEnd(v);
    if (begin == end) {
      scratchLabels_[v] = labels[v]; // no neighbours, nothing to vote: keep the label
      continue;
    }
    // Largest count wins, ties to the lowest label, tracked while counting:
    // counts only grow, so the first label to reach the final maximum takes
    // the lead and only a lower label reaching the same count can replace it.
    std::int32_t winner = 0;
    std::int32_t winnerCount = 0;
    for (std::uint32_t e = begin; e < end; ++e) {
      const std::int32_t label = labels[neighbours[e]];
      const std::int32_t count = ++histogram_[label];
      if (count > winnerCount || (count == winnerCount && label < winner)) {
        winner = label;
        winnerCount = count;
      }
    }
    for (std::uint32_t e = begin; e < end; ++e)
      histogram_[labels[neighbours[e]]] = 0;
    scratchLabels_[v] = winner;
  }
  std::swap(labels, scratchLabels_);
}

} // namespace vornel
