#include "app/report/ValueHistogram.hpp"

#include <gtest/gtest.h>

#include <numeric>

namespace vornel {
namespace {

std::int64_t binTotal(const ValueHistogram& histogram, int bin) {
  std::int64_t total = 0;
  for (const auto& row : histogram.counts)
    total += row[static_cast<std::size_t>(bin)];
  return total;
}

TEST(ValueHistogram, EveryVertexIsCountedOnceInItsClassRow) {
  std::vector<float> values;
  std::vector<std::int32_t> labels;
  for (int v = 0; v < 1000; ++v) {
    values.push_back(static_cast<float>(v % 97) * 0.5f - 3.0f);
    labels.push_back(v % 3);
  }
  const ValueHistogram histogram = valueHistogram(values, labels, 3);
  EXPECT_EQ(histogram.total(), 1000);
  ASSERT_EQ(histogram.counts.size(), 3u);
  for (int c = 0; c < 3; ++c) {
    const auto& row = histogram.counts[static_cast<std::size_t>(c)];
    const std::int64_t classTotal = std::accumulate(row.begin(), row.end(), std::int64_t{0});
    EXPECT_EQ(classTotal, c == 0 ? 334 : 333) << "class " << c;
  }
  EXPECT_EQ(histogram.binCount, 32); // ceil(sqrt(1000))
  EXPECT_DOUBLE_EQ(histogram.low, -3.0);
  EXPECT_DOUBLE_EQ(histogram.low + histogram.binCount * histogram.binWidth, 45.0);
}

TEST(ValueHistogram, TheLargestValueFallsInTheLastBin) {
  const std::vector<float> values{0.0f, 1.0f, 2.0f, 10.0f};
  const std::vector<std::int32_t> labels{0, 0, 1, 1};
  const ValueHistogram histogram = valueHistogram(values, labels, 2);
  ASSERT_EQ(histogram.binCount, 10); // the smallest bin count
  EXPECT_EQ(histogram.counts[1][9], 1);
  EXPECT_EQ(histogram.counts[0][0], 1);
  EXPECT_EQ(histogram.counts[0][1], 1);
  EXPECT_EQ(histogram.counts[1][2], 1);
  EXPECT_EQ(binTotal(histogram, 5), 0);
}

TEST(ValueHistogram, EqualValuesMakeOneBinAroundThem) {
  const ValueHistogram histogram = valueHistogram({4.0f, 4.0f, 4.0f}, {0, 0, 0}, 1);
  ASSERT_EQ(histogram.binCount, 1);
  EXPECT_DOUBLE_EQ(histogram.low, 3.5);
  EXPECT_EQ(histogram.counts[0][0], 3);
}

TEST(ValueHistogram, TheBinCountIsCappedForLargeMeshes) {
  std::vector<float> values(100000);
  for (std::size_t v = 0; v < values.size(); ++v)
    values[v] = static_cast<float>(v);
  const ValueHistogram histogram =
      valueHistogram(values, std::vector<std::int32_t>(values.size(), 0), 1, 120);
  EXPECT_EQ(histogram.binCount, 120);
  EXPECT_EQ(histogram.total(), 100000);
}

} // namespace
} // namespace vornel
