#include "mesh/io/RecordLineChunks.hpp"

#include "core/PrefaultPages.hpp"

#include <algorithm>
#include <limits>

namespace vornel {

bool placeChunkFacets(const std::vector<ChunkFacets>& chunks, bool withLines, PolygonSoup& soup) {
  // What the chunks before each chunk hold, after the facets already in soup.
  std::vector<std::size_t> facetsBefore(chunks.size() + 1, soup.facetCount());
  std::vector<std::uint64_t> cornersBefore(chunks.size() + 1, soup.corners.size());
  for (std::size_t c = 0; c < chunks.size(); ++c) {
    facetsBefore[c + 1] = facetsBefore[c] + chunks[c].ends.size();
    cornersBefore[c + 1] = cornersBefore[c] + chunks[c].corners.size();
  }
  if (cornersBefore.back() >= std::numeric_limits<std::uint32_t>::max()) {
    return false;
  }
  resizePrefaulted(soup.facetOffsets, facetsBefore.back() + 1);
  resizePrefaulted(soup.corners, cornersBefore.back());
  if (withLines) {
    resizePrefaulted(soup.facetLines, facetsBefore.back());
  }
  forEachChunk(chunks.size(), [&](std::size_t c) {
    const ChunkFacets& chunk = chunks[c];
    const auto base = static_cast<std::uint32_t>(cornersBefore[c]);
    std::copy(chunk.corners.begin(), chunk.corners.end(), soup.corners.begin() + base);
    std::uint32_t* const offsets = soup.facetOffsets.data() + facetsBefore[c] + 1;
    for (std::size_t f = 0; f < chunk.ends.size(); ++f) {
      offsets[f] = base + chunk.ends[f];
    }
    if (withLines) {
      std::copy(chunk.lines.begin(), chunk.lines.end(),
                soup.facetLines.begin() + static_cast<std::ptrdiff_t>(facetsBefore[c]));
    }
  });
  return true;
}

} // namespace vornel
