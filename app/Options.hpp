#pragma once
// Everything one run needs to know, filled from the command line or by a
// program that calls the library directly.

#include "mesh/curvature/CurvatureMeasure.hpp"

#include <cstdint>
#include <optional>
#include <string>

namespace vornel {

/// The most threads a run may be given.
constexpr unsigned maxThreadCount = 4096;

/// The segmentation's own settings: the same struct drives the command line
/// and the library entry point, so the two cannot drift apart.
struct SegmentationOptions {
  int classCount = 3;           // ClustNb: 1 .. 256
  int filterPasses = 3;         // MedianNb: majority-filter passes (none when <= 0)
  int sweepCount = 50;          // IterNB: annealing sweeps, the last one greedy; with refine the
                                // length of the cooling schedule (none when <= 0)
  std::optional<unsigned> seed; // replaces the clock in every seeding of the generator
  /// Annealing schedule; when empty, the mode's default (4.0 and 0.97, or for
  /// the refined mode 1.0 and the factor that reaches 0.05 after IterNB sweeps).
  std::optional<double> initialTemperature;
  std::optional<double> coolingFactor;
  /// The refined model: best of ten k-means starts on the ring averages, class
  /// variances no smaller than the noise variance read from the edges, an
  /// interaction-only fit, a cooler schedule that runs until the labels settle
  /// (IterNB cooling sweeps, then at most 4 x IterNB more), and a second round.
  bool refine = false;
  /// After the annealing, every connected segment below this many vertices
  /// takes the label of a neighbouring segment; nothing changes when <= 1.
  std::uint32_t minSegmentSize = 0;
  /// Threads for the parallel stages; 0 is every core the process may use (its
  /// CPU affinity). The results are the same for every count.
  unsigned threads = 0;
};

struct RunOptions {
  std::string meshPath;
  SegmentationOptions segmentation;
  std::string attributeFilePath; // read the values here instead of <base>_attribute.att
  std::string attributeProperty; // take the values from this vertex property of a PLY mesh
  /// Compute the values from the mesh's shape (and write them as an attribute file).
  std::optional<CurvatureMeasure> computedAttribute;
  std::string labelFilePath;  // write the labels here instead of <base>_labels.lb
  std::string colourMeshPath; // also write the coloured mesh here when not empty
  std::string segmentsPath;   // also write the connected segments here when not empty
  std::string reportPath;     // also write the HTML report of the run here when not empty
  bool verbose = false;       // report every stage on standard error
  bool repair = false;        // split non-manifold vertices instead of refusing the mesh
};

} // namespace vornel
