// The coloured mesh: ramp colours by class, both file formats read back, and
// the staged (atomic) writing it shares with the label file.

#include "core/Errors.hpp"
#include "mesh/io/AtomicFile.hpp"
#include "mesh/io/ColouredMeshWriter.hpp"
#include "mesh/io/PlyReader.hpp"

#include "TempFolder.hpp"
#include "mesh/MeshFixtures.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <sstream>

namespace vornel {
namespace {

std::array<std::uint8_t, 3> rampRow(std::size_t row) {
  const RgbColour& c = rampPalette()[row];
  return {static_cast<std::uint8_t>(std::lround(c[0] * 255)),
          static_cast<std::uint8_t>(std::lround(c[1] * 255)),
          static_cast<std::uint8_t>(std::lround(c[2] * 255))};
}

TEST(ColouredMesh, ClassColoursSpreadOverTheRamp) {
  EXPECT_EQ(classColour(0, 1), rampRow(0));
  EXPECT_EQ(classColour(0, 3), rampRow(0));
  EXPECT_EQ(classColour(1, 3), rampRow(128)); // 127.5 rounds up
  EXPECT_EQ(classColour(2, 3), rampRow(255));
  EXPECT_EQ(classColour(1, 4), rampRow(85));
  EXPECT_EQ(classColour(2, 4), rampRow(170));
  EXPECT_NE(classColour(0, 2), classColour(1, 2));
}

/// An octahedron labelled v % 3 with attribute v / 4, written at its input
/// positions scaled by 10 (the run keeps the positions it read).
ColouredMesh labelledOctahedron(const std::vector<std::uint32_t>& originalOf = {}) {
  LabeledMesh mesh;
  test::buildOctahedron(mesh);
  std::vector<Point3> positions;
  std::int32_t k = 0;
  for (auto v = mesh.surface.vertices_begin(); v != mesh.surface.vertices_end(); ++v, ++k) {
    v->label = k % 3;
    v->attribute = k / 4.0;
    positions.emplace_back(v->point().x() * 10, v->point().y() * 10, v->point().z() * 10);
  }
  mesh.classCount = 3;
  return colouredMeshOf(mesh, positions, originalOf);
}

TEST(ColouredMesh, PlyReadsBackWithColoursLabelsQualityAndFaces) {
  const ColouredMesh coloured = labelledOctahedron();
  const std::string bytes = colouredMeshBytes(coloured, ColouredMeshFormat::Ply);
  const PolygonSoup soup = parsePly(bytes, "c.ply");
  ASSERT_EQ(soup.points.size(), 6u);
  EXPECT_EQ(soup.points[2], Point3(0.0f, 10.0f, 0.0f));
  EXPECT_EQ(soup.corners, coloured.corners);
  EXPECT_EQ(soup.corners.size(), 24u);
  EXPECT_EQ(std::vector<std::uint32_t>(soup.corners.begin(), soup.corners.begin() + 3),
            (std::vector<std::uint32_t>{0, 2, 4}));

  // Each vertex record: 3 floats, 3 uchar, int, float = 23 bytes, little endian.
  const std::size_t body = bytes.find("end_header\n") + 11;
  ASSERT_EQ(bytes.size(), body + 6 * 23 + 8 * 13);
  for (std::size_t v = 0; v < 6; ++v) {
    const char* record = bytes.data() + body + v * 23;
    const std::array<std::uint8_t, 3> rgb{static_cast<std::uint8_t>(record[12]),
                                          static_cast<std::uint8_t>(record[13]),
                                          static_cast<std::uint8_t>(record[14])};
    std::int32_t label = 0;
    float quality = 0.0f;
    std::memcpy(&label, record + 15, 4); // the test host is little endian
    std::memcpy(&quality, record + 19, 4);
    EXPECT_EQ(label, static_cast<std::int32_t>(v % 3));
    EXPECT_EQ(rgb, classColour(label, 3));
    EXPECT_EQ(quality, v / 4.0f);
  }
}

TEST(ColouredMesh, PlyEndsEachVertexWithItsSegmentWhenGiven) {
  ColouredMesh coloured = labelledOctahedron();
  coloured.segments = {0, 1, 2, 3, 4, 4};
  const std::string bytes = colouredMeshBytes(coloured, ColouredMeshFormat::Ply);
  EXPECT_NE(bytes.find("property float quality\nproperty int segment\nelement face 8\n"),
            std::string::npos);
  EXPECT_EQ(parsePly(bytes, "c.ply").corners, coloured.corners);
  // Each vertex record: 3 floats, 3 uchar, int, float, int = 27 bytes.
  const std::size_t body = bytes.find("end_header\n") + 11;
  ASSERT_EQ(bytes.size(), body + 6 * 27 + 8 * 13);
  for (std::size_t v = 0; v < 6; ++v) {
    std::int32_t label = 0, segment = 0;
    std::memcpy(&label, bytes.data() + body + v * 27 + 15, 4);
    std::memcpy(&segment, bytes.data() + body + v * 27 + 23, 4);
    EXPECT_EQ(label, static_cast<std::int32_t>(v % 3));
    EXPECT_EQ(segment, coloured.segments[v]);
  }
}

TEST(ColouredMesh, PlyCarriesEveryFeatureUnderItsSourcesName) {
  ColouredMesh coloured = labelledOctahedron();
  coloured.segments = {0, 1, 2, 3, 4, 4};
  coloured.featureNames = {"mean-curvature", "scan/roughness.att"};
  for (std::size_t v = 0; v < 6; ++v) {
    coloured.featureValues.push_back(coloured.values[v]);
    coloured.featureValues.push_back(100.0f + v);
  }
  const std::string bytes = colouredMeshBytes(coloured, ColouredMeshFormat::Ply);
  EXPECT_NE(bytes.find("property float quality\nproperty float mean_curvature\n"
                       "property float scan_roughness_att\nproperty int segment\n"),
            std::string::npos);
  PlyVertexValues second{"scan_roughness_att", {}};
  EXPECT_EQ(parsePly(bytes, "c.ply", &second).corners, coloured.corners);
  ASSERT_EQ(second.values.size(), 6u);
  for (std::size_t v = 0; v < 6; ++v)
    EXPECT_EQ(second.values[v], 100.0f + v);
  PlyVertexValues segments{"segment", {}};
  parsePly(bytes, "c.ply", &segments);
  EXPECT_EQ(segments.values, (std::vector<float>{0, 1, 2, 3, 4, 4}));
}

TEST(ColouredMesh, FeaturePropertyNamesAreValidAndDistinct) {
  EXPECT_EQ(featurePropertyNames({"quality", "2nd value", "", "a-b", "a_b", "a-b"}),
            (std::vector<std::string>{"quality_2", "feature_2nd_value", "feature_", "a_b", "a_b_2",
                                      "a_b_3"}));
}

/// One facet of `corners` corners on as many vertices, all labelled 0.
ColouredMesh polygonOf(std::uint32_t corners) {
  ColouredMesh mesh;
  for (std::uint32_t k = 0; k < corners; ++k) {
    mesh.positions.emplace_back(static_cast<float>(k), static_cast<float>(k % 7), 0.0f);
    mesh.corners.push_back(k);
  }
  mesh.labels.assign(corners, 0);
  mesh.values.assign(corners, 0.5f);
  mesh.facetOffsets.push_back(corners);
  return mesh;
}

TEST(ColouredMesh, PlyCountsEveryFacetWhateverItsSize) {
  // A facet of more than 255 corners must be written, with a wider count type;
  // up to 255 the count stays a uchar so that common files do not change.
  for (const auto& [corners, type] :
       {std::pair<std::uint32_t, std::string>{255, "uchar"}, {256, "ushort"}, {65536, "uint"}}) {
    const ColouredMesh polygon = polygonOf(corners);
    const std::string bytes = colouredMeshBytes(polygon, ColouredMeshFormat::Ply);
    EXPECT_NE(bytes.find("property list " + type + " int vertex_indices\n"), std::string::npos)
        << corners;
    const PolygonSoup soup = parsePly(bytes, "big.ply");
    EXPECT_EQ(soup.corners, polygon.corners) << corners;
  }
}

TEST(ColouredMesh, CoffListsPositionsColoursAndFacets) {
  const std::string text = colouredMeshBytes(labelledOctahedron(), ColouredMeshFormat::Off);
  std::istringstream in(text);
  std::string magic;
  std::size_t vertices = 0, facets = 0, edges = 0;
  in >> magic >> vertices >> facets >> edges;
  EXPECT_EQ(magic, "COFF");
  EXPECT_EQ(vertices, 6u);
  EXPECT_EQ(facets, 8u);
  for (std::size_t v = 0; v < vertices; ++v) {
    float x = 0, y = 0, z = 0;
    int rgba[4] = {0, 0, 0, 0};
    in >> x >> y >> z >> rgba[0] >> rgba[1] >> rgba[2] >> rgba[3];
    const auto expected = classColour(static_cast<std::int32_t>(v % 3), 3);
    EXPECT_EQ(rgba[0], expected[0]);
    EXPECT_EQ(rgba[1], expected[1]);
    EXPECT_EQ(rgba[2], expected[2]);
    EXPECT_EQ(rgba[3], 255);
    if (v == 1) {
      EXPECT_EQ(x, -10.0f);
    }
  }
  int corners = 0, a = 0, b = 0, c = 0;
  in >> corners >> a >> b >> c;
  EXPECT_EQ(corners, 3);
  EXPECT_EQ(std::vector<int>({a, b, c}), std::vector<int>({0, 2, 4}));
  EXPECT_TRUE(static_cast<bool>(in));
}

TEST(ColouredMesh, PositionsAreWrittenExactly) {
  LabeledMesh mesh;
  test::buildMesh(mesh, {{0.1f, 1e-7f, 123456.7f}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
  std::vector<Point3> positions;
  for (auto v = mesh.surface.vertices_begin(); v != mesh.surface.vertices_end(); ++v)
    positions.push_back(v->point());
  const ColouredMesh coloured = colouredMeshOf(mesh, positions, {});
  std::istringstream in(colouredMeshBytes(coloured, ColouredMeshFormat::Off));
  std::string skip;
  float x = 0, y = 0, z = 0;
  in >> skip >> skip >> skip >> skip >> x >> y >> z;
  EXPECT_EQ(x, 0.1f);
  EXPECT_EQ(y, 1e-7f);
  EXPECT_EQ(z, 123456.7f);
}

TEST(ColouredMesh, SplitCopiesAreWrittenAsTheirOriginals) {
  // Vertex 5 stands for a copy of vertex 0: only five vertices are written.
  LabeledMesh mesh;
  test::buildOctahedron(mesh);
  std::vector<Point3> positions;
  auto v = mesh.surface.vertices_begin();
  for (int k = 0; k < 5; ++k, ++v)
    positions.push_back(v->point());
  const ColouredMesh coloured = colouredMeshOf(mesh, positions, {0, 1, 2, 3, 4, 0});
  EXPECT_EQ(coloured.positions.size(), 5u);
  EXPECT_EQ(coloured.labels.size(), 5u);
  // Facet 4 of the octahedron is (2, 0, 5): corner 5 becomes 0.
  EXPECT_EQ(
      std::vector<std::uint32_t>(coloured.corners.begin() + 12, coloured.corners.begin() + 15),
      (std::vector<std::uint32_t>{2, 0, 0}));
}

TEST(ColouredMesh, FormatFollowsTheExtension) {
  EXPECT_EQ(colouredMeshFormatOf("a/b.PlY"), ColouredMeshFormat::Ply);
  EXPECT_EQ(colouredMeshFormatOf("a.ply.off"), ColouredMeshFormat::Off);
  EXPECT_EQ(colouredMeshFormatOf("x.OFF"), ColouredMeshFormat::Off);
}

TEST(AtomicFile, StagedFileAppearsOnlyOnCommit) {
  testing::TempFolder folder;
  const std::string path = folder.file("out.ply");
  {
    StagedFile staged(path, "abc", "coloured mesh");
    EXPECT_FALSE(std::filesystem::exists(path));
  }
  EXPECT_TRUE(std::filesystem::is_empty(folder.path())); // the temporary file is gone
  testing::writeFile(path, "old");
  StagedFile staged(path, "new", "coloured mesh");
  EXPECT_EQ(testing::readFile(path), "old");
  staged.commit();
  EXPECT_EQ(testing::readFile(path), "new");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()),
                          std::filesystem::directory_iterator()),
            1);
}

TEST(AtomicFile, FailureNamesTheFile) {
  testing::TempFolder folder;
  const std::string path = folder.file("missing/out.off");
  try {
    writeFileAtomically(path, "x", "coloured mesh");
    FAIL() << "wrote into a missing folder";
  } catch (const IOError& error) {
    EXPECT_EQ(std::string(error.what()).rfind("cannot write coloured mesh " + path + ": ", 0), 0u)
        << error.what();
  }
}

} // namespace
} // namespace vornel
