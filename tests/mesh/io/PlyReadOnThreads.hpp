#pragma once
// A PLY text or byte string read on a given number of threads, with the
// vertex property "quality" as the values: what the chunk and range tests
// compare between thread counts and piece sizes.

#include "core/Parallel.hpp"
#include "mesh/io/PlyReader.hpp"

#include <cstddef>
#include <string>
#include <vector>

namespace vornel {

struct PlyRead {
  PolygonSoup soup;
  std::vector<float> values;
};

/// pieceBytes: the chunk size of ASCII text, or the range size of binary records.
inline PlyRead readPlyOnThreads(const std::string& bytes, const std::string& sourceName,
                                std::size_t pieceBytes, unsigned threads) {
  PlyRead read;
  PlyVertexValues values{"quality", {}};
  read.soup =
      StageThreads(threads).run([&] { return parsePly(bytes, sourceName, &values, pieceBytes); });
  read.values = values.values;
  return read;
}

} // namespace vornel
