#pragma once
// Parsing a run of whole OBJ lines into a polygon soup: the whole text in one
// pass, or one chunk of it written in place into a soup sized from counts of
// the lines before it, so that chunks can be parsed at once.

#include "core/Errors.hpp"
#include "mesh/PolygonSoup.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vornel {

/// What the lines of a text hold when all are well formed.
struct ObjLineCounts {
  std::uint64_t lines = 0;
  std::size_t vertices = 0; // vertex lines
  std::size_t facets = 0;   // facet lines
  std::size_t corners = 0;  // corners of the facet lines
};

/// The first fault of a run of lines.
struct ObjLineFault {
  std::uint64_t line = 0;
  std::string what;
};

struct ObjLinesParsed {
  std::uint32_t largestCorner = 0;   // the largest positive corner read (0-based)
  std::optional<ObjLineFault> fault; // parsing stopped there
};

/// Counts the lines of text (framed as TextLines frames them) by kind.
ObjLineCounts countObjLines(std::string_view text);

/// Parses the lines of text into soup (empty) until the end or the first
/// fault. Forward corners are not checked: see checkForwardCorners.
ObjLinesParsed parseObjLines(std::string_view text, PolygonSoup& soup);

/// The same for a chunk whose own lines count own, after lines that count
/// before: its items go to their places in soup, sized for the whole text.
/// Line numbers and relative indices are right when the lines before are
/// well formed, which is all the first fault in file order needs.
ObjLinesParsed parseObjLinesInPlace(std::string_view text, const ObjLineCounts& before,
                                    const ObjLineCounts& own, PolygonSoup& soup);

/// The error that names line of sourceName.
InvalidInputError objLineError(const std::string& sourceName, std::uint64_t line,
                               const std::string& what);

/// Throws for the first facet, in file order, with a corner beyond the vertex
/// count; largestCorner is the largest corner read.
void checkForwardCorners(const PolygonSoup& soup, std::uint32_t largestCorner,
                         const std::string& sourceName);

} // namespace vornel
