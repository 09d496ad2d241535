#pragma once
// Everything one run needs to know, filled from the command line or by a
// program that calls the library directly.

#include <optional>
#include <string>

namespace vornel {

/// The segmentation's own settings: the same struct drives the command line
/// and the library entry point, so the two cannot drift apart.
struct SegmentationOptions {
  int classCount = 3;          // ClustNb: 1 .. 256
  int filterPasses = 3;        // MedianNb: majority-filter passes (none when <= 0)
  int sweepCount = 50;         // IterNB: annealing sweeps, the last one greedy (none when <= 0)
  double initialTemperature = 4.0;
  double coolingFactor = 0.97;
  std::optional<unsigned> seed; // replaces the clock in every seeding of the generator
};

struct RunOptions {
  std::string meshPath;
  SegmentationOptions segmentation;
};

} // namespace vornel
