// Two passes over the chunks, each on the threads: the first counts each
// chunk's lines by kind, the second parses each chunk into its place in a soup
// sized from the counts, at line numbers and vertex counts that the counts of
// the chunks before it give. No chunk holds arrays of its own.

#include "mesh/io/ObjChunks.hpp"

#include "core/Parallel.hpp"
#include "core/PrefaultPages.hpp"
#include "mesh/io/ObjLines.hpp"
#include "mesh/io/TextLines.hpp"

#include <algorithm>

namespace vornel {
namespace {

std::string_view chunkText(std::string_view text, const std::vector<std::size_t>& bounds,
                           std::size_t c) {
  return text.substr(bounds[c], bounds[c + 1] - bounds[c]);
}

// Runs work(c) for every chunk c on the arena's threads.
template <class Work> void forEachChunk(std::size_t chunks, Work&& work) {
  forEachBlock(
      chunks,
      [&](std::size_t begin, std::size_t end, std::size_t) {
        for (std::size_t c = begin; c != end; ++c) {
          work(c);
        }
      },
      1);
}

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

// Sizes an array that the chunks then fill. Sizing a vector clears its
// elements on the calling thread, and that thread would also take every fault
// of the fresh memory: its pages are mapped in on all threads first.
template <class T> void sizeForChunks(std::vector<T>& array, std::size_t count) {
  array.reserve(count);
  prefaultPages(array.data(), count * sizeof(T));
  array.resize(count);
}

} // namespace

std::vector<std::size_t> objChunkBounds(std::string_view text, std::size_t chunkBytes) {
  chunkBytes = std::max<std::size_t>(chunkBytes, 1);
  std::vector<std::size_t> bounds{0};
  for (std::size_t nominal = chunkBytes; nominal < text.size(); nominal += chunkBytes) {
    const std::size_t start = lineStartAtOrAfter(text, nominal);
    if (start > bounds.back() && start < text.size()) {
      bounds.push_back(start);
    }
  }
  bounds.push_back(text.size());
  return bounds;
}

PolygonSoup parseObjInChunks(std::string_view text, const std::string& sourceName,
                             std::size_t chunkBytes) {
  text = withoutByteOrderMark(text);
  const std::vector<std::size_t> bounds = objChunkBounds(text, chunkBytes);
  const std::size_t chunks = bounds.size() - 1;
  std::vector<ObjLineCounts> own(chunks);
  forEachChunk(chunks, [&](std::size_t c) { own[c] = countObjLines(chunkText(text, bounds, c)); });
  const std::vector<ObjLineCounts> before = countsBefore(own);
  const ObjLineCounts& total = before.back();
  PolygonSoup soup;
  sizeForChunks(soup.points, total.vertices);
  sizeForChunks(soup.corners, total.corners);
  sizeForChunks(soup.facetOffsets, total.facets + 1);
  sizeForChunks(soup.facetLines, total.facets);
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
