// PLY input: ASCII and both binary byte orders, skipped properties and
// elements, and the refusals that name the place at fault.

#include "mesh/io/PlyReader.hpp"
#include "core/Errors.hpp"
#include "mesh/MeshInput.hpp"
#include "mesh/io/MeshReading.hpp"
#include "mesh/io/VertexPropertyError.hpp"

#include "TempFolder.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace vornel {
namespace {

// Four vertices with extra properties, an "edge" element to skip, then a
// quad and a triangle; vertex 3 (the fourth) is used by the triangle only.
const std::string asciiPly = "ply\n"
                             "format ascii 1.0\n"
                             "comment made by hand\n"
                             "element vertex 5\n"
                             "property float x\n"
                             "property uchar red\n"
                             "property float y\n"
                             "property double z\n"
                             "property list uchar float extra\n"
                             "element edge 1\n"
                             "property int vertex1\n"
                             "property int vertex2\n"
                             "element face 2\n"
                             "property uchar flags\n"
                             "property list uchar int vertex_indices\n"
                             "end_header\n"
                             "0 7 0 0 0\n"
                             "1 7 0 0 2 0.5 0.25\n"
                             "1 7 1 0.1 0\n"
                             "0 7 1 -2.5e1 1 3\n"
                             "9 9 9 9 0\n"
                             "0 1\n"
                             "5 4 0 1 2 3\r\n"
                             "5 3 3 2 1\n";

void expectSoupOfAsciiPly(const PolygonSoup& soup) {
  ASSERT_EQ(soup.points.size(), 5u);
  EXPECT_EQ(soup.points[1], Point3(1.0f, 0.0f, 0.0f));
  EXPECT_EQ(soup.points[2].z(), 0.1f); // double 0.1 rounded once to float
  EXPECT_EQ(soup.points[3].z(), -25.0f);
  EXPECT_EQ(soup.points[4], Point3(9.0f, 9.0f, 9.0f)); // unused vertices are kept
  EXPECT_EQ(soup.facetOffsets, (std::vector<std::uint32_t>{0, 4, 7}));
  EXPECT_EQ(soup.corners, (std::vector<std::uint32_t>{0, 1, 2, 3, 3, 2, 1}));
}

/// The binary form of asciiPly's vertices and faces (the skipped parts vary).
std::string binaryPly(bool littleEndian) {
  std::string bytes = std::string("ply\nformat ") +
                      (littleEndian ? "binary_little_endian" : "binary_big_endian") +
                      " 1.0\nelement vertex 5\nproperty double x\nproperty short y\n"
                      "property float z\nproperty uint unused\n"
                      "element face 2\nproperty list int uint vertex_index\n"
                      "property list uchar short texcoord\nend_header\n";
  const auto put = [&](const void* value, std::size_t size) {
    const auto* raw = static_cast<const unsigned char*>(value);
    for (std::size_t i = 0; i < size; ++i)
      bytes.push_back(static_cast<char>(raw[littleEndian ? i : size - 1 - i]));
  };
  const double xs[5] = {0, 1, 1, 0, 9};
  const std::int16_t ys[5] = {0, 0, 1, 1, 9};
  const float zs[5] = {0, 0, 0.1f, -25, 9};
  for (int v = 0; v < 5; ++v) {
    const std::uint32_t unused = 0xDEADBEEF;
    put(&xs[v], 8);
    put(&ys[v], 2);
    put(&zs[v], 4);
    put(&unused, 4);
  }
  const std::vector<std::vector<std::uint32_t>> faces{{0, 1, 2, 3}, {3, 2, 1}};
  for (const auto& face : faces) {
    const std::int32_t count = static_cast<std::int32_t>(face.size());
    put(&count, 4);
    for (const std::uint32_t corner : face)
      put(&corner, 4);
    const unsigned char texcoords = 2;
    const std::int16_t uv[2] = {5, 6};
    put(&texcoords, 1);
    put(&uv[0], 2);
    put(&uv[1], 2);
  }
  return bytes;
}

std::string errorOf(const std::string& bytes) {
  try {
    parsePly(bytes, "m.ply");
  } catch (const InvalidInputError& error) {
    return error.what();
  }
  return "";
}

TEST(PlyReader, AsciiReadsVerticesInOrderAndFacetsFromTheirList) {
  const PolygonSoup soup = parsePly(asciiPly, "m.ply");
  expectSoupOfAsciiPly(soup);
  // Lines of the facet records, for the builder's messages.
  EXPECT_EQ(soup.facetLines, (std::vector<std::uint64_t>{23, 24}));
}

TEST(PlyReader, BinaryLittleAndBigEndianReadTheSameMesh) {
  for (const bool little : {true, false}) {
    SCOPED_TRACE(little ? "little endian" : "big endian");
    const PolygonSoup soup = parsePly(binaryPly(little), "m.ply");
    ASSERT_EQ(soup.points.size(), 5u);
    EXPECT_EQ(soup.points[3], Point3(0.0f, 1.0f, -25.0f));
    EXPECT_EQ(soup.points[2].z(), 0.1f);
    EXPECT_EQ(soup.corners, (std::vector<std::uint32_t>{0, 1, 2, 3, 3, 2, 1}));
    EXPECT_TRUE(soup.facetLines.empty());
  }
}

/// A binary PLY of one triangle whose vertices carry a property "value" of the
/// given type holding raw[v], written in the given byte order.
std::string plyWithValue(const std::string& type, std::size_t size, const std::uint64_t raw[3],
                         bool little) {
  std::string bytes = std::string("ply\nformat ") +
                      (little ? "binary_little_endian" : "binary_big_endian") +
                      " 1.0\nelement vertex 3\nproperty " + type +
                      " value\nproperty float x\nproperty float y\nproperty float z\n"
                      "element face 1\nproperty list uchar int vertex_indices\nend_header\n";
  const auto put = [&](std::uint64_t value, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
      bytes.push_back(static_cast<char>(value >> (8 * (little ? i : n - 1 - i))));
  };
  const float xyz[3][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  for (int v = 0; v < 3; ++v) {
    put(raw[v], size);
    for (const float c : xyz[v]) {
      std::uint32_t bits = 0;
      std::memcpy(&bits, &c, 4);
      put(bits, 4);
    }
  }
  put(3, 1);
  for (std::uint32_t corner = 0; corner < 3; ++corner)
    put(corner, 4);
  return bytes;
}

template <class T> std::uint64_t bitsOf(T value) {
  std::uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof value);
  return bits;
}

TEST(PlyReader, VertexPropertyOfEveryScalarTypeReadsExactly) {
  struct Case {
    std::vector<std::string> names;
    std::size_t size;
    std::uint64_t raw[3];
    float expected[3];
  };
  const double tenth = 0.1;
  const std::vector<Case> cases{
      {{"char", "int8"}, 1, {bitsOf<std::int8_t>(-128), 0, 127}, {-128, 0, 127}},
      {{"uchar", "uint8"}, 1, {0, 200, 255}, {0, 200, 255}},
      {{"short", "int16"}, 2, {bitsOf<std::int16_t>(-32768), 7, 32767}, {-32768, 7, 32767}},
      {{"ushort", "uint16"}, 2, {0, 1000, 65535}, {0, 1000, 65535}},
      {{"int", "int32"}, 4, {bitsOf<std::int32_t>(-5), 16777217, 3}, {-5, 16777216, 3}},
      {{"uint", "uint32"}, 4, {4294967295u, 1, 2}, {4294967296.0f, 1, 2}},
      {{"float", "float32"},
       4,
       {bitsOf(0.1f), bitsOf(-2.5f), bitsOf(1e-30f)},
       {0.1f, -2.5f, 1e-30f}},
      // A double keeps its float rounding, as the attribute file's values do.
      {{"double", "float64"},
       8,
       {bitsOf(tenth), bitsOf(1e300 / 1e299), bitsOf(-1.0)},
       {static_cast<float>(tenth), 10.0f, -1.0f}},
  };
  for (const Case& c : cases) {
    for (const std::string& name : c.names) {
      for (const bool little : {true, false}) {
        PlyVertexValues values{"value", {}};
        const PolygonSoup soup =
            parsePly(plyWithValue(name, c.size, c.raw, little), "v.ply", &values);
        ASSERT_EQ(values.values.size(), 3u) << name;
        for (int v = 0; v < 3; ++v)
          EXPECT_EQ(values.values[v], c.expected[v]) << name << (little ? " little" : " big");
        EXPECT_EQ(soup.points[1], Point3(1.0f, 0.0f, 0.0f));
      }
    }
  }
  PlyVertexValues fromText{"quality", {}};
  std::string ascii = asciiPly;
  ascii.replace(ascii.find("property uchar red"), 18, "property double quality");
  parsePly(ascii, "m.ply", &fromText);
  EXPECT_EQ(fromText.values, (std::vector<float>{7, 7, 7, 7, 9}));
}

TEST(PlyReader, MissingListOrNonFiniteVertexPropertyIsRefused) {
  const auto error = [](const std::string& bytes, const std::string& property) {
    PlyVertexValues values{property, {}};
    try {
      parsePly(bytes, "m.ply", &values);
    } catch (const VornelError& e) {
      return std::string(e.what());
    }
    return std::string("read");
  };
  EXPECT_EQ(error(asciiPly, "quality"),
            "m.ply has no vertex property \"quality\"; its vertex properties are: x, red, y, z, "
            "extra (list)");
  EXPECT_NE(error(asciiPly, "extra").find("is a list; a scalar property is needed"),
            std::string::npos);
  const std::uint64_t raw[3] = {bitsOf(1.0f), bitsOf(std::numeric_limits<float>::quiet_NaN()),
                                bitsOf(2.0f)};
  EXPECT_EQ(error(plyWithValue("float", 4, raw, true), "value"),
            "m.ply: vertex 2: vertex property value is not a finite number");
}

TEST(PlyReader, NonFiniteCoordinatesAreRefusedNamingTheVertex) {
  // A binary NaN or infinity at vertex 3's z: the coloured mesh would carry it
  // on, and nothing can read that back.
  for (const bool little : {true, false}) {
    for (const float bad :
         {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
      std::string bytes = binaryPly(little);
      const std::size_t zOfVertex2 = bytes.find("end_header\n") + 11 + 2 * 18 + 10;
      unsigned char raw[4];
      std::memcpy(raw, &bad, 4);
      for (int i = 0; i < 4; ++i)
        bytes[zOfVertex2 + i] = static_cast<char>(raw[little ? i : 3 - i]);
      EXPECT_EQ(errorOf(bytes), "m.ply: vertex 3: vertex coordinate is not a finite number");
    }
  }
  std::string ascii = asciiPly;
  ascii.replace(ascii.find("1 7 1 0.1 0"), 11, "1 7 1 nan 0");
  EXPECT_EQ(errorOf(ascii), "m.ply:19: vertex coordinate is not a finite number");
}

TEST(PlyReader, ReadPlyFileBuildsTheSurfaceKeepingUnusedVertices) {
  testing::TempFolder folder;
  const std::string path = folder.file("quad.PLY");
  testing::writeFile(path, asciiPly);
  LabeledMesh mesh;
  buildCheckedSoup(readCheckedSoup(path), mesh);
  EXPECT_EQ(mesh.vertexCount(), 5u);
  EXPECT_EQ(mesh.surface.size_of_facets(), 2u);
}

TEST(PlyReader, NonManifoldFacetIsRefusedNamingItsLine) {
  testing::TempFolder folder;
  const std::string path = folder.file("fin.ply");
  testing::writeFile(path, "ply\nformat ascii 1.0\nelement vertex 5\nproperty float x\n"
                           "property float y\nproperty float z\nelement face 3\n"
                           "property list uchar int vertex_indices\nend_header\n"
                           "0 0 0\n1 0 0\n0 1 0\n0 -1 0\n0 0 1\n"
                           "3 0 1 2\n3 1 0 3\n3 0 4 1\n");
  LabeledMesh mesh;
  try {
    buildCheckedSoup(readCheckedSoup(path), mesh);
    FAIL() << "an edge with three facets was accepted";
  } catch (const InvalidInputError& error) {
    EXPECT_NE(std::string(error.what()).find(path + ":17"), std::string::npos) << error.what();
  }
}

TEST(PlyReader, RefusalsNameTheFileAndThePlace) {
  const std::string header = "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\n"
                             "property float y\nproperty float z\nelement face 1\n"
                             "property list uchar int vertex_indices\nend_header\n";
  EXPECT_EQ(errorOf("OFF\n3 1 0\n"), "m.ply: not a PLY file (it does not start with \"ply\")");
  EXPECT_EQ(errorOf(header + "0 0 0\n1 0 0\n0 1 0\n3 0 1 3\n"),
            "m.ply:13: facet corner 3 is outside the 3 vertices (numbered from 0)");
  EXPECT_EQ(errorOf(header + "0 0 0\n1 0 0\n0 1 0\n2 0 1\n"),
            "m.ply:13: facet has 2 corners; at least 3 are needed");
  EXPECT_EQ(errorOf(header + "0 0 0\n1 x 0\n0 1 0\n3 0 1 2\n"), "m.ply:11: \"x\" is not a number");
  EXPECT_EQ(errorOf(header + "0 0 0\n1 0 0\n0 1 0\n3 0 1\n"), "m.ply:13: the data end early");
  EXPECT_NE(errorOf("ply\nformat ascii 1.0\nelement vertex 1\nproperty float x\nend_header\n"
                    "0\n")
                .find("m.ply:3: the vertex element needs"),
            std::string::npos);
  EXPECT_NE(errorOf("ply\nformat ascii 1.0\nelement vertex 1\nproperty quad x\nend_header\n")
                .find("m.ply:4: unknown property type \"quad\""),
            std::string::npos);
  std::string truncated = binaryPly(true);
  truncated.resize(truncated.size() - 3);
  EXPECT_EQ(errorOf(truncated), "m.ply: face 2: list length 2 runs past the end of the file");
  truncated.resize(truncated.size() - 5);
  EXPECT_EQ(errorOf(truncated), "m.ply: face 2: the data end early");
}

/// A one-triangle ASCII PLY whose vertex element has the given extra
/// property, with value on vertex 0; the face's count and corners as given.
std::string triangleWith(const std::string& property, const std::string& value,
                         const std::string& face = "3 0 1 2") {
  return "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\n"
         "property float z\nproperty " +
         property +
         "\nelement face 1\nproperty list uchar int vertex_indices\nend_header\n"
         "0 0 0 " +
         value + "\n1 0 0 0\n0 1 0 0\n" + face + "\n";
}

TEST(PlyReader, AsciiIntegersAreCheckedAgainstTheirDeclaredType) {
  // Every integer, those of skipped properties included.
  EXPECT_EQ(errorOf(triangleWith("uchar red", "300")),
            "m.ply:11: 300 is outside the range of uchar (0 to 255)");
  EXPECT_EQ(errorOf(triangleWith("char level", "-200")),
            "m.ply:11: -200 is outside the range of char (-128 to 127)");
  EXPECT_EQ(errorOf(triangleWith("uint id", "5000000000")),
            "m.ply:11: 5000000000 is outside the range of uint (0 to 4294967295)");
  EXPECT_EQ(errorOf(triangleWith("ushort id", "99999999999999999999")),
            "m.ply:11: 99999999999999999999 is outside the range of ushort (0 to 65535)");
  EXPECT_EQ(errorOf(triangleWith("float w", "0", "256 0 1 2")),
            "m.ply:14: 256 is outside the range of uchar (0 to 255)");
  EXPECT_EQ(errorOf(triangleWith("uchar red", "1.0")), "m.ply:11: \"1.0\" is not an integer");
  // A leading '+' reads as C's number reading reads it.
  std::string plus = triangleWith("float w", "0", "+3 +0 1 +2");
  plus.replace(plus.find("end_header\n0"), 12, "end_header\n+1.5");
  const PolygonSoup soup = parsePly(plus, "m.ply");
  EXPECT_EQ(soup.points[0].x(), 1.5f);
  EXPECT_EQ(soup.corners, (std::vector<std::uint32_t>{0, 1, 2}));
  EXPECT_EQ(errorOf(triangleWith("int w", "+-1")), "m.ply:11: \"+-1\" is not an integer");
}

TEST(PlyReader, AsciiDoubleValuesRoundOnceFromTheTextToFloat) {
  // Just above the midpoint between 1 and the next float: rounded through
  // double it lands on the midpoint and then on 1 (ties to even).
  const std::string text = "1.000000059604644775390625001";
  PlyVertexValues values{"v", {}};
  parsePly(triangleWith("double v", text), "m.ply", &values);
  ASSERT_EQ(values.values.size(), 3u);
  EXPECT_EQ(values.values[0], std::strtof(text.c_str(), nullptr));
  EXPECT_GT(values.values[0], 1.0f);
  PlyVertexValues asCoordinate{"x", {}};
  std::string xDouble = triangleWith("float w", "0");
  xDouble.replace(xDouble.find("float x"), 7, "double x");
  xDouble.replace(xDouble.find("end_header\n0"), 12, "end_header\n" + text);
  EXPECT_EQ(parsePly(xDouble, "m.ply", &asCoordinate).points[0].x(), values.values[0]);
}

TEST(PlyReader, ByteOrderMarkAndLoneCarriageReturnsFrameTheSameLines) {
  std::string loneCr = asciiPly;
  loneCr.erase(loneCr.find("\r\n"), 1); // its one CR LF line end
  std::replace(loneCr.begin(), loneCr.end(), '\n', '\r');
  for (const std::string& text : {"\xEF\xBB\xBF" + asciiPly, loneCr, "\xEF\xBB\xBF" + loneCr}) {
    const PolygonSoup soup = parsePly(text, "m.ply");
    expectSoupOfAsciiPly(soup);
    EXPECT_EQ(soup.facetLines, (std::vector<std::uint64_t>{23, 24}));
  }
  std::string badLastFace = loneCr;
  badLastFace.replace(badLastFace.rfind("5 3 3 2 1"), 9, "5 3 3 2 9");
  EXPECT_EQ(errorOf(badLastFace), "m.ply:24: facet corner 9 is outside the 5 vertices (numbered "
                                  "from 0)");
}

TEST(PlyReader, ControlBytesOfTheFileNeverReachAMessage) {
  EXPECT_EQ(errorOf("ply\nformat ascii 1.0\n\x1b[2Jelement vertex 1\n"),
            "m.ply:3: unknown header keyword \"?[2Jelement\"");
  std::string escapeForX = triangleWith("float w", "0");
  escapeForX.replace(escapeForX.find("end_header\n0"), 12, "end_header\n\x1b[31m");
  EXPECT_EQ(errorOf(escapeForX), "m.ply:11: \"?[31m\" is not a number");
  PlyVertexValues values{"quality", {}};
  try {
    parsePly(triangleWith("float \x1b]0;t\x07", "0"), "m.ply", &values);
    FAIL() << "a missing property was accepted";
  } catch (const VertexPropertyError& error) {
    EXPECT_EQ(std::string(error.what()), "m.ply has no vertex property \"quality\"; its vertex "
                                         "properties are: x, y, z, ?]0;t?");
  }
}

TEST(PlyReader, CountsTheFileCannotHoldAreRefusedBeforeReading) {
  const std::string message =
      errorOf("ply\nformat binary_little_endian 1.0\nelement vertex 4000000000\n"
              "property float x\nproperty float y\nproperty float z\nend_header\n");
  EXPECT_NE(message.find("m.ply:3: the header announces 4000000000 vertex records"),
            std::string::npos)
      << message;
  std::string hugeList = binaryPly(true);
  const std::size_t firstFace = hugeList.size() - 2 * (4 + 12 + 5) - 4;
  const std::int32_t count = 0x7FFFFFFF;
  std::memcpy(&hugeList[firstFace], &count, 4);
  EXPECT_NE(errorOf(hugeList).find("runs past the end of the file"), std::string::npos);
}

TEST(PlyReader, GarbageBodiesAreRefusedOrReadNeverCrash) {
  std::mt19937 random(7);
  for (const std::string& base : {binaryPly(true), asciiPly}) {
    for (int trial = 0; trial < 300; ++trial) {
      std::string bytes = base;
      for (int k = 0; k < 4; ++k)
        bytes[random() % bytes.size()] = static_cast<char>(random() & 0xFF);
      bytes.resize(random() % (bytes.size() + 1));
      try {
        const PolygonSoup soup = parsePly(bytes, "m.ply");
        for (const std::uint32_t corner : soup.corners)
          ASSERT_LT(corner, soup.points.size());
      } catch (const InvalidInputError&) {
      }
    }
  }
}

} // namespace
} // namespace vornel
