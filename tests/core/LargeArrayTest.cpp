// Room for large arrays: a plain reserve whose memory may be advised.

#include "core/LargeArray.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <numeric>
#include <vector>

namespace vornel {
namespace {

TEST(LargeArray, ReserveKeepsTheElementsAndGivesRoom) {
  std::vector<std::int32_t> values(1000);
  std::iota(values.begin(), values.end(), 0);
  const std::size_t large = std::size_t{3} << 20; // 12 MiB of labels: advised
  reserveLarge(values, large);
  EXPECT_GE(values.capacity(), large);
  ASSERT_EQ(values.size(), 1000u);
  EXPECT_EQ(values[999], 999);
  values.resize(large, 7); // the advised memory is ordinary memory to use
  EXPECT_EQ(values[large - 1], 7);
  EXPECT_EQ(values[500], 500);
}

TEST(LargeArray, EnoughRoomAlreadyLeavesTheArrayAlone) {
  std::vector<double> values(64, 1.5);
  const double* data = values.data();
  reserveLarge(values, 10);
  EXPECT_EQ(values.data(), data);
  EXPECT_EQ(values.size(), 64u);
  adviseHugePages(values.data(), 3); // too small to advise: nothing happens
  EXPECT_EQ(values[63], 1.5);
}

} // namespace
} // namespace vornel
