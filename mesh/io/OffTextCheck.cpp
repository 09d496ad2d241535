// The OFF text check. CGAL's scanner casts the numbers it reads as doubles to
// std::size_t (corner counts and indices) and to int or unsigned char (COFF
// colours) without a range check, and once a COFF line has a colour it reads
// three colour entries from every later vertex line, present or not. Both are
// undefined behaviour on bad input, so such files are rejected here first. The
// casts also truncate a fractional count or index (3.9 or 0.9) into a
// different facet, so those are refused too.

#include "mesh/io/OffTextCheck.hpp"

#include "core/Errors.hpp"
#include "core/PrintableText.hpp"

#include <CGAL/IO/io.h>

#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace vornel {
namespace {

// Colour map indices the scanner looks up for a one-entry colour.
constexpr double colourMapSize = 149.0;
constexpr double sizeTypeLimit = 0x1p64;

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
    const std::string fewer = " has fewer than " + std::to_string(3 + homogeneous) + " coordinates";
    if (!readRecord()) {
      fail(vertexName(number) + fewer);
    }
    if (entries_.size() < 3 + homogeneous) {
      const std::string word = recordWord(entries_.size());
      fail(vertexName(number) + (word.empty() ? fewer : " has a coordinate " + notANumber(word)));
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

  /// The numbers of the next record, split as the scanner splits them: OFF
  /// comment lines skipped, one line read, the text after '#' dropped, then
  /// doubles extracted until the first that does not read. False at the end
  /// of the stream.
  bool readRecord() {
    in_ >> CGAL::skip_comment_OFF;
    if (!std::getline(in_, line_)) {
      return false;
    }
    const std::size_t comment = line_.find('#');
    if (comment != std::string::npos) {
      line_.resize(comment);
    }
    std::istringstream numbers(line_);
    entries_.clear();
    double value = 0.0;
    while (numbers >> CGAL::IO::iformat(value)) {
      entries_.push_back(value);
    }
    return true;
  }

  /// The text of the record's entry k, or for k = entries_.size() the word
  /// at which the numbers stopped ("" at the line's end), for messages.
  std::string recordWord(std::size_t k) const {
    std::istringstream numbers(line_);
    double value = 0.0;
    for (std::size_t i = 0; i < k; ++i) {
      numbers >> CGAL::IO::iformat(value);
    }
    numbers >> std::ws;
    const std::streamoff start = numbers.tellg();
    if (start < 0) {
      return "";
    }
    std::string word;
    if (k < entries_.size()) {
      numbers >> CGAL::IO::iformat(value);
    } else {
      numbers >> word;
    }
    numbers.clear();
    const std::streamoff end = numbers.tellg();
    return line_.substr(
        static_cast<std::size_t>(start),
        static_cast<std::size_t>((end < 0 ? std::streamoff(line_.size()) : end) - start));
  }

  /// Why the word at which the record's numbers stopped is not one.
  static std::string notANumber(const std::string& word) {
    char* end = nullptr;
    const double value = std::strtod(word.c_str(), &end);
    const bool overflowOrNan = end == word.c_str() + word.size() && !std::isfinite(value);
    return quotedWord(word) +
           (overflowOrNan ? " that is not a finite number" : " that is not a number");
  }

  static std::string vertexName(std::size_t number) {
    return "vertex " + std::to_string(number) + " (numbered from 0)";
  }

  void checkFacet(std::size_t number) {
    const std::string facet = "facet " + std::to_string(number);
    if (!readRecord()) {
      fail(facet + " is missing");
    }
    if (entries_.empty()) {
      const std::string word = recordWord(0);
      fail(facet + (word.empty() ? " is missing" : " has a corner count " + notANumber(word)));
    }
    const double corners = entries_[0];
    if (!(corners >= 3.0 && corners < sizeTypeLimit)) {
      fail(facet + " has a corner count below three or not a count");
    }
    if (std::floor(corners) != corners) {
      fail(facet + " has a corner count " + quotedWord(recordWord(0)) +
           " that is not a whole number");
    }
    const auto count = static_cast<std::size_t>(corners);
    if (entries_.size() <= count) {
      const std::string word = recordWord(entries_.size());
      fail(facet + (word.empty() ? " lists fewer corners than its count"
                                 : " has a corner " + notANumber(word)));
    }
    const auto vertices = static_cast<double>(header_.size_of_vertices());
    for (std::size_t j = 1; j <= count; ++j) {
      if (!(entries_[j] > -1.0 && entries_[j] < vertices)) {
        fail(facet + ": a corner is out of range or not a number");
      }
      if (std::floor(entries_[j]) != entries_[j]) {
        fail(facet + ": corner " + quotedWord(recordWord(j)) + " is not a whole number");
      }
    }
  }

  [[noreturn]] void fail(const std::string& what) const {
    throw InvalidInputError(path_ + ": not a valid OFF mesh: " + what);
  }

  std::istream& in_;
  const CGAL::File_header_OFF& header_;
  const std::string& path_;
  std::string line_;            // the current record's line
  std::vector<double> entries_; // its numbers
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
