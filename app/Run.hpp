#pragma once
// One run of the command-line tool: files in, label file out.

#include "app/Options.hpp"
#include "app/RunReport.hpp"

#include <functional>
#include <string>

namespace vornel {

/// Receives each warning line (without the "vornel: " prefix).
using WarningSink = std::function<void(const std::string&)>;

/// The message printed on standard output when the mesh file cannot be opened.
std::string missingFileMessage(const std::string& path);

/// Reads the mesh and its attribute file, segments, and writes the label file.
/// Returns false, after printing the missing-file message, when the mesh file
/// does not open. Throws VornelError for every other failure; no label file is
/// written then. report, when given, hears about every stage.
bool runOnFiles(const RunOptions& options, const WarningSink& warn, RunReport* report = nullptr);

} // namespace vornel
