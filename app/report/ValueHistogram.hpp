#pragma once
// The histogram of the attribute values, each bin split by class.

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

/// Bins every value, one bin count for the whole histogram: the square root of
/// the value count, clamped to 10 .. maxBins. The bins span the values' range;
/// when every value is the same, one bin of width 1 centred on it. labels[v]
/// lies in 0 .. classCount - 1.
ValueHistogram valueHistogram(const std::vector<float>& values,
                              const std::vector<std::int32_t>& labels, int classCount,
                              int maxBins = 120);

} // namespace vornel
