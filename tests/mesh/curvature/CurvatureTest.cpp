// The curvature measures on sampled surfaces whose curvature is known.

#include "mesh/curvature/Curvature.hpp"
#include "TestSurfaces.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace vornel::test {
namespace {

// Whether every facet's normal points away from the origin.
bool facetsFaceOutwards(const TestSurface& surface) {
  return std::all_of(surface.facets.begin(), surface.facets.end(), [&](const auto& facet) {
    const auto& a = surface.positions[facet[0]];
    const auto& b = surface.positions[facet[1]];
    const auto& c = surface.positions[facet[2]];
    const double u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    const double w[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
    const double normal[3] = {u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2],
                              u[0] * w[1] - u[1] * w[0]};
    return normal[0] * a[0] + normal[1] * a[1] + normal[2] * a[2] > 0.0;
  });
}

TEST(CurvatureTest, SphereHasMeanOneOverRadiusAndGaussianOneOverRadiusSquared) {
  const double radius = 2.5;
  const TestSurface sphere = makeIcosphere(radius, 5);
  ASSERT_TRUE(facetsFaceOutwards(sphere));
  const CurvatureFields fields = computeCurvatures(sphere.positions, sphere.facets);
  ASSERT_EQ(fields.meanCurvature.size(), sphere.positions.size());
  for (std::size_t v = 0; v < sphere.positions.size(); ++v) {
    EXPECT_NEAR(fields.meanCurvature[v], 1.0 / radius, 0.02 / radius) << "vertex " << v;
    EXPECT_NEAR(fields.gaussianCurvature[v], 1.0 / (radius * radius), 0.02 / (radius * radius))
        << "vertex " << v;
    // k1 = k2 = 1/r, so the curvedness is 1/r too.
    EXPECT_NEAR(fields.curvedness[v], 1.0 / radius, 0.03 / radius) << "vertex " << v;
  }
}

TEST(CurvatureTest, PlaneIsFlatAtInteriorAndStraightBorderVertices) {
  const std::uint32_t side = 12;
  const TestSurface plane = makeJitteredPlane(side, 5);
  const CurvatureFields fields = computeCurvatures(plane.positions, plane.facets);
  for (std::uint32_t j = 0; j < side; ++j) {
    for (std::uint32_t i = 0; i < side; ++i) {
      const bool corner = (i == 0 || i + 1 == side) && (j == 0 || j + 1 == side);
      if (corner) {
        continue; // a quarter turn of the border: (pi - pi/2) / area
      }
      const std::uint32_t v = j * side + i;
      EXPECT_NEAR(fields.meanCurvature[v], 0.0, 1e-5) << "vertex " << v;
      EXPECT_NEAR(fields.gaussianCurvature[v], 0.0, 1e-5) << "vertex " << v;
      EXPECT_NEAR(fields.curvedness[v], 0.0, 1e-2) << "vertex " << v;
    }
  }
  EXPECT_GT(fields.gaussianCurvature[0], 1.0);
}

TEST(CurvatureTest, TorusGaussianCurvatureFollowsTheTubeAngle) {
  const double R = 3.0, r = 1.0;
  const std::uint32_t around = 240, tube = 120;
  const TestSurface torus = makeTorus(R, r, around, tube);
  const std::vector<double> gaussian = gaussianCurvature(torus.positions, torus.facets);
  const double largest = 1.0 / (r * (R - r));
  for (std::uint32_t j = 0; j < tube; ++j) {
    const double v = 2.0 * pi * j / tube;
    const double expected = std::cos(v) / (r * (R + r * std::cos(v)));
    for (std::uint32_t i = 0; i < around; ++i) {
      const double tolerance = std::max(0.05 * std::abs(expected), 0.01 * largest);
      EXPECT_NEAR(gaussian[j * around + i], expected, tolerance) << "u " << i << " v " << j;
    }
  }
}

TEST(CurvatureTest, CylinderHasZeroGaussianAndHalfTheCircleCurvature) {
  const double r = 1.5;
  const std::uint32_t around = 96, rows = 20;
  const TestSurface cylinder = makeCylinder(r, 4.0, around, rows);
  const CurvatureFields fields = computeCurvatures(cylinder.positions, cylinder.facets);
  for (std::uint32_t j = 0; j < rows; ++j) {
    for (std::uint32_t i = 0; i < around; ++i) {
      const std::uint32_t v = j * around + i;
      // The border rings run straight along the rulings' ends: pi - pi = 0 there too.
      EXPECT_NEAR(fields.gaussianCurvature[v], 0.0, 1e-4) << "vertex " << v;
      if (j > 0 && j + 1 < rows) {
        EXPECT_NEAR(fields.meanCurvature[v], 0.5 / r, 0.01 / r) << "vertex " << v;
        EXPECT_NEAR(fields.curvedness[v], std::sqrt(0.5) / r, 0.01 / r) << "vertex " << v;
      }
    }
  }
}

} // namespace
} // namespace vornel::test
