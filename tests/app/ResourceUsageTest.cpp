// Processor time and peak resident size as the run report shows them.

#include "app/ResourceUsage.hpp"
#include "app/VerboseReport.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace vornel {
namespace {

constexpr std::uint64_t mebibyte = 1024 * 1024;

TEST(ResourceUsage, PeakResidentSizeCoversMemoryTouchedSince) {
  const ResourceUsage before = currentResourceUsage();
  ASSERT_GT(before.peakResidentBytes, 0u);
  // A block larger than the peak so far, every page written: the peak must
  // now hold at least the block.
  const std::size_t size = before.peakResidentBytes + 64 * mebibyte;
  std::vector<char> block(size);
  std::memset(block.data(), 1, block.size());
  const ResourceUsage after = currentResourceUsage();
  EXPECT_GE(after.peakResidentBytes, size);
  EXPECT_EQ(block[size / 2], 1);
}

TEST(ResourceUsage, ProcessorTimeAdvancesWithWork) {
  const double start = currentResourceUsage().processorSeconds;
  volatile double sink = 0.0;
  double now = start;
  for (long round = 0; round < 1000000 && now < start + 0.02; ++round) {
    for (int k = 0; k < 10000; ++k)
      sink = sink + 1.0;
    now = currentResourceUsage().processorSeconds;
  }
  EXPECT_GE(now, start + 0.02);
}

TEST(ResourceUsage, MegabytesHaveOneDecimal) {
  EXPECT_EQ(megabytes(0), "0.0 MB");
  EXPECT_EQ(megabytes(3 * mebibyte + mebibyte / 2), "3.5 MB");
}

TEST(VerboseReport, StageLineCarriesProcessorTimeAndPeakSize) {
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> stream(std::tmpfile(), std::fclose);
  ASSERT_TRUE(stream);
  VerboseReport report(stream.get());
  report.stageDone("k-means", 1.5);
  std::rewind(stream.get());
  char buffer[256] = {};
  ASSERT_NE(std::fgets(buffer, sizeof buffer, stream.get()), nullptr);
  const std::string line = buffer;
  EXPECT_EQ(line.rfind("vornel: k-means done in 1.500 s (cpu ", 0), 0u) << line;
  const std::size_t peak = line.find(" s, peak ");
  ASSERT_NE(peak, std::string::npos) << line;
  EXPECT_GT(std::stod(line.substr(peak + 9)), 0.0) << line;
  EXPECT_EQ(line.substr(line.size() - 5), " MB)\n") << line;
}

} // namespace
} // namespace vornel
