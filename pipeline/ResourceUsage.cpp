#include "pipeline/ResourceUsage.hpp"

#include <cstdio>

#include <sys/resource.h>

namespace vornel {

namespace {

double seconds(const timeval& time) {
  return static_cast<double>(time.tv_sec) + 1e-6 * static_cast<double>(time.tv_usec);
}

} // namespace

ResourceUsage currentResourceUsage() {
  rusage usage{};
  if (getrusage(RUSAGE_SELF, &usage) != 0)
    return {};
  ResourceUsage result;
  result.processorSeconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
#if defined(__APPLE__)
  result.peakResidentBytes = static_cast<std::uint64_t>(usage.ru_maxrss); // bytes there
#else
  result.peakResidentBytes = static_cast<std::uint64_t>(usage.ru_maxrss) * 1024; // kilobytes
#endif
  return result;
}

std::string megabytes(std::uint64_t bytes) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.1f MB", static_cast<double>(bytes) / (1024.0 * 1024.0));
  return buffer;
}

} // namespace vornel
