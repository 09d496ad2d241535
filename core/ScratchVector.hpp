#pragma once
// A std::vector whose resize leaves new elements of trivial types
// uninitialised: for large index arrays that are filled right after being
// sized, where zero-filling first would double the memory traffic. As the
// whole array is written at once, its memory is mapped in when it is
// allocated (core/PrefaultPages.hpp's populatePages).

#include "core/LargeBlockAllocator.hpp"
#include "core/PrefaultPages.hpp"

#include <cstddef>
#include <memory>
#include <new>
#include <utility>
#include <vector>

namespace vornel {

template <class T> struct DefaultInitAllocator : LargeBlockAllocator<T> {
  template <class U> struct rebind { using other = DefaultInitAllocator<U>; };
  DefaultInitAllocator() = default;
  template <class U> DefaultInitAllocator(const DefaultInitAllocator<U>&) noexcept {}

  T* allocate(std::size_t count) {
    T* const block = LargeBlockAllocator<T>::allocate(count);
    populatePages(block, count * sizeof(T));
    return block;
  }

  template <class U> void construct(U* place) noexcept(noexcept(U())) {
    ::new (static_cast<void*>(place)) U;
  }
  template <class U, class... Arguments> void construct(U* place, Arguments&&... arguments) {
    ::new (static_cast<void*>(place)) U(std::forward<Arguments>(arguments)...);
  }
};

template <class T> using ScratchVector = std::vector<T, DefaultInitAllocator<T>>;

} // namespace vornel
