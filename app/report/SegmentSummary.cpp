#include "app/report/SegmentSummary.hpp"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace vornel {

namespace {

double triangleArea(const Point3& o, const Point3& p, const Point3& q) {
  const double u[3] = {double(p.x()) - o.x(), double(p.y()) - o.y(), double(p.z()) - o.z()};
  const double w[3] = {double(q.x()) - o.x(), double(q.y()) - o.y(), double(q.z()) - o.z()};
  const double n[3] = {u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2],
                       u[0] * w[1] - u[1] * w[0]};
  return 0.5 * std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
}

/// Each vertex's share of the facets around it: a facet's fan area divided
/// equally among its corners, so that the shares add up to the surface.
std::vector<double> vertexAreas(const ColouredMesh& mesh) {
  std::vector<double> areas(mesh.positions.size(), 0.0);
  for (std::size_t f = 0; f < mesh.facetCount(); ++f) {
    const std::uint32_t first = mesh.facetOffsets[f], end = mesh.facetOffsets[f + 1];
    double area = 0.0;
    for (std::uint32_t k = first + 1; k + 1 < end; ++k)
      area += triangleArea(mesh.positions[mesh.corners[first]], mesh.positions[mesh.corners[k]],
                           mesh.positions[mesh.corners[k + 1]]);
    for (std::uint32_t k = first; k < end; ++k)
      areas[mesh.corners[k]] += area / static_cast<double>(end - first);
  }
  return areas;
}

std::vector<std::int64_t> sizeBins(const std::vector<SegmentRow>& rows) {
  std::vector<std::int64_t> bins;
  for (const SegmentRow& row : rows) {
    const auto bin =
        static_cast<std::size_t>(std::floor(std::log2(static_cast<double>(row.vertices))));
    if (bin >= bins.size())
      bins.resize(bin + 1, 0);
    ++bins[bin];
  }
  return bins;
}

} // namespace

SegmentSummary summariseSegments(const ColouredMesh& mesh, std::size_t rowCount) {
  SegmentSummary summary;
  if (mesh.segments.empty())
    return summary;
  summary.count =
      static_cast<std::size_t>(*std::max_element(mesh.segments.begin(), mesh.segments.end()) + 1);
  std::vector<SegmentRow> rows(summary.count);
  const std::vector<double> areas = vertexAreas(mesh);
  for (std::size_t v = 0; v < mesh.segments.size(); ++v) {
    SegmentRow& row = rows[static_cast<std::size_t>(mesh.segments[v])];
    row.label = mesh.labels[v];
    ++row.vertices;
    row.area += areas[v];
    row.meanValue += mesh.values[v];
  }
  for (std::size_t s = 0; s < rows.size(); ++s) {
    rows[s].segment = static_cast<std::int32_t>(s);
    rows[s].meanValue /= static_cast<double>(std::max<std::int64_t>(rows[s].vertices, 1));
  }
  summary.sizeBins = sizeBins(rows);
  const std::size_t kept = std::min(rowCount, rows.size());
  std::partial_sort(rows.begin(), rows.begin() + static_cast<std::ptrdiff_t>(kept), rows.end(),
                    [](const SegmentRow& a, const SegmentRow& b) {
                      return a.vertices != b.vertices ? a.vertices > b.vertices
                                                      : a.segment < b.segment;
                    });
  rows.resize(kept);
  summary.largest = std::move(rows);
  return summary;
}

} // namespace vornel
