#include "app/report/ValueHistogram.hpp"

#include <algorithm>
#include <cmath>

namespace vornel {

std::int64_t ValueHistogram::total() const {
  std::int64_t sum = 0;
  for (const std::vector<std::int64_t>& row : counts)
    for (const std::int64_t count : row)
      sum += count;
  return sum;
}

ValueHistogram valueHistogram(const std::vector<float>& values,
                              const std::vector<std::int32_t>& labels, int classCount,
                              int maxBins) {
  ValueHistogram histogram;
  if (values.empty())
    return histogram;
  const auto [lowest, highest] = std::minmax_element(values.begin(), values.end());
  const double low = *lowest;
  const double high = *highest;
  if (high > low) {
    const double root = std::ceil(std::sqrt(static_cast<double>(values.size())));
    histogram.binCount = static_cast<int>(std::clamp(root, 10.0, static_cast<double>(maxBins)));
    histogram.low = low;
    histogram.binWidth = (high - low) / histogram.binCount;
  } else {
    histogram.binCount = 1;
    histogram.low = low - 0.5;
    histogram.binWidth = 1.0;
  }
  histogram.counts.assign(static_cast<std::size_t>(classCount),
                          std::vector<std::int64_t>(static_cast<std::size_t>(histogram.binCount)));
  const int lastBin = histogram.binCount - 1;
  for (std::size_t v = 0; v < values.size(); ++v) {
    const double position = (values[v] - histogram.low) / histogram.binWidth;
    const int bin = std::clamp(static_cast<int>(position), 0, lastBin);
    ++histogram.counts[static_cast<std::size_t>(labels[v])][static_cast<std::size_t>(bin)];
  }
  return histogram;
}

} // namespace vornel
