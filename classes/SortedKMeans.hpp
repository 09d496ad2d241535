#pragma once
// Lloyd's k-means in one dimension on values sorted once. Each cluster of an
// assignment is then a run of consecutive sorted values, so an iteration costs
// a few binary searches over prefix sums instead of a pass over every value.
// The result is that of kmeans() by full passes on the same seeds bit for bit:
// every decision that rounding could sway is checked against an error bound
// and, when in doubt, settled with the exact sums in index order.

#include "classes/KMeans.hpp"

#include <cstddef>
#include <optional>
#include <vector>

namespace vornel {

/// Positions [begin, end) in the sorted values.
struct SortedRange {
  std::size_t begin = 0;
  std::size_t end = 0;
  bool operator==(const SortedRange& other) const {
    return begin == other.begin && end == other.end;
  }
  std::size_t size() const { return end - begin; }
};

/// A k-means outcome as ranges of the sorted values, one per cluster index.
struct SortedClusters {
  std::vector<SortedRange> ranges;
  int iterations = 0;
};

class SortedValues {
public:
  /// values must outlive this object.
  explicit SortedValues(const std::vector<double>& values);

  /// True when every value is finite and of a size for which the shortcut is
  /// exact (see the definition); otherwise only kmeans() itself may be used.
  bool shortcutUsable() const { return usable_; }
  std::size_t size() const { return sorted_.size(); }
  /// The number of distinct values, counted up to limit.
  int distinctCount(int limit) const;

  /// Lloyd iterations from the given seed centres, as kmeans() runs them after
  /// drawing those seeds. Empty when the run leaves the cases the shortcut
  /// decides exactly (a cluster empties, two centres nearly meet, the
  /// iteration cap is reached); kmeans() must then run the start itself.
  std::optional<SortedClusters> lloyd(const std::vector<double>& seeds, int maxIterations) const;

  /// Within-class sum of squares of ranges that cover the sorted values,
  /// summed in the order of the ranges' positions, so that one partition
  /// always gives the same number whatever its cluster numbering.
  double sumOfSquares(const std::vector<SortedRange>& ranges) const;

  /// The ranges of a clustering whose clusters are runs of sorted values;
  /// empty when a cluster is empty or the clusters interleave.
  std::optional<std::vector<SortedRange>> rangesOf(const KMeansResult& clusters) const;

  /// The kmeans() result of ranges: assignment in index order, centres as the
  /// members' means summed in index order.
  KMeansResult materialise(const SortedClusters& clusters) const;

private:
  struct Centre {
    double value = 0.0;
    double bound = 0.0; // the exact centre lies within value +- bound; 0 when exact
  };
  using Centres = std::vector<Centre>;
  enum class AssignStatus { Done, Uncertain, Unsupported };
  struct Assignment {
    AssignStatus status = AssignStatus::Unsupported;
    std::vector<SortedRange> ranges;
  };

  Centres approximateMeans(const std::vector<SortedRange>& ranges) const;
  Centres exactMeans(const std::vector<SortedRange>& ranges) const;
  std::optional<std::vector<SortedRange>> assign(Centres& centres,
                                                 const std::vector<SortedRange>& ranges) const;
  Assignment assignCertain(const Centres& centres) const;
  bool centresSettled(Centres& current, const std::vector<SortedRange>& ranges, Centres& previous,
                      const std::vector<SortedRange>* previousRanges) const;
  std::vector<std::int32_t> clusterOfEachValue(const std::vector<SortedRange>& ranges) const;

  /// Sums over the first sorted values, each built by adding one value at a
  /// time in sorted order.
  struct PrefixSums {
    double high = 0.0; // double-double sum of the values: high + low
    double low = 0.0;
    double shifted = 0.0;        // sum of (value - shift)
    double shiftedSquares = 0.0; // sum of (value - shift)^2
    void add(double value, double shift);
  };
  /// The sums over sorted positions [0, position). Only every prefixStride-th
  /// is stored; the others are rebuilt from the one before by the same
  /// additions, so each is exactly what a full array would hold.
  PrefixSums prefixSums(std::size_t position) const;
  static constexpr std::size_t prefixStride = 64;

  const std::vector<double>& values_;
  std::vector<double> sorted_;
  std::vector<PrefixSums> storedPrefixSums_; // prefixSums(k * prefixStride)
  double shift_ = 0.0;
  double absoluteTotal_ = 0.0;
  double span_ = 0.0;
  bool usable_ = false;
};

} // namespace vornel
