// Chunk bounds of a text: whole lines, framed as in the whole text.

#include "mesh/io/TextChunks.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vornel {
namespace {

TEST(TextChunks, ChunksStartAtLineStartsOfEveryLineEnd) {
  const std::string text = "v 1 2 3\r\nf 1 2 3\rv 4 5 6\n\r\n\r\rf 1 1 1";
  for (std::size_t chunkBytes = 1; chunkBytes < text.size(); ++chunkBytes) {
    const std::vector<std::size_t> bounds = textChunkBounds(text, chunkBytes);
    EXPECT_EQ(bounds.front(), 0u);
    EXPECT_EQ(bounds.back(), text.size());
    for (std::size_t c = 1; c + 1 < bounds.size(); ++c) {
      const std::size_t start = bounds[c];
      EXPECT_LT(bounds[c - 1], start);
      // After a LF, or after a CR that starts no CR LF pair.
      EXPECT_TRUE(text[start - 1] == '\n' || (text[start - 1] == '\r' && text[start] != '\n'))
          << "chunk of " << chunkBytes << " bytes starts at " << start;
    }
  }
}

} // namespace
} // namespace vornel
