#pragma once
// Small meshes built in code through buildSurface, with known connectivity.

#include "mesh/LabeledMesh.hpp"
#include "mesh/PolygonSoup.hpp"
#include "mesh/build/SurfaceFromSoup.hpp"

#include <array>
#include <cmath>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

namespace vornel::test {

using Points = std::vector<std::array<float, 3>>;
using Facets = std::vector<std::vector<std::uint32_t>>;

/// A soup whose facet f is reported at line points.size() + f + 1, as in an
/// OBJ file that lists all vertex lines before the facet lines (and numbers
/// its vertices from 1).
inline PolygonSoup makeSoup(const Points& points, const Facets& facets) {
  PolygonSoup soup;
  soup.firstVertexNumber = 1;
  for (const auto& p : points) {
    soup.points.emplace_back(p[0], p[1], p[2]);
  }
  for (const auto& facet : facets) {
    soup.corners.insert(soup.corners.end(), facet.begin(), facet.end());
    soup.facetOffsets.push_back(static_cast<std::uint32_t>(soup.corners.size()));
    soup.facetLines.push_back(points.size() + soup.facetLines.size() + 1);
  }
  return soup;
}

inline void buildMesh(LabeledMesh& mesh, const Points& points, const Facets& facets) {
  buildSurface(makeSoup(points, facets), mesh, "test.obj");
}

/// Vertex 0 at the origin surrounded by `rim` vertices on the unit circle in
/// the z = 0 plane; facets (0, i, i + 1), closed into a disc when `closed`.
inline void buildTriangleFan(LabeledMesh& mesh, std::uint32_t rim, bool closed) {
  Points points{{0.0f, 0.0f, 0.0f}};
  for (std::uint32_t i = 0; i < rim; ++i) {
    const double angle = 6.283185307179586 * i / rim;
    points.push_back(
        {static_cast<float>(std::cos(angle)), static_cast<float>(std::sin(angle)), 0.0f});
  }
  Facets facets;
  for (std::uint32_t i = 1; i < rim; ++i) {
    facets.push_back({0, i, i + 1});
  }
  if (closed) {
    facets.push_back({0, rim, 1});
  }
  buildMesh(mesh, points, facets);
}

/// Two rows of `columns` vertices (bottom row first) joined by 2 (columns - 1)
/// triangles, all facing +z.
inline void buildStrip(LabeledMesh& mesh, std::uint32_t columns) {
  Points points;
  for (std::uint32_t row = 0; row < 2; ++row) {
    for (std::uint32_t c = 0; c < columns; ++c) {
      points.push_back({static_cast<float>(c), static_cast<float>(row), 0.0f});
    }
  }
  Facets facets;
  for (std::uint32_t c = 0; c + 1 < columns; ++c) {
    facets.push_back({c, c + 1, columns + c + 1});
    facets.push_back({c, columns + c + 1, columns + c});
  }
  buildMesh(mesh, points, facets);
}

/// Vertices +x, -x, +y, -y, +z, -z; eight outward-facing triangles.
inline void buildOctahedron(LabeledMesh& mesh) {
  const Points points{{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
  const Facets facets{{0, 2, 4}, {2, 1, 4}, {1, 3, 4}, {3, 0, 4},
                      {2, 0, 5}, {1, 2, 5}, {3, 1, 5}, {0, 3, 5}};
  buildMesh(mesh, points, facets);
}

/// An icosahedron with each triangle split into four `levels` times, the new
/// vertices pushed onto the unit sphere.
inline void buildIcosphere(LabeledMesh& mesh, int levels) {
  const double t = (1.0 + std::sqrt(5.0)) / 2.0;
  std::vector<std::array<double, 3>> points{{-1, t, 0}, {1, t, 0}, {-1, -t, 0}, {1, -t, 0},
                                            {0, -1, t}, {0, 1, t}, {0, -1, -t}, {0, 1, -t},
                                            {t, 0, -1}, {t, 0, 1}, {-t, 0, -1}, {-t, 0, 1}};
  Facets facets{{0, 11, 5},  {0, 5, 1},  {0, 1, 7},  {0, 7, 10}, {0, 10, 11}, {1, 5, 9}, {5, 11, 4},
                {11, 10, 2}, {10, 7, 6}, {7, 1, 8},  {3, 9, 4},  {3, 4, 2},   {3, 2, 6}, {3, 6, 8},
                {3, 8, 9},   {4, 9, 5},  {2, 4, 11}, {6, 2, 10}, {8, 6, 7},   {9, 8, 1}};
  for (int level = 0; level < levels; ++level) {
    std::map<std::pair<std::uint32_t, std::uint32_t>, std::uint32_t> middles;
    const auto middle = [&](std::uint32_t a, std::uint32_t b) {
      const auto key = std::minmax(a, b);
      const auto found = middles.find(key);
      if (found != middles.end()) {
        return found->second;
      }
      const auto index = static_cast<std::uint32_t>(points.size());
      points.push_back({(points[a][0] + points[b][0]) / 2, (points[a][1] + points[b][1]) / 2,
                        (points[a][2] + points[b][2]) / 2});
      middles.emplace(key, index);
      return index;
    };
    Facets finer;
    for (const auto& f : facets) {
      const std::uint32_t ab = middle(f[0], f[1]);
      const std::uint32_t bc = middle(f[1], f[2]);
      const std::uint32_t ca = middle(f[2], f[0]);
      finer.insert(finer.end(), {{f[0], ab, ca}, {f[1], bc, ab}, {f[2], ca, bc}, {ab, bc, ca}});
    }
    facets = std::move(finer);
  }
  Points unit;
  for (const auto& p : points) {
    const double length = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
    unit.push_back({static_cast<float>(p[0] / length), static_cast<float>(p[1] / length),
                    static_cast<float>(p[2] / length)});
  }
  buildMesh(mesh, unit, facets);
}

/// The k-th vertex of the list.
inline Surface::Vertex_handle vertexAt(LabeledMesh& mesh, std::size_t k) {
  return std::next(mesh.surface.vertices_begin(), static_cast<std::ptrdiff_t>(k));
}

} // namespace vornel::test
