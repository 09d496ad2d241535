#include "app/report/FeatureDensity.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

namespace vornel {
namespace {

/// Two features per vertex, one after the other, as the coloured mesh keeps them.
struct Interleaved {
  std::vector<float> values;
  std::vector<std::int32_t> labels;

  void add(float x, float y, std::int32_t label) {
    values.push_back(x);
    values.push_back(y);
    labels.push_back(label);
  }
  ValueColumn column(std::size_t k) const { return {values.data() + k, labels.size(), 2}; }
};

TEST(FeatureDensity, EachCellCountsItsVerticesAndNamesItsMostFrequentClass) {
  Interleaved vertices;
  // x spans 0 .. 10 and y 0 .. 100 in ten bins each: cell (column, row) = (x, y / 10).
  vertices.add(0.0f, 0.0f, 1);
  vertices.add(0.5f, 5.0f, 2);
  vertices.add(0.2f, 9.0f, 2); // cell 0: classes 1, 2, 2
  vertices.add(10.0f, 100.0f, 0);
  vertices.add(9.5f, 95.0f, 1); // the top right cell: a tie of 0 and 1
  vertices.add(3.5f, 70.0f, 2);
  const FeatureDensity density =
      featureDensity(vertices.column(0), vertices.column(1), vertices.labels, 3);
  ASSERT_EQ(density.x.binCount, 10);
  ASSERT_EQ(density.y.binCount, 10);
  ASSERT_EQ(density.counts.size(), 100u);
  EXPECT_EQ(std::accumulate(density.counts.begin(), density.counts.end(), std::int64_t{0}), 6);
  EXPECT_EQ(density.counts[0], 3);
  EXPECT_EQ(density.classes[0], 2);
  EXPECT_EQ(density.counts[99], 2);
  EXPECT_EQ(density.classes[99], 0); // ties go to the lower label
  EXPECT_EQ(density.counts[7 * 10 + 3], 1);
  EXPECT_EQ(density.classes[7 * 10 + 3], 2);
  EXPECT_EQ(density.counts[1], 0);
  EXPECT_EQ(density.classes[1], -1);
}

TEST(FeatureDensity, AConstantFeatureMakesOneRowAndLargeMeshesACappedGrid) {
  Interleaved vertices;
  for (int v = 0; v < 10000; ++v)
    vertices.add(static_cast<float>(v), 4.0f, v < 5000 ? 0 : 1);
  const FeatureDensity density =
      featureDensity(vertices.column(0), vertices.column(1), vertices.labels, 2, 48);
  EXPECT_EQ(density.x.binCount, 48);
  ASSERT_EQ(density.y.binCount, 1);
  EXPECT_DOUBLE_EQ(density.y.low, 3.5);
  ASSERT_EQ(density.counts.size(), 48u);
  EXPECT_EQ(std::accumulate(density.counts.begin(), density.counts.end(), std::int64_t{0}), 10000);
  // The lower half of x is class 0, the upper half class 1.
  EXPECT_EQ(density.classes.front(), 0);
  EXPECT_EQ(density.classes.back(), 1);
  EXPECT_TRUE(std::is_sorted(density.classes.begin(), density.classes.end()));
}

TEST(FeatureDensity, NoVerticesMakeNoCells) {
  const FeatureDensity density = featureDensity({}, {}, {}, 2);
  EXPECT_EQ(density.x.binCount, 0);
  EXPECT_TRUE(density.counts.empty());
}

} // namespace
} // namespace vornel
