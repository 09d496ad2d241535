// Processor time and peak resident size as the run report shows them.

#include "pipeline/ResourceUsage.hpp"
#include "app/VerboseReport.hpp"
#include "pipeline/Stopwatch.hpp"

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

/// Works until the process has used `seconds` more processor time; returns
/// the processor time it saw at the start.
double burnProcessorTime(double seconds) {
  const double start = currentResourceUsage().processorSeconds;
  volatile double sink = 0.0;
  for (long round = 0; round < 10000000; ++round) {
    for (int k = 0; k < 10000; ++k)
      sink = sink + 1.0;
    if (currentResourceUsage().processorSeconds >= start + seconds)
      break;
  }
  return start;
}

TEST(ResourceUsage, ProcessorTimeAdvancesWithWork) {
  const double start = burnProcessorTime(0.02);
  EXPECT_GE(currentResourceUsage().processorSeconds, start + 0.02);
}

TEST(ResourceUsage, MegabytesHaveOneDecimal) {
  EXPECT_EQ(megabytes(0), "0.0 MB");
  EXPECT_EQ(megabytes(3 * mebibyte + mebibyte / 2), "3.5 MB");
}

/// The first line written to a temporary stream by write(report).
template <class Write> std::string firstLine(Write write) {
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> stream(std::tmpfile(), std::fclose);
  if (!stream)
    return "";
  VerboseReport report(stream.get());
  write(report);
  std::rewind(stream.get());
  char buffer[256] = {};
  return std::fgets(buffer, sizeof buffer, stream.get()) ? buffer : "";
}

TEST(VerboseReport, StageLineCarriesProcessorTimeAndPeakSize) {
  const std::string line =
      firstLine([](VerboseReport& report) { report.stageDone("k-means", StageTime(1.5, 0.25)); });
  EXPECT_EQ(line.rfind("vornel: k-means done in 1.500 s (cpu 0.250 s, peak ", 0), 0u) << line;
  const std::size_t peak = line.find("peak ");
  ASSERT_NE(peak, std::string::npos) << line;
  EXPECT_GT(std::stod(line.substr(peak + 5)), 0.0) << line;
  EXPECT_EQ(line.substr(line.size() - 5), " MB)\n") << line;
}

TEST(VerboseReport, PlainSecondsLeaveOutTheProcessorTime) {
  const std::string line =
      firstLine([](VerboseReport& report) { report.stageDone("annealing", 2.0); });
  EXPECT_EQ(line.rfind("vornel: annealing done in 2.000 s (peak ", 0), 0u) << line;
}

TEST(Stopwatch, LapMeasuresTheProcessorTimeOfTheWorkSinceTheLastLap) {
  Stopwatch stopwatch;
  burnProcessorTime(0.03);
  const StageTime busy = stopwatch.lap();
  EXPECT_GE(busy.processorSeconds, 0.03);
  EXPECT_GE(busy.seconds, 0.0);
  const StageTime idle = stopwatch.lap();
  EXPECT_LT(idle.processorSeconds, busy.processorSeconds);
}

} // namespace
} // namespace vornel
