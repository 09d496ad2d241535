#include "classes/Segmenter.hpp"

#include <cstddef>
#include <numeric>
#include <utility>
#include <vector>

namespace vornel {

// Selection sort of the classes by mean. Each step i exchanges positions i and
// m (the first smallest mean from i on) in means and variances, and relabels
// m -> i and i -> m. The exchanges are composed into one map from original
// label to final label, applied in a single pass over the vertices; labels
// outside 0 .. classCount-1 are left alone, as the exchanges would leave them.
void Segmenter::sortClassesByMean() {
  const int K = classCount;
  std::vector<std::int32_t> finalLabel(static_cast<std::size_t>(K > 0 ? K : 0));
  std::iota(finalLabel.begin(), finalLabel.end(), 0);

  for (int i = 0; i < K; ++i) {
    int m = i;
    for (int j = i + 1; j < K; ++j)
      if (means[j] < means[m])
        m = j;
    if (m == i)
      continue;
    std::swap(means[i], means[m]);
    std::swap(variances[i], variances[m]);
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
