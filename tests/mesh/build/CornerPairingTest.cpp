// The corner pairing against a direct search over every corner: on random
// soups with repeated edges (both directions, and self-repeats), facets of
// three to five corners and a cut-off facet range, every twin must be the
// earliest corner whose edge runs back, and the first repeated edge the first
// corner that repeats an earlier corner's edge in the same direction; on any
// number of threads.

#include "mesh/build/CornerPairing.hpp"

#include "core/Parallel.hpp"
#include "mesh/MeshFixtures.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace vornel {
namespace {

struct DirectedEdge {
  std::uint32_t from;
  std::uint32_t to;
};

std::vector<DirectedEdge> edgesOf(const PolygonSoup& soup, std::size_t facetEnd) {
  std::vector<DirectedEdge> edges;
  for (std::size_t f = 0; f < facetEnd; ++f) {
    const std::uint32_t begin = soup.facetOffsets[f];
    const std::uint32_t end = soup.facetOffsets[f + 1];
    for (std::uint32_t k = begin; k < end; ++k) {
      edges.push_back({soup.corners[k], soup.corners[k + 1 == end ? begin : k + 1]});
    }
  }
  return edges;
}

void expectPairingAsSearched(const PolygonSoup& soup, std::size_t facetEnd) {
  const CornerPairing pairing(soup, facetEnd);
  const std::vector<DirectedEdge> edges = edgesOf(soup, facetEnd);
  ASSERT_EQ(pairing.cornerCount(), edges.size());
  std::uint32_t firstRepeat = CornerPairing::none;
  for (std::uint32_t k = 0; k < edges.size(); ++k) {
    std::uint32_t twin = CornerPairing::none;
    for (std::uint32_t r = 0; r < edges.size() && twin == CornerPairing::none; ++r) {
      if (edges[r].from == edges[k].to && edges[r].to == edges[k].from) {
        twin = r;
      }
    }
    EXPECT_EQ(pairing.twin(k), twin) << "corner " << k;
    for (std::uint32_t r = 0; r < k && firstRepeat == CornerPairing::none; ++r) {
      if (edges[r].from == edges[k].from && edges[r].to == edges[k].to) {
        firstRepeat = k;
      }
    }
  }
  EXPECT_EQ(pairing.firstRepeatedEdge(), firstRepeat);
}

/// Facets of three to five distinct corners over few vertices, so that edges
/// repeat in both directions.
PolygonSoup randomSoup(std::mt19937& random, std::uint32_t vertices, std::size_t facets,
                       bool trianglesOnly) {
  test::Points points(vertices, {0.0f, 0.0f, 0.0f});
  test::Facets list;
  std::uniform_int_distribution<std::uint32_t> vertex(0, vertices - 1);
  std::uniform_int_distribution<std::size_t> size(3, trianglesOnly ? 3 : 5);
  for (std::size_t f = 0; f < facets; ++f) {
    std::vector<std::uint32_t> facet;
    const std::size_t corners = size(random);
    while (facet.size() < corners) {
      const std::uint32_t v = vertex(random);
      if (std::find(facet.begin(), facet.end(), v) == facet.end()) {
        facet.push_back(v);
      }
    }
    list.push_back(facet);
  }
  return test::makeSoup(points, list);
}

TEST(CornerPairing, TwinsAndFirstRepeatMatchADirectSearch) {
  std::mt19937 random(24);
  for (int trial = 0; trial < 200; ++trial) {
    const bool trianglesOnly = trial % 2 == 0;
    const PolygonSoup soup = randomSoup(random, 6 + trial % 10, 4 + trial % 17, trianglesOnly);
    SCOPED_TRACE("trial " + std::to_string(trial));
    expectPairingAsSearched(soup, soup.facetCount());
    expectPairingAsSearched(soup, soup.facetCount() / 2);
  }
}

TEST(CornerPairing, EveryThreadCountPairsAsAnEdgeTableSays) {
  // Many blocks of vertices and corners, edges repeating in both directions:
  // too many corners for the direct search, so a table of each directed
  // edge's earliest corner tells the twins and the first repeat.
  std::mt19937 random(7);
  PolygonSoup soup = randomSoup(random, 9000, 60000, false);
  // The earliest repeat, facet 1 repeating an edge of facet 0, runs from a
  // vertex in the last block of vertices.
  for (const std::uint32_t facetStart : {soup.facetOffsets[0], soup.facetOffsets[1]}) {
    soup.corners[facetStart] = 8500;
    soup.corners[facetStart + 1] = 8600;
    ASSERT_EQ(std::count(soup.corners.begin() + facetStart, soup.corners.begin() + facetStart + 3,
                         8500u) +
                  std::count(soup.corners.begin() + facetStart,
                             soup.corners.begin() + facetStart + 3, 8600u),
              2);
  }
  const std::size_t facetEnd = soup.facetCount() - 5;
  const std::vector<DirectedEdge> edges = edgesOf(soup, facetEnd);
  std::map<std::pair<std::uint32_t, std::uint32_t>, std::uint32_t> earliest;
  std::vector<std::uint32_t> expected;
  std::uint32_t firstRepeat = CornerPairing::none;
  for (std::uint32_t k = 0; k < edges.size(); ++k) {
    if (!earliest.emplace(std::pair{edges[k].from, edges[k].to}, k).second) {
      firstRepeat = std::min(firstRepeat, k);
    }
  }
  for (const DirectedEdge& edge : edges) {
    const auto back = earliest.find({edge.to, edge.from});
    expected.push_back(back == earliest.end() ? CornerPairing::none : back->second);
  }
  expected.push_back(firstRepeat);
  ASSERT_EQ(firstRepeat, soup.facetOffsets[1]);
  for (const unsigned threads : {1u, 2u, 3u, 8u}) {
    const std::vector<std::uint32_t> paired = StageThreads(threads).run([&] {
      const CornerPairing pairing(soup, facetEnd);
      std::vector<std::uint32_t> twins;
      for (std::uint32_t k = 0; k < pairing.cornerCount(); ++k) {
        twins.push_back(pairing.twin(k));
      }
      twins.push_back(pairing.firstRepeatedEdge());
      return twins;
    });
    EXPECT_EQ(paired, expected) << threads << " threads";
  }
}

TEST(CornerPairing, CornersAtEachVertexAreListedAlikeOnEveryThreadCount) {
  // Enough corners for several blocks of the counting and scattering passes,
  // which threads may interleave: every vertex's list must still be its
  // corners sorted by target vertex, then by corner.
  std::mt19937 random(11);
  const PolygonSoup soup = randomSoup(random, 3000, 40000, false);
  const std::size_t facetEnd = soup.facetCount() - 3;
  const std::vector<DirectedEdge> edges = edgesOf(soup, facetEnd);
  std::vector<std::vector<std::uint64_t>> expected(soup.points.size());
  for (std::uint32_t k = 0; k < edges.size(); ++k) {
    expected[edges[k].from].push_back(std::uint64_t{edges[k].to} << 32 | k);
  }
  for (std::vector<std::uint64_t>& list : expected) {
    std::sort(list.begin(), list.end());
  }
  ASSERT_GT(edges.size(), 100000u);
  for (const unsigned threads : {1u, 2u, 3u, 8u}) {
    const std::vector<std::vector<std::uint64_t>> listed = StageThreads(threads).run([&] {
      const CornerPairing pairing(soup, facetEnd);
      std::vector<std::vector<std::uint64_t>> lists;
      for (std::uint32_t v = 0; v < pairing.vertexCount(); ++v) {
        lists.emplace_back(pairing.cornersAtBegin(v), pairing.cornersAtEnd(v));
      }
      return lists;
    });
    EXPECT_EQ(listed, expected) << threads << " threads";
  }
}

TEST(CornerPairing, ClosedSurfaceHasEveryCornerPairedBothWays) {
  // An octahedron: every edge has exactly two facets, oriented consistently.
  const PolygonSoup soup = test::makeSoup(
      test::Points(6, {0.0f, 0.0f, 0.0f}),
      {{0, 2, 4}, {2, 1, 4}, {1, 3, 4}, {3, 0, 4}, {2, 0, 5}, {1, 2, 5}, {3, 1, 5}, {0, 3, 5}});
  const CornerPairing pairing(soup, soup.facetCount());
  EXPECT_EQ(pairing.firstRepeatedEdge(), CornerPairing::none);
  for (std::uint32_t k = 0; k < pairing.cornerCount(); ++k) {
    ASSERT_NE(pairing.twin(k), CornerPairing::none);
    EXPECT_EQ(pairing.twin(pairing.twin(k)), k);
  }
}

} // namespace
} // namespace vornel
