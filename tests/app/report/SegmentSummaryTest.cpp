#include "app/report/SegmentSummary.hpp"
#include "app/report/QuadGrid.hpp"
#include "app/report/SegmentColours.hpp"

#include <gtest/gtest.h>

#include <algorithm>

namespace vornel {
namespace {

/// An n x n grid of quads; vertex y * (n + 1) + x has value x and the segment
/// its column gives.
ColouredMesh gridOfQuads(int n, std::int32_t (*segmentOfColumn)(int)) {
  ColouredMesh mesh = testing::quadGrid(n);
  for (std::size_t v = 0; v < mesh.positions.size(); ++v) {
    const std::int32_t segment = segmentOfColumn(testing::quadGridColumn(n, v));
    mesh.segments.push_back(segment);
    mesh.labels.push_back(segment % 2);
  }
  return mesh;
}

TEST(SegmentSummary, CountsSizesAreasAndMeansOfTheLargestSegments) {
  // Columns 0 .. 4 of a 4 x 4 grid: segment 0 holds column 0, segment 1
  // columns 1 .. 3, segment 2 column 4.
  const ColouredMesh mesh = gridOfQuads(4, [](int x) -> std::int32_t {
    return x == 0 ? 0 : x < 4 ? 1 : 2;
  });
  const SegmentSummary summary = summariseSegments(mesh, 2);
  EXPECT_EQ(summary.count, 3u);
  // Sizes 5, 15, 5: bins 4-7 (two) and 8-15 (one).
  EXPECT_EQ(summary.sizeBins, (std::vector<std::int64_t>{0, 0, 2, 1}));
  ASSERT_EQ(summary.largest.size(), 2u);
  EXPECT_EQ(summary.largest[0].segment, 1);
  EXPECT_EQ(summary.largest[0].vertices, 15);
  EXPECT_EQ(summary.largest[0].label, 1);
  EXPECT_DOUBLE_EQ(summary.largest[0].meanValue, 2.0);
  // Each unit quad gives a quarter to each of its corners: an inner column of
  // vertices holds 4, a border column 2.
  EXPECT_DOUBLE_EQ(summary.largest[0].area, 12.0);
  EXPECT_EQ(summary.largest[1].segment, 0); // a tie in size goes to the lower id
  EXPECT_DOUBLE_EQ(summary.largest[1].area, 2.0);
  EXPECT_TRUE(summariseSegments(ColouredMesh{}).largest.empty());
}

TEST(SegmentColours, NeighbouringSegmentsNeverShareAColourAndFewAreUsed) {
  // Stripes of one column each: every segment touches the one before and after.
  const ColouredMesh stripes =
      gridOfQuads(6, [](int x) -> std::int32_t { return static_cast<std::int32_t>(x); });
  EXPECT_EQ(segmentColours(stripes), (std::vector<std::uint32_t>{0, 1, 0, 1, 0, 1, 0}));

  // 2 x 2 vertex blocks, one segment each: blocks side by side share quad
  // edges, diagonal ones only a corner, so two colours do.
  ColouredMesh blocks = gridOfQuads(7, [](int) -> std::int32_t { return 0; });
  for (std::size_t v = 0; v < blocks.positions.size(); ++v)
    blocks.segments[v] = static_cast<std::int32_t>((v / 8) / 2 * 4 + (v % 8) / 2);
  const std::vector<std::uint32_t> colours = segmentColours(blocks);
  for (std::size_t f = 0; f < blocks.facetCount(); ++f)
    for (std::uint32_t k = blocks.facetOffsets[f]; k < blocks.facetOffsets[f + 1]; ++k) {
      const std::uint32_t next =
          k + 1 < blocks.facetOffsets[f + 1] ? k + 1 : blocks.facetOffsets[f];
      const std::int32_t a = blocks.segments[blocks.corners[k]];
      const std::int32_t b = blocks.segments[blocks.corners[next]];
      if (a != b) {
        EXPECT_NE(colours[a], colours[b]) << "segments " << a << " and " << b;
      }
    }
  EXPECT_LE(*std::max_element(colours.begin(), colours.end()), 1u);
}

} // namespace
} // namespace vornel
