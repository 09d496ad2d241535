#pragma once
// The names of the companion files, derived from the mesh file's path.

#include <string>

namespace vornel {

struct CompanionFiles {
  std::string attributeFile; // base + "_attribute.att"
  std::string labelFile;     // base + "_labels.lb"
};

/// base = the path up to, not including, its last '.' (the whole path is
/// searched, folders included); the empty string when the path has no '.'.
CompanionFiles deriveCompanionFiles(const std::string& meshPath);

} // namespace vornel
