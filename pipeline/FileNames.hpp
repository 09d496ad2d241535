#pragma once
// The names of the companion files, derived from the mesh file's path.

#include <string>

namespace vornel {

struct CompanionFiles {
  std::string attributeFile; // base + "_attribute.att"
  std::string labelFile;     // base + "_labels.lb"
};

/// base = the path up to, not including, the last '.' of its file name (a dot
/// in a folder's name does not count); the whole path when the file name has
/// no '.'.
CompanionFiles deriveCompanionFiles(const std::string& meshPath);

} // namespace vornel
