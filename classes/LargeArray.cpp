#include "classes/LargeArray.hpp"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace vornel {

namespace {
constexpr std::size_t smallestAdvised = std::size_t{4} << 20;
constexpr std::uintptr_t pageSize = 4096;
} // namespace

void adviseHugePages(void* data, std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  if (bytes < smallestAdvised)
    return;
  const auto start = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t first = (start + pageSize - 1) & ~(pageSize - 1);
  const std::uintptr_t last = (start + bytes) & ~(pageSize - 1);
  // Advice only: memory that cannot take it works as before.
  madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
  (void)data;
  (void)bytes;
#endif
}

} // namespace vornel
