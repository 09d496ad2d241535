#pragma once
// The ASCII form of STL: "solid name", then per triangle "facet normal nx ny
// nz", "outer loop", three "vertex x y z", "endloop", "endfacet", and last
// "endsolid name" (more solids may follow).

#include "mesh/io/StlReader.hpp"

#include <string>
#include <string_view>

namespace vornel {

/// Parses ASCII STL text (keywords in any letter case, words separated by any
/// white space; a UTF-8 byte order mark and LF, CR LF or lone CR line ends
/// accepted). Normals must be numbers but need not be finite. Throws
/// InvalidInputError "sourceName:line: reason" for a missing or unexpected
/// word, a facet of more or fewer than three vertices, a coordinate that is
/// not a finite number, a text that ends before "endsolid", or anything but
/// another solid after it.
StlSoup parseStlText(std::string_view text, const std::string& sourceName);

} // namespace vornel
