#pragma once
// One run on files, the command line's whole run: the mesh and its values in,
// the label file and every other asked-for output written, all or nothing.
// The command line and Python's segment_file both call it.

#include "pipeline/Options.hpp"
#include "pipeline/RunReport.hpp"
#include "pipeline/Segmentation.hpp"

#include <string>
#include <vector>

namespace vornel {

/// What a run on files leaves: the segmentation of the input's vertices (the
/// copies a repair adds are left out, as in the label file) and the paths it
/// wrote, the label file first.
struct FileRunResult {
  SegmentationResult segmentation;
  std::vector<std::string> writtenPaths;
};

/// Reads the mesh and its values, segments, and writes the outputs. Throws
/// MissingMeshError when the mesh file does not exist, and VornelError for
/// every other failure; no output is written then. report, when given, hears
/// about every stage.
FileRunResult runOnFiles(const RunOptions& options, const WarningSink& warn,
                         RunReport* report = nullptr);

} // namespace vornel
