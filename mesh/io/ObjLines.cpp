// A hand-written OBJ line parser: one pass over the text held in memory,
// numbers converted with std::from_chars, no allocation per line.

#include "mesh/io/ObjLines.hpp"

#include "core/Errors.hpp"
#include "core/PrefaultPages.hpp"
#include "core/PrintableText.hpp"
#include "mesh/io/TextLines.hpp"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace vornel {
namespace {

// White space inside a line; the line break itself ends the line.
bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

const char* skipBlanks(const char* p, const char* end) {
  while (p != end && isBlank(*p)) {
    ++p;
  }
  return p;
}

const char* tokenEnd(const char* p, const char* end) {
  while (p != end && !isBlank(*p)) {
    ++p;
  }
  return p;
}

// The word that starts at p, for messages.
std::string_view wordAt(const char* p, const char* end) {
  return {p, static_cast<std::size_t>(tokenEnd(p, end) - p)};
}

// Exact powers of ten up to the largest a double holds exactly.
constexpr double exactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                       1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                       1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// True when d, a double in the normal float range, lies exactly halfway between
// two neighbouring floats: of its 52 stored mantissa bits, the 29 that float
// drops are a one followed by 28 zeros.
bool isFloatMidpoint(double d) {
  std::uint64_t bits = 0;
  std::memcpy(&bits, &d, sizeof bits);
  return (bits & 0x1FFFFFFFu) == 0x10000000u;
}

// The common case of plain decimal text "[-]ddd[.ddd][e[-]dd]" with at most 15
// significant digits and a small exponent: the decimal value is m * 10^e with m
// and 10^e exact doubles, so one multiplication or division rounds it correctly
// to double. Rounding that double to float gives the correctly rounded float
// unless the double sits exactly on a float midpoint, which is left to the
// general conversion. Returns nullptr when the text is not in the common case.
const char* parseFloatFast(const char* p, const char* end, float& value) {
  const bool negative = (p != end && *p == '-');
  p += negative ? 1 : 0;
  std::uint64_t mantissa = 0;
  int digits = 0;
  int exponent = 0;
  for (; p != end && static_cast<unsigned>(*p - '0') < 10; ++p, ++digits) {
    mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
  }
  if (p != end && *p == '.') {
    for (++p; p != end && static_cast<unsigned>(*p - '0') < 10; ++p, ++digits, --exponent) {
      mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
    }
  }
  if (digits == 0 || digits > 15) {
    return nullptr;
  }
  if (p != end && (*p == 'e' || *p == 'E')) {
    const char* q = p + 1;
    if (q != end && *q == '+') {
      ++q;
      if (q != end && *q == '-') {
        return nullptr;
      }
    }
    long long written = 0;
    const auto [next, error] = std::from_chars(q, end, written);
    if (error != std::errc() || written < -22 || written > 22) {
      return nullptr;
    }
    exponent += static_cast<int>(written);
    p = next;
  }
  if (exponent < -22 || exponent > 22) {
    return nullptr;
  }
  double d = static_cast<double>(mantissa);
  d = exponent < 0 ? d / exactPowersOfTen[-exponent] : d * exactPowersOfTen[exponent];
  if (isFloatMidpoint(d)) {
    return nullptr;
  }
  value = static_cast<float>(negative ? -d : d);
  return p;
}

// Reads one number as "%f" reads it: an optional sign, then a decimal number or
// inf/nan, correctly rounded to float. Returns the position after it, or
// nullptr when there is none. Values beyond the float range round the way
// strtof rounds them (to inf or zero).
const char* parseFloat(const char* p, const char* end, float& value) {
  const char* const start = p;
  if (p != end && *p == '+') {
    ++p;
    if (p != end && *p == '-') {
      return nullptr;
    }
  }
  if (const char* next = parseFloatFast(p, end, value)) {
    return next;
  }
  const auto [next, error] = std::from_chars(p, end, value);
  if (error == std::errc::result_out_of_range) {
    const std::string token(start, next);
    value = std::strtof(token.c_str(), nullptr);
    return next;
  }
  return error == std::errc() ? next : nullptr;
}

// Reads a decimal integer with an optional sign; nullptr when there is none.
// An integer too large for 64 bits reads as the largest value of its sign.
const char* parseInteger(const char* p, const char* end, long long& value) {
  if (p != end && *p == '+') {
    ++p;
    if (p != end && *p == '-') {
      return nullptr;
    }
  }
  // Short unsigned numbers, nearly every index, without the general routine.
  long long small = 0;
  const char* q = p;
  for (; q != end && q - p < 18 && static_cast<unsigned>(*q - '0') < 10; ++q) {
    small = small * 10 + (*q - '0');
  }
  if (q != p && (q == end || static_cast<unsigned>(*q - '0') >= 10)) {
    value = small;
    return q;
  }
  const auto [next, error] = std::from_chars(p, end, value);
  if (error == std::errc::result_out_of_range) {
    value =
        (*p == '-') ? std::numeric_limits<long long>::min() : std::numeric_limits<long long>::max();
    return next;
  }
  return error == std::errc() ? next : nullptr;
}

// Reads the optional "/vt", "//vn" or "/vt/vn" tail of a corner; the texture and
// normal indices are not used. Returns nullptr when the tail is malformed.
const char* skipCornerTail(const char* p, const char* end) {
  for (int slashes = 0; slashes < 2 && p != end && *p == '/'; ++slashes) {
    ++p;
    long long ignored = 0;
    if (const char* next = parseInteger(p, end, ignored)) {
      p = next;
    }
  }
  return p;
}

bool endsCorner(const char* p, const char* end) {
  return p == end || isBlank(*p) || *p == '#';
}

enum class LineKind { Vertex, Facet, Other, NotAVertexLine };

// A line's keyword ends at white space, a comment or the end of the line.
bool endsKeyword(const char* p, const char* end) {
  return p == end || isBlank(*p) || *p == '#';
}

// The kind of a line from its keyword, after leading white space. A keyword
// that starts with "v" but is not "v", "vt", "vn" or "vp" is refused rather
// than skipped: a vertex line typed wrong would move every later vertex.
LineKind lineKind(const char* p, const char* end) {
  if (p == end) {
    return LineKind::Other;
  }
  if (*p == 'v') {
    if (endsKeyword(p + 1, end)) {
      return LineKind::Vertex;
    }
    const bool otherVertexData =
        (p[1] == 't' || p[1] == 'n' || p[1] == 'p') && endsKeyword(p + 2, end);
    return otherVertexData ? LineKind::Other : LineKind::NotAVertexLine;
  }
  return (*p == 'f' && (p + 1 == end || isBlank(p[1]))) ? LineKind::Facet : LineKind::Other;
}
// Skips the characters of one corner: they end at white space or a comment.
const char* cornerEnd(const char* p, const char* end) {
  while (p != end && !isBlank(*p) && *p != '#') {
    ++p;
  }
  return p;
}

// The corners a facet line holds when each is well formed, as parseFacet reads them.
std::size_t cornersOfFacetLine(const char* p, const char* end) {
  std::size_t corners = 0;
  for (p = skipBlanks(p, end); p != end && *p != '#'; p = skipBlanks(p, end)) {
    p = cornerEnd(p, end);
    ++corners;
  }
  return corners;
}

ObjLineCounts countLines(const char* p, const char* const end, bool withCorners) {
  ObjLineCounts counts;
  while (p != end) {
    const char* const lineEnd = findLineBreak(p, end);
    const char* const keyword = skipBlanks(p, lineEnd);
    const LineKind kind = lineKind(keyword, lineEnd);
    ++counts.lines;
    counts.vertices += (kind == LineKind::Vertex) ? 1 : 0;
    if (kind == LineKind::Facet) {
      ++counts.facets;
      counts.corners += withCorners ? cornersOfFacetLine(keyword + 1, lineEnd) : 0;
    }
    p = nextLineStart(lineEnd, end);
  }
  return counts;
}

// Ends the parse of a run of lines at its first fault.
struct LineFaultThrown {
  ObjLineFault fault;
};

// Appends to a soup: the one pass. The arrays get their final size up front
// (for triangle facets), so that they never grow by copying and trimming them
// later copies nothing.
class SoupAppender {
public:
  SoupAppender(PolygonSoup& soup, const ObjLineCounts& counts) : soup_(soup) {
    soup_.points.reserve(counts.vertices);
    soup_.facetOffsets.reserve(counts.facets + 1);
    soup_.facetLines.reserve(counts.facets);
    soup_.corners.reserve(3 * counts.facets);
    populateReserved(soup_.points);
    populateReserved(soup_.facetOffsets);
    populateReserved(soup_.facetLines);
    populateReserved(soup_.corners);
  }
  std::size_t vertexCount() const { return soup_.points.size(); }
  std::size_t cornerCount() const { return soup_.corners.size(); }
  void addPoint(float x, float y, float z) { soup_.points.emplace_back(x, y, z); }
  void addCorner(std::uint32_t corner) { soup_.corners.push_back(corner); }
  void endFacet(std::uint64_t line) {
    soup_.facetOffsets.push_back(static_cast<std::uint32_t>(soup_.corners.size()));
    soup_.facetLines.push_back(line);
  }

private:
  // The pass fills the room reserved: mapped in at once, not a fault per page.
  template <class T> static void populateReserved(std::vector<T>& array) {
    populatePages(array.data(), array.capacity() * sizeof(T));
  }
  PolygonSoup& soup_;
};

// Writes a chunk's items into their places in a soup sized for the whole
// text. The counts allow for exactly the items of well-formed lines; a chunk
// with a fault stops before it writes past them.
class SoupWindow {
public:
  SoupWindow(PolygonSoup& soup, const ObjLineCounts& before, const ObjLineCounts& own)
      : soup_(soup), vertex_(before.vertices), corner_(before.corners), facet_(before.facets),
        vertexEnd_(before.vertices + own.vertices), cornerEnd_(before.corners + own.corners),
        facetEnd_(before.facets + own.facets) {}
  std::size_t vertexCount() const { return vertex_; }
  std::size_t cornerCount() const { return corner_; }
  void addPoint(float x, float y, float z) {
    checkRoom(vertex_, vertexEnd_);
    soup_.points[vertex_++] = Point3(x, y, z);
  }
  void addCorner(std::uint32_t corner) {
    checkRoom(corner_, cornerEnd_);
    soup_.corners[corner_++] = corner;
  }
  void endFacet(std::uint64_t line) {
    checkRoom(facet_, facetEnd_);
    soup_.facetLines[facet_] = line;
    soup_.facetOffsets[++facet_] = static_cast<std::uint32_t>(corner_);
  }

private:
  static void checkRoom(std::size_t next, std::size_t end) {
    if (next == end) {
      throw std::logic_error("OBJ chunk: more items than its lines were counted to hold");
    }
  }
  PolygonSoup& soup_;
  std::size_t vertex_;
  std::size_t corner_;
  std::size_t facet_;
  const std::size_t vertexEnd_;
  const std::size_t cornerEnd_;
  const std::size_t facetEnd_;
};

template <class Output> class ObjLineParser {
public:
  ObjLineParser(std::string_view text, Output& output, std::uint64_t linesBefore)
      : text_(text), output_(output), line_(linesBefore) {}

  ObjLinesParsed run() {
    const char* p = text_.data();
    const char* const end = p + text_.size();
    try {
      while (p != end) {
        const char* const lineEnd = findLineBreak(p, end);
        ++line_;
        parseLine(p, lineEnd);
        p = nextLineStart(lineEnd, end);
      }
    } catch (LineFaultThrown& thrown) {
      result_.fault = std::move(thrown.fault);
    }
    return std::move(result_);
  }

private:
  void parseLine(const char* p, const char* end) {
    p = skipBlanks(p, end);
    switch (lineKind(p, end)) {
    case LineKind::Vertex:
      parseVertex(p + 1, end);
      break;
    case LineKind::Facet:
      parseFacet(p + 1, end);
      break;
    case LineKind::Other:
      break;
    case LineKind::NotAVertexLine:
      fail(quotedWord(wordAt(p, end)) + " is not a vertex line (v), nor a vt, vn or vp line");
    }
  }

  // "v x y z": three finite numbers, each after optional white space; anything
  // after the third is ignored. A vertex line that is not that is refused:
  // skipping it would shift every later vertex onto the wrong point.
  void parseVertex(const char* p, const char* end) {
    float xyz[3];
    for (float& coordinate : xyz) {
      const char* const start = skipBlanks(p, end);
      p = parseFloat(start, end, coordinate);
      if (!p || !endsCorner(p, end)) {
        fail(start == end || *start == '#'
                 ? "vertex line has fewer than three coordinates"
                 : "vertex coordinate " + quotedWord(wordAt(start, end)) + " is not a number");
      }
      if (!std::isfinite(coordinate)) {
        fail("vertex coordinate " +
             quotedWord(std::string_view(start, static_cast<std::size_t>(p - start))) +
             " is not a finite number");
      }
    }
    output_.addPoint(xyz[0], xyz[1], xyz[2]);
  }

  void parseFacet(const char* p, const char* end) {
    const std::size_t firstCorner = output_.cornerCount();
    for (p = skipBlanks(p, end); p != end && *p != '#'; p = skipBlanks(p, end)) {
      p = parseCorner(p, end);
    }
    if (output_.cornerCount() - firstCorner < 3) {
      fail("facet has fewer than three corners");
    }
    output_.endFacet(line_);
  }

  const char* parseCorner(const char* p, const char* end) {
    if (const char* next = parsePlainCorner(p, end)) {
      return next;
    }
    long long index = 0;
    const char* const indexEnd = parseInteger(p, end, index);
    const char* const next = indexEnd ? skipCornerTail(indexEnd, end) : nullptr;
    if (!next || !endsCorner(next, end)) {
      fail("corner " + quotedWord(wordAt(p, end)) + " is not a number");
    }
    output_.addCorner(
        resolveIndex(index, std::string_view(p, static_cast<std::size_t>(indexEnd - p))));
    return next;
  }

  // The common corner: a plain positive index of at most nine digits, without
  // a tail, followed by white space or the end of the line. Returns nullptr,
  // having stored nothing, for any other corner.
  const char* parsePlainCorner(const char* p, const char* end) {
    std::uint32_t index = 0;
    const char* q = p;
    for (; q != end && q - p < 9 && static_cast<unsigned>(*q - '0') < 10; ++q) {
      index = index * 10 + static_cast<unsigned>(*q - '0');
    }
    if (index == 0 || (q != end && !isBlank(*q))) {
      return nullptr;
    }
    const std::uint32_t corner = index - 1;
    result_.largestCorner = corner > result_.largestCorner ? corner : result_.largestCorner;
    output_.addCorner(corner);
    return q;
  }

  // Positive indices count from 1 over all vertex lines of the file (checked
  // once the whole file is read); negative ones count back from the last vertex
  // defined so far. Messages show the index as written: one beyond 64 bits
  // has been read as the largest value of its sign.
  std::uint32_t resolveIndex(long long index, std::string_view written) {
    const long long defined = static_cast<long long>(output_.vertexCount());
    if (index == 0) {
      fail("corner index 0 is not valid (indices start at 1)");
    }
    if (index < 0) {
      if (index < -defined) {
        fail("corner index " + std::string(written) + " reaches before the first vertex (" +
             std::to_string(defined) + " vertices defined so far)");
      }
      return static_cast<std::uint32_t>(defined + index);
    }
    if (index > std::numeric_limits<std::uint32_t>::max()) {
      fail("corner index " + std::string(written) + " is beyond the vertex count");
    }
    const auto corner = static_cast<std::uint32_t>(index - 1);
    if (corner > result_.largestCorner) {
      result_.largestCorner = corner;
    }
    return corner;
  }

  [[noreturn]] void fail(std::string what) const {
    throw LineFaultThrown{{line_, std::move(what)}};
  }

  std::string_view text_;
  Output& output_;
  std::uint64_t line_;
  ObjLinesParsed result_;
};

} // namespace

