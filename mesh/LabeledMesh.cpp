// The two colour palettes that travel with every mesh.

#include "mesh/LabeledMesh.hpp"

#include <array>
#include <cstddef>

namespace vornel {
namespace {

/// numerator / 64 rounded to four decimals, halves away from zero, as the
/// nearest double. numerator is never negative, so rounding half up in exact
/// integer arithmetic does it: numerator / 64 * 10000 = numerator * 625 / 4.
double rampComponent(int numerator) {
  const int tenThousandths = (numerator * 625 + 2) / 4;
  return tenThousandths / 10000.0;
}

RgbColour rampRow(int i) {
  if (i < 32) {
    return {0.0, 0.0, rampComponent(33 + i)};
  }
  if (i < 96) {
    return {0.0, rampComponent(i - 31), 1.0};
  }
  if (i < 160) {
    return {rampComponent(i - 95), 1.0, rampComponent(160 - i)};
  }
  if (i < 224) {
    return {1.0, rampComponent(224 - i), 0.0};
  }
  return {rampComponent(288 - i), 0.0, 0.0};
}

Palette makeRamp() {
  Palette palette{};
  for (int i = 0; i < 256; ++i) {
    palette[static_cast<std::size_t>(i)] = rampRow(i);
  }
  return palette;
}

/// The fixed permutation: sixteen chosen leading entries, then every other
/// index in the order of the odd-stride walk k -> (167 k + 13) mod 256.
std::array<int, 256> shufflePermutation() {
  constexpr std::array<int, 16> leading{6, 246, 104, 113, 168, 199, 8,   213,
                                        9, 193, 91,  24,  134, 153, 115, 161};
  std::array<int, 256> order{};
  std::array<bool, 256> taken{};
  std::size_t next = 0;
  for (const int index : leading) {
    order[next++] = index;
    taken[static_cast<std::size_t>(index)] = true;
  }
  for (int k = 0; k < 256; ++k) {
    const auto index = static_cast<std::size_t>((167 * k + 13) % 256);
    if (!taken[index]) {
      order[next++] = static_cast<int>(index);
      taken[index] = true;
    }
  }
  return order;
}

Palette makeShuffled() {
  const Palette& ramp = rampPalette();
  const std::array<int, 256> order = shufflePermutation();
  Palette palette{};
  for (std::size_t j = 0; j < palette.size(); ++j) {
    palette[j] = ramp[static_cast<std::size_t>(order[j])];
  }
  return palette;
}

} // namespace

const Palette& rampPalette() {
  static const Palette palette = makeRamp();
  return palette;
}

const Palette& shuffledPalette() {
  static const Palette palette = makeShuffled();
  return palette;
}

} // namespace vornel
