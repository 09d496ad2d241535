// The OBJ reader: the file is mapped into memory, parsed into a polygon soup,
// and the mapping released before the surface is built, so that the text and
// the built surface never occupy memory together.

#include "mesh/io/ObjParser.hpp"

#include "mesh/io/MappedFile.hpp"

namespace vornel {

PolygonSoup readObjSoup(const std::string& path) {
  PolygonSoup soup;
  {
    const MappedFile file(path, "mesh");
    soup = parseObj(file.text(), path);
  }
  // The parser sizes the arrays from a count of the lines, exactly for triangle
  // meshes; other facet sizes leave slack, trimmed so that it does not add to
  // the build's peak.
  soup.points.shrink_to_fit();
  soup.facetOffsets.shrink_to_fit();
  soup.corners.shrink_to_fit();
  soup.facetLines.shrink_to_fit();
  return soup;
}

} // namespace vornel
