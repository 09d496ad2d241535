#include "classes/KMeans.hpp"

#include "classes/SortedKMeans.hpp"
#include "core/Errors.hpp"
#include "core/Parallel.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <optional>
#include <string>

namespace vornel {

namespace {

/// Sum of the squared coordinate differences, accumulated from 0.0 in
/// coordinate order; its square root is the Euclidean distance.
inline double squaredDistance(const double* point, const double* centre, int dimension) {
  double sum = 0.0;
  for (int t = 0; t < dimension; ++t) {
    const double difference = point[t] - centre[t];
    sum += difference * difference;
  }
  return sum;
}

inline double distance(const double* point, const double* centre, int dimension) {
  return std::sqrt(squaredDistance(point, centre, dimension));
}

bool samePoint(const double* a, const double* b, int dimension) {
  for (int t = 0; t < dimension; ++t)
    if (!(a[t] == b[t]))
      return false;
  return true;
}

/// The number of distinct points, counted only up to limit: the scan stops
/// as soon as limit distinct points are found.
int countDistinctPoints(const std::vector<double>& points, std::size_t count, int dimension,
                        int limit) {
  std::vector<std::size_t> representatives;
  for (std::size_t p = 0; p < count && static_cast<int>(representatives.size()) < limit; ++p) {
    const double* point = &points[p * dimension];
    const bool seen =
        std::any_of(representatives.begin(), representatives.end(), [&](std::size_t r) {
          return samePoint(&points[r * dimension], point, dimension);
        });
    if (!seen)
      representatives.push_back(p);
  }
  return static_cast<int>(representatives.size());
}

void checkArguments(const std::vector<double>& points, int dimension, int K) {
  if (dimension < 1)
    throw InvalidInputError("k-means needs a dimension of at least 1, got " +
                            std::to_string(dimension));
  if (K < 1)
    throw InvalidInputError("cannot make " + std::to_string(K) + " classes; at least 1 is needed");
  if (points.size() % static_cast<std::size_t>(dimension) != 0)
    throw InvalidInputError(std::to_string(points.size()) +
                            " coordinates do not make whole points of dimension " +
                            std::to_string(dimension));
  const std::size_t count = points.size() / static_cast<std::size_t>(dimension);
  if (count < static_cast<std::size_t>(K))
    throw InvalidInputError("the attribute holds only " + std::to_string(count) +
                            " values; cannot make " + std::to_string(K) + " classes");
  const int distinct = countDistinctPoints(points, count, dimension, K);
  if (distinct < K)
    throw InvalidInputError("the attribute holds only " + std::to_string(distinct) +
                            " distinct values; cannot make " + std::to_string(K) + " classes");
}

/// Lloyd iterations on flat arrays: centres K x dimension, one cluster index
/// per point. Member lists are implicit: a cluster's members are the points
/// carrying its index, visited in ascending point order.
class Lloyd {
public:
  Lloyd(const std::vector<double>& points, int dimension, int K)
      : points_(points), dimension_(dimension), K_(K), count_(points.size() / dimension),
        centres_(static_cast<std::size_t>(K) * dimension), sums_(centres_.size()), counts_(K, 0),
        assignment_(count_, 0),
        pointsModerate_(std::all_of(points.begin(), points.end(), isModerate)) {}

  /// K distinct seed points by rejection, in drawing order.
  void chooseSeeds(RandomGenerator& rng) {
    const std::vector<std::size_t> seeds = drawSeedIndices(count_, K_, rng);
    for (int j = 0; j < K_; ++j)
      std::copy_n(&points_[seeds[j] * dimension_], dimension_, &centres_[j * dimension_]);
  }

  /// Centres given by the caller (K x dimension coordinates).
  void startFrom(const std::vector<double>& centres) {
    std::copy(centres.begin(), centres.end(), centres_.begin());
  }

  /// The first assignment starts from cluster 0's own distance.
  void assignInitial() { assignAll(false); }

  /// One refinement iteration; true when no centre changed.
  bool step() {
    const bool converged = updateCentres();
    assignAll(true);
    return converged;
  }

  /// Moves every empty cluster's centre onto the point lying farthest from
  /// its own cluster's centre (ties to the lowest point index, each point used
  /// at most once per round) and reassigns. False when no cluster was empty.
  bool relocateEmptyClusters() {
    std::vector<std::size_t> chosen;
    for (int j = 0; j < K_; ++j) {
      if (counts_[j] != 0)
        continue;
      const std::size_t p = farthestPointFromOwnCentre(chosen);
      chosen.push_back(p);
      std::copy_n(&points_[p * dimension_], dimension_, &centres_[j * dimension_]);
    }
    if (chosen.empty())
      return false;
    assignAll(true);
    return true;
  }

