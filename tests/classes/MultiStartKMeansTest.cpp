// Best of several k-means starts: every start is exactly kmeans() on the
// shared random stream, and the choice among them follows the sum of squares.

#include "classes/MultiStartKMeans.hpp"
#include "NoisyValues.hpp"
#include "core/Errors.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace vornel {
namespace {

void expectSameResult(const KMeansResult& actual, const KMeansResult& expected) {
  EXPECT_EQ(actual.assignment, expected.assignment);
  EXPECT_EQ(actual.centres, expected.centres); // bit for bit
  EXPECT_EQ(actual.memberCounts, expected.memberCounts);
  EXPECT_EQ(actual.iterations, expected.iterations);
  EXPECT_EQ(actual.hitIterationCap, expected.hitIterationCap);
}

/// Every start against kmeans() run the same number of times in a row on one
/// generator, and the generator left in the same state.
void expectEveryStartIsKmeans(const std::vector<double>& values, int K, unsigned seed) {
  MultiStartOptions options;
  options.keepEveryStart = true;
  RandomGenerator multi(seed);
  const MultiStartResult result = multiStartKMeans(values, K, multi, options);
  RandomGenerator single(seed);
  ASSERT_EQ(result.everyStart.size(), 10u);
  for (int s = 0; s < 10; ++s) {
    SCOPED_TRACE("start " + std::to_string(s));
    expectSameResult(result.everyStart[s], kmeans(values, 1, K, single));
  }
  EXPECT_EQ(multi.next(), single.next());
}

TEST(MultiStartKMeans, EveryStartIsTheDefaultKMeansOnTheSharedStream) {
  for (const int K : {2, 3, 5})
    for (unsigned seed = 1; seed <= 6; ++seed) {
      SCOPED_TRACE("K " + std::to_string(K) + " seed " + std::to_string(seed));
      expectEveryStartIsKmeans(testing::noisyClasses(4000, K, 1.0, seed), K, seed);
    }
}

TEST(MultiStartKMeans, StartsWithTiesAndEmptyClustersMatchToo) {
  // Few distinct values: seeds often share a value, which leaves a cluster
  // empty until kmeans() moves it.
  std::vector<double> values;
  for (int i = 0; i < 300; ++i)
    values.push_back((i * 7) % 5);
  for (unsigned seed = 1; seed <= 10; ++seed)
    expectEveryStartIsKmeans(values, 4, seed);
  expectEveryStartIsKmeans({3.0, 1.0, 2.0, 5.0, 4.0}, 5, 2); // N = K
}

TEST(MultiStartKMeans, ValuesBeyondTheShortcutsRangeMatchToo) {
  // Squared distances of about 1e-320 are subnormal: kmeans() then compares
  // rounded square roots, which the shortcut does not model.
  std::vector<double> values = testing::noisyClasses(200, 3, 0.5, 4);
  for (double& x : values)
    x *= 1e-160;
  expectEveryStartIsKmeans(values, 3, 9);
  values.push_back(1e300); // and a span beyond the reach of the shortcut
  expectEveryStartIsKmeans(values, 3, 9);
}

TEST(MultiStartKMeans, StartZeroIsTheDefaultResultWhenNoStartDoesBetter) {
  const std::vector<double> values = testing::noisyClasses(3000, 3, 0.1, 2);
  RandomGenerator multi(5), single(5);
  const MultiStartResult result = multiStartKMeans(values, 3, multi);
  ASSERT_EQ(result.starts.size(), 10u);
  // Well separated classes: every start finds the same partition, so the
  // first one is kept and it is kmeans()' own result.
  for (const StartSummary& start : result.starts)
    EXPECT_EQ(start.sumOfSquares, result.starts[0].sumOfSquares);
  EXPECT_EQ(result.chosenStart, 0);
  expectSameResult(result.best, kmeans(values, 1, 3, single));
}

TEST(MultiStartKMeans, KeepsTheStartWithTheSmallestSumOfSquares) {
  for (unsigned seed = 1; seed <= 8; ++seed) {
    const std::vector<double> values = testing::noisyClasses(2000, 5, 1.2, seed);
    MultiStartOptions options;
    options.keepEveryStart = true;
    RandomGenerator rng(seed);
    const MultiStartResult result = multiStartKMeans(values, 5, rng, options);
    double smallest = result.starts[0].sumOfSquares;
    for (const StartSummary& start : result.starts)
      smallest = std::min(smallest, start.sumOfSquares);
    EXPECT_EQ(result.starts[result.chosenStart].sumOfSquares, smallest);
    for (int s = 0; s < result.chosenStart; ++s)
      EXPECT_GT(result.starts[s].sumOfSquares, smallest); // first of the best
    expectSameResult(result.best, result.everyStart[result.chosenStart]);
  }
}

TEST(MultiStartKMeans, ChoiceSkipsEmptyStartsAndKeepsTheFirstOfEqualOnes) {
  const auto summary = [](double squares, bool empty) {
    StartSummary s;
    s.sumOfSquares = squares;
    s.hasEmptyClass = empty;
    return s;
  };
  EXPECT_EQ(chooseStart({summary(5, false), summary(3, false), summary(4, false)}), 1);
  EXPECT_EQ(chooseStart({summary(3, false), summary(3, false)}), 0);
  EXPECT_EQ(chooseStart({summary(5, false), summary(1, true), summary(4, false)}), 2);
  EXPECT_EQ(chooseStart({summary(1, true), summary(2, false)}), 1);
  EXPECT_EQ(chooseStart({summary(1, true), summary(2, true)}), -1);
}

TEST(MultiStartKMeans, RefusesWhatKMeansRefuses) {
  RandomGenerator rng(1);
  EXPECT_THROW(multiStartKMeans({1.0, 2.0}, 3, rng), InvalidInputError);
  EXPECT_THROW(multiStartKMeans({1.0, 1.0, 2.0, 2.0}, 3, rng), InvalidInputError);
}

/// Four well separated blobs of 2-D points, blob b centred at (b % 2, b / 2) * 10.
std::vector<double> fourBlobs(std::size_t count, unsigned seed) {
  std::mt19937 engine(seed);
  std::normal_distribution<double> gaussian(0.0, 1.0);
  std::vector<double> points;
  for (std::size_t p = 0; p < count; ++p) {
    points.push_back(10.0 * static_cast<double>(p % 2) + gaussian(engine));
    points.push_back(10.0 * static_cast<double>(p / 2 % 2) + gaussian(engine));
  }
  return points;
}

TEST(SampledMultiStartKMeans, SmallInputsRunEveryStartOnEveryPoint) {
  const std::vector<double> points = fourBlobs(400, 3);
  RandomGenerator sampled(7);
  RandomGenerator full(7);
  expectSameResult(sampledMultiStartKMeans(points, 2, 4, 400, sampled).best,
                   multiStartKMeansOf(points, 2, 4, full).best);
}

TEST(SampledMultiStartKMeans, EndsWithTheRunOnEveryPointSettled) {
  const std::vector<double> points = fourBlobs(5000, 4);
  RandomGenerator rng(8);
  const KMeansResult best = sampledMultiStartKMeans(points, 2, 4, 300, rng).best;
  ASSERT_EQ(best.assignment.size(), 5000u);
  // The run on every point settled: re-running it from its own centres keeps it.
  expectSameResult(kmeansFromCentres(points, 2, best.centres),
                   {best.assignment, best.centres, best.memberCounts, 1, false});
  for (const std::int32_t members : best.memberCounts)
    EXPECT_EQ(members, 1250);
}

TEST(SampledMultiStartKMeans, ASampleOfRepeatedPointsFallsBackToEveryPoint) {
  // Every sampled point (each tenth) is the same; the others tell two classes.
  std::vector<double> points;
  for (int p = 0; p < 1000; ++p) {
    points.push_back(p % 10 == 0 ? 0.0 : static_cast<double>(p % 2));
    points.push_back(0.0);
  }
  RandomGenerator rng(5);
  EXPECT_EQ(sampledMultiStartKMeans(points, 2, 2, 100, rng).best.assignment.size(), 1000u);
}

} // namespace
} // namespace vornel
