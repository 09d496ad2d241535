// The curvature measures on several threads against one thread: the same
// values bit for bit, and the same first fault, on meshes of many blocks.

#include "TestSurfaces.hpp"
#include "core/Errors.hpp"
#include "core/Parallel.hpp"
#include "mesh/curvature/Curvature.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace vornel::test {
namespace {

/// A wavy open grid of side x side vertices, cut into quadrilaterals, triangle
/// pairs and pentagons (a cell with its right neighbour), with some flat and
/// collapsed triangles, some two-corner facets and some reversed cells, and
/// isolated vertices at the end; the facets in shuffled order, so that most
/// vertices get their triangles from several blocks of facets.
TestSurface mixedGrid(std::uint32_t side) {
  TestSurface mesh;
  for (std::uint32_t y = 0; y < side; ++y)
    for (std::uint32_t x = 0; x < side; ++x)
      mesh.positions.push_back(toFloat(0.37 * x, 0.29 * y, std::sin(0.3 * x) * std::cos(0.2 * y)));
  for (std::uint32_t i = 0; i < 50; ++i)
    mesh.positions.push_back(toFloat(-1.0, i, 0.5));
  for (std::uint32_t y = 0; y + 1 < side; ++y)
    for (std::uint32_t x = 0; x + 1 < side; ++x) {
      const std::uint32_t a = y * side + x;
      const std::uint32_t b = a + 1;
      const std::uint32_t c = a + side + 1;
      const std::uint32_t d = a + side;
      switch ((x * 7 + y * 3) % 11) {
      case 0:
        mesh.facets.push_back({a, b, c});
        mesh.facets.push_back({a, c, d});
        break;
      case 1:
        mesh.facets.push_back({d, c, b, a});
        break;
      case 2:
        mesh.facets.push_back({a, a, b}); // coincident corners
        mesh.facets.push_back({a, b});    // too few corners: adds nothing
        break;
      case 3:
        if (x + 2 < side) {
          mesh.facets.push_back({a, b, b + 1, c + 1, c, d});
          ++x;
          break;
        }
        [[fallthrough]];
      default:
        mesh.facets.push_back({a, b, c, d});
      }
    }
  // A straight-angle triangle along the bottom row.
  mesh.facets.push_back({0, 1, 2});
  std::shuffle(mesh.facets.begin(), mesh.facets.end(), std::mt19937(11));
  return mesh;
}

PolygonSoup toSoup(const TestSurface& surface) {
  PolygonSoup soup;
  for (const auto& p : surface.positions)
    soup.points.emplace_back(p[0], p[1], p[2]);
  for (const auto& facet : surface.facets) {
    soup.corners.insert(soup.corners.end(), facet.begin(), facet.end());
    soup.facetOffsets.push_back(static_cast<std::uint32_t>(soup.corners.size()));
  }
  return soup;
}

/// The bits of every value of the three measures, so that signed zeros count.
std::vector<std::uint64_t> bitsOf(const CurvatureFields& fields) {
  std::vector<std::uint64_t> bits;
  for (const std::vector<double>* field :
       {&fields.meanCurvature, &fields.gaussianCurvature, &fields.curvedness})
    for (const double value : *field) {
      std::uint64_t word = 0;
      std::memcpy(&word, &value, sizeof(word));
      bits.push_back(word);
    }
  return bits;
}

/// The message the computation throws, or "" when it throws nothing.
template <class Compute> std::string faultOf(const Compute& compute) {
  try {
    compute();
  } catch (const InvalidInputError& error) {
    return error.what();
  }
  return "";
}

TEST(ParallelCurvature, EveryThreadCountGivesTheOneThreadValues) {
  const TestSurface mesh = mixedGrid(160); // about 25600 vertices and facets: 7 blocks
  const PolygonSoup soup = toSoup(mesh);
  const auto fromLists = [&](unsigned threads) {
    return StageThreads(threads).run(
        [&] { return computeCurvatures(mesh.positions, mesh.facets); });
  };
  const auto fromSoup = [&](unsigned threads) {
    return StageThreads(threads).run([&] { return computeCurvatures(soup); });
  };
  const CurvatureFields reference = fromLists(1);
  ASSERT_EQ(reference.meanCurvature.size(), mesh.positions.size());
  const std::vector<std::uint64_t> referenceBits = bitsOf(reference);
  EXPECT_EQ(bitsOf(fromSoup(1)), referenceBits);
  for (const unsigned threads : {2u, 3u, 8u}) {
    EXPECT_EQ(bitsOf(fromLists(threads)), referenceBits) << threads << " threads";
    EXPECT_EQ(bitsOf(fromSoup(threads)), referenceBits) << threads << " threads";
  }
}

TEST(ParallelCurvature, EveryThreadCountNamesTheFirstFaultyFacet) {
  TestSurface mesh = mixedGrid(120);
  const std::size_t vertexCount = mesh.positions.size();
  mesh.facets[9000].push_back(static_cast<std::uint32_t>(vertexCount + 5));
  mesh.facets[13000].push_back(static_cast<std::uint32_t>(vertexCount));
  PolygonSoup soup = toSoup(mesh);
  soup.facetOffsets[5000] = 0; // facet 4999's offsets decrease: before both bad corners
  const std::string soupFault =
      faultOf([&] { StageThreads(1).run([&] { computeCurvatures(soup); }); });
  EXPECT_EQ(soupFault.rfind("facet 4999 has corner offsets", 0), 0u) << soupFault;
  for (const unsigned threads : {1u, 2u, 3u, 8u}) {
    StageThreads arena(threads);
    EXPECT_EQ(faultOf([&] { arena.run([&] { computeCurvatures(mesh.positions, mesh.facets); }); }),
              "facet 9000 refers to vertex " + std::to_string(vertexCount + 5) +
                  " but the mesh has " + std::to_string(vertexCount) + " vertices")
        << threads << " threads";
    EXPECT_EQ(faultOf([&] { arena.run([&] { computeCurvatures(soup); }); }), soupFault)
        << threads << " threads";
  }
}

} // namespace
} // namespace vornel::test
