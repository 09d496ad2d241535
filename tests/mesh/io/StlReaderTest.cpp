// STL input: binary and ASCII told apart by content, corners welded into
// vertices by first appearance, and the refusals that name the place at fault.

#include "mesh/io/StlReader.hpp"
#include "core/Errors.hpp"
#include "mesh/io/MeshReading.hpp"

#include "StlBytes.hpp"
#include "TempFolder.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace vornel {
namespace {

using testing::StlTriangle;

// A unit square of two triangles, then a triangle hanging off its corner
// (1, 1, 0) whose first point is -0 where the square's is +0.
const std::vector<StlTriangle> squareAndFlap = {
    {{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}}},
    {{{0, 0, 0}, {1, 1, 0}, {0, 1, 0}}},
    {{{1, 1, -0.0f}, {2, 1, 0}, {2, 2, 0.5f}}},
};

std::string errorOf(const std::string& bytes) {
  try {
    parseStl(bytes, "m.stl");
  } catch (const InvalidInputError& error) {
    return error.what();
  }
  return "(no error)";
}

void expectSquareAndFlap(const StlSoup& read) {
  const PolygonSoup& soup = read.soup;
  // Vertices in the order their first corner appears.
  ASSERT_EQ(soup.points.size(), 6u);
  EXPECT_EQ(soup.points[0], Point3(0, 0, 0));
  EXPECT_EQ(soup.points[1], Point3(1, 0, 0));
  EXPECT_EQ(soup.points[2], Point3(1, 1, 0));
  EXPECT_EQ(soup.points[3], Point3(0, 1, 0));
  EXPECT_EQ(soup.points[5], Point3(2, 2, 0.5f));
  EXPECT_EQ(soup.corners, (std::vector<std::uint32_t>{0, 1, 2, 0, 2, 3, 2, 4, 5}));
  EXPECT_EQ(soup.facetOffsets, (std::vector<std::uint32_t>{0, 3, 6, 9}));
  EXPECT_EQ(soup.firstVertexNumber, 0u);
  EXPECT_EQ(read.weld.corners, 9u);
  EXPECT_EQ(read.weld.welded(), 3u);
  EXPECT_EQ(describeCornerWeld(read.weld), "welded 3 of 9 corners (equal coordinates): 6 vertices");
}

TEST(StlReader, BinaryAndAsciiWeldCornersIntoVerticesByFirstAppearance) {
  expectSquareAndFlap(parseStl(testing::binaryStl(squareAndFlap), "m.stl"));
  expectSquareAndFlap(parseStl(testing::asciiStl(squareAndFlap), "m.stl"));
}

TEST(StlReader, FormIsToldByTheSizeNotByTheWordSolid) {
  // A binary header that starts with "solid", as many exporters write it.
  expectSquareAndFlap(parseStl(testing::binaryStl(squareAndFlap, "solid part"), "m.stl"));
  // ASCII keywords in any case, CR LF lines, a byte order mark, two solids.
  std::string text = "\xEF\xBB\xBF" + testing::asciiStl({squareAndFlap[0], squareAndFlap[1]});
  text += "SOLID second\r\n FACET NORMAL 0 0 1 OUTER LOOP\r\n";
  text += "VERTEX 1 1 -0\r\nVERTEX 2 1 0\r\nVERTEX 2 2 0.5\r\nENDLOOP ENDFACET\r\nENDSOLID";
  expectSquareAndFlap(parseStl(text, "m.stl"));
}

