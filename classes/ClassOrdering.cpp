#include "classes/Segmenter.hpp"

#include <algorithm>
#include <cstddef>
#include <numeric>
#include <utility>
#include <vector>

namespace vornel {

namespace {

/// Whether class a's mean vector comes before class b's: first feature first.
bool meanBefore(const std::vector<double>& means, std::size_t D, int a, int b) {
  for (std::size_t i = 0; i < D; ++i) {
    const double x = means[a * D + i];
    const double y = means[b * D + i];
    if (x != y)
      return x < y;
  }
  return false;
}

void swapBlocks(std::vector<double>& array, std::size_t size, int a, int b) {
  std::swap_ranges(array.begin() + a * size, array.begin() + (a + 1) * size,
                   array.begin() + b * size);
}

} // namespace

// Selection sort of the classes by mean. Each step i exchanges positions i and
// m (the first smallest mean from i on; with several features the first in
// lexicographic order of the mean vectors) in means and variances, and relabels
// m -> i and i -> m. The exchanges are composed into one map from original
// label to final label, applied in a single pass over the vertices; labels
// outside 0 .. classCount-1 are left alone, as the exchanges would leave them.
void Segmenter::sortClassesByMean() {
  const int K = classCount;
  const std::size_t D = static_cast<std::size_t>(featureCount);
  std::vector<std::int32_t> finalLabel(static_cast<std::size_t>(K > 0 ? K : 0));
  std::iota(finalLabel.begin(), finalLabel.end(), 0);

  for (int i = 0; i < K; ++i) {
    int m = i;
    for (int j = i + 1; j < K; ++j)
      if (meanBefore(means, D, j, m))
        m = j;
    if (m == i)
      continue;
    swapBlocks(means, D, i, m);
    swapBlocks(variances, D * D, i, m);
    for (std::int32_t& label : finalLabel) {
      if (label == m)
        label = i;
      else if (label == i)
        label = m;
    }
  }

  for (std::int32_t& label : labels)
    if (label >= 0 && label < K)
      label = finalLabel[label];
}

} // namespace vornel
