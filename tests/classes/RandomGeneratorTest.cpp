#include "classes/RandomGenerator.hpp"

#include <gtest/gtest.h>

#include <cstdlib>

namespace vornel {
namespace {

// The generator must reproduce the C library's rand() after srand(seed) draw
// for draw, including seed 0 (which the library treats as 1).
TEST(RandomGenerator, MatchesTheCLibraryOverALongRun) {
  for (const unsigned seed : {0u, 1u, 42u, 1700000000u, 4294967295u}) {
    std::srand(seed);
    RandomGenerator generator(seed);
    for (int draw = 0; draw < 1000000; ++draw) {
      const int expected = std::rand();
      const int actual = generator.next();
      if (expected != actual) {
        ADD_FAILURE() << "seed " << seed << ", draw " << draw << ": " << actual << " instead of "
                      << expected;
        break;
      }
    }
  }
}

} // namespace
} // namespace vornel
