#include "app/report/ValueHistogram.hpp"

namespace vornel {

std::int64_t ValueHistogram::total() const {
  std::int64_t sum = 0;
  for (const std::vector<std::int64_t>& row : counts)
    for (const std::int64_t count : row)
      sum += count;
  return sum;
}

ValueHistogram valueHistogram(const ValueColumn& values, const std::vector<std::int32_t>& labels,
                              int classCount, int maxBins) {
  ValueHistogram histogram;
  const BinAxis axis = binAxisOf(values, maxBins);
  if (axis.binCount == 0)
    return histogram;
  histogram.low = axis.low;
  histogram.binWidth = axis.binWidth;
  histogram.binCount = axis.binCount;
  histogram.counts.assign(static_cast<std::size_t>(classCount),
                          std::vector<std::int64_t>(static_cast<std::size_t>(axis.binCount)));
  for (std::size_t v = 0; v < values.count; ++v) {
    const int bin = axis.binOf(values[v]);
    ++histogram.counts[static_cast<std::size_t>(labels[v])][static_cast<std::size_t>(bin)];
  }
  return histogram;
}

ValueHistogram valueHistogram(const std::vector<float>& values,
                              const std::vector<std::int32_t>& labels, int classCount,
                              int maxBins) {
  return valueHistogram(ValueColumn{values.data(), values.size(), 1}, labels, classCount, maxBins);
}

} // namespace vornel
