#pragma once
// Two features on a square grid cut into four quadrants, where neither feature
// alone tells the quadrants apart: the first separates the left half from the
// right, the second the top half from the bottom. For the tests of the stages
// that segment several features per vertex.

#include "GridGraphs.hpp"

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

namespace vornel::testing {

struct JointProblem {
  VertexGraph graph;
  std::vector<double> features;    // two per vertex
  std::vector<std::int32_t> truth; // quadrant of each vertex: 2 * bottom + right
};

/// A side x side grid; feature means 0 or 1 by quadrant plus Gaussian noise of
/// deviation noise; the second feature is multiplied by secondUnit.
inline JointProblem jointProblem(int side, double noise, unsigned seed, double secondUnit = 1.0) {
  JointProblem problem{fourNeighbourGrid(side), {}, {}};
  std::mt19937 engine(seed);
  std::normal_distribution<double> gaussian(0.0, noise);
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x) {
      const int right = 2 * x >= side ? 1 : 0;
      const int bottom = 2 * y >= side ? 1 : 0;
      problem.truth.push_back(2 * bottom + right);
      problem.features.push_back(right + gaussian(engine));
      problem.features.push_back((bottom + gaussian(engine)) * secondUnit);
    }
  return problem;
}

/// The share of vertices whose label is the truth's, under the best one-to-one
/// matching of four labels to four quadrants.
inline double bestMatchAccuracy(const std::vector<std::int32_t>& labels,
                                const std::vector<std::int32_t>& truth) {
  std::vector<int> order{0, 1, 2, 3};
  std::size_t best = 0;
  do {
    std::size_t agree = 0;
    for (std::size_t v = 0; v < labels.size(); ++v)
      agree += labels[v] >= 0 && labels[v] < 4 && order[labels[v]] == truth[v];
    best = std::max(best, agree);
  } while (std::next_permutation(order.begin(), order.end()));
  return static_cast<double>(best) / static_cast<double>(labels.size());
}

} // namespace vornel::testing
