#pragma once
// The one way from a polygon soup to a surface: check it, then build it.

#include "mesh/LabeledMesh.hpp"
#include "mesh/PolygonSoup.hpp"

#include <string>

namespace vornel {

/// Checks soup as the halfedge structure needs it (see SoupValidation.hpp) and
/// builds it into the empty surface of mesh. Throws InvalidInputError, or its
/// NonManifoldError subclass, naming sourceName and the first facet at fault.
void buildSurface(PolygonSoup soup, LabeledMesh& mesh, const std::string& sourceName);

} // namespace vornel
