#include "mesh/io/TextChunks.hpp"

#include "mesh/io/TextLines.hpp"

#include <algorithm>

namespace vornel {

std::vector<std::size_t> textChunkBounds(std::string_view text, std::size_t chunkBytes) {
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

} // namespace vornel
