#include "mesh/curvature/Curvature.hpp"

#include "core/Errors.hpp"
#include "mesh/curvature/CurvatureAccumulator.hpp"

#include <string>
#include <utility>

namespace vornel {

namespace {

struct CornerRange {
  const std::uint32_t* first;
  std::size_t count;
};

CurvatureAccumulator::Position toDouble(const Point3& p) {
  return {static_cast<double>(p.x()), static_cast<double>(p.y()), static_cast<double>(p.z())};
}

CurvatureAccumulator::Position toDouble(const std::array<float, 3>& p) {
  return {static_cast<double>(p[0]), static_cast<double>(p[1]), static_cast<double>(p[2])};
}

void checkCorners(CornerRange corners, std::size_t vertexCount, std::size_t facet) {
  for (std::size_t i = 0; i < corners.count; ++i) {
    if (corners.first[i] >= vertexCount) {
      throw InvalidInputError("facet " + std::to_string(facet) + " refers to vertex " +
                              std::to_string(corners.first[i]) + " but the mesh has " +
                              std::to_string(vertexCount) + " vertices");
    }
  }
}

// Splits every facet into the fan from its first corner and sums the triangles.
// cornersOf(f) gives facet f's corners.
template <class Points, class CornersOf>
CurvatureFields computeOverFans(const Points& points, std::size_t facetCount,
                                const CornersOf& cornersOf) {
  CurvatureAccumulator accumulator(points.size());
  for (std::size_t f = 0; f < facetCount; ++f) {
    const CornerRange corners = cornersOf(f);
    checkCorners(corners, points.size(), f);
    if (corners.count < 3) {
      continue;
    }
    const std::uint32_t apex = corners.first[0];
    const auto apexPosition = toDouble(points[apex]);
    for (std::size_t i = 1; i + 1 < corners.count; ++i) {
      const std::uint32_t b = corners.first[i];
      const std::uint32_t c = corners.first[i + 1];
      accumulator.addTriangle(apex, b, c, apexPosition, toDouble(points[b]), toDouble(points[c]));
    }
  }
  return accumulator.finish();
}

CornerRange soupFacet(const PolygonSoup& soup, std::size_t facet) {
  const std::uint32_t begin = soup.facetOffsets[facet];
  const std::uint32_t end = soup.facetOffsets[facet + 1];
  if (end < begin || end > soup.corners.size()) {
    throw InvalidInputError("facet " + std::to_string(facet) + " has corner offsets " +
                            std::to_string(begin) + " to " + std::to_string(end) + " outside the " +
                            std::to_string(soup.corners.size()) + " corners");
  }
  return {soup.corners.data() + begin, end - begin};
}

std::vector<double> selectField(CurvatureFields&& fields, CurvatureMeasure measure) {
  switch (measure) {
  case CurvatureMeasure::MeanCurvature:
    return std::move(fields.meanCurvature);
  case CurvatureMeasure::GaussianCurvature:
    return std::move(fields.gaussianCurvature);
  case CurvatureMeasure::Curvedness:
    break;
  }
  return std::move(fields.curvedness);
}

} // namespace

CurvatureFields computeCurvatures(const PolygonSoup& soup) {
  // An offset array without even its leading 0 holds no facet.
  const std::size_t facetCount = soup.facetOffsets.empty() ? 0 : soup.facetCount();
  return computeOverFans(soup.points, facetCount,
                         [&soup](std::size_t f) { return soupFacet(soup, f); });
}

CurvatureFields computeCurvatures(const PositionList& positions, const FacetList& facets) {
  return computeOverFans(positions, facets.size(), [&facets](std::size_t f) {
    return CornerRange{facets[f].data(), facets[f].size()};
  });
}

std::vector<double> computeCurvature(CurvatureMeasure measure, const PolygonSoup& soup) {
  return selectField(computeCurvatures(soup), measure);
}

std::vector<double> computeCurvature(CurvatureMeasure measure, const PositionList& positions,
                                     const FacetList& facets) {
  return selectField(computeCurvatures(positions, facets), measure);
}

std::vector<double> meanCurvature(const PolygonSoup& soup) {
  return computeCurvature(CurvatureMeasure::MeanCurvature, soup);
}

std::vector<double> meanCurvature(const PositionList& positions, const FacetList& facets) {
  return computeCurvature(CurvatureMeasure::MeanCurvature, positions, facets);
}

std::vector<double> gaussianCurvature(const PolygonSoup& soup) {
  return computeCurvature(CurvatureMeasure::GaussianCurvature, soup);
}

std::vector<double> gaussianCurvature(const PositionList& positions, const FacetList& facets) {
  return computeCurvature(CurvatureMeasure::GaussianCurvature, positions, facets);
}

std::vector<double> curvedness(const PolygonSoup& soup) {
  return computeCurvature(CurvatureMeasure::Curvedness, soup);
}

std::vector<double> curvedness(const PositionList& positions, const FacetList& facets) {
  return computeCurvature(CurvatureMeasure::Curvedness, positions, facets);
}

} // namespace vornel
