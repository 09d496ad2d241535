// STL form detection and the binary form: an 80-byte header, a 4-byte facet
// count, then 50 bytes per facet (normal, three corners, two attribute bytes),
// every number little-endian.

#include "mesh/io/StlReader.hpp"

#include "core/Errors.hpp"
#include "core/LargeArray.hpp"
#include "mesh/io/MappedFile.hpp"
#include "mesh/io/StlText.hpp"
#include "mesh/io/TextLines.hpp"

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace vornel {
namespace {

constexpr std::size_t headerBytes = 84; // the header and the facet count
constexpr std::size_t facetBytes = 50;
constexpr std::size_t firstCornerOffset = 12; // past the facet normal
constexpr std::size_t cornerBytes = 12;
/// Corners fetched ahead of their weld: far enough that the slot arrives in
/// time, near enough that it is still cached.
constexpr std::size_t prefetchFacets = 6;

std::uint32_t littleEndianWord(const char* p) {
  std::uint32_t word = 0;
  std::memcpy(&word, p, sizeof word);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  word = __builtin_bswap32(word);
#endif
  return word;
}

float littleEndianFloat(const char* p) {
  const std::uint32_t word = littleEndianWord(p);
  float value = 0.0f;
  std::memcpy(&value, &word, sizeof value);
  return value;
}

/// The size a binary STL of the count at bytes 80-83 has; 0 when the file
/// is too short to hold a count.
std::uint64_t binarySizeOf(std::string_view bytes) {
  if (bytes.size() < headerBytes) {
    return 0;
  }
  return headerBytes + facetBytes * std::uint64_t{littleEndianWord(bytes.data() + 80)};
}

/// Whether the first word (after a byte order mark and white space) is
/// "solid" in any letter case.
bool startsWithSolid(std::string_view bytes) {
  std::string_view text = withoutByteOrderMark(bytes);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
    text.remove_prefix(1);
  }
  constexpr std::string_view solid = "solid";
  if (text.size() < solid.size()) {
    return false;
  }
  for (std::size_t i = 0; i < solid.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != solid[i]) {
      return false;
    }
  }
  return text.size() == solid.size() ||
         std::isspace(static_cast<unsigned char>(text[solid.size()]));
}

/// Whether the first 84 bytes hold a zero byte, which no text has and the
/// count of a binary STL of fewer than 2^24 facets has: such a file is
/// probably a damaged binary STL.
bool headerLooksBinary(std::string_view bytes) {
  return bytes.substr(0, headerBytes).find('\0') != std::string_view::npos;
}

std::string sizeNote(std::uint64_t facets, std::size_t fileSize) {
  return "its count of " + std::to_string(facets) + " facets needs 84 + 50 x " +
         std::to_string(facets) + " = " + std::to_string(headerBytes + facetBytes * facets) +
         " bytes, but the file has " + std::to_string(fileSize);
}

StlSoup parseBinary(std::string_view bytes, const std::string& sourceName) {
  const std::size_t facets = (bytes.size() - headerBytes) / facetBytes;
  if (facets > std::numeric_limits<std::uint32_t>::max() / 3) {
    throw InvalidInputError(sourceName + ": too many facets (" + std::to_string(facets) + ")");
  }
  StlSoup result;
  PolygonSoup& soup = result.soup;
  soup.firstVertexNumber = 0;
  reserveLarge(soup.corners, 3 * facets);
  soup.corners.resize(3 * facets);
  reserveLarge(soup.facetOffsets, facets + 1);
  soup.facetOffsets.resize(facets + 1);
  PointWelder welder(3 * facets);
  const char* const records = bytes.data() + headerBytes;
  for (std::size_t f = 0; f < facets; ++f) {
    if (f + prefetchFacets < facets) {
      const char* const ahead = records + (f + prefetchFacets) * facetBytes + firstCornerOffset;
      for (std::size_t c = 0; c < 3; ++c) {
        const char* const p = ahead + c * cornerBytes;
        welder.prefetch(littleEndianFloat(p), littleEndianFloat(p + 4), littleEndianFloat(p + 8));
      }
    }
    const char* const corners = records + f * facetBytes + firstCornerOffset;
    for (std::size_t c = 0; c < 3; ++c) {
      const char* const p = corners + c * cornerBytes;
      const float x = littleEndianFloat(p);
      const float y = littleEndianFloat(p + 4);
      const float z = littleEndianFloat(p + 8);
      if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z)) {
        throw InvalidInputError(sourceName + ": facet " + std::to_string(f + 1) +
                                ": vertex coordinate is not a finite number");
      }
      soup.corners[3 * f + c] = welder.vertexAt(x, y, z);
    }
    soup.facetOffsets[f + 1] = static_cast<std::uint32_t>(3 * (f + 1));
  }
  result.weld = CornerWeld{soup.corners.size(), welder.vertexCount()};
  soup.points = welder.takePoints();
  return result;
}

} // namespace

StlSoup parseStl(std::string_view bytes, const std::string& sourceName) {
  const std::uint64_t binarySize = binarySizeOf(bytes);
  if (binarySize == bytes.size()) {
    return parseBinary(bytes, sourceName);
  }
  if (startsWithSolid(bytes)) {
    try {
      return parseStlText(bytes, sourceName);
    } catch (const InvalidInputError& error) {
      if (binarySize == 0 || !headerLooksBinary(bytes)) {
        throw;
      }
      throw InvalidInputError(std::string(error.what()) +
                              " (read as ASCII STL: it starts with \"solid\", and as binary STL " +
                              sizeNote((binarySize - headerBytes) / facetBytes, bytes.size()) +
                              ")");
    }
  }
  if (binarySize == 0) {
    throw InvalidInputError(sourceName + ": not an STL file: " + std::to_string(bytes.size()) +
                            " bytes are too few for a binary STL (84 at least), and it does not "
                            "start with \"solid\"");
  }
  throw InvalidInputError(sourceName + ": not a valid binary STL: " +
                          sizeNote((binarySize - headerBytes) / facetBytes, bytes.size()));
}

StlSoup readStlSoup(const std::string& path) {
  const MappedFile file(path, "mesh");
  return parseStl(file.text(), path);
}

} // namespace vornel
