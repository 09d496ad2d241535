#include "classes/RadixSort.hpp"

#include "core/LargeArray.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

namespace vornel {

namespace {

constexpr int widestDigit = 12;         // 4096 buckets: the counts stay in the fastest caches
constexpr std::size_t shortInput = 256; // compared directly

/// Keys that order as unsigned integers as the numbers do: negative numbers
/// have all bits flipped, others only the sign bit. Values that are floats
/// widened to doubles (as attribute values are) take 32-bit keys, which halves
/// the bytes every pass moves.
template <class Key> struct Keys;

template <> struct Keys<std::uint64_t> {
  static constexpr std::uint64_t signBit = std::uint64_t{1} << 63;
  static std::uint64_t of(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits ^ ((std::uint64_t{0} - (bits >> 63)) | signBit); // all bits, or the sign
  }
  static double value(std::uint64_t key) {
    const std::uint64_t bits = key ^ (((key >> 63) - 1) | signBit); // the sign, or all bits
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }
};

template <> struct Keys<std::uint32_t> {
  static constexpr std::uint32_t signBit = std::uint32_t{1} << 31;
  static std::uint32_t of(double value) {
    const float narrow = static_cast<float>(value);
    std::uint32_t bits;
    std::memcpy(&bits, &narrow, sizeof bits);
    return bits ^ ((std::uint32_t{0} - (bits >> 31)) | signBit);
  }
  static double value(std::uint32_t key) {
    const std::uint32_t bits = key ^ (((key >> 31) - 1) | signBit);
    float narrow;
    std::memcpy(&narrow, &bits, sizeof narrow);
    return static_cast<double>(narrow);
  }
};

bool allFloats(const std::vector<double>& values) {
  return std::all_of(values.begin(), values.end(), [](double value) {
    return static_cast<double>(static_cast<float>(value)) == value;
  });
}

template <class Key> int lowestSetBit(Key bits) {
  int position = 0;
  for (; !(bits & 1); bits >>= 1)
    ++position;
  return position;
}

template <class Key> int highestSetBit(Key bits) {
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
  int lowest;
  int count;
  int bits;
};

/// Keys stored in the bytes of an array of another type (the scratch array,
/// or the result before it holds values), moved as bit patterns only.
template <class Key> class KeySlots {
public:
  explicit KeySlots(void* bytes) : bytes_(static_cast<char*>(bytes)) {}
  Key load(std::size_t i) const {
    Key key;
    std::memcpy(&key, bytes_ + i * sizeof key, sizeof key);
    return key;
  }
  void store(std::size_t i, Key key) const {
    std::memcpy(bytes_ + i * sizeof key, &key, sizeof key);
  }

private:
  char* bytes_;
};

/// One slot of the scratch array; left uninitialised, since every slot is
/// written before it is read.
template <class Key> struct ScratchSlot {
  ScratchSlot() {} // NOLINT: no zeroing of memory the first pass overwrites
  Key bits;
};

/// Stable scatter of n keys by one digit, through exclusive bucket offsets;
/// put(position, key) stores a key.
template <class Key, class KeyAt, class Put>
void scatter(std::size_t n, KeyAt keyAt, int shift, Key mask, std::size_t* offsets, Put put) {
  for (std::size_t i = 0; i < n; ++i) {
    const Key key = keyAt(i);
    put(offsets[(key >> shift) & mask]++, key);
  }
}

template <class Key> std::vector<double> sortByKeys(const std::vector<double>& values) {
  using K = Keys<Key>;
  const std::size_t n = values.size();
  const Key first = K::of(values[0]);
  Key differing = 0;
  for (const double value : values)
    differing |= K::of(value) ^ first;
  if (differing == 0)
    return values; // one value throughout

  const DigitLayout layout(lowestSetBit(differing), highestSetBit(differing));
  const Key mask = static_cast<Key>(layout.buckets() - 1);
  std::vector<std::size_t> counts(static_cast<std::size_t>(layout.count) * layout.buckets(), 0);
  std::array<std::size_t*, (64 + widestDigit - 1) / widestDigit> histograms{};
  for (int d = 0; d < layout.count; ++d)
    histograms[d] = &counts[d * layout.buckets()];
  for (const double value : values) {
    const Key key = K::of(value);
    for (int d = 0; d < layout.count; ++d)
      ++histograms[d][(key >> layout.shift(d)) & mask];
  }
  for (int d = 0; d < layout.count; ++d) {
    std::size_t next = 0;
    for (std::size_t b = 0; b < layout.buckets(); ++b)
      next += std::exchange(histograms[d][b], next);
  }

  // The last pass writes the values into the result; the passes before it
  // alternate between a scratch array and the result's own bytes, arranged so
  // that the one before the last fills the scratch array.
  std::vector<double> sorted;
  reserveLarge(sorted, n);
  sorted.resize(n);
  std::vector<ScratchSlot<Key>> scratch;
  if (layout.count > 1) {
    reserveLarge(scratch, n);
    scratch.resize(n);
  }
  const KeySlots<Key> inScratch(scratch.data());
  const KeySlots<Key> inResult(sorted.data());
  const KeySlots<Key>* source = nullptr;
  for (int d = 0; d < layout.count; ++d) {
    const int shift = layout.shift(d);
    const auto keyAt = [&](std::size_t i) { return source ? source->load(i) : K::of(values[i]); };
    if (d + 1 == layout.count) {
      scatter(n, keyAt, shift, mask, histograms[d],
              [&](std::size_t at, Key key) { sorted[at] = K::value(key); });
      break;
    }
    const KeySlots<Key>* destination = (layout.count - 2 - d) % 2 == 0 ? &inScratch : &inResult;
    scatter(n, keyAt, shift, mask, histograms[d],
            [destination](std::size_t at, Key key) { destination->store(at, key); });
    source = destination;
  }
  return sorted;
}

} // namespace

std::vector<double> radixSorted(const std::vector<double>& values) {
  if (values.size() < shortInput) {
    std::vector<double> sorted = values;
    std::sort(sorted.begin(), sorted.end(), [](double a, double b) {
      return Keys<std::uint64_t>::of(a) < Keys<std::uint64_t>::of(b);
    });
    return sorted;
  }
  return allFloats(values) ? sortByKeys<std::uint32_t>(values) : sortByKeys<std::uint64_t>(values);
}

} // namespace vornel
