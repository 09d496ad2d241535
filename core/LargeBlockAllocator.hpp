#pragma once
// An allocator for the large arrays of a mesh (the halfedge store, index
// arrays): blocks of a few megabytes or more are mapped directly, so that
// freeing one gives its memory straight back instead of leaving a hole in the
// heap.
//
// They are deliberately not advised for transparent huge pages: measured on
// the virtual machines vornel runs on, a fresh huge page costs about three
// times as much to fault in as the 4 KiB pages it replaces (the system
// compacts and clears 2 MiB at a time, often memory the host has to back
// first), and the reading of a large mesh spent more than a third of its time
// there. The walks over the halfedge store lose a little to the smaller pages
// (up to a few hundredths of a second of processor time per million vertices
// in the ring adjacency), far less than that.

#include <sys/mman.h>

#include <cstddef>
#include <memory>
#include <new>

namespace vornel {

template <class T> struct LargeBlockAllocator {
  using value_type = T;
  /// Blocks from this size on are mapped; smaller ones come from the
  /// ordinary heap.
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
