#pragma once
// Where a run takes each vertex's value from: the attribute file (the mesh's
// companion or --attribute-file), a vertex property of a PLY mesh
// (--attribute-property), or a curvature measure of the mesh itself
// (--compute-attribute), whose values are then also written as an attribute
// file, never over an existing one.

#include "pipeline/Options.hpp"

#include <string>

namespace vornel {

struct AttributeSource {
  enum class Kind { File, VertexProperty, Computed };
  Kind kind = Kind::File;
  /// File: the attribute file read. Computed: where the values are written,
  /// empty when they are not (the companion attribute file already exists).
  std::string path;
};

/// The source options asks for. companionFile is the mesh's own attribute
/// file name. Throws UsageError when --attribute-file names an existing file
/// for computed values.
AttributeSource attributeSourceOf(const RunOptions& options, const std::string& companionFile);

/// Where the values come from, for the report: the file's path, "vertex
/// property NAME", or "MEASURE computed from the mesh" with the file the values
/// are written to.
std::string describeAttributeSource(const AttributeSource& source, const RunOptions& options);

/// The attribute file's text for values: one per line, with the nine
/// significant digits that give every float back exactly.
std::string attributeFileText(const float* values, std::size_t count);

} // namespace vornel
