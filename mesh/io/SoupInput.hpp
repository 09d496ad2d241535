#pragma once
// Reading a mesh file as a polygon soup, without building the surface, for
// meshes that need repair before the halfedge structure can hold them.

#include "mesh/PolygonSoup.hpp"

#include <string>

namespace vornel {

/// Reads the file chosen by meshFormatOf: OBJ and PLY keep every vertex;
/// OFF keeps only the vertices that some facet uses, in file order, as the
/// default OFF input does, so the attribute file lines up the same way.
/// Throws IOError or InvalidInputError naming the file.
PolygonSoup readSoupFile(const std::string& path);

/// Reads an OFF file as a soup (CGAL's OFF soup reader), then drops unused vertices.
PolygonSoup readOffSoup(const std::string& path);

} // namespace vornel
