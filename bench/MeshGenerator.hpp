#pragma once
// Large test meshes with a known attribute field: a planar grid split into K
// vertical stripes, or a subdivided icosphere split into K bands by height.
// Region c has attribute mean c plus Gaussian noise. Header-only, so that the
// generator tool and the benchmarks share it.

#include "core/LargeArray.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vornel::generator {

struct GeneratedMesh {
  std::vector<std::array<float, 3>> points;
  std::vector<std::array<std::uint32_t, 3>> triangles; // 0-based, outward orientation
  std::vector<int> regions;                            // known region of every vertex
};

// ---------------------------------------------------------------- grid

/// About vertexCount vertices: a side x side grid on [0,1]^2, two triangles per
/// cell, vertex (i, j) at index j * side + i; stripe of column i = i * K / side.
inline GeneratedMesh makeGrid(std::size_t vertexCount, int classes) {
  const auto side = std::max<std::uint32_t>(
      2, static_cast<std::uint32_t>(std::lround(std::sqrt(static_cast<double>(vertexCount)))));
  GeneratedMesh mesh;
  reserveLarge(mesh.points, std::size_t{side} * side);
  reserveLarge(mesh.regions, std::size_t{side} * side);
  const float step = 1.0f / static_cast<float>(side - 1);
  for (std::uint32_t j = 0; j < side; ++j) {
    for (std::uint32_t i = 0; i < side; ++i) {
      mesh.points.push_back({static_cast<float>(i) * step, static_cast<float>(j) * step, 0.0f});
      mesh.regions.push_back(static_cast<int>(std::uint64_t{i} * classes / side));
    }
  }
  reserveLarge(mesh.triangles, 2 * std::size_t{side - 1} * (side - 1));
  for (std::uint32_t j = 0; j + 1 < side; ++j) {
    for (std::uint32_t i = 0; i + 1 < side; ++i) {
      const std::uint32_t v00 = j * side + i;
      const std::uint32_t v10 = v00 + 1;
      const std::uint32_t v01 = v00 + side;
      const std::uint32_t v11 = v01 + 1;
      mesh.triangles.push_back({v00, v10, v11});
      mesh.triangles.push_back({v00, v11, v01});
    }
  }
  return mesh;
}

// ---------------------------------------------------------------- icosphere

namespace detail {

constexpr double goldenRatio = 1.6180339887498949;

inline std::array<std::array<double, 3>, 12> icosahedronCorners() {
  const double t = goldenRatio;
  return {{{-1, t, 0},
           {1, t, 0},
           {-1, -t, 0},
           {1, -t, 0},
           {0, -1, t},
           {0, 1, t},
           {0, -1, -t},
           {0, 1, -t},
           {t, 0, -1},
           {t, 0, 1},
           {-t, 0, -1},
           {-t, 0, 1}}};
}

inline std::array<std::array<std::uint32_t, 3>, 20> icosahedronFaces() {
  return {{{0, 11, 5},  {0, 5, 1},  {0, 1, 7},  {0, 7, 10}, {0, 10, 11}, {1, 5, 9}, {5, 11, 4},
           {11, 10, 2}, {10, 7, 6}, {7, 1, 8},  {3, 9, 4},  {3, 4, 2},   {3, 2, 6}, {3, 6, 8},
           {3, 8, 9},   {4, 9, 5},  {2, 4, 11}, {6, 2, 10}, {8, 6, 7},   {9, 8, 1}}};
}

// Builds the frequency-m subdivision: every icosahedron face becomes m^2
// triangles; points on shared edges and corners are created once.
class IcosphereBuilder {
public:
  IcosphereBuilder(std::uint32_t frequency, int classes) : m_(frequency), classes_(classes) {}

  GeneratedMesh build() {
    const std::size_t squared = std::size_t{m_} * m_;
    reserveLarge(mesh_.points, 10 * squared + 2);
    reserveLarge(mesh_.regions, 10 * squared + 2);
    reserveLarge(mesh_.triangles, 20 * squared);
    const auto faces = icosahedronFaces();
    for (const auto& face : faces) {
      addFace(face);
    }
    return std::move(mesh_);
  }

private:
  // Weights (a, b, c) of the face corners, a + b + c = m.
  std::uint32_t pointIndex(const std::array<std::uint32_t, 3>& face, std::uint32_t a,
                           std::uint32_t b, std::uint32_t c) {
    const std::array<std::uint32_t, 3> w{a, b, c};
    for (int k = 0; k < 3; ++k) {
      if (w[k] == m_) {
        return sharedPoint(face[k], face[k], face, w);
      }
    }
    for (int k = 0; k < 3; ++k) {
      if (w[k] == 0) { // on the edge opposite corner k
        const std::uint32_t u = face[(k + 1) % 3];
        const std::uint32_t v = face[(k + 2) % 3];
        return sharedPoint(u, v, face, w);
      }
    }
    return newPoint(face, w);
  }

