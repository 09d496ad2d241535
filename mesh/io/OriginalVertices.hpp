#pragma once
// The attribute and label files of a repaired mesh stay per original vertex:
// the built mesh holds the original vertices first, in their order, followed by
// the copies made when non-manifold vertices were split.

#include "mesh/LabeledMesh.hpp"

#include <cstdint>
#include <string>
#include <vector>

namespace vornel {

/// Reads one value per original vertex (the file's rules unchanged) and gives
/// every built vertex k the value of originalOf[k]; sets the attribute range.
/// Returns how many values the file holds beyond the original vertex count.
std::size_t readAttributesOfOriginals(LabeledMesh& mesh, std::size_t originalCount,
                                      const std::vector<std::uint32_t>& originalOf,
                                      const std::string& path);

/// Writes the label file with the classCount and the labels of the first
/// originalCount vertices (each original vertex's own copy).
void writeLabelsOfOriginals(const LabeledMesh& mesh, std::size_t originalCount,
                            const std::string& path);

} // namespace vornel