  KMeansResult result(int iterations, bool hitCap) && {
    KMeansResult r;
    r.assignment = std::move(assignment_);
    r.centres = std::move(centres_);
    r.memberCounts = std::move(counts_);
    r.iterations = iterations;
    r.hitIterationCap = hitCap;
    return r;
  }

private:
  /// Each non-empty cluster's centre becomes the mean of its members, summed
  /// in ascending point order; an empty cluster keeps its centre.
  bool updateCentres() {
    std::fill(sums_.begin(), sums_.end(), 0.0);
    for (std::size_t p = 0; p < count_; ++p) {
      double* sum = &sums_[static_cast<std::size_t>(assignment_[p]) * dimension_];
      const double* point = &points_[p * dimension_];
      for (int t = 0; t < dimension_; ++t)
        sum[t] += point[t];
    }
    bool converged = true;
    for (int j = 0; j < K_; ++j) {
      if (counts_[j] == 0)
        continue;
      const double members = static_cast<double>(counts_[j]);
      for (int t = 0; t < dimension_; ++t) {
        const std::size_t i = static_cast<std::size_t>(j) * dimension_ + t;
        const double mean = sums_[i] / members;
        if (mean != centres_[i])
          converged = false;
        centres_[i] = mean;
      }
    }
    return converged;
  }

  /// Every point to its nearest centre, in parallel; the member counts are
  /// summed per block and added in block order.
  void assignAll(bool fromSentinel) {
    const bool onLine = dimension_ == 1 && pointsModerate_ &&
                        std::all_of(centres_.begin(), centres_.end(), isModerate);
    counts_ = combineBlocks(
        count_, std::vector<std::int32_t>(K_, 0),
        [&](std::size_t begin, std::size_t end) {
          std::vector<std::int32_t> counts(K_, 0);
          for (std::size_t p = begin; p < end; ++p) {
            const int cluster =
                onLine ? nearestOnLine(points_[p], fromSentinel) : nearestCentre(p, fromSentinel);
            assignment_[p] = cluster;
            ++counts[cluster];
          }
          return counts;
        },
        [](std::vector<std::int32_t>& total, const std::vector<std::int32_t>& part) {
          for (std::size_t j = 0; j < total.size(); ++j)
            total[j] += part[j];
        });
  }

  /// The nearest centre, ties to the lowest index. With fromSentinel the best
  /// distance starts at 1e20 with cluster 0; otherwise at cluster 0's own
  /// distance. The square root is rounded, so two different squared sums can
  /// share one root: the squared sum only rules out candidates that cannot
  /// win, and every remaining one is decided on its root.
  int nearestCentre(std::size_t p, bool fromSentinel) const {
    const int d = dimension_;
    const double* point = &points_[p * d];
    int best = 0;
    int first = 0;
    double bestSquared = std::numeric_limits<double>::infinity();
    double bestDistance = 1e20;
    if (!fromSentinel) {
      bestSquared = squaredDistance(point, &centres_[0], d);
      bestDistance = std::sqrt(bestSquared);
      first = 1;
    }
    for (int j = first; j < K_; ++j) {
      const double squared = squaredDistance(point, &centres_[static_cast<std::size_t>(j) * d], d);
      if (!(squared < bestSquared))
        continue;
      const double candidate = std::sqrt(squared);
      if (candidate < bestDistance) {
        best = j;
        bestDistance = candidate;
        bestSquared = squared;
      }
    }
    return best;
  }

  /// In one dimension sqrt((p - c)^2) is exactly |p - c| whenever the square
  /// is a normal number (binary rounding to nearest). That holds for every
  /// difference when all points and centres are 0 or of a moderate magnitude
  /// (see exactInOneDimension); the distances are then compared as |p - c|
  /// without branching on them.
  int nearestOnLine(double x, bool fromSentinel) const {
    const double* centres = centres_.data();
    double bestDistance = fromSentinel ? 1e20 : std::fabs(x - centres[0]);
    int best = 0;
    for (int j = fromSentinel ? 0 : 1; j < K_; ++j) {
      const double distance = std::fabs(x - centres[j]);
      const bool closer = distance < bestDistance;
      best = closer ? j : best;
      bestDistance = closer ? distance : bestDistance;
    }
    return best;
  }

  /// 0, or a magnitude in [2^-458, 2^510]. Two such numbers are multiples of
  /// 2^-510 and differ by at most 2^511, so a difference of two is 0 or has a
  /// square that neither underflows nor overflows.
  static bool isModerate(double value) {
    const double magnitude = std::fabs(value);
    return value == 0.0 || (magnitude >= 0x1p-458 && magnitude <= 0x1p510);
  }

