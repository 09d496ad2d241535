// Reading OBJ text in one pass, or in chunks when several threads can share it.

#include "mesh/io/ObjParser.hpp"

#include "core/Parallel.hpp"
#include "mesh/io/ObjChunks.hpp"
#include "mesh/io/ObjLines.hpp"
#include "mesh/io/TextLines.hpp"

namespace vornel {
namespace {

// The reference: one pass over the whole text.
PolygonSoup parseObjInOnePass(std::string_view text, const std::string& sourceName) {
  ObjLines lines = parseObjLines(text, RelativeCorners::Resolve);
  if (lines.fault) {
    throw objLineError(sourceName, lines.fault->line, lines.fault->what);
  }
  checkForwardCorners(lines.soup, lines.largestCorner, sourceName);
  return std::move(lines.soup);
}

} // namespace

PolygonSoup parseObj(std::string_view text, const std::string& sourceName) {
  const std::string_view content = withoutByteOrderMark(text);
  if (severalThreads() && content.size() >= 2 * objChunkBytes) {
    return parseObjInChunks(content, sourceName);
  }
  return parseObjInOnePass(content, sourceName);
}

} // namespace vornel
