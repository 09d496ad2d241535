#pragma once
// Where a run takes each vertex's values from: the attribute file (the mesh's
// companion or --attribute-file), a vertex property of a PLY mesh
// (--attribute-property), or a curvature measure of the mesh itself
// (--compute-attribute), whose values are then also written as an attribute
// file, never over an existing one. Each source gives one feature; a run may
// have several.

#include "pipeline/Options.hpp"

#include <string>
#include <vector>

namespace vornel {

struct AttributeSource {
  enum class Kind { File, VertexProperty, Computed };
  Kind kind = Kind::File;
  /// File: the attribute file read. Computed: where the values are written,
  /// empty when they are not.
  std::string path;
  std::string property;                                       // VertexProperty: its name
  CurvatureMeasure measure = CurvatureMeasure::MeanCurvature; // Computed
  /// Computed: the values are not written because the companion attribute
  /// file exists (a warning says so); only a run of one feature writes there.
  bool companionKept = false;
};

/// The sources options asks for, one per feature in command-line order.
/// companionFile is the mesh's own attribute file name, read when options
/// names no source. Throws UsageError when --attribute-file names an existing
/// file for computed values.
std::vector<AttributeSource> attributeSourcesOf(const RunOptions& options,
                                                const std::string& companionFile);

/// Where one feature comes from, for the report: the file's path, "vertex
/// property NAME", or "MEASURE computed from the mesh" with the file the values
/// are written to.
std::string describeAttributeSource(const AttributeSource& source);

/// The feature's name in outputs that name each feature: the property's name,
/// the measure's, or the attribute file's name without folder and extension.
std::string featureNameOf(const AttributeSource& source);

/// The attribute file's text for values: one per line, with the nine
/// significant digits that give every float back exactly.
std::string attributeFileText(const float* values, std::size_t count);

} // namespace vornel
