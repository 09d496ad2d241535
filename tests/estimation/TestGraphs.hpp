#pragma once
// Small vertex graphs with chosen ring label histograms, and triangulated grids.

#include "core/VertexGraph.hpp"

#include <cstdint>
#include <random>
#include <vector>

namespace vornel::test_graphs {

struct LabelledGraph {
  VertexGraph graph;
  std::vector<std::int32_t> labels;
};

/// `count` vertices labelled `label` whose rings hold `ring[l]` neighbours labelled l.
struct RingSample {
  std::vector<int> ring;
  std::int32_t label;
  int count;
};

/// Vertices 0 .. K-1 are isolated anchors labelled 0 .. K-1 (left out of the
/// table); every sample vertex's ring points at anchors.
inline LabelledGraph graphFromSamples(int K, const std::vector<RingSample>& samples) {
  std::vector<std::vector<std::uint32_t>> rings(static_cast<std::size_t>(K));
  LabelledGraph result;
  for (int l = 0; l < K; ++l) {
    result.labels.push_back(l);
  }
  for (const RingSample& sample : samples) {
    std::vector<std::uint32_t> ring;
    for (int l = 0; l < K; ++l) {
      ring.insert(ring.end(), static_cast<std::size_t>(sample.ring[l]), std::uint32_t(l));
    }
    for (int c = 0; c < sample.count; ++c) {
      rings.push_back(ring);
      result.labels.push_back(sample.label);
    }
  }
  result.graph = VertexGraph::fromRings(rings);
  return result;
}

/// A width x height grid, each quad split along the same diagonal: inner
/// vertices have 6 neighbours, border vertices 2 to 4.
inline VertexGraph gridGraph(int width, int height) {
  std::vector<std::vector<std::uint32_t>> rings(static_cast<std::size_t>(width * height));
  const int steps[6][2] = {{1, 0}, {1, 1}, {0, 1}, {-1, 0}, {-1, -1}, {0, -1}};
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      for (const auto& step : steps) {
        const int nx = x + step[0];
        const int ny = y + step[1];
        if (nx >= 0 && nx < width && ny >= 0 && ny < height) {
          rings[std::size_t(y * width + x)].push_back(std::uint32_t(ny * width + nx));
        }
      }
    }
  }
  return VertexGraph::fromRings(rings);
}

inline std::vector<std::int32_t> randomLabels(std::size_t count, int K, unsigned seed) {
  std::mt19937 generator(seed);
  std::uniform_int_distribution<std::int32_t> pick(0, K - 1);
  std::vector<std::int32_t> labels(count);
  for (auto& label : labels) {
    label = pick(generator);
  }
  return labels;
}

} // namespace vornel::test_graphs
