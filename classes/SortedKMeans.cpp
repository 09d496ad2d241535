#include "classes/SortedKMeans.hpp"

#include "classes/RadixSort.hpp"
#include "core/LargeArray.hpp"
#include "core/Parallel.hpp"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace vornel {

namespace {

constexpr double unitRoundoff = 0x1p-53;

/// 0, or a magnitude in [2^-458, 2^510]: the values for which kmeans() compares
/// one-dimensional distances as rounded |x - c| (see KMeans.cpp).
bool isModerate(double value) {
  const double magnitude = std::fabs(value);
  return value == 0.0 || (magnitude >= 0x1p-458 && magnitude <= 0x1p510);
}

/// kmeans()' nearest-centre rule between centres a and b: the rounded
/// distance, ties to the lower cluster index.
bool prefersSecond(double x, double centreA, double centreB, int a, int b) {
  const double distanceA = std::fabs(x - centreA);
  const double distanceB = std::fabs(x - centreB);
  return distanceB < distanceA || (distanceB == distanceA && b < a);
}

/// Cluster indices ordered by their ranges' positions.
std::vector<int> orderByPosition(const std::vector<SortedRange>& ranges) {
  std::vector<int> order(ranges.size());
  std::iota(order.begin(), order.end(), 0);
  std::sort(order.begin(), order.end(),
            [&](int x, int y) { return ranges[x].begin < ranges[y].begin; });
  return order;
}

/// The cluster of a value, for clusters that are ranges of the sorted values:
/// the number of the ranges' first values, the lowest range's left out, that
/// are not above the value gives the value's range (equal values always share
/// a range).
class RangeLookup {
public:
  RangeLookup(const std::vector<SortedRange>& ranges, const std::vector<double>& sorted)
      : order_(orderByPosition(ranges)) {
    for (std::size_t r = 1; r < order_.size(); ++r)
      thresholds_.push_back(sorted[ranges[order_[r]].begin]);
  }

  std::int32_t operator()(double x) const {
    std::size_t below = 0;
    if (thresholds_.size() <= countedThresholds) {
      for (const double threshold : thresholds_) // counted without branching
        below += threshold <= x;
    } else {
      below = static_cast<std::size_t>(std::upper_bound(thresholds_.begin(), thresholds_.end(), x) -
                                       thresholds_.begin());
    }
    return order_[below];
  }

private:
  static constexpr std::size_t countedThresholds = 16;
  std::vector<int> order_;
  std::vector<double> thresholds_;
};

} // namespace

SortedValues::SortedValues(const std::vector<double>& values) : values_(values) {
  usable_ = !values.empty() && std::all_of(values.begin(), values.end(), [](double x) {
    return std::isfinite(x) && isModerate(x);
  });
  if (!usable_)
    return;
  sorted_ = radixSorted(values);
  span_ = sorted_.back() - sorted_.front();
  // Every distance then stays far below the 1e20 that starts kmeans()'
  // reassignment, so the first and later assignments follow one rule.
  usable_ = span_ < 1e19;
  const std::size_t n = sorted_.size();
  shift_ = sorted_[n / 2];
  storedPrefixSums_.reserve(n / prefixStride + 1);
  PrefixSums sums;
  for (std::size_t i = 0; i <= n; ++i) {
    if (i % prefixStride == 0)
      storedPrefixSums_.push_back(sums);
    if (i < n) {
      sums.add(sorted_[i], shift_);
      absoluteTotal_ += std::fabs(sorted_[i]);
    }
  }
}

void SortedValues::PrefixSums::add(double value, double shift) {
  // Two-sum: high + low carries the sum almost exactly.
  const double sum = high + value;
  const double highPart = sum - value;
  const double lowPart = sum - highPart;
  const double error = (high - highPart) + (value - lowPart);
  high = sum;
  low = low + error;
  const double d = value - shift;
  shifted = shifted + d;
  shiftedSquares = shiftedSquares + d * d;
}

