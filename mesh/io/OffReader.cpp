// The OFF reader. CGAL's header reader and file scanner do the parsing, so
// that every header variant and number form reads as the library reads it;
// but they trust their input: the scanner reserves memory for the counts the
// header announces and converts corner counts, corner indices and colours
// without range checks. So the counts are checked against the file's size
// first, the text records are checked by OffTextCheck, and the records are
// then read into a soup whose every number is checked once more.

#include "mesh/io/OffReader.hpp"

#include "core/Errors.hpp"
#include "mesh/io/MappedFile.hpp"
#include "mesh/io/MemoryStreamBuffer.hpp"
#include "mesh/io/OffTextCheck.hpp"
#include "mesh/io/OffTextChunks.hpp"
#include "mesh/io/TextLines.hpp"

#include <CGAL/IO/Color.h>
#include <CGAL/IO/OFF/File_header_OFF.h>
#include <CGAL/IO/OFF/File_scanner_OFF.h>

#include <cmath>
#include <cstdint>
#include <istream>
#include <limits>

namespace vornel {
namespace {

// The shortest text a vertex ("0 0 0" and a separator) and a facet
// ("3 0 1 2" and a separator) can take; binary records are longer still.
constexpr std::uintmax_t minimumVertexBytes = 6;
constexpr std::uintmax_t minimumFacetBytes = 8;
// A binary corner index takes four bytes.
constexpr std::uintmax_t binaryCornerBytes = 4;

bool countsFit(std::uintmax_t vertices, std::uintmax_t facets, std::uintmax_t fileBytes) {
  if (vertices > fileBytes / minimumVertexBytes || facets > fileBytes / minimumFacetBytes) {
    return false; // also keeps the sum below from overflowing
  }
  return vertices * minimumVertexBytes + facets * minimumFacetBytes <= fileBytes;
}

class OffRecordReader {
public:
  OffRecordReader(std::istream& in, std::size_t fileBytes, const std::string& path)
      : in_(in), fileBytes_(fileBytes), path_(path) {}

  /// Reads the records after the header in one pass, or those of a plain
  /// text body of two chunks or more in chunks of text, the bytes in_ reads.
  PolygonSoup run(std::string_view text, std::size_t chunkBytes) {
    const CGAL::File_header_OFF header = readHeader();
    const std::streamoff body = in_.tellg();
    if (isPlainText(header) && body >= 0 &&
        text.size() - static_cast<std::size_t>(body) >= 2 * chunkBytes) {
      PolygonSoup soup;
      soup.firstVertexNumber = 0;
      if (readOffTextInChunks(text.substr(static_cast<std::size_t>(body)),
                              header.size_of_vertices(), header.size_of_facets(), chunkBytes,
                              soup)) {
        return soup;
      }
    }
    checkText(header);
    CGAL::File_scanner_OFF scanner(in_, header);
    PolygonSoup soup;
    soup.firstVertexNumber = 0;
    readVertices(scanner, soup);
    readFacets(scanner, soup);
    return soup;
  }

private:
  // Records of one line each, with no numbers beyond coordinates and corners
  // that change what is read.
  static bool isPlainText(const CGAL::File_header_OFF& header) {
    return header.off() && header.ascii() && !header.has_colors() && !header.has_normals() &&
           !header.has_textures() && !header.is_homogeneous() && !header.n_dimensional() &&
           header.index_offset() == 0;
  }

  // CGAL's header reader computes a halfedge estimate in int arithmetic, which
  // overflows for large counts, unless the header already holds one.
  CGAL::File_header_OFF readHeader() {
    CGAL::File_header_OFF header(false);
    header.set_halfedges(1);
    in_ >> header;
    if (!in_) {
      throw InvalidInputError(path_ + ": not an OFF file (no valid OFF header)");
    }
    if (!countsFit(header.size_of_vertices(), header.size_of_facets(), fileBytes_) ||
        header.size_of_vertices() >= std::numeric_limits<std::uint32_t>::max()) {
      throw InvalidInputError(
          path_ + ": the OFF header announces " + std::to_string(header.size_of_vertices()) +
          " vertices and " + std::to_string(header.size_of_facets()) +
          " facets, more than the file's " + std::to_string(fileBytes_) + " bytes can hold");
    }
    return header;
  }

