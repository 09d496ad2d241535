// The vornel command with the coloured mesh, PLY input and --repair.

#include "app/CliSupport.hpp"
#include "mesh/io/ObjParser.hpp"
#include "mesh/io/PlyReader.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace vornel::testing {
namespace {

/// A 30 x 30 grid with three noisy stripes.
struct GridInput {
  explicit GridInput(const std::string& extension = ".obj") {
    const int side = 30;
    regions = stripeRegions(side, side, 3);
    const std::string text = gridObj(side, side);
    soup = parseObj(text, "grid.obj");
    writeFile(mesh, extension == ".obj" ? text : plyText(soup));
    writeFile(folder.file("grid_attribute.att"), noisyAttributes(regions, 1.0, 0.3, 5));
  }
  static std::string plyText(const PolygonSoup& soup) {
    std::ostringstream out;
    out << "ply\nformat ascii 1.0\nelement vertex " << soup.points.size()
        << "\nproperty float x\nproperty float y\nproperty float z\nelement face "
        << soup.facetCount() << "\nproperty list uchar int vertex_indices\nend_header\n";
    for (const Point3& p : soup.points)
      out << p.x() << ' ' << p.y() << ' ' << p.z() << '\n';
    for (std::size_t f = 0; f < soup.facetCount(); ++f) {
      out << soup.facetOffsets[f + 1] - soup.facetOffsets[f];
      for (std::uint32_t k = soup.facetOffsets[f]; k < soup.facetOffsets[f + 1]; ++k)
        out << ' ' << soup.corners[k];
      out << '\n';
    }
    return out.str();
  }
  TempFolder folder;
  std::string mesh = folder.file("grid.obj");
  std::string labels = folder.file("grid_labels.lb");
  std::vector<int> regions;
  PolygonSoup soup;
};

std::vector<std::string> seeded(const std::string& mesh, std::vector<std::string> extra = {}) {
  std::vector<std::string> args{mesh, "3", "3", "20", "--seed", "1"};
  args.insert(args.end(), extra.begin(), extra.end());
  return args;
}

TEST(FormatsCli, ColourMeshIsOptInAndLeavesTheLabelFileAlone) {
  GridInput input;
  const CommandResult bare = runVornel(seeded(input.mesh));
  ASSERT_EQ(bare.exitStatus, 0) << bare.err;
  EXPECT_TRUE(bare.out.empty());
  EXPECT_TRUE(bare.err.empty()) << bare.err;
  const std::string labels = readFile(input.labels);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(input.folder.path()),
                          std::filesystem::directory_iterator()),
            3); // mesh, attributes, labels

  const std::string coloured = input.folder.file("out.PLY");
  const CommandResult withColour = runVornel(seeded(input.mesh, {"--colour-mesh", coloured}));
  ASSERT_EQ(withColour.exitStatus, 0) << withColour.err;
  EXPECT_TRUE(withColour.out.empty());
  EXPECT_TRUE(withColour.err.empty()) << withColour.err;
  EXPECT_EQ(readFile(input.labels), labels);
  ASSERT_TRUE(fileExists(coloured));

  // The PLY holds the input positions, the facets, and the labels of the label file.
  const std::string bytes = readFile(coloured);
  const PolygonSoup back = parsePly(bytes, coloured);
  EXPECT_EQ(back.points, input.soup.points);
  EXPECT_EQ(back.corners, input.soup.corners);
  const std::vector<int> expected = parseLabelFile(labels).labels;
  const std::size_t body = bytes.find("end_header\n") + 11;
  for (std::size_t v = 0; v < expected.size(); ++v) {
    std::int32_t label = -1;
    // Records of x y z, rgb, label, quality and segment: 27 bytes.
    std::memcpy(&label, bytes.data() + body + v * 27 + 15, 4);
    ASSERT_EQ(label, expected[v]) << "vertex " << v;
  }
}

TEST(FormatsCli, ColorMeshWritesCoff) {
  GridInput input;
  const std::string coloured = input.folder.file("out.off");
  const CommandResult result = runVornel(seeded(input.mesh, {"--color-mesh", coloured}));
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  std::istringstream in(readFile(coloured));
  std::string magic;
  std::size_t vertices = 0, facets = 0;
  in >> magic >> vertices >> facets;
  EXPECT_EQ(magic, "COFF");
  EXPECT_EQ(vertices, input.soup.points.size());
  EXPECT_EQ(facets, input.soup.facetCount());
}

TEST(FormatsCli, UnwritableColourMeshFailsBeforeTheLabelFile) {
  GridInput input;
  const std::string coloured = input.folder.file("no/such/folder/out.ply");
  const CommandResult result = runVornel(seeded(input.mesh, {"--colour-mesh", coloured}));
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_NE(result.err.find("cannot write coloured mesh " + coloured), std::string::npos)
      << result.err;
  EXPECT_FALSE(fileExists(input.labels));
}