TEST(StlReader, BinarySizeThatDoesNotFitTheCountIsRefused) {
  const std::string bytes = testing::binaryStl(squareAndFlap);
  EXPECT_EQ(errorOf(bytes.substr(0, bytes.size() - 1)),
            "m.stl: not a valid binary STL: its count of 3 facets needs 84 + 50 x 3 = 234 bytes, "
            "but the file has 233");
  EXPECT_EQ(errorOf(bytes + std::string(50, '\0')),
            "m.stl: not a valid binary STL: its count of 3 facets needs 84 + 50 x 3 = 234 bytes, "
            "but the file has 284");
  std::string hugeCount = bytes;
  hugeCount.replace(80, 4, "\xFF\xFF\xFF\x7F", 4);
  EXPECT_NE(errorOf(hugeCount).find("its count of 2147483647 facets needs"), std::string::npos);
  EXPECT_EQ(errorOf("not a mesh"), "m.stl: not an STL file: 10 bytes are too few for a binary STL "
                                   "(84 at least), and it does not start with \"solid\"");
  // Truncated behind a "solid" header: read as ASCII, and the message says why.
  const std::string solid = testing::binaryStl(squareAndFlap, "solid part");
  const std::string message = errorOf(solid.substr(0, solid.size() - 10));
  EXPECT_EQ(message.rfind("m.stl:1: ", 0), 0u) << message;
  EXPECT_NE(message.find("(read as ASCII STL: it starts with \"solid\", and as binary STL its "
                         "count of 3 facets needs 84 + 50 x 3 = 234 bytes, but the file has 224)"),
            std::string::npos)
      << message;
}

TEST(StlReader, NonFiniteCoordinatesAreRefusedNamingTheFacetOrLine) {
  for (const float bad :
       {std::numeric_limits<float>::quiet_NaN(), -std::numeric_limits<float>::infinity()}) {
    std::vector<StlTriangle> triangles = squareAndFlap;
    triangles[1][2][1] = bad;
    EXPECT_EQ(errorOf(testing::binaryStl(triangles)),
              "m.stl: facet 2: vertex coordinate is not a finite number");
  }
  std::string text = testing::asciiStl(squareAndFlap);
  text.replace(text.find("vertex 2 1 0"), 12, "vertex 2 1 nan");
  EXPECT_EQ(errorOf(text), "m.stl:19: vertex coordinate is not a finite number");
  // Normals are not used: a degenerate facet's nan normal is no fault.
  text = testing::asciiStl(squareAndFlap);
  text.replace(text.find("normal 0 0 1"), 12, "normal nan nan nan");
  EXPECT_EQ(parseStl(text, "m.stl").soup.facetCount(), 3u);
}

TEST(StlReader, MalformedAsciiIsRefusedNamingTheLine) {
  const std::string good = testing::asciiStl(squareAndFlap);
  const auto replaced = [&](const std::string& from, const std::string& to) {
    std::string text = good;
    text.replace(text.find(from), from.size(), to);
    return errorOf(text);
  };
  EXPECT_EQ(errorOf(good.substr(0, good.rfind("endsolid"))),
            "m.stl:23: expected \"facet\" or \"endsolid\", but the file ends");
  EXPECT_EQ(errorOf(good.substr(0, good.find("vertex 2 1"))),
            "m.stl:19: expected \"vertex\", but the file ends (an STL facet has three vertices)");
  EXPECT_EQ(replaced("vertex 1 1 0\n    endloop", "vertex 1 1 0\nvertex 3 3 3\n    endloop"),
            "m.stl:7: expected \"endloop\", found 'vertex' (an STL facet has three vertices)");
  EXPECT_EQ(replaced("vertex 0 0 0", "vertex 0 zero 0"), "m.stl:4: 'zero' is not a number");
  EXPECT_EQ(replaced("outer loop", "outer\x1b[2J loop"),
            "m.stl:3: expected \"outer\", found 'outer?[2J'");
  EXPECT_EQ(errorOf(good + "garbage\n"),
            "m.stl:24: expected nothing or another \"solid\" after \"endsolid\", found 'garbage'");
}

TEST(StlReader, GarbageIsRefusedOrReadNeverCrash) {
  std::mt19937 random(11);
  for (const std::string& base :
       {testing::binaryStl(squareAndFlap, "solid x"), testing::asciiStl(squareAndFlap)}) {
    for (int trial = 0; trial < 300; ++trial) {
      std::string bytes = base;
      for (int k = 0; k < 4; ++k)
        bytes[random() % bytes.size()] = static_cast<char>(random() & 0xFF);
      if (trial % 2 == 0)
        bytes.resize(random() % (bytes.size() + 1));
      try {
        const StlSoup read = parseStl(bytes, "m.stl");
        for (const std::uint32_t corner : read.soup.corners)
          ASSERT_LT(corner, read.soup.points.size());
        EXPECT_EQ(read.weld.vertices, read.soup.points.size());
      } catch (const InvalidInputError&) {
      }
    }
  }
}

