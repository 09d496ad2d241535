// Ring label counts packed into one word must equal counting label by label.

#include "optimisation/RingLabelCounts.hpp"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace vornel {
namespace {

int plainCount(const std::vector<std::uint32_t>& ring, const std::vector<std::int32_t>& labels,
               int label) {
  int count = 0;
  for (const std::uint32_t n : ring)
    count += labels[n] == label;
  return count;
}

TEST(RingLabelCounts, PackedCountsEqualPlainCountsForEveryRingSize) {
  std::mt19937 random(11);
  for (const int K : {2, 3, 5, 8}) {
    std::vector<std::int32_t> labels(1000);
    for (std::int32_t& label : labels)
      label = static_cast<std::int32_t>(random() % K);
    // The unrolled six, odd and even sizes, no neighbour, and the largest
    // packable ring, all neighbours alike so that one count reaches 255.
    for (const std::uint32_t degree : {6u, 0u, 1u, 5u, 7u, 12u, 255u}) {
      std::vector<std::uint32_t> ring(degree);
      for (std::uint32_t& n : ring)
        n = random() % labels.size();
      if (degree == 255)
        ring.assign(255, ring.front());
      ASSERT_TRUE(RingLabelCounts::packable(K, degree));
      const RingLabelCounts packed(ring.data(), ring.data() + ring.size(), labels.data());
      for (int label = 0; label < K; ++label) {
        EXPECT_EQ(packed[label], plainCount(ring, labels, label))
            << "K " << K << ", degree " << degree << ", label " << label;
        const TwoLabelCounts pair(ring.data(), ring.data() + ring.size(), labels.data(), label,
                                  (label + 1) % K);
        EXPECT_EQ(pair.sameFirst, plainCount(ring, labels, label));
        EXPECT_EQ(pair.sameSecond, plainCount(ring, labels, (label + 1) % K));
      }
    }
  }
}

TEST(RingLabelCounts, PackingStopsWhereEightBitsOrEightLabelsWouldOverflow) {
  EXPECT_TRUE(RingLabelCounts::packable(8, 255));
  EXPECT_FALSE(RingLabelCounts::packable(9, 6));
  EXPECT_FALSE(RingLabelCounts::packable(3, 256));
}

} // namespace
} // namespace vornel
