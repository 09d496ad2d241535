#include "mesh/curvature/CurvatureAccumulator.hpp"

#include <algorithm>
#include <cmath>

namespace vornel {

namespace {

using Vec = std::array<double, 3>;

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

void add(Vec& target, const Vec& a) {
  for (int k = 0; k < 3; ++k) {
    target[k] += a[k];
  }
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

} // namespace

CurvatureAccumulator::CurvatureAccumulator(std::size_t vertexCount)
    : borderSignature_(vertexCount), sums_(vertexCount) {}

void CurvatureAccumulator::addTriangle(std::uint32_t a, std::uint32_t b, std::uint32_t c,
                                       const Position& pa, const Position& pb, const Position& pc) {
  const std::uint64_t ha = vertexHash(a);
  const std::uint64_t hb = vertexHash(b);
  const std::uint64_t hc = vertexHash(c);
  borderSignature_[a] += hb - hc;
  borderSignature_[b] += hc - ha;
  borderSignature_[c] += ha - hb;

  const Vec ab = minus(pb, pa);
  const Vec bc = minus(pc, pb);
  const Vec ca = minus(pa, pc);
  // |ab||ac| cos(angle at a), and likewise at b and c.
  const double dotA = -dot(ab, ca);
  const double dotB = -dot(bc, ab);
  const double dotC = -dot(ca, bc);
  const Vec facetNormal = cross(ab, minus(pc, pa)); // length: twice the area
  const double twiceArea = std::sqrt(dot(facetNormal, facetNormal));

  VertexSums& sa = sums_[a];
  VertexSums& sb = sums_[b];
  VertexSums& sc = sums_[c];
  const double angleA = std::atan2(twiceArea, dotA);
  const double angleB = std::atan2(twiceArea, dotB);

  const double abSquared = dot(ab, ab);
  const double bcSquared = dot(bc, bc);
  const double caSquared = dot(ca, ca);
  const double longestSquared = std::max({abSquared, bcSquared, caSquared});
  if (!(twiceArea > zeroAreaRatio * longestSquared)) {
    // Only the angles count: atan2 gives 0 or pi on a flat triangle and 0 at
    // coincident corners.
    sa.angleSum += angleA;
    sb.angleSum += angleB;
    sc.angleSum += std::atan2(twiceArea, dotC);
    return;
  }
  const double angleC = pi - angleA - angleB;
  sa.angleSum += angleA;
  sb.angleSum += angleB;
  sc.angleSum += angleC;

  const Vec unitNormal{facetNormal[0] / twiceArea, facetNormal[1] / twiceArea,
                       facetNormal[2] / twiceArea};
  // The triangle's cotangent terms at a, cot c (a - b) + cot b (a - c), equal
  // unitNormal x (c - b), twice the gradient of its area at a. That form is
  // bounded by the edge length: on a needle triangle the two huge cotangent
  // terms cancel, which clamping them one by one would spoil.
  add(sa.laplacian, cross(unitNormal, bc));
  add(sb.laplacian, cross(unitNormal, ca));
  add(sc.laplacian, cross(unitNormal, ab));
  for (int k = 0; k < 3; ++k) {
    sa.normal[k] += angleA * unitNormal[k];
    sb.normal[k] += angleB * unitNormal[k];
    sc.normal[k] += angleC * unitNormal[k];
  }

  const double area = 0.5 * twiceArea;
  if (dotA < 0.0 || dotB < 0.0 || dotC < 0.0) {
    sa.area += dotA < 0.0 ? 0.5 * area : 0.25 * area;
    sb.area += dotB < 0.0 ? 0.5 * area : 0.25 * area;
    sc.area += dotC < 0.0 ? 0.5 * area : 0.25 * area;
  } else {
    const double cotA = clampedCotangent(dotA, twiceArea);
    const double cotB = clampedCotangent(dotB, twiceArea);
    const double cotC = clampedCotangent(dotC, twiceArea);
    sa.area += 0.125 * (abSquared * cotC + caSquared * cotB);
    sb.area += 0.125 * (bcSquared * cotA + abSquared * cotC);
    sc.area += 0.125 * (caSquared * cotB + bcSquared * cotA);
  }
}

CurvatureFields CurvatureAccumulator::finish() const {
  const std::size_t vertexCount = sums_.size();
  CurvatureFields fields;
  // Each output is written once, in order, without a clearing pass first.
  fields.meanCurvature.reserve(vertexCount);
  fields.gaussianCurvature.reserve(vertexCount);
  fields.curvedness.reserve(vertexCount);
  for (std::size_t v = 0; v < vertexCount; ++v) {
    const VertexSums& s = sums_[v];
    double mean = 0.0;
    double gaussian = 0.0;
    if (s.area > 0.0) {
      const double normalLength = std::sqrt(dot(s.normal, s.normal));
      if (normalLength > 0.0) {
        mean = finiteOrZero(dot(s.laplacian, s.normal) / (4.0 * s.area * normalLength));
      }
      const double fullAngle = borderSignature_[v] == 0 ? 2.0 * pi : pi;
      gaussian = finiteOrZero((fullAngle - s.angleSum) / s.area);
    }
    fields.meanCurvature.push_back(mean);
    fields.gaussianCurvature.push_back(gaussian);
    fields.curvedness.push_back(
        finiteOrZero(std::sqrt(std::max(2.0 * mean * mean - gaussian, 0.0))));
  }
  return fields;
}

} // namespace vornel
