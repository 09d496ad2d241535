#pragma once
// Equal bins over the range of one column of values, shared by the report's
// histograms and its 2-D density.

#include <cstddef>

namespace vornel {

/// One feature's values as they lie in memory: count values, stride floats apart
/// (the features of a vertex are stored one after the other).
struct ValueColumn {
  const float* first = nullptr;
  std::size_t count = 0;
  std::size_t stride = 1;

  float operator[](std::size_t i) const { return first[i * stride]; }
};

struct BinAxis {
  double low = 0.0;      // left edge of the first bin
  double binWidth = 1.0; // every bin is this wide; the last one includes its right edge
  int binCount = 0;

  /// The bin of value; values outside the range go to the nearest end bin.
  int binOf(double value) const;
};

/// The square root of the value count clamped to 10 .. maxBins bins spanning
/// the values' range; when every value is the same, one bin of width 1 centred
/// on it; no bins without values.
BinAxis binAxisOf(const ValueColumn& values, int maxBins);

} // namespace vornel
