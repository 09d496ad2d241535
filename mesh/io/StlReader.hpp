#pragma once
// Reading STL meshes, binary or ASCII: a list of triangles, each with its own
// three corner points. Corners at the same point are welded into one vertex.

#include "mesh/PolygonSoup.hpp"
#include "mesh/io/PointWelder.hpp"

#include <string>
#include <string_view>

namespace vornel {

struct StlSoup {
  PolygonSoup soup;
  CornerWeld weld;
};

/// Parses the bytes of an STL file. A file whose size is 84 + 50 x the facet
/// count at bytes 80-83 is binary; otherwise one that starts with the word
/// "solid" is ASCII ("solid" alone does not decide: binary headers often
/// start with it too). Every facet is a triangle; corners with equal
/// coordinates (-0 equal to +0) are one vertex, vertices numbered in order of
/// first appearance from 0. Facet normals and binary attribute bytes are
/// ignored. A facet whose corners weld into fewer than three vertices is kept
/// for the validation to refuse or the repair to drop. Throws
/// InvalidInputError naming the file and the facet (binary, numbered from 1)
/// or the line (ASCII) at fault: a size that fits neither form, a coordinate
/// that is not a finite number, a malformed or truncated ASCII file.
StlSoup parseStl(std::string_view bytes, const std::string& sourceName);

/// Reads and parses an STL file (a regular file; see MappedFile). Throws
/// IOError when it cannot be read.
StlSoup readStlSoup(const std::string& path);

} // namespace vornel
