// Closed fans beside other fans: no halfedge surface can hold such a vertex,
// so the soup validation must refuse it, naming the facet that closes the fan
// and the vertex as the file numbers it; and the ring check passes every
// surface the builder makes.

#include "core/Errors.hpp"
#include "mesh/MeshInput.hpp"
#include "mesh/PolygonSoup.hpp"
#include "mesh/build/SoupValidation.hpp"
#include "mesh/build/SurfaceCheck.hpp"
#include "mesh/io/MeshReading.hpp"

#include "TempFolder.hpp"
#include "mesh/MeshFixtures.hpp"

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

std::string errorOf(const std::string& path, LabeledMesh& mesh) {
  try {
    buildCheckedSoup(readCheckedSoup(path), mesh);
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
  const std::string message = errorOf(path, mesh);
  // Facet 3 (line 8) closes the fan {3, 4} at vertex 2 beside the open fan of facet 1.
  EXPECT_EQ(message, path + ":8: facet cannot be added: vertex 2 would carry a closed fan "
                            "beside another fan (non-manifold vertex); --repair splits "
                            "non-manifold vertices and turns or drops the facets that do not fit");
  EXPECT_EQ(mesh.surface.size_of_vertices(), 0u);
}

TEST(VertexRings, OffVertexWithTwoClosedFansIsRejectedAndLeavesNoMesh) {
  const TempFolder temp;
  const std::string path = temp.file("pinched.off");
  writeFile(path, pinchedOff);
  LabeledMesh mesh;
  const std::string message = errorOf(path, mesh);
  // OFF numbers its vertices from 0, as the message says.
  EXPECT_EQ(message, path +
                         ": facet 3 cannot be added: vertex 1 (vertices numbered from 0) would "
                         "carry a closed fan beside another fan (non-manifold vertex); --repair "
                         "splits non-manifold vertices and turns or drops the facets that do not "
                         "fit");
  EXPECT_EQ(mesh.surface.size_of_vertices(), 0u);
}

TEST(VertexRings, FansClosedInTheOtherOrderAreRejectedToo) {
  // Two tetrahedra sharing vertex 0 only: both fans at vertex 0 are closed.
  const test::Points points{{0, 0, 0},  {1, 0, 0},  {0, 1, 0}, {0, 0, 1},
                            {-1, 0, 0}, {0, -1, 0}, {0, 0, -1}};
  const test::Facets facets{{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3},
                            {0, 4, 5}, {0, 6, 4}, {0, 5, 6}, {4, 6, 5}};
  LabeledMesh mesh;
  EXPECT_THROW(test::buildMesh(mesh, points, facets), InvalidInputError);
  EXPECT_EQ(mesh.surface.size_of_vertices(), 0u);
}

TEST(VertexRings, BuilderNeverSeesAClosedFanBesideAnotherFan) {
  // Found by fuzzing the OBJ reader (the builder itself then looped): facets 4
  // and 5 close a fan at vertex 1 back to back, and vertex 1 has other facets.
  // The last facet repeats facet 2; the builder would stop there, after the loop.
  const test::Points points{{1, 0, 0}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 0},
                            {1, 1, 0}, {1, 0, 1}, {0, 0, 1}, {1, 0, 0}};
  const test::Facets facets{{8, 2, 1}, {0, 1, 4}, {6, 5, 3, 4}, {0, 2, 3}, {2, 0, 3},
                            {0, 5, 1}, {0, 6, 3}, {5, 0, 7},    {1, 2, 3}, {0, 1, 4}};
  LabeledMesh mesh;
  try {
    test::buildMesh(mesh, points, facets);
    ADD_FAILURE() << "the mesh was built";
  } catch (const InvalidInputError& error) {
    // Facet 5 (line 14) closes the fan at vertex 1 beside the fans of facets 2 and 4.
    EXPECT_EQ(std::string(error.what()),
              "test.obj:14: facet cannot be added: vertex 1 would carry a closed fan beside "
              "another fan (non-manifold vertex)");
  }
  EXPECT_EQ(mesh.surface.size_of_vertices(), 0u);
}

TEST(VertexRings, OpenFansAndFacetsAfterTheFirstBadOneAreLeftToTheBuilder) {
  // Two triangles meeting at vertex 0 only: two open fans, which the border joins.
  const test::Points points{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {-1, 0, 0}, {-1, -1, 0}};
  EXPECT_FALSE(findSoupProblem(test::makeSoup(points, {{0, 1, 2}, {0, 3, 4}})));
  // A closed tetrahedron at vertex 0 whose other fan only comes after a facet
  // that repeats an edge: that facet is the first problem, not the fan.
  const test::Points tetra{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {5, 5, 5}, {6, 5, 5}};
  const auto repeated = findSoupProblem(
      test::makeSoup(tetra, {{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}, {1, 2, 3}, {0, 4, 5}}));
  ASSERT_TRUE(repeated);
  EXPECT_EQ(repeated->facet, 4u);
  EXPECT_NE(repeated->reason.find("edge from vertex 2 to vertex 3"), std::string::npos)
      << repeated->reason;
  const auto problem = findSoupProblem(
      test::makeSoup(tetra, {{0, 4, 5}, {0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}}));
  ASSERT_TRUE(problem);
  EXPECT_EQ(problem->facet, 3u); // the facet that closes the fan at vertex 0
  EXPECT_NE(problem->reason.find("vertex 1 would carry a closed fan"), std::string::npos)
      << problem->reason;
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