SortedValues::PrefixSums SortedValues::prefixSums(std::size_t position) const {
  const std::size_t stored = position / prefixStride;
  PrefixSums sums = storedPrefixSums_[stored];
  for (std::size_t i = stored * prefixStride; i < position; ++i)
    sums.add(sorted_[i], shift_);
  return sums;
}

int SortedValues::distinctCount(int limit) const {
  int count = sorted_.empty() ? 0 : 1;
  for (std::size_t i = 1; i < sorted_.size() && count < limit; ++i)
    if (sorted_[i] != sorted_[i - 1])
      ++count;
  return count;
}

/// Means from the prefix sums, each with a bound that covers both the error
/// of this estimate and that of kmeans()' own sum in index order
/// (at most (n - 1) u sum|x| for n terms, plus the rounding of the quotient).
SortedValues::Centres SortedValues::approximateMeans(const std::vector<SortedRange>& ranges) const {
  const double n = static_cast<double>(sorted_.size());
  const double prefixError = 1.1 * n * n * unitRoundoff * unitRoundoff * absoluteTotal_ * 1.01;
  Centres centres(ranges.size());
  for (std::size_t j = 0; j < ranges.size(); ++j) {
    const SortedRange& r = ranges[j];
    const double members = static_cast<double>(r.size());
    const PrefixSums before = prefixSums(r.begin);
    const PrefixSums through = prefixSums(r.end);
    const double high = through.high - before.high;
    const double low = through.low - before.low;
    const double mean = (high + low) / members;
    const double largest = std::max(std::fabs(sorted_[r.begin]), std::fabs(sorted_[r.end - 1]));
    const double kmeansError = 1.05 * (members + 1.0) * unitRoundoff * largest;
    const double ownError = (3.0 * unitRoundoff *
                                 (std::fabs(through.high) + std::fabs(before.high) +
                                  std::fabs(through.low) + std::fabs(before.low)) +
                             2.0 * prefixError) /
                            members;
    centres[j] =
        Centre{mean, 1.1 * (kmeansError + ownError) + 4.0 * unitRoundoff * std::fabs(mean)};
  }
  return centres;
}

/// The means exactly as kmeans() forms them: members summed from 0.0 in index
/// order, divided by their count.
SortedValues::Centres SortedValues::exactMeans(const std::vector<SortedRange>& ranges) const {
  const RangeLookup clusterOf(ranges, sorted_);
  std::vector<double> sums(ranges.size(), 0.0);
  for (const double x : values_)
    sums[clusterOf(x)] += x;
  Centres centres(ranges.size());
  for (std::size_t j = 0; j < ranges.size(); ++j)
    centres[j] = Centre{sums[j] / static_cast<double>(ranges[j].size()), 0.0};
  return centres;
}

std::vector<std::int32_t>
SortedValues::clusterOfEachValue(const std::vector<SortedRange>& ranges) const {
  const RangeLookup clusterOf(ranges, sorted_);
  std::vector<std::int32_t> clusters;
  reserveLarge(clusters, values_.size());
  clusters.resize(values_.size());
  forEachBlock(values_.size(), [&](std::size_t begin, std::size_t end, std::size_t) {
    for (std::size_t p = begin; p < end; ++p)
      clusters[p] = clusterOf(values_[p]);
  });
  return clusters;
}

