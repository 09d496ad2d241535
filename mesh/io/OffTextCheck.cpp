// The OFF text check. CGAL's scanner casts the numbers it reads as doubles to
// std::size_t (corner counts and indices) and to int or unsigned char (COFF
// colours) without a range check, and once a COFF line has a colour it reads
// three colour entries from every later vertex line, present or not. Both are
// undefined behaviour on bad input, so such files are rejected here first.

#include "mesh/io/OffTextCheck.hpp"

#include "core/Errors.hpp"

#include <CGAL/IO/io.h>

#include <cmath>
#include <cstddef>
#include <sstream>
#include <string>
#include <vector>

namespace vornel {
namespace {

// Colour map indices the scanner looks up for a one-entry colour.
constexpr double colourMapSize = 149.0;
constexpr double sizeTypeLimit = 0x1p64;

/// The numbers of the next record, split as the scanner splits them: OFF
/// comment lines skipped, one line read, the text after '#' dropped, then
/// doubles extracted until the first that does not read. False at the end of
/// the stream.
bool readRecord(std::istream& in, std::vector<double>& entries) {
  in >> CGAL::skip_comment_OFF;
  std::string line;
  if (!std::getline(in, line)) {
    return false;
  }
  const std::size_t comment = line.find('#');
  if (comment != std::string::npos) {
    line.resize(comment);
  }
  std::istringstream numbers(line);
  entries.clear();
  double value = 0.0;
  while (numbers >> CGAL::IO::iformat(value)) {
    entries.push_back(value);
  }
  return true;
}

/// True when the cast of value to unsigned char is defined (truncation lands in 0..255).
bool fitsByte(double value) {
  return value > -1.0 && value < 256.0;
}

/// The colour read the scanner makes from entries, starting at first, with
/// count colour entries (as the scanner counts them, wrapping below zero).
bool colourReadable(const std::vector<double>& entries, std::size_t first, std::size_t count) {
  if (count == 1) {
    return entries[first] > -1.0 && entries[first] < colourMapSize;
  }
  if (entries.size() < first + 3) {
    return false;
  }
  const double* rgb = &entries[first];
  const bool integral =
      std::floor(rgb[0]) == rgb[0] && std::floor(rgb[1]) == rgb[1] && std::floor(rgb[2]) == rgb[2];
  for (int k = 0; k < 3; ++k) {
    if (!fitsByte(integral ? rgb[k] : rgb[k] * 255)) {
      return false;
    }
  }
  return true;
}

class OffTextChecker {
public:
  OffTextChecker(std::istream& in, const CGAL::File_header_OFF& header, const std::string& path)
      : in_(in), header_(header), path_(path) {}

  void run() {
    for (std::size_t v = 0; v < header_.size_of_vertices(); ++v) {
      checkVertex(v);
    }
    for (std::size_t f = 0; f < header_.size_of_facets(); ++f) {
      checkFacet(f + 1);
    }
  }

private:
  /// Vertex `number` counted from 0, as the file's facets count them.
  void checkVertex(std::size_t number) {
    const std::size_t homogeneous = header_.is_homogeneous() ? 1 : 0;
    if (!readRecord(in_, entries_) || entries_.size() < 3 + homogeneous) {
      fail(vertexName(number) + " has fewer than " + std::to_string(3 + homogeneous) +
           " coordinates");
    }
    // A normal (N) and texture coordinates (ST) that the header announces
    // must be there: the scanner counts what follows them as a colour.
    const std::size_t promised = 3 + homogeneous + (header_.has_normals() ? 3 + homogeneous : 0) +
                                 (header_.has_textures() ? 2 + homogeneous : 0);
    if (entries_.size() < promised) {
      fail(vertexName(number) + " has fewer than the " + std::to_string(promised) +
           " numbers its header announces (coordinates, normal, texture coordinates)");
    }
    if (!header_.has_colors()) {
      return;
    }
    // The scanner's own count of colour entries, in its wrapping arithmetic.
    std::size_t first = 3 + homogeneous;
    std::size_t count = entries_.size() - (3 + homogeneous);
    if (header_.has_normals()) {
      first += 3 + homogeneous;
      count -= 3 + homogeneous;
    }
    if (header_.has_textures()) {
      count -= 2 + homogeneous;
    }
    colours_ = colours_ || count != 0;
    if (colours_ && !colourReadable(entries_, first, count)) {
      fail(vertexName(number) + " has no readable colour (missing or out of range)");
    }
  }

  static std::string vertexName(std::size_t number) {
    return "vertex " + std::to_string(number) + " (numbered from 0)";
  }

  void checkFacet(std::size_t number) {
    const std::string facet = "facet " + std::to_string(number);
    if (!readRecord(in_, entries_) || entries_.empty()) {
      fail(facet + " is missing");
    }
    const double corners = entries_[0];
    if (!(corners >= 3.0 && corners < sizeTypeLimit)) {
      fail(facet + " has a corner count below three or not a count");
    }
    const auto count = static_cast<std::size_t>(corners);
    if (entries_.size() <= count) {
      fail(facet + " lists fewer corners than its count");
    }
    const auto vertices = static_cast<double>(header_.size_of_vertices());
    for (std::size_t j = 1; j <= count; ++j) {
      if (!(entries_[j] > -1.0 && entries_[j] < vertices)) {
        fail(facet + ": a corner is out of range or not a number");
      }
    }
  }

  [[noreturn]] void fail(const std::string& what) const {
    throw InvalidInputError(path_ + ": not a valid OFF mesh: " + what);
  }

  std::istream& in_;
  const CGAL::File_header_OFF& header_;
  const std::string& path_;
  std::vector<double> entries_;
  bool colours_ = false;
};

} // namespace

void checkOffText(std::istream& in, const CGAL::File_header_OFF& header, const std::string& path) {
  if (header.binary()) {
    return;
  }
  OffTextChecker(in, header, path).run();
}

} // namespace vornel
