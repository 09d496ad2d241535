// The conventions of the curvature measures: units under scaling, the sign
// from the facet orientation, polygons as fans, both input forms, and finite
// values on degenerate input.

#include "TestSurfaces.hpp"
#include "core/Errors.hpp"
#include "mesh/curvature/Curvature.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

namespace vornel::test {
namespace {

PolygonSoup toSoup(const TestSurface& surface) {
  PolygonSoup soup;
  for (const auto& p : surface.positions) {
    soup.points.emplace_back(p[0], p[1], p[2]);
  }
  for (const auto& facet : surface.facets) {
    soup.corners.insert(soup.corners.end(), facet.begin(), facet.end());
    soup.facetOffsets.push_back(static_cast<std::uint32_t>(soup.corners.size()));
  }
  return soup;
}

TEST(CurvatureRulesTest, ScalingByFactorDividesMeanBySAndGaussianBySSquared) {
  const TestSurface torus = makeTorus(3.0, 1.0, 48, 24);
  const CurvatureFields original = computeCurvatures(torus.positions, torus.facets);
  for (const double s : {8.0, 0.0625, 3.0}) {
    TestSurface scaled = torus;
    for (auto& p : scaled.positions) {
      p = toFloat(s * p[0], s * p[1], s * p[2]);
    }
    const CurvatureFields fields = computeCurvatures(scaled.positions, scaled.facets);
    for (std::size_t v = 0; v < torus.positions.size(); ++v) {
      EXPECT_NEAR(fields.meanCurvature[v] * s, original.meanCurvature[v], 1e-4) << v;
      EXPECT_NEAR(fields.gaussianCurvature[v] * s * s, original.gaussianCurvature[v], 1e-4) << v;
      EXPECT_NEAR(fields.curvedness[v] * s, original.curvedness[v], 1e-4) << v;
    }
  }
}

TEST(CurvatureRulesTest, OutwardSphereIsPositiveAndReversedFacetsFlipTheSign) {
  const TestSurface sphere = makeIcosphere(1.0, 2);
  TestSurface reversed = sphere;
  for (auto& facet : reversed.facets) {
    std::reverse(facet.begin(), facet.end());
  }
  const CurvatureFields outward = computeCurvatures(sphere.positions, sphere.facets);
  const CurvatureFields inward = computeCurvatures(reversed.positions, reversed.facets);
  for (std::size_t v = 0; v < sphere.positions.size(); ++v) {
    EXPECT_GT(outward.meanCurvature[v], 0.9);
    EXPECT_NEAR(inward.meanCurvature[v], -outward.meanCurvature[v], 1e-12);
    EXPECT_NEAR(inward.gaussianCurvature[v], outward.gaussianCurvature[v], 1e-12);
    EXPECT_NEAR(inward.curvedness[v], outward.curvedness[v], 1e-12);
  }
}

TEST(CurvatureRulesTest, PolygonIsTheFanFromItsFirstCorner) {
  // A bumpy grid of non-planar quads, where the two diagonals differ.
  std::mt19937 random(3);
  std::uniform_real_distribution<double> height(-0.3, 0.3);
  const auto bumpy = [&](bool asQuads) {
    random.seed(3);
    return makeGridSurface(6, 6, false, false, asQuads, [&](std::uint32_t i, std::uint32_t j) {
      return toFloat(i, j, height(random));
    });
  };
  const TestSurface quads = bumpy(true);
  const TestSurface fans = bumpy(false); // (c0, c1, c2), (c0, c2, c3)
  TestSurface otherDiagonal = quads;
  for (auto& facet : otherDiagonal.facets) {
    std::rotate(facet.begin(), facet.begin() + 1, facet.end());
  }
  const auto mean = [](const TestSurface& s) { return meanCurvature(s.positions, s.facets); };
  EXPECT_EQ(mean(quads), mean(fans));
  EXPECT_NE(mean(otherDiagonal), mean(fans));
}

TEST(CurvatureRulesTest, SoupAndNestedListsGiveTheSameValues) {
  const TestSurface torus = makeTorus(2.0, 0.5, 20, 10);
  const PolygonSoup soup = toSoup(torus);
  for (const CurvatureMeasure measure : allCurvatureMeasures) {
    EXPECT_EQ(computeCurvature(measure, soup),
              computeCurvature(measure, torus.positions, torus.facets));
  }
  EXPECT_EQ(meanCurvature(soup), computeCurvatures(soup).meanCurvature);
  EXPECT_EQ(gaussianCurvature(soup), computeCurvatures(soup).gaussianCurvature);
  EXPECT_EQ(curvedness(soup), computeCurvatures(soup).curvedness);
}

TEST(CurvatureRulesTest, DegenerateFacetsAndIsolatedVerticesGiveFiniteValues) {
  // 0-1-2 a proper triangle; 3 coincides with 1; 5 lies on the line 0-1;
  // 6 makes a needle of height 1e-9 over 0-1; 7 is infinitely far; 4 is
  // used by no facet.
  const float far = std::numeric_limits<float>::infinity();
  const TestSurface mesh{{{0, 0, 0},
                          {1, 0, 0},
                          {0, 1, 0},
                          {1, 0, 0},
                          {5, 5, 5},
                          {2, 0, 0},
                          {0.5f, -1e-9f, 0},
                          {far, 0, 0}},
                         {{0, 1, 2}, {1, 3, 2}, {0, 1, 5}, {1, 0, 6}, {0, 2, 7}}};
  const CurvatureFields fields = computeCurvatures(mesh.positions, mesh.facets);
  for (const auto* field : {&fields.meanCurvature, &fields.gaussianCurvature, &fields.curvedness}) {
    ASSERT_EQ(field->size(), mesh.positions.size());
    for (const double value : *field) {
      EXPECT_TRUE(std::isfinite(value));
    }
    EXPECT_EQ((*field)[4], 0.0); // isolated
    EXPECT_EQ((*field)[3], 0.0); // only in a zero-area facet
    EXPECT_EQ((*field)[5], 0.0); // only in a zero-area facet
  }
}

TEST(CurvatureRulesTest, CoincidentCornersAddNoAngleAtTheThirdCorner) {
  // Vertex 3 coincides with 1, so the facet (1, 3, 2) has angle 0 at 2, not
  // the pi that the angles at 1 and 3 (both 0) would leave for it.
  const TestSurface alone{{{0, 0, 0}, {1, 0, 0}, {0.2f, 1, 0}}, {{0, 1, 2}}};
  TestSurface withDegenerate = alone;
  withDegenerate.positions.push_back({1, 0, 0});
  withDegenerate.facets.push_back({1, 3, 2});
  const std::vector<double> expected = gaussianCurvature(alone.positions, alone.facets);
  const std::vector<double> gaussian =
      gaussianCurvature(withDegenerate.positions, withDegenerate.facets);
  ASSERT_NE(expected[2], 0.0);
  EXPECT_EQ(gaussian[2], expected[2]);
}

TEST(CurvatureRulesTest, ThinningNeedleFacetLeavesItsBaseCurvatureBounded) {
  // Vertex 4 sits at height h over the edge 0-1; as h shrinks the needle's
  // cotangents grow without bound but their terms at 0 and 1 cancel.
  const auto meanWithNeedle = [](float h) {
    const TestSurface mesh{{{0, 0, 0}, {1, 0, 0}, {0, 1, 0.5f}, {-1, 0, 0.7f}, {0.5f, -h, 0}},
                           {{0, 1, 2}, {0, 2, 3}, {1, 0, 4}}};
    return meanCurvature(mesh.positions, mesh.facets);
  };
  const std::vector<double> thick = meanWithNeedle(1e-3f);
  const std::vector<double> thin = meanWithNeedle(1e-8f);
  EXPECT_NEAR(thin[0], thick[0], 1e-3);
  EXPECT_NEAR(thin[1], thick[1], 2e-3);
}

TEST(CurvatureRulesTest, ZeroAreaFacetKeepsItsStraightAngleInTheAngleSum) {
  // m = 1 sits on the edge 0-2 of the lower triangle; the zero-area facet
  // (0, 2, 1) closes the fan round m, whose angles then sum to 2 pi.
  const TestSurface mesh{{{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {1, 1, 0}, {1, -1, 0}},
                         {{0, 1, 3}, {1, 2, 3}, {0, 4, 2}, {0, 2, 1}}};
  const CurvatureFields fields = computeCurvatures(mesh.positions, mesh.facets);
  EXPECT_NEAR(fields.gaussianCurvature[1], 0.0, 1e-12);
  EXPECT_NEAR(fields.meanCurvature[1], 0.0, 1e-12);
}

TEST(CurvatureRulesTest, CornerOutOfRangeOrBadOffsetsAreRefused) {
  EXPECT_THROW(
      computeCurvatures(PositionList{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, FacetList{{0, 1, 3}}),
      InvalidInputError);
  PolygonSoup soup = toSoup({{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}}});
  soup.facetOffsets.push_back(7); // runs past the three corners
  EXPECT_THROW(computeCurvatures(soup), InvalidInputError);
  soup.facetOffsets.clear(); // no facets at all: every vertex gets 0
  EXPECT_EQ(meanCurvature(soup), std::vector<double>(3, 0.0));
}

} // namespace
} // namespace vornel::test
