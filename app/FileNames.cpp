#include "app/FileNames.hpp"

namespace vornel {

CompanionFiles deriveCompanionFiles(const std::string& meshPath) {
  const std::string::size_type dot = meshPath.rfind('.');
  const std::string base = dot == std::string::npos ? std::string() : meshPath.substr(0, dot);
  return {base + "_attribute.att", base + "_labels.lb"};
}

} // namespace vornel
