// Binary PLY bodies read by ranges of records on several threads against one
// pass: both byte orders, ranges of one record and more give the same soup and
// values, and faults give the message of one pass, naming the same record.

#include "mesh/io/PlyBinaryRanges.hpp"

#include "core/Parallel.hpp"
#include "mesh/io/PlyHeader.hpp"
#include "mesh/io/PlyReader.hpp"

#include "GeneratedPly.hpp"
#include "PlyReadOnThreads.hpp"
#include "SameSoup.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace vornel {
namespace {

const std::string sourceName = "ranges.ply";
const unsigned threadCounts[] = {1, 2, 3, 8};
// From one record per range up.
const std::size_t rangeSizes[] = {1, 16, 61, 400};
constexpr std::size_t onePassBytes = std::size_t(1) << 40;

PlyRead parsed(const std::string& bytes, std::size_t rangeBytes, unsigned threads) {
  return readPlyOnThreads(bytes, sourceName, rangeBytes, threads);
}

bool readInRanges(const std::string& bytes, std::size_t rangeBytes, unsigned threads,
                  PlyRead& read) {
  const PlyHeader header = parsePlyHeader(bytes, sourceName);
  const std::string property = "quality";
  const PlyBodyPlan plan = plyBodyPlan(header, &property, sourceName);
  return StageThreads(threads).run(
      [&] { return readPlyBinaryInRanges(bytes, plan, rangeBytes, read.soup, &read.values); });
}

TEST(PlyBinaryRanges, BothByteOrdersGiveTheOnePassSoupOnAnyThreadCount) {
  const GeneratedPly mesh(4);
  for (const bool little : {true, false}) {
    const std::string bytes = mesh.binary(little);
    const PlyRead expected = parsed(bytes, onePassBytes, 1);
    ASSERT_EQ(expected.soup.facetCount(), mesh.facets.size());
    for (const std::size_t rangeBytes : rangeSizes) {
      for (const unsigned threads : threadCounts) {
        SCOPED_TRACE(std::to_string(rangeBytes) + " bytes, " + std::to_string(threads) +
                     " threads, little endian " + std::to_string(little));
        PlyRead ranged;
        ASSERT_TRUE(readInRanges(bytes, rangeBytes, threads, ranged));
        expectSameSoup(ranged.soup, expected.soup);
        EXPECT_EQ(ranged.values, expected.values);
      }
    }
  }
}

TEST(PlyBinaryRanges, TheFirstFaultInFileOrderIsNamed) {
  const int vertexCount = 150;
  GeneratedPly cornerOutside(6, vertexCount);
  cornerOutside.facets.back()[2] = vertexCount;
  GeneratedPly negativeCorner(6, vertexCount);
  negativeCorner.facets[250][0] = -1;
  GeneratedPly notFinite = cornerOutside;
  notFinite.vertices.back().quality = INFINITY;
  GeneratedPly fewCorners = cornerOutside;
  fewCorners.facets[3].resize(2);
  std::string truncated = GeneratedPly(6, vertexCount).binary(true);
  truncated.resize(truncated.size() - 3);
  std::vector<std::string> faulty = {truncated};
  for (const bool little : {true, false}) {
    for (const GeneratedPly* mesh : {&cornerOutside, &negativeCorner, &notFinite, &fewCorners}) {
      faulty.push_back(mesh->binary(little));
    }
  }
  for (const std::string& bytes : faulty) {
    const std::string expected = errorOf([&] { parsed(bytes, onePassBytes, 1); });
    ASSERT_NE(expected, "");
    for (const std::size_t rangeBytes : rangeSizes) {
      for (const unsigned threads : threadCounts) {
        PlyRead ranged;
        EXPECT_FALSE(readInRanges(bytes, rangeBytes, threads, ranged));
        EXPECT_EQ(errorOf([&] { parsed(bytes, rangeBytes, threads); }), expected)
            << rangeBytes << " bytes, " << threads << " threads";
      }
    }
  }
}

} // namespace
} // namespace vornel
