#pragma once
// A one-dimensional Gaussian mixture fitted by a fixed number of EM
// iterations, on the values themselves or on a histogram of them.

#include <vector>

namespace vornel {

struct GaussianMixture {
  std::vector<double> weights;   // proportions pi_l, summing to 1
  std::vector<double> means;     // mu_l
  std::vector<double> variances; // sigma_l^2, never below the floor
  int iterations = 0;            // EM iterations completed
  bool stoppedEarly = false;     // a component's mass fell below 1e-9 of the total
};

struct MixtureOptions {
  int iterations = 100;             // run exactly this many unless a component vanishes
  int histogramBins = 2048;         // equal-width bins of the histogram variant
  double varianceFloorRatio = 1e-6; // floor = ratio * population variance of the values
};

/// EM from start (weights, means, variances of K components) on every value.
/// Starting variances below the floor are raised to it.
GaussianMixture fitMixture(const std::vector<double>& values, GaussianMixture start,
                           const MixtureOptions& options = {});

/// The same EM on a histogram of the values: each non-empty bin stands for the
/// mean of its values with the weight of its count, so an iteration costs the
/// number of bins whatever the number of values.
GaussianMixture fitMixtureOnHistogram(const std::vector<double>& values, GaussianMixture start,
                                      const MixtureOptions& options = {});

} // namespace vornel
