#pragma once
// The histogram of the attribute values, each bin split by class.

#include "app/report/BinAxis.hpp"

#include <cstdint>
#include <vector>

namespace vornel {

struct ValueHistogram {
  double low = 0.0;      // left edge of the first bin
  double binWidth = 1.0; // every bin is this wide; the last one includes its right edge
  int binCount = 0;
  /// counts[c][b]: vertices of class c whose value falls in bin b.
  std::vector<std::vector<std::int64_t>> counts;

  std::int64_t total() const;
};

/// Bins every value on the bins of binAxisOf(values, maxBins). labels[v] lies
/// in 0 .. classCount - 1.
ValueHistogram valueHistogram(const ValueColumn& values, const std::vector<std::int32_t>& labels,
                              int classCount, int maxBins = 120);

ValueHistogram valueHistogram(const std::vector<float>& values,
                              const std::vector<std::int32_t>& labels, int classCount,
                              int maxBins = 120);

} // namespace vornel
