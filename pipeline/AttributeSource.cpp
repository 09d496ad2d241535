#include "pipeline/AttributeSource.hpp"

#include "core/Errors.hpp"

#include <cstdio>
#include <filesystem>

namespace vornel {

namespace {

bool pathExists(const std::string& path) {
  std::error_code error;
  return std::filesystem::exists(std::filesystem::symlink_status(path, error));
}

/// A computed feature: written to the file named after it, which must be new;
/// with one feature and no file named, to the companion unless it exists.
AttributeSource computedSource(const FeatureSource& feature, bool onlyFeature,
                               const std::string& companionFile) {
  AttributeSource source{AttributeSource::Kind::Computed, feature.name, "", feature.measure, false};
  if (!feature.name.empty()) {
    if (pathExists(feature.name))
      throw UsageError("--attribute-file " + feature.name +
                       " already exists; computed values are never written over an attribute "
                       "file (name a new file)");
    return source;
  }
  if (onlyFeature) {
    source.companionKept = pathExists(companionFile);
    source.path = source.companionKept ? std::string() : companionFile;
  }
  return source;
}

} // namespace

std::vector<AttributeSource> attributeSourcesOf(const RunOptions& options,
                                                const std::string& companionFile) {
  if (options.features.empty())
    return {AttributeSource{AttributeSource::Kind::File, companionFile, "",
                            CurvatureMeasure::MeanCurvature, false}};
  std::vector<AttributeSource> sources;
  for (const FeatureSource& feature : options.features) {
    switch (feature.kind) {
    case FeatureSource::Kind::File:
      sources.push_back(
          {AttributeSource::Kind::File, feature.name, "", CurvatureMeasure::MeanCurvature, false});
      break;
    case FeatureSource::Kind::VertexProperty:
      sources.push_back({AttributeSource::Kind::VertexProperty, "", feature.name,
                         CurvatureMeasure::MeanCurvature, false});
      break;
    case FeatureSource::Kind::Computed:
      sources.push_back(computedSource(feature, options.features.size() == 1, companionFile));
      break;
    }
  }
  return sources;
}

std::string describeAttributeSource(const AttributeSource& source) {
  switch (source.kind) {
  case AttributeSource::Kind::VertexProperty:
    return "vertex property " + source.property;
  case AttributeSource::Kind::Computed:
    return std::string(curvatureMeasureName(source.measure)) + " computed from the mesh" +
           (source.path.empty() ? "" : ", written to " + source.path);
  case AttributeSource::Kind::File:
    break;
  }
  return source.path;
}

std::string featureNameOf(const AttributeSource& source) {
  switch (source.kind) {
  case AttributeSource::Kind::VertexProperty:
    return source.property;
  case AttributeSource::Kind::Computed:
    return curvatureMeasureName(source.measure);
  case AttributeSource::Kind::File:
    break;
  }
  return std::filesystem::path(source.path).stem().string();
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
