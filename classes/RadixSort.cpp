#include "classes/RadixSort.hpp"

#include "classes/LargeArray.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

namespace vornel {

namespace {

constexpr int widestDigit = 12; // 4096 buckets: the counts stay in the fastest caches
constexpr int maxDigits = (64 + widestDigit - 1) / widestDigit;
constexpr std::uint64_t signBit = std::uint64_t{1} << 63;
constexpr std::size_t shortInput = 256; // compared directly

/// Negative numbers have all bits flipped, others only the sign bit: the keys
/// then order as unsigned integers as the numbers do.
std::uint64_t keyOf(double value) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  const std::uint64_t flip = (std::uint64_t{0} - (bits >> 63)) | signBit; // all bits, or the sign
  return bits ^ flip;
}

double valueOf(std::uint64_t key) {
  const std::uint64_t flip = ((key >> 63) - 1) | signBit; // the sign, or all bits
  const std::uint64_t bits = key ^ flip;
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

int lowestSetBit(std::uint64_t bits) {
  int position = 0;
  while (!(bits & 1)) {
    bits >>= 1;
    ++position;
  }
  return position;
}

int highestSetBit(std::uint64_t bits) {
  int position = 0;
  while (bits >>= 1)
    ++position;
  return position;
}

/// Digits of equal width covering the bits [lowest, highest].
struct DigitLayout {
  DigitLayout(int lowest, int highest) : lowest(lowest) {
    const int width = highest - lowest + 1;
    count = (width + widestDigit - 1) / widestDigit;
    bits = (width + count - 1) / count;
  }
  std::size_t buckets() const { return std::size_t{1} << bits; }
  int shift(int d) const { return lowest + d * bits; }
  std::size_t digit(std::uint64_t key, int d) const {
    return static_cast<std::size_t>(key >> shift(d)) & (buckets() - 1);
  }
  int lowest;
  int count;
  int bits;
};

/// One key of the scratch array; left uninitialised, since every slot is
/// written before it is read.
struct ScratchKey {
  ScratchKey() {} // NOLINT: no zeroing of memory the first pass overwrites
  std::uint64_t bits;
};

/// Key storage for the sort: a plain key array, or the doubles of the result
/// holding key bit patterns until the last step turns them into values.
class KeySlots {
public:
  explicit KeySlots(ScratchKey* keys) : bytes_(keys) {}
  explicit KeySlots(double* values) : bytes_(values) {}
  std::uint64_t load(std::size_t i) const {
    std::uint64_t key;
    std::memcpy(&key, static_cast<const char*>(bytes_) + i * sizeof key, sizeof key);
    return key;
  }
  void store(std::size_t i, std::uint64_t key) const {
    std::memcpy(static_cast<char*>(bytes_) + i * sizeof key, &key, sizeof key);
  }

private:
  void* bytes_;
};

/// Stable scatter of n keys by digit d, through exclusive bucket offsets.
template <class KeyAt>
void scatter(std::size_t n, KeyAt keyAt, const DigitLayout& layout, int d, std::size_t* offsets,
             const KeySlots& destination) {
  const int shift = layout.shift(d);
  const std::uint64_t mask = layout.buckets() - 1;
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint64_t key = keyAt(i);
    destination.store(offsets[(key >> shift) & mask]++, key);
  }
}

} // namespace

std::vector<double> radixSorted(const std::vector<double>& values) {
  const std::size_t n = values.size();
  if (n < shortInput) {
    std::vector<double> sorted = values;
    std::sort(sorted.begin(), sorted.end(), [](double a, double b) { return keyOf(a) < keyOf(b); });
    return sorted;
  }
  const std::uint64_t first = keyOf(values[0]);
  std::uint64_t differing = 0;
  for (const double value : values)
    differing |= keyOf(value) ^ first;
  if (differing == 0)
    return values; // one value throughout

  const DigitLayout layout(lowestSetBit(differing), highestSetBit(differing));
  std::vector<std::size_t> counts(static_cast<std::size_t>(layout.count) * layout.buckets(), 0);
  std::array<std::size_t*, maxDigits> histograms{};
  std::array<int, maxDigits> shifts{};
  for (int d = 0; d < layout.count; ++d) {
    histograms[d] = &counts[d * layout.buckets()];
    shifts[d] = layout.shift(d);
  }
  const std::uint64_t mask = layout.buckets() - 1;
  for (const double value : values) {
    const std::uint64_t key = keyOf(value);
    for (int d = 0; d < layout.count; ++d)
      ++histograms[d][(key >> shifts[d]) & mask];
  }
  for (int d = 0; d < layout.count; ++d) {
    std::size_t next = 0;
    for (std::size_t b = 0; b < layout.buckets(); ++b)
      next += std::exchange(counts[d * layout.buckets() + b], next);
  }

  // The passes alternate between the result's storage and a scratch array,
  // arranged so that the last one fills the result.
  std::vector<double> sorted;
  std::vector<ScratchKey> scratch;
  reserveLarge(sorted, n);
  sorted.resize(n);
  if (layout.count > 1) {
    reserveLarge(scratch, n);
    scratch.resize(n);
  }
  const KeySlots result(sorted.data());
  const KeySlots other(scratch.data());
  const KeySlots* source = nullptr;
  for (int d = 0; d < layout.count; ++d) {
    const KeySlots* destination = (layout.count - 1 - d) % 2 == 0 ? &result : &other;
    std::size_t* offsets = &counts[d * layout.buckets()];
    if (d == 0)
      scatter(
          n, [&](std::size_t i) { return keyOf(values[i]); }, layout, d, offsets, *destination);
    else
      scatter(
          n, [source](std::size_t i) { return source->load(i); }, layout, d, offsets, *destination);
    source = destination;
  }
  for (std::size_t i = 0; i < n; ++i)
    sorted[i] = valueOf(result.load(i));
  return sorted;
}

} // namespace vornel
