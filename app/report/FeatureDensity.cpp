#include "app/report/FeatureDensity.hpp"

#include <algorithm>
#include <numeric>

namespace vornel {

FeatureDensity featureDensity(const ValueColumn& x, const ValueColumn& y,
                              const std::vector<std::int32_t>& labels, int classCount,
                              int maxBins) {
  FeatureDensity density;
  density.x = binAxisOf(x, maxBins);
  density.y = binAxisOf(y, maxBins);
  const std::size_t cells =
      static_cast<std::size_t>(density.x.binCount) * static_cast<std::size_t>(density.y.binCount);
  const std::size_t K = static_cast<std::size_t>(classCount);
  std::vector<std::int64_t> classCounts(cells * K);
  for (std::size_t v = 0; v < x.count; ++v) {
    const std::size_t cell = static_cast<std::size_t>(density.y.binOf(y[v]) * density.x.binCount +
                                                      density.x.binOf(x[v]));
    ++classCounts[cell * K + static_cast<std::size_t>(labels[v])];
  }
  density.counts.assign(cells, 0);
  density.classes.assign(cells, -1);
  for (std::size_t cell = 0; cell < cells; ++cell) {
    const auto first = classCounts.begin() + static_cast<std::ptrdiff_t>(cell * K);
    const auto most = std::max_element(first, first + static_cast<std::ptrdiff_t>(K));
    density.counts[cell] =
        std::accumulate(first, first + static_cast<std::ptrdiff_t>(K), std::int64_t{0});
    if (density.counts[cell] > 0)
      density.classes[cell] = static_cast<std::int32_t>(most - first);
  }
  return density;
}

} // namespace vornel
