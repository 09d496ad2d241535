#pragma once
// Parsing the text of a Wavefront OBJ file into a polygon soup: vertex lines
// and facet lines only; everything else in the file is ignored.

#include "mesh/PolygonSoup.hpp"

#include <string>
#include <string_view>

namespace vornel {

/// Parses OBJ text. Vertices are the lines "v x y z [...]" (three finite
/// numbers; what follows them, such as w or a colour, is ignored); facets are the lines "f c1 c2 c3
/// ...", each corner in the form v, v/vt, v//vn or v/vt/vn, with negative indices counted back from
/// the last vertex defined before the line. Leading white space, a leading UTF-8 byte order mark,
/// LF, CR LF and lone CR line ends and a last line without a line break are accepted. Throws
/// InvalidInputError naming "sourceName:line" for a vertex line without three numbers or with a
/// coordinate that is not finite, a line whose keyword starts with "v" but is not v, vt, vn or
/// vp, a facet with fewer than three corners, a corner index of 0 or outside the vertices, or a
/// corner that is not a number. On several threads a large text is parsed in
/// chunks (see ObjChunks) with the same soup and the same messages.
PolygonSoup parseObj(std::string_view text, const std::string& sourceName);

/// Reads and parses an OBJ file (a regular file; see MappedFile). Throws
/// IOError when it cannot be read.
PolygonSoup readObjSoup(const std::string& path);

} // namespace vornel
