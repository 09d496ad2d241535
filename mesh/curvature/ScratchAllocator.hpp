#pragma once
// An allocator for large short-lived work arrays. An array of 2 MiB or more is
// placed on 2 MiB boundaries and, on Linux, marked for transparent huge pages,
// so that its first touch faults in 2 MiB at a time instead of 4 KiB: on a
// million-vertex mesh the page faults otherwise cost about as much as the
// arithmetic. Smaller arrays are aligned to a 64-byte cache line.

#include <cstddef>
#include <cstdlib>
#include <limits>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace vornel {

template <class T> class ScratchAllocator {
public:
  using value_type = T;

  ScratchAllocator() = default;
  template <class U> ScratchAllocator(const ScratchAllocator<U>&) {}

  T* allocate(std::size_t count) {
    if (count > (std::numeric_limits<std::size_t>::max() - hugePage) / sizeof(T)) {
      throw std::bad_alloc();
    }
    const std::size_t bytes = count * sizeof(T);
    const std::size_t alignment = bytes >= hugePage ? hugePage : cacheLine;
    static_assert(alignof(T) <= cacheLine, "over-aligned element type");
    const std::size_t rounded = (bytes + alignment - 1) / alignment * alignment;
    void* memory = std::aligned_alloc(alignment, rounded == 0 ? alignment : rounded);
    if (memory == nullptr) {
      throw std::bad_alloc();
    }
#if defined(MADV_HUGEPAGE)
    if (alignment == hugePage) {
      ::madvise(memory, rounded, MADV_HUGEPAGE); // advice only: failure changes nothing
    }
#endif
    return static_cast<T*>(memory);
  }

  void deallocate(T* memory, std::size_t) {
    std::free(memory);
  }

  friend bool operator==(const ScratchAllocator&, const ScratchAllocator&) {
    return true;
  }
  friend bool operator!=(const ScratchAllocator&, const ScratchAllocator&) {
    return false;
  }

private:
  static constexpr std::size_t hugePage = std::size_t{2} << 20;
  static constexpr std::size_t cacheLine = 64;
};

} // namespace vornel