  std::size_t farthestPointFromOwnCentre(const std::vector<std::size_t>& excluded) const {
    std::size_t farthest = 0;
    double farthestDistance = -1.0;
    for (std::size_t p = 0; p < count_; ++p) {
      const double d =
          distance(&points_[p * dimension_],
                   &centres_[static_cast<std::size_t>(assignment_[p]) * dimension_], dimension_);
      if (d > farthestDistance &&
          std::find(excluded.begin(), excluded.end(), p) == excluded.end()) {
        farthest = p;
        farthestDistance = d;
      }
    }
    return farthest;
  }

  const std::vector<double>& points_;
  const int dimension_;
  const int K_;
  const std::size_t count_;
  std::vector<double> centres_;
  std::vector<double> sums_;
  std::vector<std::int32_t> counts_;
  std::vector<std::int32_t> assignment_;
  const bool pointsModerate_;
};

/// Lloyd iterations by full passes from the seeded lloyd's centres.
KMeansResult refineFromCentres(Lloyd& lloyd, const KMeansOptions& options) {
  lloyd.assignInitial();

  int iterations = 0;
  bool hitCap = false;
  // Refine until the centres settle; an empty cluster at that point is moved
  // and the refinement goes on, so that every cluster ends with members.
  do {
    bool converged = false;
    while (!converged && !hitCap) {
      if (iterations >= options.maxIterations) {
        hitCap = true;
        break;
      }
      converged = lloyd.step();
      ++iterations;
    }
  } while (!hitCap && lloyd.relocateEmptyClusters());
  return std::move(lloyd).result(iterations, hitCap);
}

/// Lloyd iterations by full passes, for checked arguments.
KMeansResult runFullPasses(const std::vector<double>& points, int dimension, int K,
                           RandomGenerator& rng, const KMeansOptions& options) {
  Lloyd lloyd(points, dimension, K);
  lloyd.chooseSeeds(rng);
  return refineFromCentres(lloyd, options);
}

/// The iterations on sorted values (one dimension, checked arguments); empty,
/// with rng as it was, when they cannot decide the start exactly. The sorted
/// values are released before the caller falls back to full passes.
std::optional<KMeansResult> runOnSortedValues(const std::vector<double>& values, int K,
                                              RandomGenerator& rng, const KMeansOptions& options) {
  const SortedValues sorted(values);
  if (!sorted.shortcutUsable())
    return std::nullopt;
  const RandomGenerator start = rng;
  const std::vector<double> seeds = drawSeedValues(values, K, rng);
  if (const std::optional<SortedClusters> clusters = sorted.lloyd(seeds, options.maxIterations))
    return sorted.materialise(*clusters);
  rng = start; // full passes draw the same seeds again
  return std::nullopt;
}

} // namespace

std::vector<std::size_t> drawSeedIndices(std::size_t count, int K, RandomGenerator& rng) {
  std::vector<std::size_t> seeds;
  seeds.reserve(static_cast<std::size_t>(K));
  while (static_cast<int>(seeds.size()) < K) {
    const std::size_t r = static_cast<std::size_t>(rng.next()) % count;
    if (std::find(seeds.begin(), seeds.end(), r) == seeds.end())
      seeds.push_back(r);
  }
  return seeds;
}

std::vector<double> drawSeedValues(const std::vector<double>& values, int K, RandomGenerator& rng) {
  std::vector<double> seedValues;
  for (const std::size_t s : drawSeedIndices(values.size(), K, rng))
    seedValues.push_back(values[s]);
  return seedValues;
}

KMeansResult kmeans(const std::vector<double>& points, int dimension, int K, RandomGenerator& rng,
                    const KMeansOptions& options) {
  checkArguments(points, dimension, K);
  if (dimension == 1)
    if (std::optional<KMeansResult> result = runOnSortedValues(points, K, rng, options))
      return std::move(*result);
  return runFullPasses(points, dimension, K, rng, options);
}

KMeansResult kmeansByFullPasses(const std::vector<double>& points, int dimension, int K,
                                RandomGenerator& rng, const KMeansOptions& options) {
  checkArguments(points, dimension, K);
  return runFullPasses(points, dimension, K, rng, options);
}

KMeansResult kmeansFromCentres(const std::vector<double>& points, int dimension,
                               const std::vector<double>& centres, const KMeansOptions& options) {
  const int K = static_cast<int>(centres.size() / static_cast<std::size_t>(dimension));
  checkArguments(points, dimension, K);
  Lloyd lloyd(points, dimension, K);
  lloyd.startFrom(centres);
  return refineFromCentres(lloyd, options);
}

} // namespace vornel
