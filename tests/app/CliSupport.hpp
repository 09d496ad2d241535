#pragma once
// Helpers for tests that run the built vornel binary on generated files.

#include "TempFolder.hpp"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace vornel::testing {

struct CommandResult {
  int exitStatus = -1;
  std::string out;
  std::string err;
};

/// Runs the vornel binary with the given arguments (each quoted for the shell),
/// in workingFolder when it is not empty.
CommandResult runVornel(const std::vector<std::string>& args,
                        const std::string& workingFolder = "");

bool fileExists(const std::string& path);

/// A triangulated width x height grid in the plane z = 0 (OBJ text). Its
/// vertices are numbered row by row.
std::string gridObj(int width, int height);

/// Regions of a width x height grid: `regions` vertical stripes of equal width.
std::vector<int> stripeRegions(int width, int height, int regions);

/// Attribute text: region r's value is r * spacing plus Gaussian noise.
std::string noisyAttributes(const std::vector<int>& regions, double spacing, double noise,
                            unsigned seed);

/// The labels of a label file (after the class count), and the class count.
struct LabelFileContent {
  int classCount = 0;
  std::vector<int> labels;
};
LabelFileContent parseLabelFile(const std::string& text);

/// Fraction of vertices whose label equals their region.
double accuracy(const std::vector<int>& labels, const std::vector<int>& regions);

} // namespace vornel::testing
