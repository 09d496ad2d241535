#include "classes/Segmenter.hpp"
#include "core/LargeArray.hpp"
#include "core/Parallel.hpp"

#include <cstddef>
#include <utility>
#include <vector>

namespace vornel {

// Every vertex takes the label most frequent in its ring, judged on the labels
// as they stood before the pass: new labels go to a working copy that replaces
// the labels at the end, so the vertices are decided in parallel. Counting walks
// the ring once and clearing it once more, so each block's histogram is all
// zero between vertices and the cost is the degree, not the class count.
void Segmenter::majorityFilter() {
  if (classCount <= 1)
    return; // every label is 0 already
  const std::size_t vertexCount = labels.size();
  reserveLarge(scratchLabels_, vertexCount);
  scratchLabels_.resize(vertexCount);

  const std::uint32_t* neighbours = graph.neighbours.data();
  forEachBlock(vertexCount, [&](std::size_t first, std::size_t last, std::size_t) {
    std::vector<std::int32_t> histogram(static_cast<std::size_t>(classCount), 0);
    for (std::size_t v = first; v < last; ++v) {
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
        const std::int32_t count = ++histogram[label];
        if (count > winnerCount || (count == winnerCount && label < winner)) {
          winner = label;
          winnerCount = count;
        }
      }
      for (std::uint32_t e = begin; e < end; ++e)
        histogram[labels[neighbours[e]]] = 0;
      scratchLabels_[v] = winner;
    }
  });
  std::swap(labels, scratchLabels_);
}

} // namespace vornel
