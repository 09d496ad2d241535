#include "pipeline/RunRules.hpp"

#include "core/Errors.hpp"

#include <cctype>

namespace vornel {

namespace {

std::string lowerCase(std::string text) {
  for (char& c : text)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

} // namespace

void checkColourMeshPath(const std::string& path) {
  const std::string ending = lowerCase(path.size() < 4 ? path : path.substr(path.size() - 4));
  if (ending != ".ply" && ending != ".off")
    throw UsageError("the coloured mesh must be a .ply or .off file, got \"" + path + "\"");
}

void checkReportPath(const std::string& path) {
  const std::string lower = lowerCase(path);
  const auto endsWith = [&lower](const std::string& ending) {
    return lower.size() > ending.size() &&
           lower.compare(lower.size() - ending.size(), ending.size(), ending) == 0;
  };
  if (!endsWith(".html") && !endsWith(".htm"))
    throw UsageError("the report must be a .html or .htm file, got \"" + path + "\"");
}

void checkAttributeSources(const RunOptions& options) {
  for (const FeatureSource& source : options.features)
    if (source.kind != FeatureSource::Kind::Computed && source.name.empty())
      throw UsageError(std::string(source.kind == FeatureSource::Kind::File
                                       ? "--attribute-file"
                                       : "--attribute-property") +
                       " needs a value");
}

void checkRunOptions(const RunOptions& options) {
  if (!options.colourMeshPath.empty())
    checkColourMeshPath(options.colourMeshPath);
  if (!options.reportPath.empty())
    checkReportPath(options.reportPath);
  checkAttributeSources(options);
}

} // namespace vornel
