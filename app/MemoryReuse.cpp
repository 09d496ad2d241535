#include "app/MemoryReuse.hpp"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace vornel {

void reuseFreedMemory() {
#if defined(__GLIBC__)
  mallopt(M_MMAP_MAX, 0);        // no block of its own mapping: all from the heap
  mallopt(M_TRIM_THRESHOLD, -1); // the heap never shrinks back
#endif
}

} // namespace vornel
