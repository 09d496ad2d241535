#pragma once
// Parsing OBJ text in chunks of whole lines on the calling arena's threads,
// into exactly the soup, or the error, of one pass over the text.

#include "mesh/PolygonSoup.hpp"
#include "mesh/io/TextChunks.hpp"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vornel {

/// Parses text (see parseObj) in chunks of chunkBytes: the same soup, or the
/// same error naming the same line, as one pass.
PolygonSoup parseObjInChunks(std::string_view text, const std::string& sourceName,
                             std::size_t chunkBytes = textChunkBytes);

} // namespace vornel