  // A point on an icosahedron edge u-v (or the corner u when u == v), keyed by
  // the edge and the weight of the edge's smaller corner.
  std::uint32_t sharedPoint(std::uint32_t u, std::uint32_t v,
                            const std::array<std::uint32_t, 3>& face,
                            const std::array<std::uint32_t, 3>& w) {
    const std::uint32_t low = std::min(u, v);
    const std::uint32_t high = std::max(u, v);
    std::uint32_t lowWeight = 0;
    for (int k = 0; k < 3; ++k) {
      lowWeight = face[k] == low ? w[k] : lowWeight;
    }
    const std::uint64_t key =
        (std::uint64_t{low} * 12 + high) * (std::uint64_t{m_} + 1) + lowWeight;
    const auto found = shared_.find(key);
    if (found != shared_.end()) {
      return found->second;
    }
    const std::uint32_t index = newPoint(face, w);
    shared_.emplace(key, index);
    return index;
  }

  std::uint32_t newPoint(const std::array<std::uint32_t, 3>& face,
                         const std::array<std::uint32_t, 3>& w) {
    const auto corners = icosahedronCorners();
    std::array<double, 3> p{0.0, 0.0, 0.0};
    for (int k = 0; k < 3; ++k) {
      for (int d = 0; d < 3; ++d) {
        p[d] += w[k] * corners[face[k]][d];
      }
    }
    const double length = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
    const std::array<float, 3> point{static_cast<float>(p[0] / length),
                                     static_cast<float>(p[1] / length),
                                     static_cast<float>(p[2] / length)};
    const int band = static_cast<int>((point[2] + 1.0) * 0.5 * classes_);
    mesh_.points.push_back(point);
    mesh_.regions.push_back(std::min(std::max(band, 0), classes_ - 1));
    return static_cast<std::uint32_t>(mesh_.points.size() - 1);
  }

  void addFace(const std::array<std::uint32_t, 3>& face) {
    // local[(j * (2m + 3 - j)) / 2 + i]: the point with weights (m - i - j, i, j).
    std::vector<std::uint32_t> local;
    local.reserve(std::size_t{m_ + 1} * (m_ + 2) / 2);
    for (std::uint32_t j = 0; j <= m_; ++j) {
      for (std::uint32_t i = 0; i + j <= m_; ++i) {
        local.push_back(pointIndex(face, m_ - i - j, i, j));
      }
    }
    const auto at = [this, &local](std::uint32_t i, std::uint32_t j) {
      return local[j * (2 * m_ + 3 - j) / 2 + i];
    };
    for (std::uint32_t j = 0; j < m_; ++j) {
      for (std::uint32_t i = 0; i + j < m_; ++i) {
        mesh_.triangles.push_back({at(i, j), at(i + 1, j), at(i, j + 1)});
        if (i + j + 2 <= m_) {
          mesh_.triangles.push_back({at(i + 1, j), at(i + 1, j + 1), at(i, j + 1)});
        }
      }
    }
  }

  std::uint32_t m_;
  int classes_;
  GeneratedMesh mesh_;
  std::unordered_map<std::uint64_t, std::uint32_t> shared_;
};

} // namespace detail

/// The icosahedron subdivided with the smallest frequency m whose vertex count
/// 10 m^2 + 2 reaches vertexCount, projected on the unit sphere; band of a
/// vertex = floor((z + 1) / 2 * K).
inline GeneratedMesh makeIcosphere(std::size_t vertexCount, int classes) {
  std::uint32_t m = 1;
  while (10 * std::uint64_t{m} * m + 2 < vertexCount) {
    ++m;
  }
  return detail::IcosphereBuilder(m, classes).build();
}

// ---------------------------------------------------------------- writing

/// Buffered text output: numbers are formatted with std::to_chars straight
/// into one buffer that is written out in large blocks.
class TextWriter {
public:
  explicit TextWriter(const std::string& path)
      : path_(path), file_(std::fopen(path.c_str(), "wb")), buffer_(blockSize + room) {
    if (!file_) {
      throw std::runtime_error("cannot write " + path);
    }
  }
  ~TextWriter() { // callers flush(); this only saves what an exception left behind
    if (used_ > 0 && file_) {
      std::fwrite(buffer_.data(), 1, used_, file_.get());
    }
  }
  TextWriter(const TextWriter&) = delete;
  TextWriter& operator=(const TextWriter&) = delete;

  TextWriter& text(std::string_view s) {
    if (s.size() > room) { // never for the short pieces of a mesh file
      flush();
      write(s.data(), s.size());
      return *this;
    }
    std::memcpy(buffer_.data() + used_, s.data(), s.size());
    used_ += s.size();
    return flushIfFull();
  }
  template <class Number> TextWriter& number(Number value) {
    const auto result =
        std::to_chars(buffer_.data() + used_, buffer_.data() + buffer_.size(), value);
    used_ = static_cast<std::size_t>(result.ptr - buffer_.data());
    return flushIfFull();
  }

  /// Raw bytes (binary formats, little-endian host).
  TextWriter& bytes(const void* data, std::size_t size) {
    return text(std::string_view(static_cast<const char*>(data), size));
  }

