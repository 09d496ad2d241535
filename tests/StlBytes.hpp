#pragma once
// STL files made in tests: binary and ASCII bytes of a list of triangles.

#include "mesh/PolygonSoup.hpp"

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace vornel::testing {

using StlTriangle = std::array<std::array<float, 3>, 3>;

/// Binary STL (little-endian host): the header padded to 80 bytes, the count, 50 bytes a facet.
inline std::string binaryStl(const std::vector<StlTriangle>& triangles,
                             const std::string& header = "binary test mesh") {
  std::string bytes = header.substr(0, 80);
  bytes.resize(80, '\0');
  const auto count = static_cast<std::uint32_t>(triangles.size());
  bytes.append(reinterpret_cast<const char*>(&count), 4);
  for (const StlTriangle& t : triangles) {
    bytes.append(12, '\0'); // the normal, not read
    for (const auto& corner : t)
      bytes.append(reinterpret_cast<const char*>(corner.data()), 12);
    bytes.append("\x07\x00", 2); // attribute bytes, not read
  }
  return bytes;
}

/// ASCII STL, every coordinate written with enough digits to read back exactly.
inline std::string asciiStl(const std::vector<StlTriangle>& triangles,
                            const std::string& name = "test") {
  std::string text = "solid " + name + "\n";
  char number[32];
  const auto put = [&](float value) {
    std::snprintf(number, sizeof number, " %.9g", static_cast<double>(value));
    text += number;
  };
  for (const StlTriangle& t : triangles) {
    text += "  facet normal 0 0 1\n    outer loop\n";
    for (const auto& corner : t) {
      text += "      vertex";
      for (const float c : corner)
        put(c);
      text += "\n";
    }
    text += "    endloop\n  endfacet\n";
  }
  return text + "endsolid " + name + "\n";
}

/// The triangles of a soup of triangles, each corner its point.
inline std::vector<StlTriangle> trianglesOf(const PolygonSoup& soup) {
  std::vector<StlTriangle> triangles;
  for (std::size_t f = 0; f < soup.facetCount(); ++f) {
    StlTriangle t{};
    for (std::size_t c = 0; c < 3; ++c) {
      const Point3& p = soup.points[soup.corners[soup.facetOffsets[f] + c]];
      t[c] = {p.x(), p.y(), p.z()};
    }
    triangles.push_back(t);
  }
  return triangles;
}

} // namespace vornel::testing
