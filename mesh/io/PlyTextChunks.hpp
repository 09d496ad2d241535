#pragma once
// Reading the body of an ASCII PLY file in chunks of whole lines on the
// calling arena's threads, where every record stands on a line of its own (as
// writers put them).

#include "mesh/PolygonSoup.hpp"
#include "mesh/io/PlyBodyPlan.hpp"

#include <cstddef>
#include <string_view>
#include <vector>

namespace vornel {

/// Reads the records of the ASCII PLY body of bytes as plan says into soup
/// (and the vertex values into values, when given): what the one-pass reader
/// reads, facet lines included. False when some record does not stand alone
/// on its line, or holds a fault: the one-pass reader then says which.
bool readPlyTextInChunks(std::string_view bytes, const PlyBodyPlan& plan, std::size_t chunkBytes,
                         PolygonSoup& soup, std::vector<float>* values);

} // namespace vornel