  void checkText(const CGAL::File_header_OFF& header) {
    const std::streampos body = in_.tellg();
    checkOffText(in_, header, path_);
    in_.clear();
    in_.seekg(body);
  }

  void readVertices(CGAL::File_scanner_OFF& scanner, PolygonSoup& soup) {
    soup.points.reserve(scanner.size_of_vertices());
    for (std::size_t i = 0; i < scanner.size_of_vertices(); ++i) {
      Point3 point;
      CGAL::file_scan_vertex(scanner, point);
      if (scanner.has_vcolors()) {
        CGAL::IO::Color colour;
        CGAL::file_scan_color(scanner, colour);
      }
      scanner.skip_to_next_vertex(i);
      if (!in_) {
        fail("vertex " + std::to_string(i) + " is missing or malformed");
      }
      if (!std::isfinite(point.x()) || !std::isfinite(point.y()) || !std::isfinite(point.z())) {
        fail("vertex " + std::to_string(i) +
             " (numbered from 0) has a coordinate that is not a "
             "finite number (a homogeneous vertex with w = 0, or an overflow)");
      }
      soup.points.push_back(point);
    }
  }

  void readFacets(CGAL::File_scanner_OFF& scanner, PolygonSoup& soup) {
    soup.facetOffsets.reserve(scanner.size_of_facets() + 1);
    for (std::size_t i = 0; i < scanner.size_of_facets(); ++i) {
      const std::string facet = "facet " + std::to_string(i + 1);
      std::size_t corners = 0;
      scanner.scan_facet(corners, i);
      if (!in_ || corners < 3) {
        fail(facet + " is missing or has fewer than three corners");
      }
      if (scanner.binary() && corners > remainingBytes() / binaryCornerBytes) {
        fail(facet + " announces " + std::to_string(corners) +
             " corners, more than the rest of the file holds");
      }
      if (soup.corners.size() + corners >= std::numeric_limits<std::uint32_t>::max()) {
        fail("too many facet corners");
      }
      for (std::size_t j = 0; j < corners; ++j) {
        std::size_t index = 0;
        scanner.scan_facet_vertex_index(index, j + 1, i);
        if (!in_) {
          fail(facet + ": a corner is out of range or not a number");
        }
        soup.corners.push_back(static_cast<std::uint32_t>(index)); // below the vertex count
      }
      soup.facetOffsets.push_back(static_cast<std::uint32_t>(soup.corners.size()));
      scanner.skip_to_next_facet(i);
      if (!in_) {
        fail(facet + " is malformed");
      }
    }
  }

  std::size_t remainingBytes() {
    const std::streamoff position = in_.tellg();
    return position < 0 ? 0 : fileBytes_ - static_cast<std::size_t>(position);
  }

  [[noreturn]] void fail(const std::string& what) const {
    throw InvalidInputError(path_ + ": not a valid OFF mesh: " + what);
  }

  std::istream& in_;
  const std::size_t fileBytes_;
  const std::string& path_;
};

/// True when text starts with the header of a binary OFF file.
bool isBinaryOff(std::string_view text) {
  MemoryStreamBuffer buffer(text);
  std::istream in(&buffer);
  CGAL::File_header_OFF header(false);
  header.set_halfedges(1);
  in >> header;
  return in && header.binary();
}

} // namespace

PolygonSoup parseOff(std::string_view file, const std::string& path, std::size_t chunkBytes) {
  const std::string_view text = withoutByteOrderMark(file);
  // CGAL's scanner ends lines at LF only: a text file with lone CR line ends
  // is read from a copy with LF in their place. A binary body is bytes, not
  // lines, and is read as it is.
  std::string lineFeedCopy;
  if (!isBinaryOff(text) && hasLoneCarriageReturn(text)) {
    lineFeedCopy = withLineFeedsForLoneCarriageReturns(text);
  }
  const std::string_view bytes = lineFeedCopy.empty() ? text : std::string_view(lineFeedCopy);
  MemoryStreamBuffer buffer(bytes);
  std::istream in(&buffer);
  return OffRecordReader(in, bytes.size(), path).run(bytes, chunkBytes);
}

PolygonSoup readOffSoup(const std::string& path) {
  const MappedFile file(path, "mesh");
  return parseOff(file.text(), path);
}

} // namespace vornel
