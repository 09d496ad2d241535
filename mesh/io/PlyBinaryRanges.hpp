#pragma once
// Reading the body of a binary PLY file by ranges of records on the calling
// arena's threads. Vertex records whose properties are all scalars have one
// size, so a range starts at a computed offset; facet records hold a list, so
// one cheap pass over their list lengths finds where every range starts, and
// the ranges' corners are then converted in parallel.

#include "mesh/PolygonSoup.hpp"
#include "mesh/io/PlyBodyPlan.hpp"

#include <cstddef>
#include <string_view>
#include <vector>

namespace vornel {

/// Reads the records of the binary PLY body of bytes as plan says into soup
/// (and the vertex values into values, when given), in ranges of about
/// rangeBytes: what the one-pass reader reads. False when the body holds a
/// fault (the one-pass reader then names the record) or a vertex list.
bool readPlyBinaryInRanges(std::string_view bytes, const PlyBodyPlan& plan, std::size_t rangeBytes,
                           PolygonSoup& soup, std::vector<float>* values);

} // namespace vornel
