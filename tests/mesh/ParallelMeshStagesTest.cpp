// Geometry preparation and the ring adjacency on several threads against one
// thread: the same positions, normals, flags and rings bit for bit.

#include "core/Parallel.hpp"
#include "mesh/LabeledMesh.hpp"
#include "mesh/MeshFixtures.hpp"
#include "mesh/MeshInput.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

namespace vornel {
namespace {

/// Every float geometry preparation writes, and its flags.
struct PreparedGeometry {
  std::vector<float> numbers; // positions and vertex normals, then facet normals
  bool triangles = false;
  bool quads = false;
  bool operator==(const PreparedGeometry& other) const {
    return numbers == other.numbers && triangles == other.triangles && quads == other.quads;
  }
};

PreparedGeometry prepared(const std::function<void(LabeledMesh&)>& build, unsigned threads) {
  LabeledMesh mesh;
  build(mesh);
  StageThreads(threads).run([&] { prepareGeometry(mesh); });
  PreparedGeometry result;
  for (auto v = mesh.surface.vertices_begin(); v != mesh.surface.vertices_end(); ++v)
    for (int k = 0; k < 3; ++k) {
      result.numbers.push_back(v->point()[k]);
      result.numbers.push_back(v->normal[k]);
    }
  for (auto f = mesh.surface.facets_begin(); f != mesh.surface.facets_end(); ++f)
    for (int k = 0; k < 3; ++k)
      result.numbers.push_back(f->normal[k]);
  for (int k = 0; k < 3; ++k) {
    result.numbers.push_back(mesh.boxMin[k]);
    result.numbers.push_back(mesh.boxMax[k]);
  }
  result.triangles = mesh.isTriangleMesh;
  result.quads = mesh.isQuadMesh;
  return result;
}

/// A wavy grid of quadrilaterals with every fifth cell split into two
/// triangles: mixed degrees and a border.
void buildWavyGrid(LabeledMesh& mesh) {
  constexpr std::uint32_t side = 120;
  test::Points points;
  for (std::uint32_t y = 0; y < side; ++y)
    for (std::uint32_t x = 0; x < side; ++x)
      points.push_back({static_cast<float>(x) * 0.37f, static_cast<float>(y) * 0.29f,
                        static_cast<float>(std::sin(0.3 * x) * std::cos(0.2 * y))});
  test::Facets facets;
  for (std::uint32_t y = 0; y + 1 < side; ++y)
    for (std::uint32_t x = 0; x + 1 < side; ++x) {
      const std::uint32_t a = y * side + x;
      const std::uint32_t b = a + 1;
      const std::uint32_t c = a + side + 1;
      const std::uint32_t d = a + side;
      if ((x + y) % 5 == 0) {
        facets.push_back({a, b, c});
        facets.push_back({a, c, d});
      } else {
        facets.push_back({a, b, c, d});
      }
    }
  test::buildMesh(mesh, points, facets);
}

TEST(ParallelGeometry, EveryThreadCountPreparesTheOneThreadGeometry) {
  const std::vector<std::function<void(LabeledMesh&)>> meshes = {
      [](LabeledMesh& mesh) { test::buildIcosphere(mesh, 5); }, buildWavyGrid,
      [](LabeledMesh& mesh) { test::buildStrip(mesh, 9000); }};
  for (std::size_t m = 0; m < meshes.size(); ++m) {
    const PreparedGeometry reference = prepared(meshes[m], 1);
    for (const unsigned threads : {2u, 3u, 8u})
      EXPECT_TRUE(prepared(meshes[m], threads) == reference) << "mesh " << m << ", " << threads;
  }
}

TEST(ParallelVertexGraph, EveryThreadCountBuildsTheOneThreadRings) {
  // The long strip spans more blocks than the parallel walk takes at once.
  const std::vector<std::function<void(LabeledMesh&)>> meshes = {
      buildWavyGrid, [](LabeledMesh& mesh) { test::buildStrip(mesh, 150000); }};
  for (std::size_t m = 0; m < meshes.size(); ++m) {
    LabeledMesh mesh;
    meshes[m](mesh);
    const auto rings = [&](unsigned threads) {
      return StageThreads(threads).run([&] { return buildVertexGraph(mesh); });
    };
    const VertexGraph reference = rings(1);
    ASSERT_EQ(reference.vertexCount(), mesh.vertexCount());
    for (const unsigned threads : {2u, 3u, 8u}) {
      const VertexGraph graph = rings(threads);
      EXPECT_EQ(graph.offsets, reference.offsets) << "mesh " << m << ", " << threads;
      EXPECT_EQ(graph.neighbours, reference.neighbours) << "mesh " << m << ", " << threads;
    }
  }
}

} // namespace
} // namespace vornel
