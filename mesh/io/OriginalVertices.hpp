#pragma once
// The attribute and label files of a repaired mesh stay per original vertex:
// the built mesh holds the original vertices first, in their order, followed by
// the copies made when non-manifold vertices were split.

#include "mesh/LabeledMesh.hpp"

#include <cstdint>
#include <string>
#include <vector>

namespace vornel {

/// Gives every built vertex k the value of original vertex originalOf[k]
/// (values holds one value per original vertex) and sets the attribute range
/// from the original values.
void storeValuesOfOriginals(LabeledMesh& mesh, const std::vector<float>& values,
                            const std::vector<std::uint32_t>& originalOf);

/// The labels of the first originalCount vertices (each original vertex's own copy).
std::vector<std::int32_t> labelsOfOriginals(const LabeledMesh& mesh, std::size_t originalCount);

} // namespace vornel
