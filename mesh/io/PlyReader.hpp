#pragma once
// Reading PLY meshes (ASCII, binary little or big endian).

#include "mesh/LabeledMesh.hpp"
#include "mesh/PolygonSoup.hpp"
#include "mesh/io/TextChunks.hpp"

#include <string>
#include <string_view>
#include <vector>

namespace vornel {

/// A scalar property of the vertex element, read as one value per vertex.
struct PlyVertexValues {
  std::string property;      // its name, given by the caller
  std::vector<float> values; // in vertex order, each rounded to float once
};

/// Parses the bytes of a PLY file into a soup: every record of the "vertex"
/// element in file order (x, y and z of any numeric type, rounded to float),
/// and one facet per record of the "face" element from its "vertex_indices" or
/// "vertex_index" list. Other elements and properties are skipped. For ASCII
/// files each facet's line is recorded for messages. Throws InvalidInputError
/// naming the file and the header line, the body line (ASCII) or the record
/// (binary) at fault: malformed or truncated data, a facet with fewer than
/// three corners, a corner outside the vertices, a coordinate or value that
/// is not finite. With values, also reads the vertex property it names (of
/// any scalar type); throws VertexPropertyError, listing the vertex
/// properties the file has, when there is no such property or it is a list.
/// Bodies of two chunks of chunkBytes or more are read in chunks (ASCII, when
/// the calling arena has several threads) or record ranges (binary) on the
/// arena's threads, into the same soup and values, or the same error, as one
/// pass.
PolygonSoup parsePly(std::string_view bytes, const std::string& sourceName,
                     PlyVertexValues* values = nullptr, std::size_t chunkBytes = textChunkBytes);

/// Reads and parses a PLY file (a regular file; see MappedFile); every vertex
/// is kept, those that no facet uses included. Throws IOError when it cannot
/// be read.
PolygonSoup readPlySoup(const std::string& path, PlyVertexValues* values = nullptr);

} // namespace vornel
