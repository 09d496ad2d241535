#include "mesh/curvature/CurvatureAccumulator.hpp"

namespace vornel {

CurvatureAccumulator::CurvatureAccumulator(std::size_t first, std::size_t count)
    : first_(first), borderSignature_(count), sums_(count) {}

void CurvatureAccumulator::addTriangle(std::uint32_t a, std::uint32_t b, std::uint32_t c,
                                       const Position& pa, const Position& pb, const Position& pc) {
  const TriangleShares shares = triangleShares(pa, pb, pc);
  // Corner by corner: where corners coincide (only on a flat triangle), each
  // sum still takes a's share before b's before c's.
  if (holds(a)) {
    borderSignature_[a - first_] += borderTerm(b, c);
    sums_[a - first_].sums.add(shares, 0, oppositeEdge(pb, pc));
  }
  if (holds(b)) {
    borderSignature_[b - first_] += borderTerm(c, a);
    sums_[b - first_].sums.add(shares, 1, oppositeEdge(pc, pa));
  }
  if (holds(c)) {
    borderSignature_[c - first_] += borderTerm(a, b);
    sums_[c - first_].sums.add(shares, 2, oppositeEdge(pa, pb));
  }
}

CurvatureFields CurvatureAccumulator::finish() const {
  const std::size_t count = sums_.size();
  CurvatureFields fields;
  // Each output is written once, in order, without a clearing pass first.
  fields.meanCurvature.reserve(count);
  fields.gaussianCurvature.reserve(count);
  fields.curvedness.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    const VertexCurvature value = vertexCurvature(sums_[i].sums, borderSignature_[i] != 0);
    fields.meanCurvature.push_back(value.mean);
    fields.gaussianCurvature.push_back(value.gaussian);
    fields.curvedness.push_back(value.curvedness);
  }
  return fields;
}

void CurvatureAccumulator::finishInto(CurvatureFields& fields) const {
  for (std::size_t i = 0; i < sums_.size(); ++i) {
    const VertexCurvature value = vertexCurvature(sums_[i].sums, borderSignature_[i] != 0);
    fields.meanCurvature[first_ + i] = value.mean;
    fields.gaussianCurvature[first_ + i] = value.gaussian;
    fields.curvedness[first_ + i] = value.curvedness;
  }
}

} // namespace vornel
