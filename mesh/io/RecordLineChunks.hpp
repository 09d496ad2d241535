#pragma once
// Reading a text body whose records each take one line (PLY and OFF text), in
// chunks of whole lines on the calling arena's threads. A first pass counts
// each chunk's lines and record lines, so that every chunk learns the number
// of its first record and of its first line; a second reads each record into
// its place. The reading is speculative: a record that does not stand alone
// on its line, or any fault, makes it give up, and the caller reads the text
// in one pass instead, which names the first fault in file order exactly.

#include "mesh/PolygonSoup.hpp"
#include "mesh/io/TextChunks.hpp"
#include "mesh/io/TextLines.hpp"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace vornel {

/// One record line: its text (line break excluded), the record's number from
/// 0 in file order, and the line's number.
struct RecordLine {
  std::string_view text;
  std::uint64_t record = 0;
  std::uint64_t line = 0;
};

/// The facets one chunk read, in file order.
struct ChunkFacets {
  std::vector<std::uint32_t> corners;
  std::vector<std::uint32_t> ends;  // each facet's end in corners
  std::vector<std::uint64_t> lines; // each facet's line
  bool regular = true;              // false once a record could not be read
};

/// Calls visit(line) for every line of text, as TextLines frames them.
template <class Visit> void forEachLine(std::string_view text, Visit&& visit) {
  const char* p = text.data();
  const char* const end = p + text.size();
  while (p != end) {
    const char* const lineBreak = findLineBreak(p, end);
    visit(std::string_view(p, static_cast<std::size_t>(lineBreak - p)));
    p = nextLineStart(lineBreak, end);
  }
}

/// Appends the chunks' facets to soup in chunk order (line numbers when
/// withLines). False, leaving soup as it was, when they hold 2^32 - 1 corners
/// or more.
bool placeChunkFacets(const std::vector<ChunkFacets>& chunks, bool withLines, PolygonSoup& soup);

/// Reads body, whose first line is line number firstLine, as recordCount
/// records, one per line for which isRecordLine(line) holds (it must depend on
/// the line alone); later lines are not looked at. readRecord(RecordLine,
/// ChunkFacets&) reads one record, writing vertices into their place and
/// appending facets; it returns false when the record is not one that a
/// one-pass reader reads the same way from this line alone. Returns false when
/// a record could not be read or there are fewer record lines than records;
/// otherwise the facets are placed into soup.
template <class IsRecordLine, class ReadRecord>
bool readRecordLinesInChunks(std::string_view body, std::uint64_t firstLine,
                             std::uint64_t recordCount, std::size_t chunkBytes, bool withLines,
                             IsRecordLine&& isRecordLine, ReadRecord&& readRecord,
                             PolygonSoup& soup) {
  const std::vector<std::size_t> bounds = textChunkBounds(body, chunkBytes);
  const std::size_t chunks = bounds.size() - 1;
  struct LineCounts {
    std::uint64_t lines = 0;
    std::uint64_t records = 0;
  };
  std::vector<LineCounts> before(chunks + 1);
  forEachChunk(chunks, [&](std::size_t c) {
    LineCounts& own = before[c + 1];
    forEachLine(chunkText(body, bounds, c), [&](std::string_view line) {
      ++own.lines;
      own.records += isRecordLine(line) ? 1 : 0;
    });
  });
  for (std::size_t c = 0; c < chunks; ++c) {
    before[c + 1].lines += before[c].lines;
    before[c + 1].records += before[c].records;
  }
  if (before.back().records < recordCount) {
    return false;
  }
  std::vector<ChunkFacets> facets(chunks);
  forEachChunk(chunks, [&](std::size_t c) {
    RecordLine at{{}, before[c].records, firstLine + before[c].lines};
    ChunkFacets& own = facets[c];
    forEachLine(chunkText(body, bounds, c), [&](std::string_view line) {
      if (own.regular && at.record < recordCount && isRecordLine(line)) {
        at.text = line;
        own.regular = readRecord(static_cast<const RecordLine&>(at), own);
        ++at.record;
      }
      ++at.line;
    });
  });
  for (const ChunkFacets& chunk : facets) {
    if (!chunk.regular) {
      return false;
    }
  }
  return placeChunkFacets(facets, withLines, soup);
}

} // namespace vornel
