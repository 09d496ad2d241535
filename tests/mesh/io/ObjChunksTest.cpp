// OBJ text parsed in chunks on several threads against one pass: chunks cut
// inside facet lines and line-end pairs give the same soup, and the first
// fault in file order gives the same message.

#include "mesh/io/ObjChunks.hpp"

#include "core/Errors.hpp"
#include "core/Parallel.hpp"
#include "mesh/io/ObjParser.hpp"

#include "SameSoup.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

namespace vornel {
namespace {

const std::string sourceName = "chunks.obj";
const unsigned threadCounts[] = {1, 2, 3, 8};
// Small chunks, so that boundaries fall inside facet lines and CR LF pairs.
const std::size_t chunkSizes[] = {5, 16, 61, 400};

enum class LineEnds { Lf, CrLf, LoneCr, Mixed };

// A valid OBJ text: vertices between the facets, every corner form, relative
// indices that reach back over many lines, comments, blank and other lines.
std::string generatedObj(LineEnds ends, unsigned seed = 7) {
  std::mt19937 random(seed);
  const char* const breaks[] = {"\n", "\r\n", "\r"};
  std::string text;
  const auto endLine = [&] {
    text += ends == LineEnds::Mixed ? breaks[random() % 3] : breaks[static_cast<int>(ends)];
  };
  int vertices = 0;
  for (int line = 0; line < 600; ++line) {
    const unsigned kind = random() % 10;
    if (vertices < 4 || kind < 4) {
      text += "v " + std::to_string(random() % 1000 / 7.0) + " -" + std::to_string(random() % 100) +
              ".25 " + std::to_string(random() % 9) + "e-3";
      ++vertices;
    } else if (kind < 8) {
      text += (kind == 4 ? "  f" : "f");
      const unsigned corners = 3 + random() % 3;
      for (unsigned k = 0; k < corners; ++k) {
        const int vertex = 1 + static_cast<int>(random() % vertices);
        const int relative = vertex - vertices - 1;
        const std::string forms[] = {std::to_string(vertex), std::to_string(relative),
                                     std::to_string(vertex) + "//2",
                                     std::to_string(relative) + "/1/1"};
        text += " " + forms[random() % 4];
      }
      text += (kind == 5 ? " # facet" : kind == 6 ? "#f 1 2 3" : "");
    } else if (kind == 8) {
      text += "# a comment, f 1 2 3";
    } else {
      text += (random() % 2 == 0) ? "vn 0 0 1" : "";
    }
    endLine();
  }
  return text;
}

PolygonSoup onePass(const std::string& text) {
  return StageThreads(1).run([&] { return parseObj(text, sourceName); });
}

PolygonSoup inChunks(const std::string& text, std::size_t chunkBytes, unsigned threads) {
  return StageThreads(threads).run([&] { return parseObjInChunks(text, sourceName, chunkBytes); });
}

TEST(ObjChunks, EveryLineEndGivesTheOnePassSoupOnAnyThreadCount) {
  for (const LineEnds ends : {LineEnds::Lf, LineEnds::CrLf, LineEnds::LoneCr, LineEnds::Mixed}) {
    const std::string text = generatedObj(ends);
    const PolygonSoup expected = onePass(text);
    ASSERT_GT(expected.facetCount(), 100u);
    for (const std::size_t chunkBytes : chunkSizes) {
      for (const unsigned threads : threadCounts) {
        SCOPED_TRACE(std::to_string(chunkBytes) + " bytes, " + std::to_string(threads) +
                     " threads, line ends " + std::to_string(static_cast<int>(ends)));
        expectSameSoup(inChunks(text, chunkBytes, threads), expected);
      }
    }
  }
}

TEST(ObjChunks, ByteOrderMarkAndALastLineWithoutBreakAreReadAsInOnePass) {
  std::string text = "\xEF\xBB\xBF" + generatedObj(LineEnds::CrLf, 11);
  text += "f 1 2 3";
  const PolygonSoup expected = onePass(text);
  for (const unsigned threads : threadCounts) {
    expectSameSoup(inChunks(text, 16, threads), expected);
  }
}

TEST(ObjChunks, TheFirstFaultInFileOrderIsNamed) {
  const std::string valid = generatedObj(LineEnds::Mixed, 3);
  const std::size_t middle = valid.find('\n', valid.size() / 2) + 1;
  const std::string head = valid.substr(0, middle);
  const std::string tail = valid.substr(middle);
  const std::vector<std::string> faulty = {
      // in the last chunk
      valid + "v 1 2\n",
      valid + "f 1 2 0",
      // in two chunks, and a later fault that one pass would never reach
      head + "f 1 x 3\n" + tail + "vx 1 2 3\n",
      head + "v 1 nan 3\r" + tail + "f 1 2\n",
      // relative corners that reach before the first vertex: they count
      // the vertices of the earlier chunks
      head + "f -1 -2 -100000\r\n" + tail + "f 1 2\n",
      head + "f 1 2 -100000 x\n" + tail,
      "f -1 -2 -3\n" + valid,
      // forward corners, checked against the whole file
      "f 1 2 999999\n" + valid,
      head + "f 1 2 999999\n" + tail + "f 1 2 999998\n",
      head + "f 1 2 999999\n" + tail + "f 1 2 -999999\n",
      head + "f 1 2 99999999999999999999//1\n" + tail,
  };
  for (const std::string& text : faulty) {
    const std::string expected = errorOf([&] { return onePass(text); });
    ASSERT_NE(expected, "");
    for (const std::size_t chunkBytes : chunkSizes) {
      for (const unsigned threads : threadCounts) {
        EXPECT_EQ(errorOf([&] { return inChunks(text, chunkBytes, threads); }), expected)
            << chunkBytes << " bytes, " << threads << " threads";
      }
    }
  }
}

TEST(ObjChunks, LargeTextsAreReadInChunksOnSeveralThreads) {
  std::string text;
  while (text.size() < 2 * textChunkBytes + 1000) {
    text += generatedObj(LineEnds::Lf, static_cast<unsigned>(text.size()));
  }
  const PolygonSoup expected = onePass(text);
  for (const unsigned threads : {2u, 3u}) {
    expectSameSoup(StageThreads(threads).run([&] { return parseObj(text, sourceName); }), expected);
  }
  const std::string faulty = text + "f 1 2 -99999999\n";
  EXPECT_EQ(
      errorOf([&] { return StageThreads(2).run([&] { return parseObj(faulty, sourceName); }); }),
      errorOf([&] { return onePass(faulty); }));
}

} // namespace
} // namespace vornel
