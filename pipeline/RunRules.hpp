#pragma once
// The rules a run on files keeps about its options, whoever fills them in:
// the command line checks each as it parses, runOnFiles checks them all again.
// Each throws UsageError with the command line's wording.

#include "pipeline/Options.hpp"

#include <string>

namespace vornel {

/// The coloured mesh is a .ply or .off file (any case).
void checkColourMeshPath(const std::string& path);

/// The report is a .html or .htm file (any case).
void checkReportPath(const std::string& path);

/// Every feature's file or vertex property is named (a computed feature may
/// name the file it writes); any number of them may be mixed.
void checkAttributeSources(const RunOptions& options);

/// Every rule above, for the paths options gives.
void checkRunOptions(const RunOptions& options);

} // namespace vornel