  void flush() {
    write(buffer_.data(), used_);
    used_ = 0;
  }

private:
  static constexpr std::size_t blockSize = std::size_t{1} << 20;
  static constexpr std::size_t room = 64; // beyond a block: enough for any number or piece
  struct Closer {
    void operator()(std::FILE* file) const { std::fclose(file); }
  };

  void write(const char* data, std::size_t size) {
    if (size > 0 && file_ && std::fwrite(data, 1, size, file_.get()) != size) {
      throw std::runtime_error("cannot write " + path_);
    }
  }

  TextWriter& flushIfFull() {
    if (used_ >= blockSize) {
      flush();
    }
    return *this;
  }

  std::string path_;
  std::unique_ptr<std::FILE, Closer> file_;
  std::vector<char> buffer_;
  std::size_t used_ = 0; // always below blockSize between calls, so room is left
};

inline void writeObj(const GeneratedMesh& mesh, const std::string& path) {
  TextWriter out(path);
  for (const auto& p : mesh.points) {
    out.text("v ").number(p[0]).text(" ").number(p[1]).text(" ").number(p[2]).text("\n");
  }
  for (const auto& t : mesh.triangles) {
    out.text("f ").number(t[0] + 1).text(" ").number(t[1] + 1).text(" ").number(t[2] + 1).text(
        "\n");
  }
  out.flush();
}

inline void writeOff(const GeneratedMesh& mesh, const std::string& path) {
  TextWriter out(path);
  out.text("OFF\n").number(mesh.points.size()).text(" ").number(mesh.triangles.size()).text(" 0\n");
  for (const auto& p : mesh.points) {
    out.number(p[0]).text(" ").number(p[1]).text(" ").number(p[2]).text("\n");
  }
  for (const auto& t : mesh.triangles) {
    out.text("3 ").number(t[0]).text(" ").number(t[1]).text(" ").number(t[2]).text("\n");
  }
  out.flush();
}

/// Binary little-endian PLY with float x, y, z and int vertex_indices lists.
inline void writeBinaryPly(const GeneratedMesh& mesh, const std::string& path) {
  TextWriter out(path);
  out.text("ply\nformat binary_little_endian 1.0\nelement vertex ")
      .number(mesh.points.size())
      .text("\nproperty float x\nproperty float y\nproperty float z\nelement face ")
      .number(mesh.triangles.size())
      .text("\nproperty list uchar int vertex_indices\nend_header\n");
  for (const auto& p : mesh.points) {
    out.bytes(p.data(), sizeof p);
  }
  for (const auto& t : mesh.triangles) {
    out.text("\x03").bytes(t.data(), sizeof t);
  }
  out.flush();
}

/// Binary STL: every triangle with its three points (and a zero normal).
inline void writeBinaryStl(const GeneratedMesh& mesh, const std::string& path) {
  TextWriter out(path);
  std::string header = "binary STL from vornel_make_mesh";
  header.resize(80, ' ');
  const auto count = static_cast<std::uint32_t>(mesh.triangles.size());
  out.text(header).bytes(&count, sizeof count);
  const float normal[3] = {0.0f, 0.0f, 0.0f};
  for (const auto& t : mesh.triangles) {
    out.bytes(normal, sizeof normal);
    for (const std::uint32_t v : t) {
      out.bytes(mesh.points[v].data(), 3 * sizeof(float));
    }
    out.text(std::string_view("\0\0", 2));
  }
  out.flush();
}

/// The vertices in the order a reader that welds triangle corners numbers
/// them (STL): by their first corner.
inline std::vector<std::uint32_t> firstAppearanceOrder(const GeneratedMesh& mesh) {
  std::vector<bool> seen(mesh.points.size(), false);
  std::vector<std::uint32_t> order;
  order.reserve(mesh.points.size());
  for (const auto& t : mesh.triangles) {
    for (const std::uint32_t v : t) {
      if (!seen[v]) {
        seen[v] = true;
        order.push_back(v);
      }
    }
  }
  return order;
}

/// One value per vertex: region mean (the region number) plus N(0, sigma)
/// noise drawn from std::mt19937 seeded with seed, written as a float.
inline void writeAttributes(const std::vector<int>& regions, double sigma, std::uint32_t seed,
                            const std::string& path) {
  std::mt19937 random(seed);
  std::normal_distribution<double> noise(0.0, sigma);
  TextWriter out(path);
  for (const int region : regions) {
    const double value = region + (sigma > 0.0 ? noise(random) : 0.0);
    out.number(static_cast<float>(value)).text("\n");
  }
  out.flush();
}

/// The true regions in the label-file layout: the class count, then one label
/// per vertex, each followed by a space and a tab.
inline void writeTruth(const std::vector<int>& regions, int classes, const std::string& path) {
  TextWriter out(path);
  out.number(classes).text(" \t");
  for (const int region : regions) {
    out.number(region).text(" \t");
  }
  out.flush();
}

/// The path up to its last '.', or the whole path when it holds none.
inline std::string basePath(const std::string& path) {
  const std::size_t dot = path.rfind('.');
  return dot == std::string::npos ? path : path.substr(0, dot);
}

} // namespace vornel::generator
