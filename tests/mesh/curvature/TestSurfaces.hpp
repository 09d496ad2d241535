#pragma once
// Sampled surfaces with known curvature, facets counter-clockwise seen from
// outside: an icosphere by subdivision, a torus, an open cylinder, a plane grid.

#include "mesh/curvature/Curvature.hpp"

#include <array>
#include <cmath>
#include <cstdint>
#include <map>
#include <random>
#include <utility>

namespace vornel::test {

struct TestSurface {
  PositionList positions;
  FacetList facets;
};

constexpr double pi = 3.14159265358979323846;

inline std::array<float, 3> toFloat(double x, double y, double z) {
  return {static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
}

/// The icosahedron split `subdivisions` times into four, every new point pushed
/// out onto the sphere of the given radius about the origin.
inline TestSurface makeIcosphere(double radius, int subdivisions) {
  const double t = (1.0 + std::sqrt(5.0)) / 2.0;
  std::vector<std::array<double, 3>> unit{{-1, t, 0}, {1, t, 0}, {-1, -t, 0}, {1, -t, 0},
                                          {0, -1, t}, {0, 1, t}, {0, -1, -t}, {0, 1, -t},
                                          {t, 0, -1}, {t, 0, 1}, {-t, 0, -1}, {-t, 0, 1}};
  const auto normalise = [](std::array<double, 3> p) {
    const double length = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
    return std::array<double, 3>{p[0] / length, p[1] / length, p[2] / length};
  };
  for (auto& p : unit) {
    p = normalise(p);
  }
  std::vector<std::array<std::uint32_t, 3>> triangles{
      {0, 11, 5},  {0, 5, 1},  {0, 1, 7},  {0, 7, 10}, {0, 10, 11}, {1, 5, 9}, {5, 11, 4},
      {11, 10, 2}, {10, 7, 6}, {7, 1, 8},  {3, 9, 4},  {3, 4, 2},   {3, 2, 6}, {3, 6, 8},
      {3, 8, 9},   {4, 9, 5},  {2, 4, 11}, {6, 2, 10}, {8, 6, 7},   {9, 8, 1}};
  for (int level = 0; level < subdivisions; ++level) {
    std::map<std::pair<std::uint32_t, std::uint32_t>, std::uint32_t> midpoints;
    const auto midpoint = [&](std::uint32_t a, std::uint32_t b) {
      const auto key = std::minmax(a, b);
      const auto found = midpoints.find(key);
      if (found != midpoints.end()) {
        return found->second;
      }
      unit.push_back(
          normalise({unit[a][0] + unit[b][0], unit[a][1] + unit[b][1], unit[a][2] + unit[b][2]}));
      const auto index = static_cast<std::uint32_t>(unit.size() - 1);
      midpoints.emplace(key, index);
      return index;
    };
    std::vector<std::array<std::uint32_t, 3>> finer;
    for (const auto& [a, b, c] : triangles) {
      const std::uint32_t ab = midpoint(a, b);
      const std::uint32_t bc = midpoint(b, c);
      const std::uint32_t ca = midpoint(c, a);
      finer.insert(finer.end(), {{a, ab, ca}, {b, bc, ab}, {c, ca, bc}, {ab, bc, ca}});
    }
    triangles = std::move(finer);
  }
  TestSurface sphere;
  for (const auto& p : unit) {
    sphere.positions.push_back(toFloat(radius * p[0], radius * p[1], radius * p[2]));
  }
  for (const auto& [a, b, c] : triangles) {
    sphere.facets.push_back({a, b, c});
  }
  return sphere;
}

/// Vertex (i, j) at index j * columns + i for parameters (u_i, v_j); cell
/// (i, j) is the quad (i, j), (i+1, j), (i+1, j+1), (i, j+1), wrapping round
/// in i when wrapU and in j when wrapV, split along its first diagonal unless
/// asQuads.
template <class PointAt>
TestSurface makeGridSurface(std::uint32_t columns, std::uint32_t rows, bool wrapU, bool wrapV,
                            bool asQuads, const PointAt& pointAt) {
  TestSurface surface;
  for (std::uint32_t j = 0; j < rows; ++j) {
    for (std::uint32_t i = 0; i < columns; ++i) {
      surface.positions.push_back(pointAt(i, j));
    }
  }
  const std::uint32_t cellColumns = wrapU ? columns : columns - 1;
  const std::uint32_t cellRows = wrapV ? rows : rows - 1;
  for (std::uint32_t j = 0; j < cellRows; ++j) {
    for (std::uint32_t i = 0; i < cellColumns; ++i) {
      const std::uint32_t i1 = (i + 1) % columns;
      const std::uint32_t j1 = (j + 1) % rows;
      const std::uint32_t v00 = j * columns + i, v10 = j * columns + i1;
      const std::uint32_t v11 = j1 * columns + i1, v01 = j1 * columns + i;
      if (asQuads) {
        surface.facets.push_back({v00, v10, v11, v01});
      } else {
        surface.facets.push_back({v00, v10, v11});
        surface.facets.push_back({v00, v11, v01});
      }
    }
  }
  return surface;
}

/// Torus about the z axis: tube centre radius R, tube radius r; vertex (i, j)
/// at u = 2 pi i / around, v = 2 pi j / tube.
inline TestSurface makeTorus(double R, double r, std::uint32_t around, std::uint32_t tube) {
  return makeGridSurface(around, tube, true, true, false, [&](std::uint32_t i, std::uint32_t j) {
    const double u = 2.0 * pi * i / around;
    const double v = 2.0 * pi * j / tube;
    return toFloat((R + r * std::cos(v)) * std::cos(u), (R + r * std::cos(v)) * std::sin(u),
                   r * std::sin(v));
  });
}

/// Open cylinder of radius r about the z axis, rows rings from z = 0 to height.
inline TestSurface makeCylinder(double r, double height, std::uint32_t around, std::uint32_t rows,
                                bool asQuads = false) {
  return makeGridSurface(around, rows, true, false, asQuads, [&](std::uint32_t i, std::uint32_t j) {
    const double u = 2.0 * pi * i / around;
    return toFloat(r * std::cos(u), r * std::sin(u), height * j / (rows - 1));
  });
}

/// A side x side grid in the tilted plane z = 0.3 x - 0.2 y, its interior
/// points moved at random by up to a quarter of the spacing within the plane.
inline TestSurface makeJitteredPlane(std::uint32_t side, unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> jitter(-0.25, 0.25);
  return makeGridSurface(side, side, false, false, false, [&](std::uint32_t i, std::uint32_t j) {
    const bool border = i == 0 || j == 0 || i + 1 == side || j + 1 == side;
    const double x = i + (border ? 0.0 : jitter(random));
    const double y = j + (border ? 0.0 : jitter(random));
    return toFloat(x, y, 0.3 * x - 0.2 * y);
  });
}

} // namespace vornel::test
