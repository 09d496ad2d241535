// ASCII PLY bodies read in chunks on several threads against one pass: chunks
// cut inside records and CR LF pairs give the same soup, values and facet
// lines; records that do not stand alone on a line, and faults, give what one
// pass gives, the message naming the same line.

#include "mesh/io/PlyTextChunks.hpp"

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

const std::string sourceName = "chunks.ply";
const unsigned threadCounts[] = {1, 2, 3, 8};
// Small chunks, so that boundaries fall inside records and CR LF pairs.
const std::size_t chunkSizes[] = {5, 16, 61, 400};
// Larger than any text here: parsePly then reads in one pass.
constexpr std::size_t onePassChunkBytes = std::size_t(1) << 40;

PlyRead parsed(const std::string& text, std::size_t chunkBytes, unsigned threads) {
  return readPlyOnThreads(text, sourceName, chunkBytes, threads);
}

PlyRead onePass(const std::string& text) {
  return parsed(text, onePassChunkBytes, 1);
}

// Reads the body in chunks only; false when the chunks could not read it.
bool readInChunks(const std::string& text, std::size_t chunkBytes, unsigned threads,
                  PlyRead& read) {
  const PlyHeader header = parsePlyHeader(text, sourceName);
  const std::string property = "quality";
  const PlyBodyPlan plan = plyBodyPlan(header, &property, sourceName);
  return StageThreads(threads).run(
      [&] { return readPlyTextInChunks(text, plan, chunkBytes, read.soup, &read.values); });
}

void expectSameRead(const PlyRead& chunked, const PlyRead& expected) {
  expectSameSoup(chunked.soup, expected.soup);
  EXPECT_EQ(chunked.values, expected.values);
}

TEST(PlyTextChunks, EveryLineEndGivesTheOnePassSoupOnAnyThreadCount) {
  const GeneratedPly mesh(5);
  for (const PlyLineEnds ends : {PlyLineEnds::Lf, PlyLineEnds::CrLf, PlyLineEnds::Mixed}) {
    const std::string text = mesh.ascii(ends);
    const PlyRead expected = onePass(text);
    ASSERT_EQ(expected.soup.facetCount(), mesh.facets.size());
    for (const std::size_t chunkBytes : chunkSizes) {
      for (const unsigned threads : threadCounts) {
        SCOPED_TRACE(std::to_string(chunkBytes) + " bytes, " + std::to_string(threads) +
                     " threads, line ends " + std::to_string(static_cast<int>(ends)));
        PlyRead chunked;
        ASSERT_TRUE(readInChunks(text, chunkBytes, threads, chunked));
        expectSameRead(chunked, expected);
        expectSameRead(parsed(text, chunkBytes, threads), expected);
      }
    }
  }
}

TEST(PlyTextChunks, RecordsThatShareOrSpanLinesAreReadInOnePass) {
  const std::string valid = GeneratedPly(8).ascii(PlyLineEnds::CrLf);
  const std::size_t body = valid.find("end_header") + 12;
  const std::size_t middle = valid.find("\r\n", valid.size() / 2);
  std::string shared = valid;
  shared.replace(middle, 2, " "); // two records on one line
  std::string spanning = valid;
  spanning.replace(valid.find(' ', body), 1, "\r\n"); // a vertex over two lines
  for (const std::string& text : {shared, spanning}) {
    const PlyRead expected = onePass(text);
    for (const unsigned threads : threadCounts) {
      PlyRead chunked;
      EXPECT_FALSE(readInChunks(text, 61, threads, chunked));
      expectSameRead(parsed(text, 61, threads), expected);
    }
  }
}

TEST(PlyTextChunks, TheFirstFaultInFileOrderIsNamed) {
  const int vertexCount = 150;
  GeneratedPly cornerOutside(9, vertexCount);
  cornerOutside.facets.back()[1] = vertexCount; // in the last chunks
  GeneratedPly notFinite = cornerOutside;
  notFinite.vertices[40].quality = std::nanf(""); // and an earlier fault
  GeneratedPly fewCorners(9, vertexCount);
  fewCorners.facets[200].resize(2);
  const std::string edgeOutOfRange =
      GeneratedPly(9).ascii(PlyLineEnds::Mixed) + "\n" + "99999999999 1\n";
  std::string lastEdgeTooLarge = GeneratedPly(9).ascii(PlyLineEnds::Lf);
  lastEdgeTooLarge.replace(lastEdgeTooLarge.rfind('\n', lastEdgeTooLarge.size() - 2) + 1,
                           std::string::npos, "1 99999999999\n");
  std::string truncated = GeneratedPly(9).ascii(PlyLineEnds::CrLf);
  truncated.resize(truncated.size() - 7);
  const std::vector<std::string> faulty = {
      cornerOutside.ascii(PlyLineEnds::CrLf), notFinite.ascii(PlyLineEnds::Mixed),
      fewCorners.ascii(PlyLineEnds::Lf), lastEdgeTooLarge, truncated};
  for (const std::string& text : faulty) {
    const std::string expected = errorOf([&] { onePass(text); });
    ASSERT_NE(expected, "");
    for (const std::size_t chunkBytes : chunkSizes) {
      for (const unsigned threads : threadCounts) {
        EXPECT_EQ(errorOf([&] { parsed(text, chunkBytes, threads); }), expected)
            << chunkBytes << " bytes, " << threads << " threads";
      }
    }
  }
  // Text after the last record is not read, by either reader.
  expectSameRead(parsed(edgeOutOfRange, 16, 2), onePass(edgeOutOfRange));
}

} // namespace
} // namespace vornel
