#pragma once
// How many ring neighbours of a vertex carry each label, counted in one pass
// with one addition per neighbour: the counts of up to eight labels are packed
// eight bits apiece into one word, which holds them exactly for rings of up to
// 255 edges. Larger class counts and rings are counted label by label.

#include <cstdint>

namespace vornel {

class RingLabelCounts {
public:
  static constexpr int packedClasses = 8;
  static constexpr std::uint32_t packedDegree = 255;

  /// Counts the labels of neighbours [begin, end) (labels[n] in 0 .. K-1).
  /// Only when packable(): K <= 8 and the ring is no longer than 255.
  static bool packable(int classCount, std::uint32_t degree) {
    return classCount <= packedClasses && degree <= packedDegree;
  }

  RingLabelCounts(const std::uint32_t* begin, const std::uint32_t* end,
                  const std::int32_t* labels) {
    if (end - begin == 6) { // the ring of most vertices of a triangle mesh, without a loop
      counts_ = units[labels[begin[0]]] + units[labels[begin[1]]] + units[labels[begin[2]]] +
                units[labels[begin[3]]] + units[labels[begin[4]]] + units[labels[begin[5]]];
      return;
    }
    const std::uint32_t* n = begin;
    for (; end - n >= 2; n += 2) // two at a time: half the loop steps
      counts_ += units[labels[n[0]]] + units[labels[n[1]]];
    if (n != end)
      counts_ += units[labels[*n]];
  }

  /// Counts kept as packed() gave them.
  static RingLabelCounts fromPacked(std::uint64_t packed) {
    RingLabelCounts counts;
    counts.counts_ = packed;
    return counts;
  }

  /// The counts in one word, eight bits per label from label 0 up.
  std::uint64_t packed() const { return counts_; }

  /// The number of neighbours labelled label.
  int operator[](int label) const { return static_cast<int>((counts_ >> (8 * label)) & 0xff); }

private:
  RingLabelCounts() = default;

  /// One count of each label in its own eight bits.
  static constexpr std::uint64_t units[packedClasses] = {
      std::uint64_t{1},       std::uint64_t{1} << 8,  std::uint64_t{1} << 16,
      std::uint64_t{1} << 24, std::uint64_t{1} << 32, std::uint64_t{1} << 40,
      std::uint64_t{1} << 48, std::uint64_t{1} << 56};
  std::uint64_t counts_ = 0;
};

/// S for two labels by comparing every neighbour with both, for any class
/// count and ring size.
struct TwoLabelCounts {
  TwoLabelCounts(const std::uint32_t* begin, const std::uint32_t* end, const std::int32_t* labels,
                 std::int32_t first, std::int32_t second) {
    for (const std::uint32_t* n = begin; n != end; ++n) {
      const std::int32_t label = labels[*n];
      sameFirst += label == first;
      sameSecond += label == second;
    }
  }
  int sameFirst = 0;
  int sameSecond = 0;
};

} // namespace vornel
