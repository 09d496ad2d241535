#pragma once
// Colours for the report's "segments" view: neighbouring segments never share
// one, so that every segment stands out from those around it.

#include "mesh/io/ColouredMeshWriter.hpp"

#include <cstdint>
#include <vector>

namespace vornel {

/// A colour index per segment of mesh.segments (ids 0 .. count-1), given
/// greedily in id order: each segment takes the lowest index that no segment
/// sharing a facet edge with it has taken before. Empty without segments.
std::vector<std::uint32_t> segmentColours(const ColouredMesh& mesh);

} // namespace vornel
