// Two passes over the chunks, each on the threads: the first counts each
// chunk's lines by kind, the second parses each chunk into its place in a soup
// sized from the counts, at line numbers and vertex counts that the counts of
// the chunks before it give. No chunk holds arrays of its own.

#include "mesh/io/ObjChunks.hpp"

#include "core/PrefaultPages.hpp"
#include "mesh/io/ObjLines.hpp"
#include "mesh/io/TextChunks.hpp"
#include "mesh/io/TextLines.hpp"

#include <algorithm>

namespace vornel {
namespace {

// What the chunks before each chunk hold, then the whole text's counts.
std::vector<ObjLineCounts> countsBefore(const std::vector<ObjLineCounts>& own) {
  std::vector<ObjLineCounts> before(own.size() + 1);
  for (std::size_t c = 0; c < own.size(); ++c) {
    before[c + 1].lines = before[c].lines + own[c].lines;
    before[c + 1].vertices = before[c].vertices + own[c].vertices;
    before[c + 1].facets = before[c].facets + own[c].facets;
    before[c + 1].corners = before[c].corners + own[c].corners;
  }
  return before;
}

} // namespace

PolygonSoup parseObjInChunks(std::string_view text, const std::string& sourceName,
                             std::size_t chunkBytes) {
  text = withoutByteOrderMark(text);
  const std::vector<std::size_t> bounds = textChunkBounds(text, chunkBytes);
  const std::size_t chunks = bounds.size() - 1;
  std::vector<ObjLineCounts> own(chunks);
  forEachChunk(chunks, [&](std::size_t c) { own[c] = countObjLines(chunkText(text, bounds, c)); });
  const std::vector<ObjLineCounts> before = countsBefore(own);
  const ObjLineCounts& total = before.back();
  PolygonSoup soup;
  resizePrefaulted(soup.points, total.vertices);
  resizePrefaulted(soup.corners, total.corners);
  resizePrefaulted(soup.facetOffsets, total.facets + 1);
  resizePrefaulted(soup.facetLines, total.facets);
  std::vector<ObjLinesParsed> parsed(chunks);
  forEachChunk(chunks, [&](std::size_t c) {
    parsed[c] = parseObjLinesInPlace(chunkText(text, bounds, c), before[c], own[c], soup);
  });
  std::uint32_t largestCorner = 0;
  for (const ObjLinesParsed& chunk : parsed) {
    // The first fault in file order: the chunks before it are well formed.
    if (chunk.fault) {
      throw objLineError(sourceName, chunk.fault->line, chunk.fault->what);
    }
    largestCorner = std::max(largestCorner, chunk.largestCorner);
  }
  soup.firstVertexNumber = 1;
  checkForwardCorners(soup, largestCorner, sourceName);
  return soup;
}

} // namespace vornel