ObjLineCounts countObjLines(std::string_view text) {
  return countLines(text.data(), text.data() + text.size(), true);
}

ObjLinesParsed parseObjLines(std::string_view text, PolygonSoup& soup) {
  SoupAppender output(soup, countLines(text.data(), text.data() + text.size(), false));
  return ObjLineParser<SoupAppender>(text, output, 0).run();
}

ObjLinesParsed parseObjLinesInPlace(std::string_view text, const ObjLineCounts& before,
                                    const ObjLineCounts& own, PolygonSoup& soup) {
  SoupWindow output(soup, before, own);
  return ObjLineParser<SoupWindow>(text, output, before.lines).run();
}

InvalidInputError objLineError(const std::string& sourceName, std::uint64_t line,
                               const std::string& what) {
  return InvalidInputError(sourceName + ":" + std::to_string(line) + ": " + what);
}

void checkForwardCorners(const PolygonSoup& soup, std::uint32_t largestCorner,
                         const std::string& sourceName) {
  const std::size_t vertexCount = soup.points.size();
  if (soup.corners.empty() || largestCorner < vertexCount) {
    return;
  }
  for (std::size_t f = 0; f < soup.facetCount(); ++f) {
    for (std::uint32_t k = soup.facetOffsets[f]; k < soup.facetOffsets[f + 1]; ++k) {
      if (soup.corners[k] >= vertexCount) {
        throw objLineError(sourceName, soup.facetLines[f],
                           "corner index " + std::to_string(soup.corners[k] + 1ull) +
                               " is beyond the vertex count (" + std::to_string(vertexCount) +
                               " vertices)");
      }
    }
  }
}

} // namespace vornel
