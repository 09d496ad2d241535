#pragma once
// Attribute values for the k-means tests: classes of known means with noise.

#include <cstddef>
#include <random>
#include <vector>

namespace vornel::testing {

/// Value i has mean i % classes (means 0 .. classes - 1) plus Gaussian noise
/// of the given deviation, stored as a float as an attribute file's value is.
inline std::vector<double> noisyClasses(std::size_t count, int classes, double noise,
                                        unsigned seed) {
  std::mt19937 engine(seed);
  std::normal_distribution<double> gaussian(0.0, noise);
  std::vector<double> values;
  for (std::size_t i = 0; i < count; ++i)
    values.push_back(static_cast<float>(static_cast<int>(i % classes) + gaussian(engine)));
  return values;
}

} // namespace vornel::testing
