#pragma once
// Processor time and peak resident size of this process so far, as the
// operating system counts them, for the run report and the benchmarks.

#include <cstdint>
#include <string>

namespace vornel {

struct ResourceUsage {
  double processorSeconds = 0.0;       // user plus system time
  std::uint64_t peakResidentBytes = 0; // high-water mark of the resident size
};

/// The usage of the calling process up to now; zeros where the system does not
/// tell.
ResourceUsage currentResourceUsage();

/// Bytes as mebibytes with one decimal, e.g. "512.3 MB".
std::string megabytes(std::uint64_t bytes);

} // namespace vornel
