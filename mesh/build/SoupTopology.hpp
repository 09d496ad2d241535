#pragma once
// What the surface builder needs of a soup beyond its arrays, worked out while
// the soup is checked so that the corners are paired only once.

#include "core/ScratchVector.hpp"
#include "mesh/build/CornerPairing.hpp"

#include <cstdint>
#include <unordered_map>
#include <vector>

namespace vornel {

struct SoupTopology {
  /// Per corner, the corner whose edge runs the other way, or CornerPairing::none.
  ScratchVector<std::uint32_t> twins;
  /// At the vertices with more than one open fan (sorted), for each corner that
  /// ends a fan, the corner that starts the fan the border leads to next.
  std::vector<std::uint32_t> pinchedVertices;
  std::unordered_map<std::uint32_t, std::uint32_t> nextFanStart;
};

/// The topology of the soup that pairing covers (every facet of a soup that
/// findSoupProblem accepts). At a vertex with several open fans, the order of
/// the fans around it is the one the incremental builder gives when it adds
/// the facets one by one: a new fan goes after the fan of the vertex's last
/// facet, and joining two fans moves the fans between them ahead of the
/// joined one. Takes the pairing's twins.
SoupTopology topologyOf(CornerPairing& pairing);

} // namespace vornel
