// The vornel command on STL meshes: the same labels as the same mesh in OBJ,
// the weld in --verbose, computed attributes, and refusals.

#include "app/CliSupport.hpp"
#include "mesh/io/ObjParser.hpp"
#include "mesh/io/StlReader.hpp"

#include "StlBytes.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <tuple>

namespace vornel::testing {
namespace {

/// OBJ text of a soup, coordinates written to read back exactly.
std::string objText(const PolygonSoup& soup) {
  std::string text;
  char line[96];
  for (const Point3& p : soup.points) {
    std::snprintf(line, sizeof line, "v %.9g %.9g %.9g\n", static_cast<double>(p.x()),
                  static_cast<double>(p.y()), static_cast<double>(p.z()));
    text += line;
  }
  for (std::size_t f = 0; f < soup.facetCount(); ++f) {
    text += "f";
    for (std::uint32_t k = soup.facetOffsets[f]; k < soup.facetOffsets[f + 1]; ++k)
      text += " " + std::to_string(soup.corners[k] + 1);
    text += "\n";
  }
  return text;
}

/// A 30 x 30 grid with three noisy stripes, as STL, and the same mesh as OBJ
/// with its vertices in the STL's order (that of first appearance).
struct StlGrid {
  explicit StlGrid(bool binary, const std::string& header = "grid") {
    const int side = 30;
    const PolygonSoup grid = parseObj(gridObj(side, side), "grid.obj");
    const std::vector<StlTriangle> triangles = trianglesOf(grid);
    const std::string bytes = binary ? binaryStl(triangles, header) : asciiStl(triangles);
    const PolygonSoup welded = parseStl(bytes, "grid.stl").soup;
    // Each welded vertex's stripe, found through its grid vertex.
    std::map<std::tuple<float, float, float>, std::size_t> gridVertex;
    for (std::size_t v = 0; v < grid.points.size(); ++v)
      gridVertex[{grid.points[v].x(), grid.points[v].y(), grid.points[v].z()}] = v;
    const std::vector<int> stripes = stripeRegions(side, side, 3);
    for (const Point3& p : welded.points)
      regions.push_back(stripes[gridVertex.at({p.x(), p.y(), p.z()})]);
    const std::string values = noisyAttributes(regions, 1.0, 0.3, 5);
    writeFile(stl, bytes);
    writeFile(folder.file("grid_attribute.att"), values);
    writeFile(obj, objText(welded));
    writeFile(folder.file("same_attribute.att"), values);
  }
  TempFolder folder;
  std::string stl = folder.file("grid.STL");
  std::string obj = folder.file("same.obj");
  std::vector<int> regions;
};

std::vector<std::string> seeded(const std::string& mesh, std::vector<std::string> extra = {}) {
  std::vector<std::string> args{mesh, "3", "3", "20", "--seed", "1"};
  args.insert(args.end(), extra.begin(), extra.end());
  return args;
}

TEST(StlCli, BinaryAndAsciiStlGiveTheLabelsOfTheSameMeshAsObj) {
  for (const bool binary : {true, false}) {
    StlGrid input(binary, "solid grid"); // a binary header may start with "solid"
    const CommandResult fromObj = runVornel(seeded(input.obj));
    ASSERT_EQ(fromObj.exitStatus, 0) << fromObj.err;
    const CommandResult fromStl = runVornel(seeded(input.stl));
    ASSERT_EQ(fromStl.exitStatus, 0) << fromStl.err;
    EXPECT_TRUE(fromStl.err.empty()) << fromStl.err;
    const std::string labels = readFile(input.folder.file("grid_labels.lb"));
    EXPECT_EQ(labels, readFile(input.folder.file("same_labels.lb")));
    EXPECT_GT(accuracy(parseLabelFile(labels).labels, input.regions), 0.9);
  }
}

TEST(StlCli, VerboseSaysHowManyCornersWereWelded) {
  StlGrid input(true);
  const CommandResult result = runVornel(seeded(input.stl, {"--verbose"}));
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  // 29 x 29 squares of two triangles: 5046 corners on 900 vertices.
  EXPECT_NE(result.err.find("welded 4146 of 5046 corners (equal coordinates): 900 vertices"),
            std::string::npos)
      << result.err;
}

TEST(StlCli, ComputedAttributeNeedsNoAttributeFile) {
  // A wavy sheet, so that the curvature varies; only the STL file is there.
  std::vector<StlTriangle> triangles;
  const auto point = [](int i, int j) {
    const float x = static_cast<float>(i), y = static_cast<float>(j);
    return std::array<float, 3>{x, y, static_cast<float>(2.0 * std::sin(x / 3.0))};
  };
  for (int i = 0; i < 24; ++i)
    for (int j = 0; j < 12; ++j) {
      triangles.push_back({point(i, j), point(i + 1, j), point(i + 1, j + 1)});
      triangles.push_back({point(i, j), point(i + 1, j + 1), point(i, j + 1)});
    }
  TempFolder folder;
  const std::string stl = folder.file("wave.stl");
  writeFile(stl, binaryStl(triangles));
  const CommandResult result =
      runVornel({stl, "2", "2", "20", "--seed", "3", "--compute-attribute", "mean-curvature"});
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  const LabelFileContent labels = parseLabelFile(readFile(folder.file("wave_labels.lb")));
  EXPECT_EQ(labels.labels.size(), 25u * 13u);
  EXPECT_TRUE(fileExists(folder.file("wave_attribute.att")));
  // The same mesh as OBJ, in the STL's vertex order, computes the same values and labels.
  writeFile(folder.file("same.obj"), objText(parseStl(readFile(stl), stl).soup));
  ASSERT_EQ(runVornel({folder.file("same.obj"), "2", "2", "20", "--seed", "3",
                       "--compute-attribute", "mean-curvature"})
                .exitStatus,
            0);
  EXPECT_EQ(readFile(folder.file("same_attribute.att")),
            readFile(folder.file("wave_attribute.att")));
  EXPECT_EQ(readFile(folder.file("same_labels.lb")), readFile(folder.file("wave_labels.lb")));
}

TEST(StlCli, FacetWeldedFlatIsRefusedUnlessRepaired) {
  TempFolder folder;
  const std::string stl = folder.file("d.stl");
  // Two triangles of a square, and one whose corners 1 and 3 are at one point.
  writeFile(stl, binaryStl({{{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}}},
                            {{{0, 0, 0}, {1, 1, 0}, {0, 1, 0}}},
                            {{{1, 0, 0}, {2, 0, 0}, {1, 0, 0}}}}));
  writeFile(folder.file("d_attribute.att"), "0 0 0 0 5");
  const CommandResult refused = runVornel({stl, "2", "0", "0", "--seed", "1"});
  EXPECT_EQ(refused.exitStatus, 1);
  EXPECT_EQ(refused.err, "vornel: " + stl +
                             ": facet 3 repeats vertex 1 (vertices numbered from 0): two of its "
                             "corners have equal coordinates; --repair drops such facets\n");
  EXPECT_FALSE(fileExists(folder.file("d_labels.lb")));
  const CommandResult repaired = runVornel({stl, "2", "0", "0", "--seed", "1", "--repair"});
  ASSERT_EQ(repaired.exitStatus, 0) << repaired.err;
  EXPECT_EQ(repaired.err.rfind("vornel: warning: repaired " + stl +
                                   ": split 0 vertices into 0 copies, reversed 0 facets, dropped "
                                   "1 facet\n",
                               0),
            0u)
      << repaired.err;
  // The vertex of the dropped facet alone keeps its place in the label file.
  EXPECT_EQ(parseLabelFile(readFile(folder.file("d_labels.lb"))).labels.size(), 5u);
}

TEST(StlCli, TruncatedBinaryIsRefusedWithoutOutput) {
  TempFolder folder;
  const std::string stl = folder.file("t.stl");
  std::string bytes = binaryStl({{{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}}}});
  bytes.pop_back();
  writeFile(stl, bytes);
  writeFile(folder.file("t_attribute.att"), "1 2 3");
  const CommandResult result = runVornel({stl, "2", "0", "0"});
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_EQ(result.err, "vornel: " + stl +
                            ": not a valid binary STL: its count of 1 facets needs 84 + 50 x 1 = "
                            "134 bytes, but the file has 133\n");
  EXPECT_FALSE(fileExists(folder.file("t_labels.lb")));
}

} // namespace
} // namespace vornel::testing
