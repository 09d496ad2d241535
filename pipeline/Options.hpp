#pragma once
// Everything one run needs to know, filled from the command line or by a
// program that calls the library directly.

#include "mesh/curvature/CurvatureMeasure.hpp"
#include "pipeline/Progress.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vornel {

/// The most threads a run may be given.
constexpr unsigned maxThreadCount = 4096;

/// The most classes a run may make: the annealing sweeps hold labels in 8 bits.
constexpr int maxClassCount = 256;

/// The segmentation's own settings: the same struct drives the command line
/// and the library entry point, so the two cannot drift apart.
struct SegmentationOptions {
  int classCount = 3;           // ClustNb: 1 .. maxClassCount
  int filterPasses = 3;         // MedianNb: majority-filter passes (none when <= 0)
  int sweepCount = 50;          // IterNB: annealing sweeps, the last one greedy; with refine the
                                // length of the cooling schedule (none when <= 0)
  std::optional<unsigned> seed; // replaces the clock in every seeding of the generator
  /// Annealing schedule; when empty, the mode's default (pipeline/RunSchedule.hpp).
  std::optional<double> initialTemperature;
  std::optional<double> coolingFactor;
  /// The refined model, recommended for noisy values (its recipe:
  /// pipeline/RefinedSegmentation.hpp).
  bool refine = false;
  /// After the annealing, every connected segment below this many vertices
  /// takes the label of a neighbouring segment; nothing changes when <= 1.
  std::uint32_t minSegmentSize = 0;
  /// Threads for the parallel stages; 0 is every core the process may use (its
  /// CPU affinity). The results are the same for every count.
  unsigned threads = 0;
  /// Told each stage as it starts and each annealing sweep; empty: nothing is told.
  ProgressSink progress;
};

/// One value per vertex (one feature) of a run, as the command line gives it.
struct FeatureSource {
  enum class Kind { File, VertexProperty, Computed };
  Kind kind = Kind::File;
  /// File: the attribute file to read. VertexProperty: the PLY property's name.
  /// Computed: the attribute file to write the values to (--attribute-file
  /// right after --compute-attribute); empty when none was named.
  std::string name;
  CurvatureMeasure measure = CurvatureMeasure::MeanCurvature; // Computed: the measure
};

struct RunOptions {
  std::string meshPath;
  SegmentationOptions segmentation;
  /// The features in command-line order; empty: the values of <base>_attribute.att.
  std::vector<FeatureSource> features;
  std::string labelFilePath;  // write the labels here instead of <base>_labels.lb
  std::string colourMeshPath; // also write the coloured mesh here when not empty
  std::string segmentsPath;   // also write the connected segments here when not empty
  std::string reportPath;     // also write the HTML report of the run here when not empty
  bool verbose = false;       // report every stage on standard error
  bool repair = false;        // split non-manifold vertices instead of refusing the mesh
  bool showProgress = false;  // the progress line on standard error (on a terminal)
};

} // namespace vornel