TEST(FormatsCli, PlyInputGivesTheSameLabelsAsObj) {
  GridInput obj;
  ASSERT_EQ(runVornel(seeded(obj.mesh)).exitStatus, 0);
  GridInput ply(".ply");
  ply.mesh = ply.folder.file("grid.Ply");
  writeFile(ply.mesh, GridInput::plyText(ply.soup));
  const CommandResult result = runVornel(seeded(ply.mesh));
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_TRUE(result.err.empty()) << result.err;
  EXPECT_EQ(readFile(ply.labels), readFile(obj.labels));
}

TEST(FormatsCli, BadPlyIsRefusedNamingTheLine) {
  TempFolder folder;
  const std::string mesh = folder.file("bad.ply");
  writeFile(mesh, "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\n"
                  "property float z\nelement face 1\nproperty list uchar int vertex_indices\n"
                  "end_header\n0 0 0\n1 0 0\n0 1 0\n3 0 1 7\n");
  writeFile(folder.file("bad_attribute.att"), "1 2 3");
  const CommandResult result = runVornel({mesh, "2", "1", "1"});
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_EQ(result.err.rfind("vornel: " + mesh + ":13: ", 0), 0u) << result.err;
  EXPECT_FALSE(fileExists(folder.file("bad_labels.lb")));
}

/// Two closed tetrahedra sharing vertex 1 (OBJ numbering), then an unused vertex.
const char* const tetrahedraObj = "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 0 1\n"
                                  "v -1 0 0\nv 0 -1 0\nv 0 0 -1\nv 5 5 5\n"
                                  "f 1 3 2\nf 1 2 4\nf 1 4 3\nf 2 3 4\n"
                                  "f 1 6 5\nf 1 5 7\nf 1 7 6\nf 5 6 7\n";

TEST(FormatsCli, NonManifoldMeshIsRefusedWithAHintAtRepair) {
  TempFolder folder;
  const std::string mesh = folder.file("t.obj");
  writeFile(mesh, tetrahedraObj);
  writeFile(folder.file("t_attribute.att"), "0 0 0 0 5 5 5 9");
  const CommandResult result = runVornel({mesh, "2", "1", "3", "--seed", "1"});
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_EQ(result.err.rfind("vornel: " + mesh + ":13: ", 0), 0u) << result.err;
  EXPECT_NE(result.err.find("--repair"), std::string::npos);
  EXPECT_FALSE(fileExists(folder.file("t_labels.lb")));
}

TEST(FormatsCli, RepairSplitsTheSharedVertexAndKeepsOneLabelPerInputVertex) {
  TempFolder folder;
  const std::string mesh = folder.file("t.obj");
  writeFile(mesh, tetrahedraObj);
  writeFile(folder.file("t_attribute.att"), "0 0 0 0 5 5 5 9");
  const std::string coloured = folder.file("t.ply");
  const CommandResult result =
      runVornel({mesh, "2", "0", "0", "--seed", "1", "--repair", "--colour-mesh", coloured});
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_EQ(result.err.rfind("vornel: warning: repaired " + mesh +
                                 ": split 1 vertex into 2 copies, reversed 0 facets, dropped 0 "
                                 "facets\n",
                             0),
            0u)
      << result.err;
  const LabelFileContent labels = parseLabelFile(readFile(folder.file("t_labels.lb")));
  EXPECT_EQ(labels.labels, (std::vector<int>{0, 0, 0, 0, 1, 1, 1, 1}));
  // The coloured mesh is written per input vertex, both tetrahedra on vertex 0.
  const PolygonSoup back = parsePly(readFile(coloured), coloured);
  EXPECT_EQ(back.points.size(), 8u);
  EXPECT_EQ(back.facetCount(), 8u);
  EXPECT_EQ(back.corners[12], 0u);
}

TEST(FormatsCli, RepairLeavesAMeshThatBuildsUntouched) {
  // A bow-tie of two triangles touching at a border vertex builds as it is.
  TempFolder folder;
  const std::string mesh = folder.file("bow.obj");
  writeFile(mesh, "v 0 0 0\nv 1 0 0\nv 1 1 0\nv -1 0 0\nv -1 -1 0\nf 1 2 3\nf 1 4 5\n");
  writeFile(folder.file("bow_attribute.att"), "1 1 1 8 8");
  ASSERT_EQ(runVornel({mesh, "2", "0", "0", "--seed", "2"}).exitStatus, 0);
  const std::string plain = readFile(folder.file("bow_labels.lb"));
  const CommandResult repaired = runVornel({mesh, "2", "0", "0", "--seed", "2", "--repair"});
  ASSERT_EQ(repaired.exitStatus, 0) << repaired.err;
  EXPECT_EQ(repaired.err.find("repaired"), std::string::npos) << repaired.err;
  EXPECT_EQ(readFile(folder.file("bow_labels.lb")), plain);
}

