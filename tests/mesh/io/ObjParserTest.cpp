// The OBJ text parser: accepted lines, corner forms, indices and error lines.

#include "mesh/io/ObjParser.hpp"
#include "core/Errors.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace vornel {
namespace {

const std::string sourceName = "mesh.obj";
const std::string fourVertices = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n";

PolygonSoup parse(const std::string& text) {
  return parseObj(text, sourceName);
}

std::vector<std::uint32_t> facetCorners(const PolygonSoup& soup, std::size_t f) {
  return {soup.corners.begin() + soup.facetOffsets[f],
          soup.corners.begin() + soup.facetOffsets[f + 1]};
}

// The message of the InvalidInputError that parsing text throws ("" if none).
std::string parseError(const std::string& text) {
  try {
    parse(text);
  } catch (const InvalidInputError& error) {
    return error.what();
  }
  return "";
}

using Corners = std::vector<std::uint32_t>;

TEST(ObjParser, PlainAndVertexNormalFormsGiveTheSameFacet) {
  const PolygonSoup soup = parse(fourVertices + "f 1 2 3\nf 1//1 2//2 3//3\n");
  ASSERT_EQ(soup.facetCount(), 2u);
  EXPECT_EQ(facetCorners(soup, 0), (Corners{0, 1, 2}));
  EXPECT_EQ(facetCorners(soup, 1), (Corners{0, 1, 2}));
}

TEST(ObjParser, TextureFormsTakeTheFirstNumberAsTheVertex) {
  const PolygonSoup soup = parse(fourVertices + "f 2/7 3/8 4/9\nf 4/1/3 3/2/2 2/3/1\n");
  EXPECT_EQ(facetCorners(soup, 0), (Corners{1, 2, 3}));
  EXPECT_EQ(facetCorners(soup, 1), (Corners{3, 2, 1}));
}

TEST(ObjParser, EveryCornerOfAMixedLineIsReadOnItsOwn) {
  const PolygonSoup soup = parse(fourVertices + "f 1//4 2 3/1/2 4/5\n");
  EXPECT_EQ(facetCorners(soup, 0), (Corners{0, 1, 2, 3}));
}

TEST(ObjParser, VerticesKeepFileOrderAndSinglePrecision) {
  const PolygonSoup soup = parse("v 0.1 -2.5e-3 +7\nv 1e30 -1e-60 3\n");
  ASSERT_EQ(soup.points.size(), 2u);
  EXPECT_EQ(soup.points[0].x(), 0.1f);
  EXPECT_EQ(soup.points[0].y(), -2.5e-3f);
  EXPECT_EQ(soup.points[0].z(), 7.0f);
  EXPECT_EQ(soup.points[1].x(), 1e30f);
  EXPECT_EQ(soup.points[1].y(), -0.0f); // as strtof rounds an underflow
}

TEST(ObjParser, ValuesAfterTheThirdCoordinateAreIgnored) {
  const PolygonSoup soup = parse("v 1 2 3 1.0\nv 4 5 6 0.5 0.5 0.5\n");
  ASSERT_EQ(soup.points.size(), 2u);
  EXPECT_EQ(soup.points[1].z(), 6.0f);
}

TEST(ObjParser, MalformedOrNonFiniteVertexLinesAreRefusedNamingTheLine) {
  // Skipping such a line would move every later vertex onto the wrong point.
  const auto error = [](const std::string& text) {
    try {
      parse(text);
    } catch (const InvalidInputError& e) {
      return std::string(e.what());
    }
    return std::string("accepted");
  };
  EXPECT_EQ(error("v 0 0 0\nv 5 5\nv 1 0 0\n"),
            sourceName + ":2: vertex line has fewer than three coordinates");
  EXPECT_EQ(error("v 0 1 zzz\n"), sourceName + ":1: vertex coordinate 'zzz' is not a number");
  EXPECT_EQ(error("v 0 1 2x\n"), sourceName + ":1: vertex coordinate '2x' is not a number");
  EXPECT_EQ(error("v 0 0 0\nv nan 0 0\n"),
            sourceName + ":2: vertex coordinate 'nan' is not a finite number");
  EXPECT_EQ(error("v 0 -inf 0\n"),
            sourceName + ":1: vertex coordinate '-inf' is not a finite number");
  EXPECT_EQ(error("v 1e60 0 0\n"),
            sourceName + ":1: vertex coordinate '1e60' is not a finite number");
  EXPECT_EQ(error("v 1 2 # three\n"),
            sourceName + ":1: vertex line has fewer than three coordinates");
}

TEST(ObjParser, OtherLinesAddNothing) {
  const std::string text = "# comment v 1 2 3\nmtllib a.mtl\no cube\ng side\ns 1\nusemtl red\n"
                           "vn 0 0 1\nvt 0.5 0.5\nvp 0.1 0.2 0.3\n\n   \nl 1 2\n" +
                           fourVertices + "f 1 2 3\nfoo 1 2 3\n";
  const PolygonSoup soup = parse(text);
  EXPECT_EQ(soup.points.size(), 4u);
  EXPECT_EQ(soup.facetCount(), 1u);
}

TEST(ObjParser, LinesThatStartLikeAVertexLineButAreNotOneAreRefusedNamingTheLine) {
  // Skipping any of them would move every later vertex onto the wrong point.
  EXPECT_EQ(parseError("v 0 0 0\nv\nv 1 0 0\n"),
            "mesh.obj:2: vertex line has fewer than three coordinates");
  EXPECT_EQ(parseError("v 0 0 0\nv#1 0 0\n"),
            "mesh.obj:2: vertex line has fewer than three coordinates");
  EXPECT_EQ(parseError("v 0 0 0\n  v1 0 0\n"),
            "mesh.obj:2: 'v1' is not a vertex line (v), nor a vt, vn or vp line");
  EXPECT_EQ(parseError("vertex 1 2 3\n"),
            "mesh.obj:1: 'vertex' is not a vertex line (v), nor a vt, vn or vp line");
  EXPECT_EQ(parseError("vt\nvn 0 0 1\nvp\tx\nvt# none\n"), "");
}

TEST(ObjParser, ByteOrderMarkAndEveryLineEndFrameTheSameLines) {
  const std::string lf = fourVertices + "# c\nf 1 2 3\n\nf 1 3 4\n";
  std::string loneCr = lf;
  std::replace(loneCr.begin(), loneCr.end(), '\n', '\r');
  const PolygonSoup expected = parse(lf);
  for (const std::string& text : {"\xEF\xBB\xBF" + lf, loneCr, "\xEF\xBB\xBF" + loneCr}) {
    const PolygonSoup soup = parse(text);
    EXPECT_EQ(soup.points, expected.points);
    EXPECT_EQ(soup.corners, expected.corners);
    EXPECT_EQ(soup.facetLines, (std::vector<std::uint64_t>{6, 8}));
  }
  // Line numbers stay right whatever mix of LF, CR LF and lone CR ends them.
  EXPECT_EQ(parseError("v 0 0 0\r\nv 1 0 0\rv 0 1 0\n\r\r\nf 1 2 x\r"),
            "mesh.obj:6: corner 'x' is not a number");
}

TEST(ObjParser, UnusedVerticesStay) {
  const PolygonSoup soup = parse(fourVertices + "f 1 2 3\n");
  EXPECT_EQ(soup.points.size(), 4u);
}

TEST(ObjParser, CrLfLinesReadAsLfLines) {
  const std::string lf = fourVertices + "f 1 2 3 4\n\nf 1//1 3//3 4//4\n";
  std::string crlf;
  for (const char c : lf) {
    crlf += (c == '\n') ? std::string("\r\n") : std::string(1, c);
  }
  const PolygonSoup a = parse(lf);
  const PolygonSoup b = parse(crlf);
  EXPECT_EQ(a.points, b.points);
  EXPECT_EQ(a.corners, b.corners);
  EXPECT_EQ(a.facetOffsets, b.facetOffsets);
  EXPECT_EQ(b.facetLines, (std::vector<std::uint64_t>{5, 7}));
}

TEST(ObjParser, LastLineWithoutLineBreakIsReadWhole) {
  EXPECT_EQ(facetCorners(parse(fourVertices + "f 1 2 3"), 0), (Corners{0, 1, 2}));
  EXPECT_EQ(facetCorners(parse(fourVertices + "f 1//1 2//2 4//4"), 0), (Corners{0, 1, 3}));
  EXPECT_EQ(parse("v 1 2 3").points.size(), 1u);
}

TEST(ObjParser, RelativeIndicesCountBackFromTheLastVertexSoFar) {
  const PolygonSoup soup =
      parse("v 0 0 0\nv 1 0 0\nv 1 1 0\nf -3 -2 -1\nv 0 1 0\nf -4 -2 -1\nf 1 -3/2 -1//1\n");
  EXPECT_EQ(facetCorners(soup, 0), (Corners{0, 1, 2}));
  EXPECT_EQ(facetCorners(soup, 1), (Corners{0, 2, 3}));
  EXPECT_EQ(facetCorners(soup, 2), (Corners{0, 1, 3}));
}

TEST(ObjParser, PositiveIndicesMayReferToLaterVertices) {
  const PolygonSoup soup = parse("f 1 2 3\nv 0 0 0\nv 1 0 0\nv 0 1 0\n");
  EXPECT_EQ(facetCorners(soup, 0), (Corners{0, 1, 2}));
}

TEST(ObjParser, LinesOfAnyLengthAreReadWhole) {
  const int n = 3000;
  std::string text;
  std::string facet = "f";
  for (int i = 1; i <= n; ++i) {
    text += "v " + std::to_string(i) + " 0 0\n";
    facet += " " + std::to_string(i);
  }
  text += std::string(1000, ' ') + "v 1" + std::string(1000, ' ') + "2 3\n" + facet + "\n";
  const PolygonSoup soup = parse(text);
  ASSERT_EQ(soup.points.size(), static_cast<std::size_t>(n + 1));
  EXPECT_EQ(soup.points[n].z(), 3.0f);
  ASSERT_EQ(soup.facetCount(), 1u);
  EXPECT_EQ(soup.corners.size(), static_cast<std::size_t>(n));
  EXPECT_EQ(soup.corners.back(), static_cast<std::uint32_t>(n - 1));
}

TEST(ObjParser, LeadingWhiteSpaceAndTrailingCommentAreAllowed) {
  const PolygonSoup soup = parse("  v 0 0 0\n\tv 1 0 0\n \t v 0 1 0\n   f 1 2 3 # a triangle\n");
  EXPECT_EQ(soup.points.size(), 3u);
  EXPECT_EQ(facetCorners(soup, 0), (Corners{0, 1, 2}));
}

TEST(ObjParser, FacetWithFewerThanThreeCornersNamesItsLine) {
  EXPECT_EQ(parseError(fourVertices + "f 1 2 3\nf 1 2\n"),
            "mesh.obj:6: facet has fewer than three corners");
  EXPECT_EQ(parseError(fourVertices + "f\n"), "mesh.obj:5: facet has fewer than three corners");
}

TEST(ObjParser, CornerZeroIsAnError) {
  EXPECT_EQ(parseError(fourVertices + "f 0 1 2\n"),
            "mesh.obj:5: corner index 0 is not valid (indices start at 1)");
}

TEST(ObjParser, CornerBeyondTheVertexCountIsAnError) {
  EXPECT_EQ(parseError(fourVertices + "f 1 2 3\nf 1 2 5\n"),
            "mesh.obj:6: corner index 5 is beyond the vertex count (4 vertices)");
  EXPECT_EQ(parseError("v 0 0 0\nv 1 0 0\nf -3 -2 -1\nv 0 1 0\n"),
            "mesh.obj:3: corner index -3 reaches before the first vertex "
            "(2 vertices defined so far)");
}

TEST(ObjParser, IndicesBeyondThirtyTwoBitsNeverWrapAndAreShownAsWritten) {
  const std::string threeVertices = "v 0 0 0\nv 1 0 0\nv 0 1 0\n";
  // 4294967299 is 2^32 + 3: wrapped to 32 bits it would be vertex 3.
  EXPECT_EQ(parseError(threeVertices + "f 1 2 4294967299\n"),
            "mesh.obj:4: corner index 4294967299 is beyond the vertex count");
  EXPECT_EQ(parseError(threeVertices + "f 1 2 99999999999999999999//1\n"),
            "mesh.obj:4: corner index 99999999999999999999 is beyond the vertex count");
  EXPECT_EQ(parseError(threeVertices + "f 1 2 -99999999999999999999\n"),
            "mesh.obj:4: corner index -99999999999999999999 reaches before the first vertex "
            "(3 vertices defined so far)");
}

TEST(ObjParser, ControlBytesOfTheFileNeverReachAMessage) {
  EXPECT_EQ(parseError("v 0 0 \x1b[2J\x7f\n"),
            "mesh.obj:1: vertex coordinate '?[2J?' is not a number");
  EXPECT_EQ(parseError(fourVertices + "f 1 2 \xc2\x9b\x33\n"), // U+009B, then '3'
            "mesh.obj:5: corner '??3' is not a number");
  EXPECT_EQ(parseError("v\x1b]0;x\x07 0 0 0\n"),
            "mesh.obj:1: 'v?]0;x?' is not a vertex line (v), nor a vt, vn or vp line");
}

TEST(ObjParser, ForwardIndexErrorNamesTheFirstFaultyLine) {
  const std::string message = parseError("f 1 2 3\nf 1 2 9\nf 1 2 8\nv 0 0 0\nv 1 0 0\nv 0 1 0\n");
  EXPECT_EQ(message, "mesh.obj:2: corner index 9 is beyond the vertex count (3 vertices)");
}

TEST(ObjParser, CornerThatIsNotANumberIsAnError) {
  EXPECT_EQ(parseError(fourVertices + "f 1 x 3\n"), "mesh.obj:5: corner 'x' is not a number");
  EXPECT_EQ(parseError(fourVertices + "f 1 2 3x\n"), "mesh.obj:5: corner '3x' is not a number");
  EXPECT_EQ(parseError(fourVertices + "f 1 2/1/1/1 3\n"),
            "mesh.obj:5: corner '2/1/1/1' is not a number");
  EXPECT_EQ(parseError(fourVertices + "f 1 2 /3\n"), "mesh.obj:5: corner '/3' is not a number");
}

// Decimal coordinates must round exactly as the general conversion rounds
// them, including halfway cases and the shortcut's limits.
TEST(ObjParser, CoordinatesRoundLikeTheGeneralConversion) {
  std::mt19937_64 random(12345);
  std::vector<std::string> numbers = {"16777217",
                                      "16777219",
                                      "0.1",
                                      "-0.0",
                                      "1e22",
                                      "1e-22",
                                      "3.4028235e38",
                                      "1.17549435e-38",
                                      "123456789012345678",
                                      "0.000000000000000000000001",
                                      "1.5e+3",
                                      "2.5E-3",
                                      ".5",
                                      "7."};
  for (int k = 0; k < 30000; ++k) {
    const std::uint64_t mantissa = random() % 10000000000000000ull;
    const int exponent = static_cast<int>(random() % 50) - 25;
    numbers.push_back(std::to_string(mantissa >> (random() % 40)) + "e" + std::to_string(exponent));
    const std::string digits = std::to_string(mantissa);
    const std::size_t point = random() % (digits.size() + 1);
    numbers.push_back(digits.substr(0, point) + "." + digits.substr(point));
  }
  std::string text;
  // Numbers that overflow float are refused (not finite); the others read
  // exactly as strtof reads them.
  std::vector<std::string> finite;
  for (const std::string& number : numbers) {
    if (std::isfinite(std::strtof(number.c_str(), nullptr))) {
      finite.push_back(number);
    }
  }
  ASSERT_GT(finite.size(), numbers.size() / 2);
  for (const std::string& number : finite) {
    text += "v " + number + " 0 0\n";
  }
  const PolygonSoup soup = parse(text);
  ASSERT_EQ(soup.points.size(), finite.size());
  for (std::size_t k = 0; k < finite.size(); ++k) {
    const float expected = std::strtof(finite[k].c_str(), nullptr);
    ASSERT_EQ(std::memcmp(&soup.points[k].x(), &expected, sizeof expected), 0) << finite[k];
  }
}

} // namespace
} // namespace vornel
