// OFF input that would make CGAL's header reader or scanner convert a number
// out of range or read past a line's numbers: rejected with a message naming
// the file and the record, before the scanner sees it; good files still pass.

#include "core/Errors.hpp"
#include "mesh/MeshInput.hpp"
#include "mesh/io/MeshReading.hpp"
#include "mesh/io/OffReader.hpp"

#include "TempFolder.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

namespace vornel {
namespace {

using vornel::testing::TempFolder;
using vornel::testing::writeFile;

class OffTextCheck : public ::testing::Test {
protected:
  /// The message of the InvalidInputError that reading text raises, or "read".
  std::string errorFor(const std::string& text) {
    mesh_ = LabeledMesh();
    writeFile(path_, text);
    try {
      buildCheckedSoup(readCheckedSoup(path_), mesh_);
    } catch (const InvalidInputError& error) {
      EXPECT_EQ(mesh_.vertexCount(), 0u);
      return error.what();
    }
    return "read";
  }

  TempFolder temp_;
  const std::string path_ = temp_.file("mesh.off");
  LabeledMesh mesh_;
};

const std::string square = "4 2 0\n0 0 0\n1 0 0\n0 1 0\n1 1 0\n3 0 1 2\n";

TEST_F(OffTextCheck, HugeCountsInABinaryHeaderAreRejectedBeforeAnyEstimate) {
  // Found by fuzzing: the header reader estimated the halfedges from these
  // counts in int arithmetic, which overflowed.
  const std::string text("OFF\nBINARY\xe4\x0e\0\0\0\0\0OFF\n1 0\n14 114 0\n1=\0\0\0"
                         "0\n \0",
                         43);
  EXPECT_NE(errorFor(text).find(": the OFF header announces"), std::string::npos);
  EXPECT_NE(errorFor("OFF\n2000000000 2000000000 0\n").find("announces 2000000000 vertices"),
            std::string::npos);
}

TEST_F(OffTextCheck, NegativeCornerIndexIsOutOfRange) {
  // Found by fuzzing: "1-3" reads as 1 and -3, and -3 was cast to std::size_t.
  EXPECT_EQ(errorFor("OFF\n" + square + "3 1-3 2\n"),
            path_ + ": not a valid OFF mesh: facet 2: a corner is out of range or not a number");
}

TEST_F(OffTextCheck, HugeCornerIndexIsOutOfRange) {
  EXPECT_NE(errorFor("OFF\n" + square + "3 1 1e30 2\n").find("facet 2: a corner is out of range"),
            std::string::npos);
}

TEST_F(OffTextCheck, CornerCountThatIsNotACountIsRejected) {
  EXPECT_NE(
      errorFor("OFF\n" + square + "-3 1 3 2\n").find("facet 2 has a corner count below three"),
      std::string::npos);
  EXPECT_NE(errorFor("OFF\n" + square + "1e300 1 3 2\n").find("facet 2 has a corner count"),
            std::string::npos);
}

TEST_F(OffTextCheck, FacetWithFewerCornersThanItsCountIsRejected) {
  EXPECT_NE(errorFor("OFF\n" + square + "4 1 3 2\n").find("facet 2 lists fewer corners"),
            std::string::npos);
}

TEST_F(OffTextCheck, ShortVertexLineIsRejected) {
  EXPECT_EQ(errorFor("OFF\n3 1 0\n0 0 0\n1 0\n0 1 0\n3 0 1 2\n"),
            path_ +
                ": not a valid OFF mesh: vertex 1 (numbered from 0) has fewer than 3 coordinates");
}

TEST_F(OffTextCheck, ColourMissingAfterAColouredVertexIsRejected) {
  // Once one vertex has a colour the scanner reads one from every later vertex.
  EXPECT_NE(errorFor("COFF\n3 1 0\n0 0 0 255 0 0\n1 0 0\n0 1 0 0 255 0\n3 0 1 2\n")
                .find("vertex 1 (numbered from 0) has no readable colour"),
            std::string::npos);
}

TEST_F(OffTextCheck, ColourOutOfRangeIsRejected) {
  EXPECT_NE(errorFor("COFF\n3 1 0\n0 0 0 500\n1 0 0 1\n0 1 0 1\n3 0 1 2\n")
                .find("vertex 0 (numbered from 0) has no readable colour"),
            std::string::npos);
  EXPECT_NE(errorFor("COFF\n3 1 0\n0 0 0 1 2 3\n1 0 0 1 2 3\n0 1 0 1 2 300\n3 0 1 2\n")
                .find("vertex 2 (numbered from 0) has no readable colour"),
            std::string::npos);
  EXPECT_NE(errorFor("COFF\n3 1 0\n0 0 0 .5 .5 9\n1 0 0 1 2 3\n0 1 0 1 2 3\n3 0 1 2\n")
                .find("vertex 0 (numbered from 0) has no readable colour"),
            std::string::npos);
}

TEST_F(OffTextCheck, NormalsOrTextureCoordinatesTheHeaderAnnouncesMustBeThere) {
  EXPECT_NE(errorFor("STOFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n")
                .find("vertex 0 (numbered from 0) has fewer than the 5 numbers"),
            std::string::npos);
  EXPECT_NE(errorFor("NOFF\n3 1 0\n0 0 0 0 0 1\n1 0 0\n0 1 0 0 0 1\n3 0 1 2\n")
                .find("vertex 1 (numbered from 0) has fewer than the 6 numbers"),
            std::string::npos);
  EXPECT_EQ(errorFor("STOFF\n3 1 0\n0 0 0 0 0\n1 0 0 1 0\n0 1 0 0 1\n3 0 1 2\n"), "read");
}

TEST_F(OffTextCheck, NonFiniteVerticesAreRejected) {
  // A homogeneous vertex with w = 0 lies at infinity.
  EXPECT_NE(errorFor("4OFF\n3 1 0\n0 0 0 1\n1 0 0 0\n0 1 0 1\n3 0 1 2\n")
                .find("vertex 1 (numbered from 0) has a coordinate that is not a finite number"),
            std::string::npos);
  EXPECT_NE(errorFor("OFF\n3 1 0\n0 0 0\n1e39 0 0\n0 1 0\n3 0 1 2\n").find("not a finite number"),
            std::string::npos);
}

TEST_F(OffTextCheck, FractionalCornerCountsAndIndicesAreRefusedNamingTheFacet) {
  // Truncated, they would make a different facet than the file describes.
  const std::string refusal = path_ + ": not a valid OFF mesh: facet 2";
  EXPECT_EQ(errorFor("OFF\n" + square + "3.9 1 3 2 0\n"),
            refusal + " has a corner count '3.9' that is not a whole number");
  EXPECT_EQ(errorFor("OFF\n" + square + "3 1 3 0.9\n"),
            refusal + ": corner '0.9' is not a whole number");
  EXPECT_EQ(errorFor("OFF\n" + square + "3 -0.5 3 2\n"),
            refusal + ": corner '-0.5' is not a whole number");
  EXPECT_EQ(errorFor("OFF\n" + square + "3.0 1 3 2e0\n"), "read");
}

TEST_F(OffTextCheck, WordsThatAreNotNumbersAreNamedForWhatTheyAre) {
  const std::string refusal = path_ + ": not a valid OFF mesh: ";
  EXPECT_EQ(errorFor("OFF\n3 1 0\n0 0 0\n1 nan 0\n0 1 0\n3 0 1 2\n"),
            refusal + "vertex 1 (numbered from 0) has a coordinate 'nan' that is not a finite "
                      "number");
  EXPECT_EQ(errorFor("OFF\n3 1 0\n0 0 1e309\n1 0 0\n0 1 0\n3 0 1 2\n"),
            refusal + "vertex 0 (numbered from 0) has a coordinate '1e309' that is not a finite "
                      "number");
  EXPECT_EQ(errorFor("OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 zero\n3 0 1 2\n"),
            refusal + "vertex 2 (numbered from 0) has a coordinate 'zero' that is not a number");
  EXPECT_EQ(errorFor("OFF\n" + square + "nan 1 3 2\n"),
            refusal + "facet 2 has a corner count 'nan' that is not a finite number");
  EXPECT_EQ(errorFor("OFF\n" + square + "3 1 \x1b[2J 2\n"),
            refusal + "facet 2 has a corner '?[2J' that is not a number");
}

TEST_F(OffTextCheck, ByteOrderMarkAndLoneCarriageReturnsReadAsLineFeeds) {
  const std::string text = "OFF\n# a comment\n" + square + "3 1 3 2\n";
  std::string loneCr = text;
  std::replace(loneCr.begin(), loneCr.end(), '\n', '\r');
  for (const std::string& variant : {"\xEF\xBB\xBF" + text, loneCr, "\xEF\xBB\xBF" + loneCr}) {
    ASSERT_EQ(errorFor(variant), "read");
    EXPECT_EQ(mesh_.vertexCount(), 4u);
    EXPECT_EQ(mesh_.surface.size_of_facets(), 2u);
  }
}

TEST_F(OffTextCheck, BinaryBodiesAreReadAsTheyAreWhateverTheirBytes) {
  // Coordinates whose bytes hold a CR that no LF follows: a binary body is
  // never read as lines.
  std::string bytes = "OFF BINARY\n";
  const auto put32 = [&bytes](std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
      bytes.push_back(static_cast<char>((value >> shift) & 0xFF));
  };
  put32(3);
  put32(1);
  put32(0);
  const std::uint32_t withCarriageReturn = 0x3F0D0D01; // about 0.551, big-endian bytes 3F 0D 0D 01
  for (const std::uint32_t coordinate :
       {0u, 0u, 0u, 0x3F800000u, 0u, 0u, 0u, withCarriageReturn, 0u})
    put32(coordinate);
  for (const std::uint32_t word : {3u, 0u, 1u, 2u, 0u})
    put32(word);
  writeFile(path_, bytes);
  const PolygonSoup soup = readOffSoup(path_);
  ASSERT_EQ(soup.points.size(), 3u);
  float expected = 0.0f;
  std::memcpy(&expected, &withCarriageReturn, sizeof expected);
  EXPECT_EQ(soup.points[2].y(), expected);
}

TEST_F(OffTextCheck, GoodFilesStillRead) {
  EXPECT_EQ(errorFor("COFF\n3 1 0\n0 0 0 255 0 0\n1 0 0 0 255 0\n0 1 0 .1 .2 .3 1\n"
                     "3 0 1 2 9 9 9\n"),
            "read");
  EXPECT_EQ(errorFor("COFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0 # no colours at all\n3 0 1 2\n"), "read");
  EXPECT_EQ(errorFor("OFF\n" + square + "# comment line\n3 1 3 2 # trailing comment\n"), "read");
  EXPECT_EQ(mesh_.vertexCount(), 4u);
}

} // namespace
} // namespace vornel