/// kmeans()' assignment for centres known within their bounds. Between two
/// neighbouring centres the rule is monotone in the value and in both centres,
/// so the boundary for the exact centres lies between those for the centres
/// moved down and up by their bounds; equal boundaries decide it. Centres
/// closer than a few rounding errors of the span could let rounding bring a
/// farther centre into play: that case is left to kmeans().
SortedValues::Assignment SortedValues::assignCertain(const Centres& centres) const {
  const int K = static_cast<int>(centres.size());
  const bool exact =
      std::all_of(centres.begin(), centres.end(), [](const Centre& c) { return c.bound == 0.0; });
  const AssignStatus doubt = exact ? AssignStatus::Unsupported : AssignStatus::Uncertain;
  for (const Centre& c : centres) {
    const bool moderate =
        c.bound == 0.0 ? isModerate(c.value) : std::fabs(c.value) - c.bound > 0x1p-457;
    if (!moderate)
      return {doubt, {}};
  }
  std::vector<int> order(static_cast<std::size_t>(K));
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(),
                   [&](int x, int y) { return centres[x].value < centres[y].value; });
  const double minimalGap = 4.0 * unitRoundoff * span_ + 0x1p-1000;
  std::vector<std::size_t> boundaries{0};
  for (int r = 0; r + 1 < K; ++r) {
    const int a = order[r], b = order[r + 1];
    const Centre& ca = centres[a];
    const Centre& cb = centres[b];
    if (!((cb.value - cb.bound) - (ca.value + ca.bound) > minimalGap))
      return {doubt, {}};
    const auto boundary = [&](double centreA, double centreB) {
      return static_cast<std::size_t>(std::partition_point(sorted_.begin(), sorted_.end(),
                                                           [&](double x) {
                                                             return !prefersSecond(x, centreA,
                                                                                   centreB, a, b);
                                                           }) -
                                      sorted_.begin());
    };
    const std::size_t low = boundary(ca.value - ca.bound, cb.value - cb.bound);
    const std::size_t high = exact ? low : boundary(ca.value + ca.bound, cb.value + cb.bound);
    if (low != high)
      return {AssignStatus::Uncertain, {}};
    boundaries.push_back(low);
  }
  boundaries.push_back(sorted_.size());
  Assignment assignment{AssignStatus::Done, std::vector<SortedRange>(static_cast<std::size_t>(K))};
  for (int r = 0; r < K; ++r) {
    const SortedRange range{boundaries[r], boundaries[r + 1]};
    if (range.size() == 0) // an empty cluster: kmeans() moves it later
      return {AssignStatus::Unsupported, {}};
    assignment.ranges[order[r]] = range;
  }
  return assignment;
}

/// Assignment for centres that are the means of ranges; when the bounds leave
/// it in doubt the centres are replaced by their exact values.
std::optional<std::vector<SortedRange>>
SortedValues::assign(Centres& centres, const std::vector<SortedRange>& ranges) const {
  Assignment assignment = assignCertain(centres);
  if (assignment.status == AssignStatus::Uncertain) {
    centres = exactMeans(ranges);
    assignment = assignCertain(centres);
  }
  if (assignment.status != AssignStatus::Done)
    return std::nullopt;
  return std::move(assignment.ranges);
}

/// kmeans()' convergence test: no centre changed. A cluster whose members did
/// not change has exactly its previous mean; otherwise the bounds decide, and
/// the exact means when they cannot.
bool SortedValues::centresSettled(Centres& current, const std::vector<SortedRange>& ranges,
                                  Centres& previous,
                                  const std::vector<SortedRange>* previousRanges) const {
  for (std::size_t j = 0; j < current.size(); ++j) {
    if (previousRanges && (*previousRanges)[j] == ranges[j])
      continue;
    const double difference = std::fabs(current[j].value - previous[j].value);
    const double doubt =
        1.01 * (current[j].bound + previous[j].bound) +
        unitRoundoff * (std::fabs(current[j].value) + std::fabs(previous[j].value));
    if (current[j].bound == 0.0 && previous[j].bound == 0.0) {
      if (current[j].value != previous[j].value)
        return false;
      continue;
    }
    if (difference > doubt)
      return false;
    if (current[j].bound != 0.0)
      current = exactMeans(ranges);
    if (previous[j].bound != 0.0)
      previous = exactMeans(*previousRanges); // only means of ranges carry a bound
    if (current[j].value != previous[j].value)
      return false;
  }
  return true;
}

