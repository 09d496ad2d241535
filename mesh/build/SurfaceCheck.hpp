#pragma once
// A check of the built halfedge surface that every later walk relies on: the
// ring of each vertex closes and holds all the halfedges that point into it.

#include "mesh/LabeledMesh.hpp"

#include <string>

namespace vornel {

/// Throws InvalidInputError, naming sourceName and the vertex (its position in
/// vertex order and its coordinates), when some vertex's facets form more than
/// one fan. The incremental builder can accept such a vertex when its fans
/// close one after the other, and then leaves a ring that never returns to its
/// start, on which every ring walk would loop for ever.
void checkVertexRings(const Surface& surface, const std::string& sourceName);

} // namespace vornel
