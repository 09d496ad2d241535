#include "pipeline/AttributeSource.hpp"

#include "core/Errors.hpp"

#include <cstdio>
#include <filesystem>

namespace vornel {

AttributeSource attributeSourceOf(const RunOptions& options, const std::string& companionFile) {
  if (!options.attributeProperty.empty())
    return {AttributeSource::Kind::VertexProperty, ""};
  if (!options.computedAttribute)
    return {AttributeSource::Kind::File,
            options.attributeFilePath.empty() ? companionFile : options.attributeFilePath};
  std::error_code error;
  if (!options.attributeFilePath.empty()) {
    if (std::filesystem::exists(std::filesystem::symlink_status(options.attributeFilePath, error)))
      throw UsageError("--attribute-file " + options.attributeFilePath +
                       " already exists; computed values are never written over an attribute "
                       "file (name a new file)");
    return {AttributeSource::Kind::Computed, options.attributeFilePath};
  }
  const bool companionExists =
      std::filesystem::exists(std::filesystem::symlink_status(companionFile, error));
  return {AttributeSource::Kind::Computed, companionExists ? std::string() : companionFile};
}

std::string describeAttributeSource(const AttributeSource& source, const RunOptions& options) {
  switch (source.kind) {
  case AttributeSource::Kind::VertexProperty:
    return "vertex property " + options.attributeProperty;
  case AttributeSource::Kind::Computed:
    return std::string(curvatureMeasureName(*options.computedAttribute)) +
           " computed from the mesh" + (source.path.empty() ? "" : ", written to " + source.path);
  case AttributeSource::Kind::File:
    break;
  }
  return source.path;
}

std::string attributeFileText(const float* values, std::size_t count) {
  std::string text;
  text.reserve(count * 16);
  char line[32];
  for (std::size_t v = 0; v < count; ++v) {
    const int length = std::snprintf(line, sizeof line, "%.9g\n", static_cast<double>(values[v]));
    text.append(line, static_cast<std::size_t>(length));
  }
  return text;
}

} // namespace vornel
