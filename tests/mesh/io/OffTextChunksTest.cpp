// OFF text read in chunks on several threads against one pass: comments,
// blank lines, CR LF and lone CR line ends and every plain number form give
// the same soup; numbers that the one-pass reader reads otherwise, and
// faults, give what one pass gives, naming the same record.

#include "mesh/io/OffTextChunks.hpp"

#include "core/Parallel.hpp"
#include "mesh/io/OffReader.hpp"

#include "SameSoup.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace vornel {
namespace {

const std::string sourceName = "chunks.off";
const unsigned threadCounts[] = {1, 2, 3, 8};
const std::size_t chunkSizes[] = {5, 16, 61, 400};
constexpr std::size_t onePassChunkBytes = std::size_t(1) << 40;

enum class LineEnds { Lf, CrLf, LoneCr, Mixed };

// The header's counts line ends at the first "\n" after "OFF"; its records
// follow.
struct GeneratedOff {
  std::string header;
  std::string body;
  std::string text() const { return header + body; }
};

GeneratedOff generatedOff(LineEnds ends, unsigned seed = 2, int vertices = 120) {
  std::mt19937 random(seed);
  const char* const breaks[] = {"\n", "\r\n", "\r"};
  std::string body;
  const auto endLine = [&] {
    body += ends == LineEnds::Mixed ? breaks[random() % 3] : breaks[static_cast<int>(ends)];
    const unsigned extra = random() % 11;
    body += extra == 0 ? "# a comment line, 3 0 1 2\n" : extra == 1 ? "  \n" : "";
  };
  const char* const forms[] = {"", "+", "-", ".5", "e-3", "E+2", ".", ".25e1"};
  for (int v = 0; v < vertices; ++v) {
    for (int k = 0; k < 3; ++k) {
      const unsigned form = random() % 8;
      const std::string digits = std::to_string(random() % 1000);
      body += (k == 0 ? (random() % 2 == 0 ? "  " : "") : " ") +
              (form == 1 || form == 2 ? std::string(forms[form]) + digits
               : form == 3            ? std::string(forms[form])
                                      : digits + forms[form]);
    }
    body += random() % 5 == 0 ? " # after the numbers" : "";
    endLine();
  }
  const int facets = 2 * vertices;
  for (int f = 0; f < facets; ++f) {
    const unsigned corners = 3 + random() % 3;
    body += std::to_string(corners);
    for (unsigned k = 0; k < corners; ++k) {
      body += " " + std::to_string(random() % static_cast<unsigned>(vertices)) +
              (random() % 9 == 0 ? ".0" : "");
    }
    body += random() % 7 == 0 ? " 255 0 0" : ""; // a colour, not read
    endLine();
  }
  return {"OFF\n# made by a test\n" + std::to_string(vertices) + " " + std::to_string(facets) +
              " 0\n",
          body};
}

PolygonSoup onePass(const std::string& text) {
  return StageThreads(1).run([&] { return parseOff(text, sourceName, onePassChunkBytes); });
}

PolygonSoup parsed(const std::string& text, std::size_t chunkBytes, unsigned threads) {
  return StageThreads(threads).run([&] { return parseOff(text, sourceName, chunkBytes); });
}

bool readInChunks(const GeneratedOff& off, std::size_t chunkBytes, unsigned threads,
                  PolygonSoup& soup, int vertices = 120) {
  return StageThreads(threads).run([&] {
    return readOffTextInChunks(off.body, static_cast<std::size_t>(vertices),
                               2 * static_cast<std::size_t>(vertices), chunkBytes, soup);
  });
}

TEST(OffTextChunks, CommentsAndEveryLineEndGiveTheOnePassSoupOnAnyThreadCount) {
  for (const LineEnds ends : {LineEnds::Lf, LineEnds::CrLf, LineEnds::LoneCr, LineEnds::Mixed}) {
    const GeneratedOff off = generatedOff(ends);
    const PolygonSoup expected = onePass(off.text());
    ASSERT_EQ(expected.facetCount(), 240u);
    for (const std::size_t chunkBytes : chunkSizes) {
      for (const unsigned threads : threadCounts) {
        SCOPED_TRACE(std::to_string(chunkBytes) + " bytes, " + std::to_string(threads) +
                     " threads, line ends " + std::to_string(static_cast<int>(ends)));
        PolygonSoup chunked;
        ASSERT_TRUE(readInChunks(off, chunkBytes, threads, chunked));
        expectSameSoup(chunked, expected);
        expectSameSoup(parsed(off.text(), chunkBytes, threads), expected);
      }
    }
  }
}

TEST(OffTextChunks, NumbersReadOtherwiseInOnePassAndFaultsGiveTheOnePassResult) {
  const GeneratedOff valid = generatedOff(LineEnds::CrLf, 5);
  const auto withLine = [&](const std::string& line, std::size_t at) {
    GeneratedOff off = valid;
    off.body.insert(at, line);
    return off;
  };
  const std::size_t lastLine = valid.body.rfind("\r\n", valid.body.size() - 3) + 2;
  const std::size_t amongFacets = valid.body.find("\r\n", lastLine - 1000) + 2;
  const std::vector<GeneratedOff> others = {
      // numbers the stream reads in part, or not at all
      withLine("0x1p3 1 2\r\n", 0), withLine("1 2 3abc\r\n", 0), withLine("inf 1 2\r\n", 0),
      withLine("1e999 2 3\r\n", 0), withLine("+-1 2 3\r\n", 0),
      // faults in the last chunk, after them, and in two chunks
      withLine("3 1 2 120\r\n", lastLine), withLine("2 1 2\r\n", lastLine),
      withLine("3 1 2.5 3\r\n", amongFacets), withLine("1 2\r\n", 0)};
  for (const GeneratedOff& off : others) {
    const std::string text = off.text();
    const std::string expected = errorOf([&] { onePass(text); });
    for (const std::size_t chunkBytes : chunkSizes) {
      for (const unsigned threads : threadCounts) {
        PolygonSoup chunked;
        EXPECT_FALSE(readInChunks(off, chunkBytes, threads, chunked));
        EXPECT_EQ(errorOf([&] { parsed(text, chunkBytes, threads); }), expected);
        if (expected.empty()) {
          expectSameSoup(parsed(text, chunkBytes, threads), onePass(text));
        }
      }
    }
  }
  // Too few records: the last facet is missing.
  GeneratedOff short_ = valid;
  short_.body.resize(lastLine);
  const std::string expected = errorOf([&] { onePass(short_.text()); });
  ASSERT_NE(expected, "");
  EXPECT_EQ(errorOf([&] { parsed(short_.text(), 16, 3); }), expected);
}

} // namespace
} // namespace vornel
