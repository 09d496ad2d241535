#include "mesh/curvature/Curvature.hpp"

#include "core/Errors.hpp"
#include "core/Parallel.hpp"
#include "core/PrefaultPages.hpp"
#include "mesh/curvature/CurvatureAccumulator.hpp"

#include <algorithm>
#include <string>
#include <utility>

namespace vornel {

namespace {

CurvatureAccumulator::Position toDouble(const Point3& p) {
  return {static_cast<double>(p.x()), static_cast<double>(p.y()), static_cast<double>(p.z())};
}

CurvatureAccumulator::Position toDouble(const std::array<float, 3>& p) {
  return {static_cast<double>(p[0]), static_cast<double>(p[1]), static_cast<double>(p[2])};
}

struct CornerRange {
  const std::uint32_t* first;
  std::size_t count;
};

void checkCorners(CornerRange corners, std::size_t vertexCount, std::size_t facet) {
  for (std::size_t i = 0; i < corners.count; ++i) {
    if (corners.first[i] >= vertexCount) {
      throw InvalidInputError("facet " + std::to_string(facet) + " refers to vertex " +
                              std::to_string(corners.first[i]) + " but the mesh has " +
                              std::to_string(vertexCount) + " vertices");
    }
  }
}

// Splits every facet into the fan from its first corner and adds the triangles
// to the accumulator's vertices, in facet order. cornersOf(f) gives facet f's
// corners. Every facet is checked, whichever vertices the accumulator holds.
template <class Points, class CornersOf>
void sumOverFans(const Points& points, std::size_t facetCount, const CornersOf& cornersOf,
                 CurvatureAccumulator& accumulator) {
  for (std::size_t f = 0; f < facetCount; ++f) {
    const CornerRange corners = cornersOf(f);
    checkCorners(corners, points.size(), f);
    for (std::size_t i = 1; i + 1 < corners.count; ++i) {
      const std::uint32_t a = corners.first[0];
      const std::uint32_t b = corners.first[i];
      const std::uint32_t c = corners.first[i + 1];
      if (accumulator.holdsAny(a, b, c))
        accumulator.addTriangle(a, b, c, toDouble(points[a]), toDouble(points[b]),
                                toDouble(points[c]));
    }
  }
}

// On several threads each takes a range of vertices, sums over all fans for
// those vertices alone and writes their measures. The ranges follow the
// thread count, yet no value depends on them: every vertex's sums are added in
// facet order on one thread, as on a single one. A faulty facet stops every
// range at the same first fault, so the same error reaches the caller
// whichever range throws it.
template <class Points, class CornersOf>
CurvatureFields computeOverFans(const Points& points, std::size_t facetCount,
                                const CornersOf& cornersOf) {
  const std::size_t vertexCount = points.size();
  const std::size_t ranges = std::min<std::size_t>(arenaThreads(), blockCount(vertexCount));
  if (ranges <= 1) {
    CurvatureAccumulator accumulator(0, vertexCount);
    sumOverFans(points, facetCount, cornersOf, accumulator);
    return accumulator.finish();
  }
  CurvatureFields fields;
  for (std::vector<double>* measure :
       {&fields.meanCurvature, &fields.gaussianCurvature, &fields.curvedness})
    resizePrefaulted(*measure, vertexCount);
  forEachBlock(
      vertexCount,
      [&](std::size_t begin, std::size_t end, std::size_t) {
        CurvatureAccumulator accumulator(begin, end - begin);
        sumOverFans(points, facetCount, cornersOf, accumulator);
        accumulator.finishInto(fields);
      },
      (vertexCount + ranges - 1) / ranges);
  return fields;
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
