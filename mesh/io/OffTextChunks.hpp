#pragma once
// Reading the text body of a plain OFF file (no colours, normals, texture or
// homogeneous coordinates) in chunks of whole lines on the calling arena's
// threads. Each record takes one line; blank lines and lines that start with
// '#' hold none, and the text after a '#' is not read.

#include "mesh/PolygonSoup.hpp"

#include <cstddef>
#include <string_view>

namespace vornel {

/// Reads vertexCount vertices, then facetCount facets, from body (the text
/// after the header) into soup: what the one-pass reader reads. False when a
/// record holds a fault or a number that the one-pass reader might read
/// otherwise: that reader then reads the text and names the fault.
bool readOffTextInChunks(std::string_view body, std::size_t vertexCount, std::size_t facetCount,
                         std::size_t chunkBytes, PolygonSoup& soup);

} // namespace vornel
