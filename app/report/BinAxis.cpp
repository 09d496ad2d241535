#include "app/report/BinAxis.hpp"

#include <algorithm>
#include <cmath>

namespace vornel {

int BinAxis::binOf(double value) const {
  const double position = (value - low) / binWidth;
  return std::clamp(static_cast<int>(position), 0, binCount - 1);
}

BinAxis binAxisOf(const ValueColumn& values, int maxBins) {
  BinAxis axis;
  if (values.count == 0)
    return axis;
  double low = values[0];
  double high = low;
  for (std::size_t i = 1; i < values.count; ++i) {
    low = std::min<double>(low, values[i]);
    high = std::max<double>(high, values[i]);
  }
  if (high > low) {
    const double root = std::ceil(std::sqrt(static_cast<double>(values.count)));
    axis.binCount = static_cast<int>(std::clamp(root, 10.0, static_cast<double>(maxBins)));
    axis.low = low;
    axis.binWidth = (high - low) / axis.binCount;
  } else {
    axis.binCount = 1;
    axis.low = low - 0.5;
    axis.binWidth = 1.0;
  }
  return axis;
}

} // namespace vornel
