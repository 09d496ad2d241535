#include "classes/KMeans.hpp"
#include "core/Errors.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace vornel {
namespace {

// ---------------------------------------------------------------------------
// A literal record-layout k-means: fixed 256-coordinate records, one member
// buffer of N indices per cluster, no relocation of empty clusters. The flat
// implementation must agree with it whenever it ends with no empty cluster.

struct RecordPoint {
  int dimension = 0;
  std::array<double, 256> coordinates{};
  int cluster = -1;
};

struct RecordCluster {
  int memberCount = 0;
  RecordPoint centre;
  std::vector<int> members;
};

double recordDistance(const RecordPoint& a, const RecordPoint& b) {
  double sum = 0.0;
  for (int t = 0; t < a.dimension; ++t)
    sum += (a.coordinates[t] - b.coordinates[t]) * (a.coordinates[t] - b.coordinates[t]);
  return std::sqrt(sum);
}

int recordStep(std::vector<RecordPoint>& points, std::vector<RecordCluster>& clusters) {
  int converged = 1;
  const int d = points[0].dimension;
  for (RecordCluster& cluster : clusters) {
    if (cluster.memberCount == 0)
      continue;
    for (int t = 0; t < d; ++t) {
      double sum = 0.0;
      for (int m = 0; m < cluster.memberCount; ++m)
        sum += points[cluster.members[m]].coordinates[t];
      const double mean = sum / cluster.memberCount;
      if (mean != cluster.centre.coordinates[t])
        converged = 0;
      cluster.centre.coordinates[t] = mean;
    }
  }
  for (RecordCluster& cluster : clusters)
    cluster.memberCount = 0;
  for (int p = 0; p < static_cast<int>(points.size()); ++p) {
    double best = 1e20;
    int bestCluster = 0;
    for (int j = 0; j < static_cast<int>(clusters.size()); ++j) {
      const double distance = recordDistance(points[p], clusters[j].centre);
      if (distance < best) {
        best = distance;
        bestCluster = j;
      }
    }
    RecordCluster& chosen = clusters[bestCluster];
    chosen.members[chosen.memberCount++] = p;
  }
  return converged;
}

struct RecordResult {
  std::vector<std::int32_t> assignment;
  std::vector<double> centres;
  int iterations = 0;
  bool endsWithEmptyCluster = false;
};

RecordResult recordKMeans(const std::vector<double>& flat, int dimension, int K, unsigned seed) {
  const int N = static_cast<int>(flat.size()) / dimension;
  std::vector<RecordPoint> points(N);
  for (int p = 0; p < N; ++p) {
    points[p].dimension = dimension;
    std::copy_n(&flat[p * dimension], dimension, points[p].coordinates.begin());
  }
  RandomGenerator rng(seed);
  std::vector<int> seeds;
  while (static_cast<int>(seeds.size()) < K) {
    const int r = rng.next() % N;
    if (std::find(seeds.begin(), seeds.end(), r) == seeds.end())
      seeds.push_back(r);
  }
  std::vector<RecordCluster> clusters(K);
  for (int i = 0; i < K; ++i) {
    clusters[i].members.resize(N);
    clusters[i].centre = points[seeds[i]];
  }
  for (int p = 0; p < N; ++p) {
    double best = recordDistance(points[p], clusters[0].centre);
    int bestCluster = 0;
    for (int j = 1; j < K; ++j) {
      const double distance = recordDistance(points[p], clusters[j].centre);
      if (distance < best) {
        best = distance;
        bestCluster = j;
      }
    }
    clusters[bestCluster].members[clusters[bestCluster].memberCount++] = p;
  }
  RecordResult result;
  do
    ++result.iterations;
  while (!recordStep(points, clusters));

  result.assignment.assign(N, -1);
  for (int j = 0; j < K; ++j) {
    result.endsWithEmptyCluster |= clusters[j].memberCount == 0;
    for (int m = 0; m < clusters[j].memberCount; ++m)
      result.assignment[clusters[j].members[m]] = j;
    result.centres.insert(result.centres.end(), clusters[j].centre.coordinates.begin(),
                          clusters[j].centre.coordinates.begin() + dimension);
  }
  return result;
}

// ---------------------------------------------------------------------------

/// The seed point indices kmeans draws with this generator seed.
std::vector<std::size_t> drawnSeeds(unsigned seed, std::size_t N, int K) {
  RandomGenerator rng(seed);
  std::vector<std::size_t> seeds;
  while (static_cast<int>(seeds.size()) < K) {
    const std::size_t r = static_cast<std::size_t>(rng.next()) % N;
    if (std::find(seeds.begin(), seeds.end(), r) == seeds.end())
      seeds.push_back(r);
  }
  return seeds;
}

/// The first generator seed whose drawn seed values satisfy the predicate.
unsigned findGeneratorSeed(const std::vector<double>& values, int K,
                           const std::function<bool(const std::vector<double>&)>& wanted) {
  for (unsigned seed = 1; seed < 200000; ++seed) {
    std::vector<double> seedValues;
    for (const std::size_t index : drawnSeeds(seed, values.size(), K))
      seedValues.push_back(values[index]);
    if (wanted(seedValues))
      return seed;
  }
  ADD_FAILURE() << "no generator seed gives the wanted seed values";
  return 0;
}

KMeansResult run(const std::vector<double>& values, int K, unsigned seed, int dimension = 1) {
  RandomGenerator rng(seed);
  return kmeans(values, dimension, K, rng);
}

std::vector<double> randomValues(std::size_t count, unsigned seed, bool quantised) {
  std::mt19937 engine(seed);
  std::vector<double> values(count);
  for (double& value : values)
    value = quantised ? static_cast<double>(engine() % 21)
                      : static_cast<double>(engine()) / 4294967296.0 * 50.0;
  return values;
}

TEST(KMeans, OneClusterTakesTheMeanOfAllPoints) {
  const std::vector<double> values{1.0, 2.0, 4.0, 8.0};
  const KMeansResult result = run(values, 1, 3);
  EXPECT_EQ(result.assignment, (std::vector<std::int32_t>{0, 0, 0, 0}));
  ASSERT_EQ(result.centres.size(), 1u);
  EXPECT_EQ(result.centres[0], 3.75);
  EXPECT_EQ(result.memberCounts, (std::vector<std::int32_t>{4}));
  // The seed is one of the points, none of which is the mean: the first
  // iteration moves the centre, the second finds it settled.
  EXPECT_EQ(result.iterations, 2);
  EXPECT_FALSE(result.hitIterationCap);
}

TEST(KMeans, AsManyDistinctPointsAsClustersEachKeepTheirSeed) {
  const std::vector<double> values{5.0, -1.0, 3.5, 12.0, 0.25};
  for (const unsigned seed : {1u, 2u, 99u}) {
    const std::vector<std::size_t> seeds = drawnSeeds(seed, values.size(), 5);
    const KMeansResult result = run(values, 5, seed);
    for (int j = 0; j < 5; ++j) {
      EXPECT_EQ(result.assignment[seeds[j]], j);
      EXPECT_EQ(result.centres[j], values[seeds[j]]);
      EXPECT_EQ(result.memberCounts[j], 1);
    }
    EXPECT_EQ(result.iterations, 1);
  }
}

TEST(KMeans, TwoGroupsByHand) {
  const std::vector<double> values{1.0, 2.0, 3.0, 10.0, 11.0, 12.0};
  // First seed in the low group, second in the high one, not both on the
  // final centres 2 and 11.
  const unsigned seed = findGeneratorSeed(values, 2, [](const std::vector<double>& s) {
    return s[0] <= 3.0 && s[1] >= 10.0 && !(s[0] == 2.0 && s[1] == 11.0);
  });
  const KMeansResult result = run(values, 2, seed);
  EXPECT_EQ(result.assignment, (std::vector<std::int32_t>{0, 0, 0, 1, 1, 1}));
  EXPECT_EQ(result.centres, (std::vector<double>{2.0, 11.0}));
  EXPECT_EQ(result.iterations, 2);
}

TEST(KMeans, EquidistantPointGoesToTheLowerCluster) {
  const std::vector<double> values{0.0, 1.0, 2.0};
  // Seeds 0 and 2 in either order: point 1 ties and joins cluster 0, whose
  // centre then moves towards it.
  const unsigned lowFirst = findGeneratorSeed(
      values, 2, [](const std::vector<double>& s) { return s[0] == 0.0 && s[1] == 2.0; });
  const KMeansResult a = run(values, 2, lowFirst);
  EXPECT_EQ(a.assignment, (std::vector<std::int32_t>{0, 0, 1}));
  EXPECT_EQ(a.centres, (std::vector<double>{0.5, 2.0}));

  const unsigned highFirst = findGeneratorSeed(
      values, 2, [](const std::vector<double>& s) { return s[0] == 2.0 && s[1] == 0.0; });
  const KMeansResult b = run(values, 2, highFirst);
  EXPECT_EQ(b.assignment, (std::vector<std::int32_t>{1, 0, 0}));
  EXPECT_EQ(b.centres, (std::vector<double>{1.5, 0.0}));
}

TEST(KMeans, DistancesAreComparedAfterTheSquareRoot) {
  // From the origin, (1, 2^-26, 0) lies at squared distance 1 + 2^-52 and
  // (1, 0, 0) at 1; both roots round to 1.0, so the origin ties and joins the
  // lower cluster. Comparing squared distances would send it the other way.
  const double tiny = std::ldexp(1.0, -26);
  const std::vector<double> points{0.0, 0.0, 0.0, 1.0, tiny, 0.0, 1.0, 0.0, 0.0};
  unsigned seed = 1;
  while (drawnSeeds(seed, 3, 2) != std::vector<std::size_t>{1, 2})
    ++seed;
  const KMeansResult result = run(points, 2, seed, 3);
  EXPECT_EQ(result.assignment, (std::vector<std::int32_t>{0, 1, 1}));
  EXPECT_EQ(result.centres, (std::vector<double>{0.0, 0.0, 0.0, 1.0, tiny / 2.0, 0.0}));
  EXPECT_EQ(result.iterations, 3);
}

TEST(KMeans, IdenticalValuesShareACluster) {
  const std::vector<double> values = randomValues(500, 11, true);
  for (const unsigned seed : {1u, 5u, 77u, 1234u}) {
    const KMeansResult result = run(values, 6, seed);
    for (std::size_t p = 0; p < values.size(); ++p)
      for (std::size_t q = p + 1; q < values.size(); ++q)
        if (values[p] == values[q]) {
          ASSERT_EQ(result.assignment[p], result.assignment[q])
              << "values " << values[p] << ", seed " << seed;
        }
  }
}

TEST(KMeans, SameSeedSameResult) {
  const std::vector<double> values = randomValues(2000, 3, false);
  const KMeansResult a = run(values, 4, 2024);
  const KMeansResult b = run(values, 4, 2024);
  EXPECT_EQ(a.assignment, b.assignment);
  EXPECT_EQ(a.centres, b.centres);
  EXPECT_EQ(a.iterations, b.iterations);
}

TEST(KMeans, FewerPointsThanClustersIsAnError) {
  const std::vector<double> values{1.0, 2.0};
  RandomGenerator rng(1);
  try {
    kmeans(values, 1, 3, rng);
    FAIL() << "no error";
  } catch (const InvalidInputError& error) {
    const std::string message = error.what();
    EXPECT_NE(message.find('2'), std::string::npos) << message;
    EXPECT_NE(message.find('3'), std::string::npos) << message;
  }
}

TEST(KMeans, FewerDistinctValuesThanClustersIsAnError) {
  const std::vector<double> values{1.0, 1.0, 2.0, 2.0, 2.0, 1.0};
  RandomGenerator rng(1);
  try {
    kmeans(values, 1, 3, rng);
    FAIL() << "no error";
  } catch (const InvalidInputError& error) {
    EXPECT_STREQ(error.what(), "the attribute holds only 2 distinct values; cannot make 3 classes");
  }
  RandomGenerator again(1);
  EXPECT_NO_THROW(kmeans(values, 1, 2, again));
}

TEST(KMeans, EmptyClusterIsMovedToTheWorstFittedPoint) {
  const std::vector<double> values{0.0, 0.0, 5.0, 7.5, 7.5, 10.0};
  // Seeds 0, 7.5, 7.5: the third cluster ties with the second on every point
  // and, left alone, would end empty.
  const unsigned seed = findGeneratorSeed(values, 3, [](const std::vector<double>& s) {
    return s == std::vector<double>{0.0, 7.5, 7.5};
  });
  ASSERT_TRUE(recordKMeans(values, 1, 3, seed).endsWithEmptyCluster);

  // Settled as {0, 0} {5, 7.5, 7.5, 10}; the points farthest from their own
  // centre are 5 and 10 (2.5 each), the lower index wins: the empty cluster
  // restarts on 5 and the refinement goes on.
  const KMeansResult result = run(values, 3, seed);
  EXPECT_EQ(result.assignment, (std::vector<std::int32_t>{0, 0, 2, 1, 1, 1}));
  EXPECT_EQ(result.centres, (std::vector<double>{0.0, 25.0 / 3.0, 5.0}));
  EXPECT_EQ(result.memberCounts, (std::vector<std::int32_t>{2, 3, 1}));
  EXPECT_FALSE(result.hitIterationCap);
}

TEST(KMeans, EmptyClusterBesidePureClustersAtBothEnds) {
  // Both extremes are clusters of equal values sitting on their centres; the
  // empty cluster must go to a point that is off its centre (4, before 6).
  const std::vector<double> values{0.0, 0.0, 10.0, 10.0, 4.0, 5.0, 5.0, 6.0};
  const unsigned seed = findGeneratorSeed(values, 4, [](const std::vector<double>& s) {
    return s == std::vector<double>{0.0, 10.0, 5.0, 5.0};
  });
  ASSERT_TRUE(recordKMeans(values, 1, 4, seed).endsWithEmptyCluster);
  const KMeansResult result = run(values, 4, seed);
  EXPECT_EQ(result.assignment, (std::vector<std::int32_t>{0, 0, 1, 1, 3, 2, 2, 2}));
  EXPECT_EQ(result.centres, (std::vector<double>{0.0, 10.0, 16.0 / 3.0, 4.0}));
  EXPECT_FALSE(result.hitIterationCap);
}

TEST(KMeans, EveryClusterEndsNonEmptyAndSettled) {
  int emptyCases = 0;
  for (unsigned data = 0; data < 40; ++data) {
    std::vector<double> values = randomValues(30, data, true);
    for (double& v : values)
      v = std::floor(v / 4.0); // values 0 .. 5, many repeats
    const int K = static_cast<int>(std::set<double>(values.begin(), values.end()).size());
    for (unsigned seed = 1; seed <= 20; ++seed) {
      emptyCases += recordKMeans(values, 1, K, seed).endsWithEmptyCluster;
      const KMeansResult result = run(values, K, seed);
      ASSERT_FALSE(result.hitIterationCap);
      for (int j = 0; j < K; ++j)
        ASSERT_GT(result.memberCounts[j], 0) << "data " << data << ", seed " << seed;
      // Settled: each centre is its members' mean.
      std::vector<double> sums(K, 0.0);
      for (std::size_t p = 0; p < values.size(); ++p)
        sums[result.assignment[p]] += values[p];
      for (int j = 0; j < K; ++j)
        EXPECT_EQ(result.centres[j], sums[j] / result.memberCounts[j]);
    }
  }
  EXPECT_GT(emptyCases, 0); // the data really exercise the relocation
}

TEST(KMeans, IterationCapStopsTheRefinement) {
  const std::vector<double> values = randomValues(1000, 8, false);
  RandomGenerator rng(4);
  KMeansOptions options;
  options.maxIterations = 1;
  const KMeansResult result = kmeans(values, 1, 5, rng, options);
  EXPECT_TRUE(result.hitIterationCap);
  EXPECT_EQ(result.iterations, 1);
}

void expectSameAsRecordLayout(int dimension, bool quantised, double scale = 1.0) {
  int compared = 0;
  for (unsigned data = 0; data < 6; ++data) {
    std::vector<double> values = randomValues(600 * dimension, 100 + data, quantised);
    for (double& value : values)
      value *= scale;
    for (const int K : {2, 3, 5, 8}) {
      const unsigned seed = 17 + data * 31 + K;
      const RecordResult expected = recordKMeans(values, dimension, K, seed);
      if (expected.endsWithEmptyCluster)
        continue;
      const KMeansResult actual = run(values, K, seed, dimension);
      ASSERT_EQ(actual.assignment, expected.assignment) << "data " << data << ", K " << K;
      ASSERT_EQ(actual.centres, expected.centres) << "data " << data << ", K " << K;
      ASSERT_EQ(actual.iterations, expected.iterations) << "data " << data << ", K " << K;
      ++compared;
    }
  }
  EXPECT_GT(compared, 15);
}

TEST(KMeans, FlatLayoutMatchesRecordLayoutInOneDimension) {
  expectSameAsRecordLayout(1, false);
  expectSameAsRecordLayout(1, true);
}

TEST(KMeans, FlatLayoutMatchesRecordLayoutForTinyAndHugeValues) {
  // Squared differences that underflow or overflow: the roots no longer
  // equal the differences and ties fall differently.
  expectSameAsRecordLayout(1, false, 1e-160);
  expectSameAsRecordLayout(1, true, 1e-160);
  expectSameAsRecordLayout(1, false, 1e160);
}

TEST(KMeans, FlatLayoutMatchesRecordLayoutInThreeDimensions) {
  expectSameAsRecordLayout(3, false);
  expectSameAsRecordLayout(3, true);
}

} // namespace
} // namespace vornel
