// Accuracy against known regions: k-means alone (K 0 0), k-means plus filter
// (K 3 0), the full run (K 3 50) and the refined model (K 3 50 --refine), on
// grids whose attribute is K vertical stripes of evenly spaced means plus
// Gaussian noise with sigma = the spacing and sigma = half the spacing.
//
// Usage: bench_quality [grid side, default 120] [seeds, default 5]

#include "app/Segmentation.hpp"
#include "mesh/LabeledMesh.hpp"
#include "mesh/MeshInput.hpp"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace vornel;

VertexGraph gridGraph(int side) {
  const std::string path =
      (std::filesystem::temp_directory_path() / ("vornel-quality-" + std::to_string(side) + ".obj"))
          .string();
  {
    std::ofstream obj(path);
    for (int y = 0; y < side; ++y)
      for (int x = 0; x < side; ++x)
        obj << "v " << x << ' ' << y << " 0\n";
    for (int y = 0; y + 1 < side; ++y)
      for (int x = 0; x + 1 < side; ++x) {
        const int a = y * side + x + 1, b = a + 1, c = a + side, d = c + 1;
        obj << "f " << a << ' ' << b << ' ' << d << "\nf " << a << ' ' << d << ' ' << c << '\n';
      }
  }
  LabeledMesh mesh;
  readMeshFile(path, mesh);
  std::filesystem::remove(path);
  return buildVertexGraph(mesh);
}

struct Problem {
  std::vector<int> regions;
  std::vector<double> values;
};

Problem makeProblem(int side, int classes, double sigma, unsigned seed) {
  Problem problem;
  std::mt19937 engine(seed);
  std::normal_distribution<double> noise(0.0, sigma);
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x) {
      const int region = x * classes / side;
      problem.regions.push_back(region);
      // Stored as the attribute file would store it: single precision.
      problem.values.push_back(static_cast<float>(region + noise(engine)));
    }
  return problem;
}

double accuracy(const std::vector<std::int32_t>& labels, const std::vector<int>& regions) {
  std::size_t agree = 0;
  for (std::size_t i = 0; i < labels.size(); ++i)
    agree += labels[i] == regions[i];
  return static_cast<double>(agree) / static_cast<double>(labels.size());
}

double run(const VertexGraph& graph, const Problem& problem, int classes, int passes, int sweeps,
           unsigned seed, bool refine = false) {
  SegmentationOptions options;
  options.refine = refine;
  options.classCount = classes;
  options.filterPasses = passes;
  options.sweepCount = sweeps;
  options.seed = seed;
  return accuracy(segment(graph, problem.values, options, seed).labels, problem.regions);
}

} // namespace

int main(int argc, char** argv) {
  const int side = argc > 1 ? std::atoi(argv[1]) : 120;
  const int seeds = argc > 2 ? std::atoi(argv[2]) : 5;
  const VertexGraph graph = gridGraph(side);
  std::printf("grid %d x %d, %d seeds: mean accuracy\n", side, side, seeds);
  std::printf("%6s %3s %12s %12s %12s %12s\n", "sigma", "K", "K 0 0", "K 3 0", "K 3 50",
              "refined");
  for (double sigma : {1.0, 0.5}) {
    for (int classes : {2, 3, 5}) {
      double sums[4] = {0.0, 0.0, 0.0, 0.0};
      for (int s = 1; s <= seeds; ++s) {
        const Problem problem = makeProblem(side, classes, sigma, static_cast<unsigned>(s));
        sums[0] += run(graph, problem, classes, 0, 0, s);
        sums[1] += run(graph, problem, classes, 3, 0, s);
        sums[2] += run(graph, problem, classes, 3, 50, s);
        sums[3] += run(graph, problem, classes, 3, 50, s, true);
      }
      std::printf("%6.2f %3d %12.4f %12.4f %12.4f %12.4f\n", sigma, classes, sums[0] / seeds,
                  sums[1] / seeds, sums[2] / seeds, sums[3] / seeds);
    }
  }
  return 0;
}
