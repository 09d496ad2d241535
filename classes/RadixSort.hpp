#pragma once
// Sorting doubles in time linear in their number: least significant digit
// first over the bit patterns, mapped so that unsigned order is numeric order.
// Only the bits that differ between the values are sorted on, and values that
// are all floats widened to doubles (as attribute values are) are sorted on
// 32-bit keys.

#include <vector>

namespace vornel {

/// The values in ascending order; -0.0 comes before 0.0, -inf first and +inf
/// last. Values must not be NaN. Uses one scratch array of keys.
std::vector<double> radixSorted(const std::vector<double>& values);

} // namespace vornel
