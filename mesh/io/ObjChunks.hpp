#pragma once
// Parsing OBJ text in chunks of whole lines on the calling arena's threads,
// into exactly the soup, or the error, of one pass over the text.

#include "mesh/PolygonSoup.hpp"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vornel {

/// The text per chunk: a few milliseconds of parsing, so that many chunks
/// balance the threads.
constexpr std::size_t objChunkBytes = std::size_t(1) << 20;

/// Where the chunks of text start, then text.size(): every chunkBytes bytes,
/// moved on to the next line start. The bounds depend on the text alone.
std::vector<std::size_t> objChunkBounds(std::string_view text, std::size_t chunkBytes);

/// Parses text (see parseObj) in chunks of chunkBytes: the same soup, or the
/// same error naming the same line, as one pass.
PolygonSoup parseObjInChunks(std::string_view text, const std::string& sourceName,
                             std::size_t chunkBytes = objChunkBytes);

} // namespace vornel
