#pragma once
// The same sequence as RandomGenerator (the C library's rand() after
// srand(seed)), produced a block at a time: the lagged sum w[i] = w[i-31] +
// w[i-3] runs over a flat array, so a draw is one load and one increment
// instead of two ring-index remainders. The sweeps draw through it.

#include <array>
#include <cstddef>
#include <cstdint>

namespace vornel {

class BlockRandomGenerator {
public:
  explicit BlockRandomGenerator(unsigned seed);

  /// The next value in 0 .. 2147483647, as rand() returns it.
  int next() {
    if (index_ == words_.size())
      refill();
    return static_cast<int>(words_[index_++] >> 1);
  }

private:
  static constexpr std::size_t lag = 34;    // words of history the sum reaches back
  static constexpr std::size_t block = 1024; // words generated per refill

  void generateBlock(); // words_[lag ..] from words_[0 .. lag)
  void refill();        // last lag words become the history, then a new block

  std::array<std::uint32_t, lag + block> words_{};
  std::size_t index_ = lag;
};

} // namespace vornel
