#pragma once
// A pseudo-random generator that yields exactly the sequence of the GNU C
// library's rand() after srand(seed) (the additive feedback generator
// w[i] = w[i-31] + w[i-3] over 34 words of history), without the lock that
// rand() takes on every call. Words are produced a block at a time over a flat
// array, so a draw is one load and one increment.

#include <array>
#include <cstddef>
#include <cstdint>

namespace vornel {

class RandomGenerator {
public:
  static constexpr int maxValue = 2147483647; // RAND_MAX

  /// Starts the sequence, as srand(seed) does.
  explicit RandomGenerator(unsigned seed);

  /// The next value in 0 .. maxValue, as rand() returns it.
  int next() {
    if (index_ == words_.size())
      refill();
    return static_cast<int>(words_[index_++] >> 1);
  }

private:
  static constexpr std::size_t lag = 34;     // words of history the sum reaches back
  static constexpr std::size_t block = 1024; // words generated per refill

  void generateBlock(); // words_[lag ..] from words_[0 .. lag)
  void refill();        // the last lag words become the history, then a new block

  std::array<std::uint32_t, lag + block> words_{};
  std::size_t index_ = lag;
};

} // namespace vornel
