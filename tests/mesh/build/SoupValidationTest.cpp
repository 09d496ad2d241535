// The soup check on several threads against one thread, on soups that span
// many parallel blocks: the same first problem (the earliest facet, and of
// two defects the earlier one even where its vertex comes later), and for a
// sound soup the same corner pairing and topology.

#include "mesh/build/SoupValidation.hpp"

#include "core/Parallel.hpp"
#include "mesh/MeshFixtures.hpp"
#include "mesh/build/CornerPairing.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vornel {
namespace {

constexpr std::uint32_t side = 160; // 25 600 vertices: several blocks of vertices and corners

std::uint32_t gridVertex(std::uint32_t x, std::uint32_t y) {
  return y * side + x;
}

/// A grid of quadrilaterals with every third cell split into two triangles.
test::Facets gridFacets() {
  test::Facets facets;
  for (std::uint32_t y = 0; y + 1 < side; ++y)
    for (std::uint32_t x = 0; x + 1 < side; ++x) {
      const std::uint32_t a = gridVertex(x, y);
      const std::uint32_t b = a + 1;
      const std::uint32_t c = a + side + 1;
      const std::uint32_t d = a + side;
      if ((x + y) % 3 == 0) {
        facets.push_back({a, b, c});
        facets.push_back({a, c, d});
      } else {
        facets.push_back({a, b, c, d});
      }
    }
  return facets;
}

/// The grid's points, and `extra` more vertices after them for added facets.
test::Points gridPoints(std::uint32_t extra) {
  return test::Points(std::size_t{side} * side + extra, {0.0f, 0.0f, 0.0f});
}

struct CheckResult {
  std::optional<SoupProblem> problem;
  std::vector<std::uint32_t> twins;
  std::vector<std::uint32_t> pinchedVertices;
};

CheckResult checkOn(const PolygonSoup& soup, unsigned threads) {
  return StageThreads(threads).run([&] {
    SoupTopology topology;
    CheckResult result;
    result.problem = findSoupProblem(soup, &topology);
    result.twins.assign(topology.twins.begin(), topology.twins.end());
    result.pinchedVertices = topology.pinchedVertices;
    return result;
  });
}

/// Checks on 1, 2, 3 and 8 threads; returns the one-thread problem.
std::optional<SoupProblem> sameOnEveryThreadCount(const PolygonSoup& soup) {
  const CheckResult reference = checkOn(soup, 1);
  for (const unsigned threads : {2u, 3u, 8u}) {
    SCOPED_TRACE(std::to_string(threads) + " threads");
    const CheckResult result = checkOn(soup, threads);
    EXPECT_EQ(result.problem.has_value(), reference.problem.has_value());
    if (result.problem && reference.problem) {
      EXPECT_EQ(result.problem->facet, reference.problem->facet);
      EXPECT_EQ(result.problem->reason, reference.problem->reason);
      EXPECT_EQ(result.problem->nonManifold, reference.problem->nonManifold);
    }
    EXPECT_EQ(result.twins, reference.twins);
    EXPECT_EQ(result.pinchedVertices, reference.pinchedVertices);
  }
  return reference.problem;
}

TEST(SoupValidation, SoundSoupPairsTheSameOnEveryThreadCount) {
  // Two open fans meet at the grid's corner vertex 0: a pinch, kept by the topology.
  const std::uint32_t extra = side * side;
  test::Facets facets = gridFacets();
  facets.push_back({0, extra, extra + 1});
  const PolygonSoup soup = test::makeSoup(gridPoints(2), facets);
  EXPECT_FALSE(sameOnEveryThreadCount(soup).has_value());
  EXPECT_EQ(checkOn(soup, 2).pinchedVertices, std::vector<std::uint32_t>{0});
}

TEST(SoupValidation, LateMalformedFacetIsFoundOnEveryThreadCount) {
  test::Facets facets = gridFacets();
  const std::size_t bad = facets.size() - 7;
  facets[bad] = {facets[bad][0], facets[bad][1], facets[bad][0], facets[bad][2]};
  facets.back() = {1, 2, side * side + 5}; // a corner beyond the vertices, later still
  const auto problem = sameOnEveryThreadCount(test::makeSoup(gridPoints(0), facets));
  ASSERT_TRUE(problem.has_value());
  EXPECT_EQ(problem->facet, bad);
  EXPECT_NE(problem->reason.find("repeats vertex"), std::string::npos) << problem->reason;
}

TEST(SoupValidation, LateRepeatedEdgeIsFoundOnEveryThreadCount) {
  test::Facets facets = gridFacets();
  facets.push_back(facets[3]); // its edges repeat those of an early facet, same direction
  const auto problem = sameOnEveryThreadCount(test::makeSoup(gridPoints(0), facets));
  ASSERT_TRUE(problem.has_value());
  EXPECT_EQ(problem->facet, facets.size() - 1);
  EXPECT_TRUE(problem->nonManifold);
}

TEST(SoupValidation, EarlierOfTwoPinchedVerticesWinsOnEveryThreadCount) {
  // Interior vertices carry closed fans; a facet touching one of them at a
  // corner only adds a second fan there. The first such facet names a vertex
  // in the grid's last rows, the second one in its first row.
  const std::uint32_t extra = side * side;
  const std::uint32_t late = gridVertex(side - 2, side - 2);
  const std::uint32_t early = gridVertex(1, 1);
  test::Facets facets = gridFacets();
  facets.push_back({late, extra, extra + 1});
  facets.push_back({early, extra + 2, extra + 3});
  const auto problem = sameOnEveryThreadCount(test::makeSoup(gridPoints(4), facets));
  ASSERT_TRUE(problem.has_value());
  EXPECT_EQ(problem->facet, facets.size() - 2);
  EXPECT_NE(problem->reason.find("vertex " + std::to_string(late + 1) + " "), std::string::npos)
      << problem->reason;
}

} // namespace
} // namespace vornel