/// The welder grows its table past its first size (every corner a new point)
/// and still finds every earlier point: the same triangles read twice over
/// weld into one copy of them.
TEST(StlReader, LargeMeshesWeldEveryRepeatedCorner) {
  std::vector<StlTriangle> triangles;
  const int count = 20000;
  for (int pass = 0; pass < 2; ++pass)
    for (int k = 0; k < count; ++k) {
      const float x = static_cast<float>(k);
      triangles.push_back({{{x, 0, 0}, {x, 1, 0}, {x, 0, 1}}});
    }
  const StlSoup read = parseStl(testing::binaryStl(triangles), "m.stl");
  ASSERT_EQ(read.soup.points.size(), static_cast<std::size_t>(3 * count));
  const std::size_t half = read.soup.corners.size() / 2;
  for (std::size_t k = 0; k < half; ++k) {
    ASSERT_EQ(read.soup.corners[k], k);
    ASSERT_EQ(read.soup.corners[half + k], k);
  }
}

class StlFiles : public ::testing::Test {
protected:
  std::string write(const std::string& name, const std::string& bytes) {
    const std::string path = folder_.file(name);
    testing::writeFile(path, bytes);
    return path;
  }
  testing::TempFolder folder_;
};

TEST_F(StlFiles, ExtensionInAnyLetterCaseReadsTheMeshAndItsWeld) {
  for (const char* name : {"a.stl", "b.STL", "c.Stl"}) {
    const std::string path = write(name, testing::binaryStl(squareAndFlap));
    const CheckedSoup checked = readCheckedSoup(path);
    EXPECT_EQ(checked.soup.points.size(), 6u) << name;
    EXPECT_EQ(checked.originalCount, 6u);
    ASSERT_TRUE(checked.weld.has_value());
    EXPECT_EQ(checked.weld->welded(), 3u);
  }
}

TEST_F(StlFiles, FacetDegenerateAfterWeldingIsRefusedUnlessRepaired) {
  std::vector<StlTriangle> triangles = squareAndFlap;
  triangles.push_back({{{0, 1, 0}, {1, 1, 0}, {0, 1, -0.0f}}}); // its first and last corner weld
  const std::string path = write("d.stl", testing::asciiStl(triangles));
  try {
    readCheckedSoup(path);
    FAIL() << "a facet with two equal corners was accepted";
  } catch (const NonManifoldError& error) {
    FAIL() << "not a non-manifold fault: " << error.what();
  } catch (const InvalidInputError& error) {
    EXPECT_EQ(std::string(error.what()),
              path + ": facet 4 repeats vertex 3 (vertices numbered from 0): two of its corners "
                     "have equal coordinates; --repair drops such facets");
  }
  const CheckedSoup repaired = readCheckedSoup(path, ReadOptions{true, {}});
  EXPECT_EQ(repaired.soup.facetCount(), 3u);
  ASSERT_TRUE(repaired.repair.has_value());
  EXPECT_EQ(repaired.repair->droppedFacets, 1u);
  EXPECT_EQ(repaired.originalCount, 6u);
}

TEST_F(StlFiles, VertexPropertyIsRefusedNamingTheFormat) {
  const std::string path = write("p.stl", testing::binaryStl(squareAndFlap));
  try {
    readCheckedSoup(path, ReadOptions{false, "quality"});
    FAIL() << "a vertex property was read from STL";
  } catch (const VornelError& error) {
    EXPECT_NE(std::string(error.what()).find("is read as STL, whose vertices carry no properties"),
              std::string::npos)
        << error.what();
  }
}

} // namespace
} // namespace vornel