TEST(FormatsCli, SharedCowNeedsRepair) {
  const std::string source = std::string(VORNEL_SHARED_DATA_DIR) + "/cow.obj";
  if (!fileExists(source))
    GTEST_SKIP() << source << " is absent";
  TempFolder folder;
  const std::string mesh = folder.file("cow.obj");
  std::filesystem::copy_file(source, mesh);
  std::ifstream in(source);
  std::size_t vertices = 0;
  for (std::string line; std::getline(in, line);)
    vertices += line.rfind("v ", 0) == 0;
  std::string values;
  for (std::size_t v = 0; v < vertices; ++v)
    values += std::to_string(v % 7) + "\n";
  writeFile(folder.file("cow_attribute.att"), values);

  const CommandResult refused = runVornel({mesh, "3", "1", "3", "--seed", "1"});
  EXPECT_EQ(refused.exitStatus, 1);
  EXPECT_EQ(refused.err.rfind("vornel: " + mesh + ":", 0), 0u) << refused.err;
  EXPECT_NE(refused.err.find("--repair"), std::string::npos);

  const CommandResult repaired = runVornel({mesh, "3", "1", "3", "--seed", "1", "--repair"});
  ASSERT_EQ(repaired.exitStatus, 0) << repaired.err;
  EXPECT_NE(repaired.err.find("repaired " + mesh + ": split "), std::string::npos);
  EXPECT_EQ(parseLabelFile(readFile(folder.file("cow_labels.lb"))).labels.size(), vertices);
}

/// An OFF grid of 4 x 4 vertices with `unused` extra vertices, far away and
/// used by no facet, inserted before the file vertex numbers given (16: at the
/// end). The attribute file holds one value per used vertex: 10 where x > 1.5.
struct OffWithUnusedVertices {
  OffWithUnusedVertices(const std::vector<int>& insertBefore) {
    std::vector<std::string> lines;
    std::vector<int> fileNumber(16);
    std::string values;
    for (int v = 0; v <= 16; ++v) {
      for (const int place : insertBefore)
        if (place == v)
          lines.push_back("99 99 " + std::to_string(lines.size()));
      if (v == 16)
        break;
      fileNumber[static_cast<std::size_t>(v)] = static_cast<int>(lines.size());
      lines.push_back(std::to_string(v % 4) + " " + std::to_string(v / 4) + " 0");
      values += (v % 4 > 1 ? "10.5\n" : "0.5\n");
      expected.push_back(v % 4 > 1 ? 1 : 0);
    }
    std::string text = "OFF\n" + std::to_string(lines.size()) + " 18 0\n";
    for (const std::string& line : lines)
      text += line + "\n";
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 3; ++x) {
        const auto corner = [&](int dx, int dy) {
          return std::to_string(fileNumber[static_cast<std::size_t>((y + dy) * 4 + x + dx)]);
        };
        text += "3 " + corner(0, 0) + " " + corner(1, 0) + " " + corner(1, 1) + "\n";
        text += "3 " + corner(0, 0) + " " + corner(1, 1) + " " + corner(0, 1) + "\n";
      }
    writeFile(folder.file("m.off"), text);
    writeFile(folder.file("m_attribute.att"), values);
  }
  TempFolder folder;
  std::vector<int> expected; // the label of each used vertex, in file order
};

TEST(OffUnusedVertices, AreDroppedAndTheValuesPairWithTheUsedVerticesInFileOrder) {
  const std::vector<std::vector<int>> placements = {{0}, {7}, {16}, {0, 5, 5, 11, 16}};
  for (const std::vector<int>& placement : placements)
    for (const bool repair : {false, true}) {
      SCOPED_TRACE("unused vertices before " + ::testing::PrintToString(placement) +
                   (repair ? ", --repair" : ""));
      const OffWithUnusedVertices input(placement);
      std::vector<std::string> args = {input.folder.file("m.off"), "2", "0", "0", "--seed", "3"};
      if (repair)
        args.push_back("--repair");
      const CommandResult run = runVornel(args);
      ASSERT_EQ(run.exitStatus, 0) << run.err;
      EXPECT_EQ(parseLabelFile(readFile(input.folder.file("m_labels.lb"))).labels, input.expected);
    }
}

TEST(OffUnusedVertices, AllButThreeDroppedLeaveOneTriangle) {
  TempFolder folder;
  writeFile(folder.file("t.off"), "OFF\n10 1 0\n9 9 9\n9 9 8\n0 0 0\n9 9 7\n1 0 0\n9 9 6\n"
                                  "9 9 5\n0 1 0\n9 9 4\n9 9 3\n3 2 4 7\n");
  writeFile(folder.file("t_attribute.att"), "1\n5\n1\n");
  const CommandResult run = runVornel({folder.file("t.off"), "2", "0", "0", "--seed", "1"});
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  EXPECT_EQ(parseLabelFile(readFile(folder.file("t_labels.lb"))).labels,
            (std::vector<int>{0, 1, 0}));
}

} // namespace
} // namespace vornel::testing
