#pragma once
// The OFF reader: CGAL's OFF scanner converts the numbers, driven only after
// the header and the text have been checked, into a polygon soup.

#include "mesh/PolygonSoup.hpp"
#include "mesh/io/TextChunks.hpp"

#include <string>
#include <string_view>

namespace vornel {

/// Reads an OFF file (text or binary, with CGAL's header variants) into a soup
/// with every vertex of the file in file order; dropping the vertices that no
/// facet uses is left to the reading pipeline. A leading UTF-8 byte order mark
/// is skipped, and a text file's lone CR line ends read as LF. Before the scanner runs, the
/// header's counts are checked against the file's size and the text records
/// against everything the scanner would convert out of range. Throws IOError
/// when the file cannot be read and InvalidInputError naming the file and the
/// vertex or facet (numbered from 0 and 1) at fault.
PolygonSoup readOffSoup(const std::string& path);

/// Parses file, the bytes of an OFF file (see readOffSoup), naming it path in
/// messages. Text bodies of two chunks of chunkBytes or more are read in chunks
/// on the calling arena's threads: the same soup, or the same error, as one
/// pass.
PolygonSoup parseOff(std::string_view file, const std::string& path,
                     std::size_t chunkBytes = textChunkBytes);

} // namespace vornel
