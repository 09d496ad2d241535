#include "pipeline/FileNames.hpp"

namespace vornel {

CompanionFiles deriveCompanionFiles(const std::string& meshPath) {
  // Only a dot of the file name itself ends the base: a dot in a folder's name
  // ("data.v2/mesh") must not move the companions out of the mesh's folder.
  const std::string::size_type slash = meshPath.rfind('/');
  const std::string::size_type nameStart = slash == std::string::npos ? 0 : slash + 1;
  const std::string::size_type dot = meshPath.rfind('.');
  const bool dotInName = dot != std::string::npos && dot >= nameStart;
  const std::string base = dotInName ? meshPath.substr(0, dot) : meshPath;
  return {base + "_attribute.att", base + "_labels.lb"};
}

} // namespace vornel
