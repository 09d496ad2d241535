#pragma once
// Room for large per-vertex arrays. Fresh memory is mapped in by the system on
// its first use, one fault per 4 KiB page, and on a loaded virtual machine a
// fault costs several microseconds: more than the work a stage does on the
// bytes. Backed by 2 MiB pages, a large array faults 512 times less often.

#include <cstddef>
#include <vector>

namespace vornel {

/// Asks the system to back the whole pages of [data, data + bytes) with huge
/// pages when they are first used; only for spans of several MiB, and a no-op
/// where the system offers no such advice.
void adviseHugePages(void* data, std::size_t bytes);

/// Gives v room for n elements (as reserve does); memory newly taken for a
/// large array is advised as above before anything touches it.
template <class T> void reserveLarge(std::vector<T>& v, std::size_t n) {
  if (v.capacity() >= n)
    return;
  v.reserve(n);
  adviseHugePages(v.data(), n * sizeof(T));
}

} // namespace vornel
