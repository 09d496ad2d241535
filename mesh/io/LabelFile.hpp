#pragma once
// The label file: the class count, then one label per vertex in vertex order,
// each number followed by a space and a tab, with no line feed.

#include <cstddef>
#include <cstdint>
#include <string>

namespace vornel {

class LabeledMesh;

/// The bytes of a label file for classCount and labels[0 .. count).
std::string labelFileText(std::int32_t classCount, const std::int32_t* labels, std::size_t count);

/// Writes mesh's class count and every vertex's label, atomically.
void writeMeshLabels(const LabeledMesh& mesh, const std::string& path);

} // namespace vornel
