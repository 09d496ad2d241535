#include "mesh/curvature/TriangleShares.hpp"

#include <algorithm>
#include <cmath>

namespace vornel {

namespace {

using Vec = CurvaturePosition;

constexpr double pi = 3.14159265358979323846;
constexpr double cotangentBound = 1e5;
// A triangle whose twice-area is at most this times its longest edge squared
// has zero area.
constexpr double zeroAreaRatio = 1e-12;

Vec minus(const Vec& a, const Vec& b) {
  return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}

double dot(const Vec& a, const Vec& b) {
  return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

Vec cross(const Vec& a, const Vec& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

double clampedCotangent(double cosineTimesLengths, double twiceArea) {
  return std::clamp(cosineTimesLengths / twiceArea, -cotangentBound, cotangentBound);
}

// A well-mixed 64-bit value of a vertex index (the splitmix64 finaliser).
std::uint64_t vertexHash(std::uint32_t vertex) {
  std::uint64_t z = std::uint64_t{vertex} + 0x9e3779b97f4a7c15ULL;
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
  return z ^ (z >> 31);
}

double finiteOrZero(double value) {
  return std::isfinite(value) ? value : 0.0;
}

/// The cheap measurements of a triangle.
struct TriangleFrame {
  Vec ab, bc, ca;
  double dotA, dotB, dotC; // |ab||ac| cos(angle at a), and likewise at b and c
  double twiceArea;
  Vec facetNormal; // length: twice the area
  double abSquared, bcSquared, caSquared;
};

TriangleFrame triangleFrame(const Vec& pa, const Vec& pb, const Vec& pc) {
  TriangleFrame t;
  t.ab = minus(pb, pa);
  t.bc = minus(pc, pb);
  t.ca = minus(pa, pc);
  t.dotA = -dot(t.ab, t.ca);
  t.dotB = -dot(t.bc, t.ab);
  t.dotC = -dot(t.ca, t.bc);
  t.facetNormal = cross(t.ab, minus(pc, pa));
  t.twiceArea = std::sqrt(dot(t.facetNormal, t.facetNormal));
  t.abSquared = dot(t.ab, t.ab);
  t.bcSquared = dot(t.bc, t.bc);
  t.caSquared = dot(t.ca, t.ca);
  return t;
}

/// The mixed-area parts of corners a, b and c of a triangle with area.
std::array<double, 3> areaShares(const TriangleFrame& t) {
  const double area = 0.5 * t.twiceArea;
  if (t.dotA < 0.0 || t.dotB < 0.0 || t.dotC < 0.0) {
    return {t.dotA < 0.0 ? 0.5 * area : 0.25 * area, t.dotB < 0.0 ? 0.5 * area : 0.25 * area,
            t.dotC < 0.0 ? 0.5 * area : 0.25 * area};
  }
  const double cotA = clampedCotangent(t.dotA, t.twiceArea);
  const double cotB = clampedCotangent(t.dotB, t.twiceArea);
  const double cotC = clampedCotangent(t.dotC, t.twiceArea);
  return {0.125 * (t.abSquared * cotC + t.caSquared * cotB),
          0.125 * (t.bcSquared * cotA + t.abSquared * cotC),
          0.125 * (t.caSquared * cotB + t.bcSquared * cotA)};
}

} // namespace

TriangleShares triangleShares(const CurvaturePosition& pa, const CurvaturePosition& pb,
                              const CurvaturePosition& pc) {
  const TriangleFrame t = triangleFrame(pa, pb, pc);
  TriangleShares shares;
  const double angleA = std::atan2(t.twiceArea, t.dotA);
  const double angleB = std::atan2(t.twiceArea, t.dotB);
  const double longestSquared = std::max({t.abSquared, t.bcSquared, t.caSquared});
  shares.flat = !(t.twiceArea > zeroAreaRatio * longestSquared);
  if (shares.flat) {
    // Only the angles count: atan2 gives 0 or pi on a flat triangle and 0 at
    // coincident corners.
    shares.angles = {angleA, angleB, std::atan2(t.twiceArea, t.dotC)};
    return shares;
  }
  shares.angles = {angleA, angleB, pi - angleA - angleB};
  shares.unitNormal = {t.facetNormal[0] / t.twiceArea, t.facetNormal[1] / t.twiceArea,
                       t.facetNormal[2] / t.twiceArea};
  shares.areas = areaShares(t);
  return shares;
}

VertexCurvature vertexCurvature(const CurvatureSums& s, bool border) {
  VertexCurvature value;
  if (s.area > 0.0) {
    const double normalLength = std::sqrt(dot(s.normal, s.normal));
    if (normalLength > 0.0)
      value.mean = finiteOrZero(dot(s.laplacian, s.normal) / (4.0 * s.area * normalLength));
    const double fullAngle = border ? pi : 2.0 * pi;
    value.gaussian = finiteOrZero((fullAngle - s.angleSum) / s.area);
  }
  value.curvedness =
      finiteOrZero(std::sqrt(std::max(2.0 * value.mean * value.mean - value.gaussian, 0.0)));
  return value;
}

std::uint64_t borderTerm(std::uint32_t next, std::uint32_t previous) {
  return vertexHash(next) - vertexHash(previous);
}

} // namespace vornel
