// The chunks are parsed independently; what a chunk cannot know (the lines and
// vertices before it) is applied when they are joined in file order.

#include "mesh/io/ObjChunks.hpp"

#include "core/Parallel.hpp"
#include "mesh/io/ObjLines.hpp"
#include "mesh/io/TextLines.hpp"

#include <algorithm>

namespace vornel {
namespace {

std::vector<ObjLines> parseChunks(std::string_view text, const std::vector<std::size_t>& bounds) {
  std::vector<ObjLines> chunks(bounds.size() - 1);
  forEachBlock(
      chunks.size(),
      [&](std::size_t begin, std::size_t end, std::size_t) {
        for (std::size_t c = begin; c != end; ++c) {
          chunks[c] = parseObjLines(text.substr(bounds[c], bounds[c + 1] - bounds[c]),
                                    RelativeCorners::Defer);
        }
      },
      1);
  return chunks;
}

// Resolves the relative corners against the vertices of the earlier chunks and
// throws the first fault in file order: a chunk's relative corners come before
// the fault that stopped it.
void resolveInFileOrder(std::vector<ObjLines>& chunks, const std::string& sourceName) {
  std::uint64_t linesBefore = 0;
  std::size_t verticesBefore = 0;
  for (ObjLines& chunk : chunks) {
    for (const DeferredCorner& corner : chunk.deferred) {
      const std::size_t defined = verticesBefore + corner.definedBefore;
      if (corner.index < -static_cast<long long>(defined)) {
        throw objLineError(sourceName, linesBefore + corner.line,
                           relativeCornerProblem(corner.written, defined));
      }
      chunk.soup.corners[corner.position] =
          static_cast<std::uint32_t>(static_cast<long long>(defined) + corner.index);
    }
    if (chunk.fault) {
      throw objLineError(sourceName, linesBefore + chunk.fault->line, chunk.fault->what);
    }
    linesBefore += chunk.lineCount;
    verticesBefore += chunk.soup.points.size();
  }
}

template <class T> void release(std::vector<T>& array) {
  std::vector<T>().swap(array);
}

// Appends each chunk in turn and frees it at once, so that the chunks and the
// soup together never hold much more than the soup.
PolygonSoup join(std::vector<ObjLines>& chunks) {
  PolygonSoup soup;
  std::size_t points = 0;
  std::size_t corners = 0;
  std::size_t facets = 0;
  for (const ObjLines& chunk : chunks) {
    points += chunk.soup.points.size();
    corners += chunk.soup.corners.size();
    facets += chunk.soup.facetCount();
  }
  soup.points.reserve(points);
  soup.corners.reserve(corners);
  soup.facetOffsets.reserve(facets + 1);
  soup.facetLines.reserve(facets);
  std::uint64_t linesBefore = 0;
  for (ObjLines& chunk : chunks) {
    PolygonSoup& part = chunk.soup;
    soup.points.insert(soup.points.end(), part.points.begin(), part.points.end());
    release(part.points);
    // Offsets wrap at 32 bits exactly as the one-pass parser's do.
    const auto cornersBefore = static_cast<std::uint32_t>(soup.corners.size());
    soup.corners.insert(soup.corners.end(), part.corners.begin(), part.corners.end());
    release(part.corners);
    for (std::size_t f = 1; f < part.facetOffsets.size(); ++f) {
      soup.facetOffsets.push_back(cornersBefore + part.facetOffsets[f]);
    }
    release(part.facetOffsets);
    for (const std::uint64_t line : part.facetLines) {
      soup.facetLines.push_back(linesBefore + line);
    }
    release(part.facetLines);
    linesBefore += chunk.lineCount;
  }
  soup.firstVertexNumber = 1;
  return soup;
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
  std::vector<ObjLines> chunks = parseChunks(text, objChunkBounds(text, chunkBytes));
  resolveInFileOrder(chunks, sourceName);
  std::uint32_t largestCorner = 0;
  for (const ObjLines& chunk : chunks) {
    largestCorner = std::max(largestCorner, chunk.largestCorner);
  }
  PolygonSoup soup = join(chunks);
  checkForwardCorners(soup, largestCorner, sourceName);
  return soup;
}

} // namespace vornel