std::optional<SortedClusters> SortedValues::lloyd(const std::vector<double>& seeds,
                                                  int maxIterations) const {
  if (!usable_)
    return std::nullopt;
  Centres previous(seeds.size());
  std::transform(seeds.begin(), seeds.end(), previous.begin(), [](double seed) {
    return Centre{seed, 0.0};
  });
  Assignment first = assignCertain(previous);
  if (first.status != AssignStatus::Done)
    return std::nullopt;
  std::vector<SortedRange> ranges = std::move(first.ranges);
  std::optional<std::vector<SortedRange>> previousRanges;
  int iterations = 0;
  while (iterations < maxIterations) {
    Centres current = approximateMeans(ranges);
    ++iterations;
    const bool settled =
        centresSettled(current, ranges, previous, previousRanges ? &*previousRanges : nullptr);
    std::optional<std::vector<SortedRange>> next = assign(current, ranges);
    if (!next)
      return std::nullopt;
    if (settled)
      return SortedClusters{std::move(*next), iterations};
    previousRanges = std::move(ranges);
    previous = std::move(current);
    ranges = std::move(*next);
  }
  return std::nullopt; // the cap: kmeans() reports it itself
}

double SortedValues::sumOfSquares(const std::vector<SortedRange>& ranges) const {
  double total = 0.0;
  for (const int j : orderByPosition(ranges)) {
    const SortedRange& r = ranges[j];
    if (r.size() == 0)
      continue;
    const PrefixSums before = prefixSums(r.begin);
    const PrefixSums through = prefixSums(r.end);
    const double sum = through.shifted - before.shifted;
    const double squares = through.shiftedSquares - before.shiftedSquares;
    total += std::max(squares - sum * sum / static_cast<double>(r.size()), 0.0);
  }
  return total;
}

std::optional<std::vector<SortedRange>> SortedValues::rangesOf(const KMeansResult& clusters) const {
  const std::size_t K = clusters.memberCounts.size();
  if (!usable_ || clusters.assignment.size() != values_.size())
    return std::nullopt;
  std::vector<double> lowest(K, 0.0), highest(K, 0.0);
  std::vector<bool> seen(K, false);
  for (std::size_t p = 0; p < values_.size(); ++p) {
    const auto j = static_cast<std::size_t>(clusters.assignment[p]);
    const double x = values_[p];
    lowest[j] = seen[j] ? std::min(lowest[j], x) : x;
    highest[j] = seen[j] ? std::max(highest[j], x) : x;
    seen[j] = true;
  }
  if (std::find(seen.begin(), seen.end(), false) != seen.end())
    return std::nullopt;
  std::vector<int> order(K);
  std::iota(order.begin(), order.end(), 0);
  std::sort(order.begin(), order.end(), [&](int x, int y) { return lowest[x] < lowest[y]; });
  std::vector<SortedRange> ranges(K);
  std::size_t begin = 0;
  for (std::size_t r = 0; r < K; ++r) {
    if (r > 0 && !(highest[order[r - 1]] < lowest[order[r]]))
      return std::nullopt; // interleaved clusters
    const auto members = static_cast<std::size_t>(clusters.memberCounts[order[r]]);
    ranges[order[r]] = SortedRange{begin, begin + members};
    begin += members;
  }
  return ranges;
}

KMeansResult SortedValues::materialise(const SortedClusters& clusters) const {
  KMeansResult result;
  result.assignment = clusterOfEachValue(clusters.ranges);
  const std::size_t K = clusters.ranges.size();
  std::vector<double> sums(K, 0.0);
  for (std::size_t p = 0; p < values_.size(); ++p)
    sums[result.assignment[p]] += values_[p];
  result.centres.resize(K);
  result.memberCounts.resize(K);
  for (std::size_t j = 0; j < K; ++j) {
    result.memberCounts[j] = static_cast<std::int32_t>(clusters.ranges[j].size());
    result.centres[j] = sums[j] / static_cast<double>(clusters.ranges[j].size());
  }
  result.iterations = clusters.iterations;
  return result;
}

} // namespace vornel
