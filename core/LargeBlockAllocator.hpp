#pragma once
// An allocator for the large arrays of a mesh (the halfedge store, index
// arrays): blocks of a few megabytes or more are mapped directly and marked
// for transparent huge pages where the system offers them. Filling a freshly
// allocated array otherwise costs one page fault per 4 KiB, which on a
// million-vertex mesh takes longer than the work itself; huge pages also make
// the pointer walks over the halfedge store miss the TLB far less often.

#include "core/LargeArray.hpp"

#include <sys/mman.h>

#include <cstddef>
#include <memory>
#include <new>

namespace vornel {

template <class T> struct LargeBlockAllocator {
  using value_type = T;
  /// Blocks from this size on are mapped and advised; smaller ones come from
  /// the ordinary heap.
  static constexpr std::size_t mappedFrom = std::size_t{4} << 20;

  LargeBlockAllocator() = default;
  template <class U> LargeBlockAllocator(const LargeBlockAllocator<U>&) noexcept {}

  T* allocate(std::size_t count) {
    const std::size_t bytes = count * sizeof(T);
    if (count > static_cast<std::size_t>(-1) / sizeof(T)) {
      throw std::bad_alloc();
    }
    if (bytes < mappedFrom) {
      return std::allocator<T>().allocate(count);
    }
    void* const block =
        ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED) {
      throw std::bad_alloc();
    }
    adviseHugePages(block, bytes);
    return static_cast<T*>(block);
  }

  void deallocate(T* block, std::size_t count) noexcept {
    const std::size_t bytes = count * sizeof(T);
    if (bytes < mappedFrom) {
      std::allocator<T>().deallocate(block, count);
    } else {
      ::munmap(block, bytes);
    }
  }

  template <class U> bool operator==(const LargeBlockAllocator<U>&) const noexcept { return true; }
  template <class U> bool operator!=(const LargeBlockAllocator<U>&) const noexcept { return false; }
};

} // namespace vornel
