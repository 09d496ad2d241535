// K-means in one dimension runs on the sorted values; it must give exactly
// what full passes over the points give, and leave the generator alike.

#include "classes/SortedKMeans.hpp"
#include "NoisyValues.hpp"
#include "classes/KMeans.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

namespace vornel {
namespace {

/// Compares kmeans() with full passes; returns whether the sorted values
/// decided the start themselves.
bool expectSameAsFullPasses(const std::vector<double>& values, int K, unsigned seed) {
  RandomGenerator sortedRng(seed);
  RandomGenerator fullRng(seed);
  const KMeansResult actual = kmeans(values, 1, K, sortedRng);
  const KMeansResult expected = kmeansByFullPasses(values, 1, K, fullRng);
  EXPECT_EQ(actual.assignment, expected.assignment);
  EXPECT_EQ(actual.centres, expected.centres); // bit for bit
  EXPECT_EQ(actual.memberCounts, expected.memberCounts);
  EXPECT_EQ(actual.iterations, expected.iterations);
  EXPECT_EQ(actual.hitIterationCap, expected.hitIterationCap);
  EXPECT_EQ(sortedRng.next(), fullRng.next());

  RandomGenerator seeds(seed);
  const SortedValues sorted(values);
  return sorted.shortcutUsable() &&
         sorted.lloyd(drawSeedValues(values, K, seeds), KMeansOptions{}.maxIterations).has_value();
}

TEST(SortedKMeans, NoisyBandsGiveTheFullPassResult) {
  int decidedOnSortedValues = 0;
  int cases = 0;
  for (const int K : {2, 3, 5, 8})
    for (unsigned seed = 1; seed <= 4; ++seed) {
      SCOPED_TRACE("K " + std::to_string(K) + " seed " + std::to_string(seed));
      decidedOnSortedValues +=
          expectSameAsFullPasses(testing::noisyClasses(20000, 3, 0.25, seed), K, seed);
      ++cases;
    }
  EXPECT_GT(decidedOnSortedValues, cases / 2); // the sorted values really did the work
}

TEST(SortedKMeans, RepeatsAndSignedZerosGiveTheFullPassResult) {
  // Few distinct values: seeds share values, clusters empty and are moved by
  // full passes. Signed zeros compare equal but sort apart.
  std::mt19937 engine(3);
  std::vector<double> values;
  for (int i = 0; i < 5000; ++i) {
    const int r = static_cast<int>(engine() % 7) - 3;
    values.push_back(r == 0 && (engine() & 1) ? -0.0 : static_cast<double>(r));
  }
  for (const int K : {2, 4, 7})
    for (unsigned seed = 1; seed <= 6; ++seed) {
      SCOPED_TRACE("K " + std::to_string(K) + " seed " + std::to_string(seed));
      expectSameAsFullPasses(values, K, seed);
    }
}

TEST(SortedKMeans, IntegerValuesWithExactTiesGiveTheFullPassResult) {
  // Every integer from 0 to 11 equally often: the means of runs of them often
  // lie exactly as far from a value on either side, a tie that only the exact
  // sums can settle (the bounds of the approximate ones leave it in doubt).
  std::vector<double> values;
  for (int i = 0; i < 2004; ++i)
    values.push_back(static_cast<double>(i % 12));
  std::shuffle(values.begin(), values.end(), std::mt19937(21));
  int decidedOnSortedValues = 0;
  int cases = 0;
  for (const int K : {3, 4, 5})
    for (unsigned seed = 1; seed <= 40; ++seed) {
      SCOPED_TRACE("K " + std::to_string(K) + " seed " + std::to_string(seed));
      decidedOnSortedValues += expectSameAsFullPasses(values, K, seed);
      ++cases;
    }
  EXPECT_GT(decidedOnSortedValues, cases / 2);
}

TEST(SortedKMeans, ValuesOutsideTheShortcutsRangeUseFullPasses) {
  std::vector<double> values = testing::noisyClasses(2000, 2, 0.3, 8);
  values[17] = 1e300; // beyond the magnitudes the shortcut decides exactly
  const SortedValues sorted(values);
  EXPECT_FALSE(sorted.shortcutUsable());
  expectSameAsFullPasses(values, 3, 5);
}

} // namespace
} // namespace vornel
