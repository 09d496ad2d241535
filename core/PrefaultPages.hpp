#pragma once
// Fresh memory is mapped in and cleared by the system on its first write, one
// page at a time, on the thread that writes it. A sequential pass filling a
// large fresh array therefore also clears every page of it on one core; at a
// few hundred bytes per vertex that clearing takes as long as the pass itself.
// Faulting the pages in first, from all of a run's threads, spreads the
// clearing over the cores before the pass starts.

#include "core/Parallel.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace vornel {

/// Spans below this size are left to fault as they are used: splitting them
/// costs more than their few faults.
constexpr std::size_t smallestPrefaulted = std::size_t{4} << 20;

/// Pages per parallel block: one 2 MiB huge page, so that a block faults at
/// most one huge page in where the system grants them.
constexpr std::size_t prefaultBlockPages = 512;

/// Maps in the pages [first, first + count * 4096) writable, keeping their
/// contents, in one system call; false where the system cannot.
inline bool populatePageRange(unsigned char* first, std::size_t count) {
#if defined(__linux__) && defined(MADV_POPULATE_WRITE)
  constexpr std::size_t pageBytes = 4096;
  return ::madvise(first, count * pageBytes, MADV_POPULATE_WRITE) == 0;
#else
  (void)first;
  (void)count;
  return false;
#endif
}

/// Maps in the pages [first, first + count * 4096) writable, keeping their
/// contents; spanBegin is where the caller's span starts on the first page.
inline void prefaultPageRange(unsigned char* first, std::size_t count, unsigned char* spanBegin) {
  constexpr std::size_t pageBytes = 4096;
  if (populatePageRange(first, count))
    return;
  // Systems without that advice: an atomic add of zero is a write that leaves
  // the byte as it is; only bytes of the span are written.
  for (std::size_t page = 0; page < count; ++page)
    __atomic_fetch_add(std::max(first + page * pageBytes, spanBegin), static_cast<unsigned char>(0),
                       __ATOMIC_RELAXED);
}

/// The first page that [data, data + bytes) overlaps, and how many it overlaps.
inline std::pair<unsigned char*, std::size_t> pagesOverlapping(void* data, std::size_t bytes) {
  constexpr std::uintptr_t pageBytes = 4096;
  const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(data) & ~(pageBytes - 1);
  const std::size_t pages =
      (reinterpret_cast<std::uintptr_t>(data) + bytes - start + pageBytes - 1) / pageBytes;
  return {reinterpret_cast<unsigned char*>(start), pages};
}

/// Maps in every page that [data, data + bytes) overlaps, writable and keeping
/// its contents, from the calling arena's threads. Does nothing on one thread
/// (the pass that fills the memory takes the same faults) or for a span below
/// smallestPrefaulted. The span must be mapped memory of this process, not in
/// use by another thread meanwhile.
inline void prefaultPages(void* data, std::size_t bytes) {
  if (bytes < smallestPrefaulted || !severalThreads())
    return;
  constexpr std::size_t pageBytes = 4096;
  const std::pair<unsigned char*, std::size_t> span = pagesOverlapping(data, bytes);
  unsigned char* const firstPage = span.first;
  forEachBlock(
      span.second,
      [&](std::size_t begin, std::size_t end, std::size_t) {
        prefaultPageRange(firstPage + begin * pageBytes, end - begin,
                          static_cast<unsigned char*>(data));
      },
      prefaultBlockPages);
}

/// Maps in the span's pages ahead of a pass that fills all of it: on several
/// threads as prefaultPages does, on one in a single system call where the
/// system offers it. Measured on a virtual machine, one call that maps a
/// large span in costs a quarter less than the page faults of the pass, each
/// of which enters and leaves the kernel. Spans below smallestPrefaulted are
/// left alone.
inline void populatePages(void* data, std::size_t bytes) {
  if (bytes < smallestPrefaulted)
    return;
  if (severalThreads()) {
    prefaultPages(data, bytes);
    return;
  }
  const auto [firstPage, pages] = pagesOverlapping(data, bytes);
  populatePageRange(firstPage, pages); // advice only: without it the pass faults as before
}

/// Sizes an array that parallel work then fills. Sizing a vector clears its
/// new elements on the calling thread, which would also take every fault of
/// the fresh memory: its pages are mapped in on all threads first.
template <class T> void resizePrefaulted(std::vector<T>& array, std::size_t count) {
  array.reserve(count);
  prefaultPages(array.data(), count * sizeof(T));
  array.resize(count);
}

} // namespace vornel
