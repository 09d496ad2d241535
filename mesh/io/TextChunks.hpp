#pragma once
// Cutting a text into chunks of whole lines that the calling arena's threads
// read at once. The bounds depend on the text alone, so that what is read from
// them never depends on the number of threads.

#include "core/Parallel.hpp"

#include <cstddef>
#include <string_view>
#include <vector>

namespace vornel {

/// The text per chunk: a few milliseconds of parsing, so that many chunks
/// balance the threads.
constexpr std::size_t textChunkBytes = std::size_t(1) << 20;

/// Where the chunks of text start, then text.size(): every chunkBytes bytes,
/// moved on to the next line start (a CR LF pair is one line end).
std::vector<std::size_t> textChunkBounds(std::string_view text, std::size_t chunkBytes);

/// Chunk c of text cut at bounds.
inline std::string_view chunkText(std::string_view text, const std::vector<std::size_t>& bounds,
                                  std::size_t c) {
  return text.substr(bounds[c], bounds[c + 1] - bounds[c]);
}

/// Runs work(c) for every chunk c in [0, chunks) on the arena's threads.
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

} // namespace vornel
