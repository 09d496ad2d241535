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
  PolygonSoup soup;
  const ObjLinesParsed parsed = parseObjLines(text, soup);
  if (parsed.fault) {
    throw objLineError(sourceName, parsed.fault->line, parsed.fault->what);
  }
  soup.firstVertexNumber = 1;
  checkForwardCorners(soup, parsed.largestCorner, sourceName);
  return soup;
}

} // namespace

PolygonSoup parseObj(std::string_view text, const std::string& sourceName) {
  const std::string_view content = withoutByteOrderMark(text);
  if (severalThreads() && content.size() >= 2 * textChunkBytes) {
    return parseObjInChunks(content, sourceName);
  }
  return parseObjInOnePass(content, sourceName);
}

} // namespace vornel
