#pragma once
// A pseudo-random generator that yields exactly the sequence of the GNU C
// library's rand() after srand(seed) (the additive feedback generator with a
// 34-word state), without the lock that rand() takes on every call.

#include <array>
#include <cstdint>

namespace vornel {

class RandomGenerator {
public:
  static constexpr int maxValue = 2147483647; // RAND_MAX

  explicit RandomGenerator(unsigned seed) { reseed(seed); }

  /// Restarts the sequence, as srand(seed) does.
  void reseed(unsigned seed) {
    std::array<std::int32_t, 34> r{};
    r[0] = static_cast<std::int32_t>(seed == 0 ? 1 : seed);
    for (int i = 1; i < 31; ++i) {
      // 16807 * r[i-1] mod (2^31 - 1), by Schrage's method as the C library does.
      const std::int32_t hi = r[i - 1] / 127773;
      const std::int32_t lo = r[i - 1] % 127773;
      std::int32_t word = 16807 * lo - 2836 * hi;
      if (word < 0)
        word += 2147483647;
      r[i] = word;
    }
    for (int i = 31; i < 34; ++i)
      r[i] = r[i - 31];
    for (int i = 0; i < 34; ++i)
      state_[i] = static_cast<std::uint32_t>(r[i]);
    position_ = 0;
    // The C library discards the first 310 outputs after seeding.
    for (int i = 34; i < 344; ++i)
      step();
  }

  /// The next value in 0 .. maxValue, as rand() returns it.
  int next() { return static_cast<int>(step() >> 1); }

private:
  std::uint32_t step() {
    // state_ is a ring of the last 34 words; the new word is w[i-31] + w[i-3].
    const std::uint32_t word = state_[(position_ + 34 - 31) % 34] + state_[(position_ + 34 - 3) % 34];
    state_[position_] = word;
    position_ = (position_ + 1) % 34;
    return word;
  }

  std::array<std::uint32_t, 34> state_{};
  unsigned position_ = 0;
};

} // namespace vornel
