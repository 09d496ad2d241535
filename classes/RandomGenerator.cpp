#include "classes/RandomGenerator.hpp"

#include <algorithm>

namespace vornel {

RandomGenerator::RandomGenerator(unsigned seed) {
  std::int32_t previous = static_cast<std::int32_t>(seed == 0 ? 1 : seed);
  words_[0] = static_cast<std::uint32_t>(previous);
  for (std::size_t i = 1; i < 31; ++i) {
    // 16807 * previous mod (2^31 - 1) by Schrage's method, as the C library seeds.
    const std::int32_t hi = previous / 127773;
    const std::int32_t lo = previous % 127773;
    previous = 16807 * lo - 2836 * hi;
    if (previous < 0)
      previous += 2147483647;
    words_[i] = static_cast<std::uint32_t>(previous);
  }
  for (std::size_t i = 31; i < lag; ++i)
    words_[i] = words_[i - 31];
  generateBlock();
  index_ = lag + 310; // the C library discards the first 310 outputs
  static_assert(block > 310, "the discarded outputs must fit in the first block");
}

void RandomGenerator::generateBlock() {
  // w[i] = w[i - 31] + w[i - 3] in three interleaved chains whose latest words
  // stay in registers: no step reads back a word it has just stored (a loop
  // that did, vectorised two words at a time, waited on every such read).
  std::uint32_t first = words_[lag - 3];
  std::uint32_t second = words_[lag - 2];
  std::uint32_t third = words_[lag - 1];
  std::size_t i = lag;
  for (; i + 3 <= words_.size(); i += 3) {
    first += words_[i - 31];
    second += words_[i - 30];
    third += words_[i - 29];
    words_[i] = first;
    words_[i + 1] = second;
    words_[i + 2] = third;
  }
  for (; i < words_.size(); ++i)
    words_[i] = words_[i - 31] + words_[i - 3];
}

void RandomGenerator::refill() {
  std::copy(words_.end() - lag, words_.end(), words_.begin());
  generateBlock();
  index_ = lag;
}

} // namespace vornel
