// Blocks whose boundaries and combined results do not depend on the thread count.

#include "core/Parallel.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstddef>
#include <stdexcept>
#include <utility>
#include <vector>

namespace vornel {
namespace {

using Blocks = std::vector<std::pair<std::size_t, std::size_t>>;

Blocks blocksSeen(unsigned threads, std::size_t count, std::size_t blockSize) {
  Blocks seen(blockCount(count, blockSize));
  StageThreads(threads).run([&] {
    forEachBlock(
        count,
        [&](std::size_t begin, std::size_t end, std::size_t block) {
          seen[block] = {begin, end};
        },
        blockSize);
  });
  return seen;
}

TEST(ForEachBlock, BoundariesDependOnTheCountAlone) {
  for (const std::size_t count : {std::size_t{0}, std::size_t{1}, std::size_t{99}, std::size_t{100},
                                  std::size_t{101}, std::size_t{12345}}) {
    const Blocks reference = blocksSeen(1, count, 100);
    ASSERT_EQ(reference.size(), (count + 99) / 100);
    std::size_t next = 0;
    for (const auto& [begin, end] : reference) {
      EXPECT_EQ(begin, next);
      EXPECT_GT(end, begin);
      EXPECT_LE(end - begin, 100u);
      next = end;
    }
    EXPECT_EQ(next, count);
    for (const unsigned threads : {2u, 3u, 8u})
      EXPECT_EQ(blocksSeen(threads, count, 100), reference) << count << " items, " << threads;
  }
}

TEST(ForEachBlock, EveryItemOnceOnManyThreads) {
  const std::size_t count = 50000;
  std::vector<std::atomic<int>> visits(count);
  StageThreads(8).run([&] {
    forEachBlock(count, [&](std::size_t begin, std::size_t end, std::size_t) {
      for (std::size_t i = begin; i < end; ++i)
        visits[i].fetch_add(1, std::memory_order_relaxed);
    });
  });
  for (std::size_t i = 0; i < count; ++i)
    ASSERT_EQ(visits[i].load(), 1) << "item " << i;
}

TEST(ForEachBlock, AnExceptionFromABlockReachesTheCaller) {
  StageThreads threads(3);
  EXPECT_THROW(threads.run([] {
    forEachBlock(100000, [](std::size_t begin, std::size_t end, std::size_t) {
      if (begin <= 77777 && 77777 < end)
        throw std::runtime_error("fault in one block");
    });
  }),
               std::runtime_error);
}

TEST(CombineBlocks, SumOfDoublesIsTheSameForEveryThreadCount) {
  // Terms whose sum rounds differently in a different grouping.
  std::vector<double> terms(200003);
  for (std::size_t i = 0; i < terms.size(); ++i)
    terms[i] = std::ldexp(1.0 + static_cast<double>(i % 7) / 3.0, static_cast<int>(i % 60) - 30);
  auto sum = [&](unsigned threads) {
    return StageThreads(threads).run([&] {
      return combineBlocks(
          terms.size(), 0.0,
          [&](std::size_t begin, std::size_t end) {
            double part = 0.0;
            for (std::size_t i = begin; i < end; ++i)
              part += terms[i];
            return part;
          },
          [](double& total, double part) { total += part; }, 1000);
    });
  };
  const double reference = sum(1);
  for (const unsigned threads : {2u, 3u, 8u})
    EXPECT_EQ(sum(threads), reference) << threads << " threads";
}

TEST(StageThreads, ZeroMeansEveryAvailableCore) {
  EXPECT_EQ(StageThreads(0).requested(), threadsAvailable());
  EXPECT_GE(threadsAvailable(), 1u);
  const StageThreads one(1);
  EXPECT_EQ(one.requested(), 1u);
  EXPECT_EQ(one.running(), 1u);
  EXPECT_LE(StageThreads(64).running(), 64u);
}

} // namespace
} // namespace vornel
