#pragma once
// Room for large per-vertex arrays. Fresh memory is mapped in by the system on
// its first use, one fault per 4 KiB page, and on a loaded virtual machine a
// fault costs several microseconds: more than the work a stage does on the
// bytes. Backed by 2 MiB pages, a large array faults 512 times less often.

#include <cstddef>
#include <cstdint>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace vornel {

/// Asks the system to back the whole pages of [data, data + bytes) with huge
/// pages when they are first used; only for spans of several MiB, and a no-op
/// where the system offers no such advice.
inline void adviseHugePages(void* data, std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  constexpr std::size_t smallestAdvised = std::size_t{4} << 20;
  constexpr std::uintptr_t pageSize = 4096;
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

/// Gives v room for n elements (as reserve does); memory newly taken for a
/// large array is advised as above before anything touches it.
template <class T> void reserveLarge(std::vector<T>& v, std::size_t n) {
  if (v.capacity() >= n)
    return;
  v.reserve(n);
  adviseHugePages(v.data(), n * sizeof(T));
}

} // namespace vornel
