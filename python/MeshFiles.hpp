#pragma once
// Mesh, attribute and label files for the Python module, read and written by
// the command line's own code. This is the only file of the module that calls
// the mesh layer, so a change of that layer is adapted here alone.

#include "pipeline/SegmentMesh.hpp"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vornel::python {

struct MeshFileContent {
  MeshArrays mesh;
  /// For every vertex of mesh, the file's vertex it copies; filled only when
  /// repair was asked for (the identity when nothing needed repair).
  std::vector<std::uint32_t> originalOf;
  std::vector<std::string> warnings;
};

/// Reads an OBJ, OFF or PLY file (chosen by the name, as on the command line)
/// and checks that the halfedge surface can hold it. With repair, a mesh that
/// cannot be held is repaired as the command line's --repair does, and a
/// warning says what changed. Throws InvalidInputError or IOError.
MeshFileContent loadMesh(const std::string& path, bool repair);

struct AttributeFileContent {
  std::vector<double> values; // exactly count values, each rounded to float
  std::size_t extra = 0;      // values in the file beyond the first count
};

/// Reads the first count values of an attribute file with the command line's
/// rules (count >= 1). Throws InvalidInputError or IOError.
AttributeFileContent loadAttributes(const std::string& path, std::size_t count);

/// Writes the label file of the command line, atomically: classCount, then
/// every label; a character device or a pipe is written into instead of
/// replaced. Throws IOError, or OutputPathError for a socket or a block device.
void saveLabels(const std::string& path, const std::vector<std::int32_t>& labels,
                std::int32_t classCount);

} // namespace vornel::python
