// The ring check after building: a vertex whose facets form more than one fan
// must be rejected by every reader, because the rings the builder leaves at
// such a vertex do not close and every ring walk would loop for ever.

#include "mesh/Errors.hpp"
#include "mesh/MeshInput.hpp"
#include "mesh/PolygonSoup.hpp"
#include "mesh/SurfaceCheck.hpp"

#include "MeshFixtures.hpp"
#include "TempFolder.hpp"

#include <gtest/gtest.h>

#include <string>

namespace vornel {
namespace {

using vornel::testing::TempFolder;
using vornel::testing::writeFile;

// Found by fuzzing the OBJ reader (the geometry preparation then hung): vertex
// 2 carries two closed fans, {1, 5} from facets 1 and 4 and {3, 4} from facets
// 2 and 3. The builder accepts every facet.
const std::string pinchedObj = "v 0 0 0\nv 1 1 0\nv 0 0 1\nv 1 0 0\nv 1 0 0\n"
                               "f 1 2 5\nf 2 3 4\nf 1 3 2 4\nf 2 1 4 5\n";
const std::string pinchedOff = "OFF\n5 4 0\n0 0 0\n1 1 0\n0 0 1\n1 0 0\n1 0 0\n"
                               "3 0 1 4\n3 1 2 3\n4 0 2 1 3\n4 1 0 3 4\n";

std::string errorOf(void (*reader)(const std::string&, LabeledMesh&), const std::string& path,
                    LabeledMesh& mesh) {
  try {
    reader(path, mesh);
  } catch (const InvalidInputError& error) {
    return error.what();
  }
  return "no error";
}

TEST(VertexRings, ObjVertexWithTwoClosedFansIsRejectedAndLeavesNoMesh) {
  const TempFolder temp;
  const std::string path = temp.file("pinched.obj");
  writeFile(path, pinchedObj);
  LabeledMesh mesh;
  const std::string message = errorOf(readObjFile, path, mesh);
  EXPECT_NE(message.find(path + ": vertex 2 (1.000000 1.000000 0.000000) is non-manifold"),
            std::string::npos)
      << message;
  EXPECT_EQ(mesh.surface.size_of_vertices(), 0u);
}

TEST(VertexRings, OffVertexWithTwoClosedFansIsRejectedAndLeavesNoMesh) {
  const TempFolder temp;
  const std::string path = temp.file("pinched.off");
  writeFile(path, pinchedOff);
  LabeledMesh mesh;
  const std::string message = errorOf(readOffFile, path, mesh);
  EXPECT_NE(message.find(path + ": vertex 2 "), std::string::npos) << message;
  EXPECT_NE(message.find("non-manifold"), std::string::npos) << message;
  EXPECT_EQ(mesh.surface.size_of_vertices(), 0u);
}

TEST(VertexRings, FansClosedInTheOtherOrderAreRejectedToo) {
  // Two tetrahedra sharing vertex 0 only: both fans at vertex 0 are closed.
  const test::Points points{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1},
                            {-1, 0, 0}, {0, -1, 0}, {0, 0, -1}};
  const test::Facets facets{{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3},
                            {0, 4, 5}, {0, 6, 4}, {0, 5, 6}, {4, 6, 5}};
  LabeledMesh mesh;
  EXPECT_THROW(test::buildMesh(mesh, points, facets), InvalidInputError);
  EXPECT_EQ(mesh.surface.size_of_vertices(), 0u);
}

TEST(VertexRings, ClosedAndOpenManifoldSurfacesPass) {
  LabeledMesh tetrahedron;
  test::buildMesh(tetrahedron, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
                  {{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}});
  EXPECT_NO_THROW(checkVertexRings(tetrahedron.surface, "tetrahedron"));
  LabeledMesh fan;
  test::buildTriangleFan(fan, 6, false);
  EXPECT_NO_THROW(checkVertexRings(fan.surface, "fan"));
  EXPECT_EQ(fan.surface.size_of_vertices(), 7u);
}

TEST(VertexRings, IsolatedVerticesPass) {
  LabeledMesh mesh;
  test::buildMesh(mesh, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {5, 5, 5}}, {{0, 1, 2}});
  EXPECT_NO_THROW(checkVertexRings(mesh.surface, "mesh"));
  EXPECT_EQ(mesh.surface.size_of_vertices(), 4u);
}

} // namespace
} // namespace vornel
