// Linear-time sorting of doubles against std::sort.

#include "classes/RadixSort.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace vornel {
namespace {

void expectSortedLikeStdSort(const std::vector<double>& values) {
  std::vector<double> expected = values;
  std::sort(expected.begin(), expected.end());
  const std::vector<double> sorted = radixSorted(values);
  ASSERT_EQ(sorted.size(), expected.size());
  for (std::size_t i = 0; i < sorted.size(); ++i)
    ASSERT_EQ(sorted[i], expected[i]) << "position " << i;
  EXPECT_TRUE(std::is_sorted(sorted.begin(), sorted.end()));
}

TEST(RadixSort, MixedSignsMagnitudesAndRepeats) {
  std::mt19937_64 engine(5);
  std::vector<double> values;
  for (int i = 0; i < 20000; ++i) {
    const double magnitude = std::ldexp(static_cast<double>(engine() >> 11), -52) *
                             std::ldexp(1.0, static_cast<int>(engine() % 200) - 100);
    values.push_back((engine() & 1) ? -magnitude : magnitude);
  }
  for (int i = 0; i < 3000; ++i)
    values.push_back(values[engine() % values.size()]); // repeats
  const double infinity = std::numeric_limits<double>::infinity();
  values.insert(values.end(), {0.0, -infinity, infinity, std::numeric_limits<double>::denorm_min(),
                               -std::numeric_limits<double>::max(), 1.0, -1.0});
  expectSortedLikeStdSort(values);
}

TEST(RadixSort, WidenedFloatsSortOnThirtyTwoBitKeys) {
  std::mt19937 engine(9);
  std::normal_distribution<double> noise(0.0, 0.25);
  std::vector<double> values;
  for (int i = 0; i < 50000; ++i)
    values.push_back(static_cast<float>(i % 3 + noise(engine)));
  const double infinity = std::numeric_limits<double>::infinity();
  values.insert(values.end(), {infinity, -infinity, -0.0, 0.0, double{3.0e38f}, double{-1.0e-38f}});
  expectSortedLikeStdSort(values);
  values.push_back(0.1); // not a float: the whole array takes 64-bit keys
  expectSortedLikeStdSort(values);
  expectSortedLikeStdSort(std::vector<double>(1000, 2.5)); // one value everywhere
}

TEST(RadixSort, NegativeZeroBeforeZero) {
  for (const std::size_t count : {30u, 300u}) { // below and above the short-input cut
    std::vector<double> values(count, 0.0);
    for (std::size_t i = 0; i < values.size(); i += 3)
      values[i] = -0.0;
    const std::vector<double> sorted = radixSorted(values);
    for (std::size_t i = 0; i < sorted.size(); ++i)
      EXPECT_EQ(std::signbit(sorted[i]), i < count / 3) << count << " values, position " << i;
  }
}

TEST(RadixSort, ShortAndEmptyInputs) {
  expectSortedLikeStdSort({});
  expectSortedLikeStdSort({3.0});
  expectSortedLikeStdSort({3.0, -2.0, 7.5, -2.0});
}

} // namespace
} // namespace vornel
