// Segments a grid built in code whose left half holds low values and whose
// right half holds high ones, prints the class sizes and checks that the two
// halves came out as the two classes. Exit status 0 when they did.

#include <vornel/app/Vornel.hpp>

#include <array>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

constexpr std::uint32_t gridWidth = 24;
constexpr std::uint32_t gridHeight = 16;

struct Grid {
  std::vector<std::array<float, 3>> positions;
  std::vector<std::vector<std::uint32_t>> facets;
  std::vector<double> values;
};

std::uint32_t vertexAt(std::uint32_t x, std::uint32_t y) {
  return y * gridWidth + x;
}

bool inRightHalf(std::uint32_t vertex) {
  return vertex % gridWidth >= gridWidth / 2;
}

/// A flat grid of two triangles per cell; the values alternate slightly around
/// 1 on the left half and around 5 on the right half.
Grid makeGrid() {
  Grid grid;
  for (std::uint32_t y = 0; y < gridHeight; ++y)
    for (std::uint32_t x = 0; x < gridWidth; ++x) {
      grid.positions.push_back({static_cast<float>(x), static_cast<float>(y), 0.0f});
      const double wobble = ((x + y) % 2 == 0) ? 0.25 : -0.25;
      grid.values.push_back((inRightHalf(vertexAt(x, y)) ? 5.0 : 1.0) + wobble);
    }
  for (std::uint32_t y = 0; y + 1 < gridHeight; ++y)
    for (std::uint32_t x = 0; x + 1 < gridWidth; ++x) {
      grid.facets.push_back({vertexAt(x, y), vertexAt(x + 1, y), vertexAt(x + 1, y + 1)});
      grid.facets.push_back({vertexAt(x, y), vertexAt(x + 1, y + 1), vertexAt(x, y + 1)});
    }
  return grid;
}

} // namespace

int main() {
  const Grid grid = makeGrid();
  vornel::SegmentationOptions options;
  options.classCount = 2;
  options.filterPasses = 2;
  options.sweepCount = 20;
  options.seed = 7;
  try {
    const vornel::SegmentationResult result =
        vornel::segmentMesh(grid.positions, grid.facets, grid.values, options);
    const vornel::ClassSummary summary =
        vornel::summariseClasses(result.labels, result.means, result.variances);
    for (std::size_t c = 0; c < summary.sizes.size(); ++c)
      std::printf("class %zu: %lld vertices, mean %.3f\n", c,
                  static_cast<long long>(summary.sizes[c]), summary.means[c]);

    std::size_t misplaced = 0;
    for (std::uint32_t v = 0; v < result.labels.size(); ++v)
      if (result.labels[v] != (inRightHalf(v) ? 1 : 0))
        ++misplaced;
    if (summary.sizes.size() != 2 || misplaced != 0) {
      std::fprintf(stderr, "unexpected segmentation: %zu vertices in the wrong class\n", misplaced);
      return 1;
    }
    return 0;
  } catch (const vornel::VornelError& error) {
    std::fprintf(stderr, "segmentation failed: %s\n", error.what());
    return 1;
  }
}
