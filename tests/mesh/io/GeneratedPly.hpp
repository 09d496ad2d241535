#pragma once
// A generated PLY mesh written as ASCII or binary text: vertices with extra
// properties and a value, facets of three to five corners with a flag after
// their list, and an "edge" element after them, so that records of every
// kind fall across chunk and range boundaries.

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace vornel {

enum class PlyLineEnds { Lf, CrLf, Mixed };

struct GeneratedPly {
  struct Vertex {
    float x, y, z;
    unsigned char red;
    float quality;
  };
  std::vector<Vertex> vertices;
  std::vector<std::vector<std::int32_t>> facets;
  std::vector<std::int32_t> edges; // two ends each

  explicit GeneratedPly(unsigned seed, int vertexCount = 150) {
    std::mt19937 random(seed);
    for (int v = 0; v < vertexCount; ++v) {
      vertices.push_back(
          {static_cast<float>(random() % 1000) / 7.0f, -static_cast<float>(random() % 100) - 0.25f,
           static_cast<float>(random() % 9) * 1e-3f, static_cast<unsigned char>(random() % 256),
           static_cast<float>(random() % 5000) / 3.0f});
    }
    for (int f = 0; f < 2 * vertexCount; ++f) {
      std::vector<std::int32_t> corners(3 + random() % 3);
      for (std::int32_t& corner : corners) {
        corner = static_cast<std::int32_t>(random() % static_cast<unsigned>(vertexCount));
      }
      facets.push_back(corners);
    }
    for (int e = 0; e < 7; ++e) {
      edges.push_back(static_cast<std::int32_t>(random() % static_cast<unsigned>(vertexCount)));
      edges.push_back(static_cast<std::int32_t>(random() % static_cast<unsigned>(vertexCount)));
    }
  }

  std::string header(const std::string& format) const {
    return "ply\nformat " + format + " 1.0\nelement vertex " + std::to_string(vertices.size()) +
           "\nproperty float x\nproperty uchar red\nproperty float y\nproperty float z\n"
           "property float quality\nelement face " +
           std::to_string(facets.size()) +
           "\nproperty list uchar int vertex_indices\nproperty uchar flag\nelement edge " +
           std::to_string(edges.size() / 2) +
           "\nproperty int vertex1\nproperty int vertex2\nend_header\n";
  }

  /// ASCII text, one record per line; with blank lines between some.
  std::string ascii(PlyLineEnds ends, unsigned seed = 3) const {
    std::mt19937 random(seed);
    const char* const breaks[] = {"\n", "\r\n", "\r"};
    std::string text = header("ascii");
    const auto endLine = [&] {
      text += ends == PlyLineEnds::Mixed ? breaks[random() % 3] : breaks[static_cast<int>(ends)];
      if (random() % 13 == 0) {
        text += ends == PlyLineEnds::CrLf ? " \r\n" : "\t\n";
      }
    };
    for (const Vertex& v : vertices) {
      text += std::to_string(v.x) + " " + std::to_string(v.red) + "  " + std::to_string(v.y) + " " +
              std::to_string(v.z) + " " + std::to_string(v.quality);
      endLine();
    }
    for (std::size_t f = 0; f < facets.size(); ++f) {
      text += std::to_string(facets[f].size());
      for (const std::int32_t corner : facets[f]) {
        text += " " + std::to_string(corner);
      }
      text += " " + std::to_string(f % 7);
      endLine();
    }
    for (std::size_t e = 0; e < edges.size(); e += 2) {
      text += std::to_string(edges[e]) + " " + std::to_string(edges[e + 1]);
      endLine();
    }
    return text;
  }

  std::string binary(bool littleEndian) const {
    std::string bytes = header(littleEndian ? "binary_little_endian" : "binary_big_endian");
    const auto put = [&](const void* value, std::size_t size) {
      char raw[8];
      std::memcpy(raw, value, size);
      for (std::size_t i = 0; i < size; ++i) { // the host is little endian
        bytes += raw[littleEndian ? i : size - 1 - i];
      }
    };
    for (const Vertex& v : vertices) {
      put(&v.x, 4);
      put(&v.red, 1);
      put(&v.y, 4);
      put(&v.z, 4);
      put(&v.quality, 4);
    }
    for (std::size_t f = 0; f < facets.size(); ++f) {
      const auto count = static_cast<unsigned char>(facets[f].size());
      put(&count, 1);
      for (const std::int32_t corner : facets[f]) {
        put(&corner, 4);
      }
      const auto flag = static_cast<unsigned char>(f % 7);
      put(&flag, 1);
    }
    for (const std::int32_t end : edges) {
      put(&end, 4);
    }
    return bytes;
  }
};

} // namespace vornel
