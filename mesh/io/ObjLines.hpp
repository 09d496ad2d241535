#pragma once
// Parsing a run of whole OBJ lines into a polygon soup. The file parser runs it
// over the whole text, or over chunks of it on several threads and then joins
// the chunks; either way line numbers and the vertices a relative index counts
// back over are those of the run, so a chunk leaves what depends on the
// earlier chunks to the join.

#include "core/Errors.hpp"
#include "mesh/PolygonSoup.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vornel {

/// The first fault of a run of lines; line counts from 1 at the run's first line.
struct ObjLineFault {
  std::uint64_t line = 0;
  std::string what;
};

/// A negative corner index left for the join to resolve: the vertices before
/// the run are not known while it is parsed.
struct DeferredCorner {
  std::size_t position = 0;      // in the run's corners
  std::uint64_t line = 0;        // counted from the run's first line
  std::size_t definedBefore = 0; // the run's vertices before the facet line
  long long index = 0;           // as read: negative
  std::string_view written;      // as written, for the message
};

/// Relative indices resolved against the run's own vertices (the whole file)
/// or deferred (a chunk).
enum class RelativeCorners { Resolve, Defer };

struct ObjLines {
  PolygonSoup soup;                // facetLines counted from the run's first line
  std::uint64_t lineCount = 0;     // lines read, up to the fault if there is one
  std::uint32_t largestCorner = 0; // the largest positive corner (0-based)
  std::vector<DeferredCorner> deferred;
  std::optional<ObjLineFault> fault; // parsing stopped there
};

/// Parses the lines of text (whole lines, framed as TextLines frames them)
/// until the end or the first fault. Forward corners are not checked: they
/// need the vertex count of the whole file.
ObjLines parseObjLines(std::string_view text, RelativeCorners relative);

/// The error that names line of sourceName.
InvalidInputError objLineError(const std::string& sourceName, std::uint64_t line,
                               const std::string& what);

/// What is wrong with a relative corner index that reaches before the first
/// vertex, defined vertices having been read.
std::string relativeCornerProblem(std::string_view written, std::size_t defined);

/// Throws for the first facet, in file order, with a corner beyond the vertex
/// count; largestCorner is the largest corner read.
void checkForwardCorners(const PolygonSoup& soup, std::uint32_t largestCorner,
                         const std::string& sourceName);

} // namespace vornel
