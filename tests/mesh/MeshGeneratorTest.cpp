// The benchmark mesh generator: sizes, regions, and surfaces the readers accept.

#include "bench/MeshGenerator.hpp"
#include "mesh/MeshInput.hpp"
#include "mesh/io/MeshReading.hpp"

#include "TempFolder.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace vornel {
namespace {

namespace fs = std::filesystem;
using namespace generator;

std::string fileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(MeshGenerator, GridHasEqualStripesAndTwoTrianglesPerCell) {
  const GeneratedMesh grid = makeGrid(16, 2);
  ASSERT_EQ(grid.points.size(), 16u);
  EXPECT_EQ(grid.triangles.size(), 18u);
  // Row 1 (j = 1): columns 0, 1 in stripe 0, columns 2, 3 in stripe 1.
  EXPECT_EQ(std::vector<int>(grid.regions.begin() + 4, grid.regions.begin() + 8),
            (std::vector<int>{0, 0, 1, 1}));
  EXPECT_EQ(grid.points[7][0], 1.0f);
}

TEST(MeshGenerator, IcosphereReachesTheAskedVertexCountOnTheUnitSphere) {
  const GeneratedMesh sphere = makeIcosphere(100, 4); // frequency 4: 162 vertices
  ASSERT_EQ(sphere.points.size(), 162u);
  EXPECT_EQ(sphere.triangles.size(), 320u);
  for (std::size_t k = 0; k < sphere.points.size(); ++k) {
    const auto& p = sphere.points[k];
    EXPECT_NEAR(p[0] * p[0] + p[1] * p[1] + p[2] * p[2], 1.0, 1e-6);
    EXPECT_EQ(sphere.regions[k], std::min(3, static_cast<int>((p[2] + 1.0) * 2.0)));
  }
}

class GeneratedFiles : public ::testing::Test {
protected:
  vornel::testing::TempFolder temp_;
  const fs::path& folder_ = temp_.path();
};

TEST_F(GeneratedFiles, IcosphereIsAClosedSurfaceInBothFormats) {
  const GeneratedMesh sphere = makeIcosphere(500, 3);
  const std::string obj = (folder_ / "sphere.obj").string();
  const std::string off = (folder_ / "sphere.off").string();
  writeObj(sphere, obj);
  writeOff(sphere, off);
  for (const std::string& path : {obj, off}) {
    LabeledMesh mesh;
    buildCheckedSoup(readCheckedSoup(path), mesh);
    EXPECT_EQ(mesh.vertexCount(), sphere.points.size());
    EXPECT_TRUE(mesh.surface.is_closed());
    EXPECT_TRUE(mesh.surface.is_valid());
  }
}

TEST_F(GeneratedFiles, TruthFileHasTheLabelLayout) {
  const std::string path = (folder_ / "truth.lb").string();
  writeTruth({0, 1, 1, 0}, 2, path);
  EXPECT_EQ(fileText(path), "2 \t0 \t1 \t1 \t0 \t");
}

TEST_F(GeneratedFiles, AttributesAreRegionMeansPlusSeededNoise) {
  const std::vector<int> regions(2000, 2);
  const std::string a = (folder_ / "a.att").string();
  const std::string b = (folder_ / "b.att").string();
  writeAttributes(regions, 0.25, 7, a);
  writeAttributes(regions, 0.25, 7, b);
  EXPECT_EQ(fileText(a), fileText(b));
  std::istringstream values(fileText(a));
  double sum = 0.0;
  double squares = 0.0;
  for (double v; values >> v;) {
    sum += v;
    squares += (v - 2.0) * (v - 2.0);
  }
  EXPECT_NEAR(sum / 2000.0, 2.0, 0.03);
  EXPECT_NEAR(std::sqrt(squares / 2000.0), 0.25, 0.02);
  writeAttributes({0, 1}, 0.0, 7, a);
  EXPECT_EQ(fileText(a), "0\n1\n");
}

} // namespace
} // namespace vornel
