#pragma once
// The header of a PLY file: its format and the elements with their properties.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vornel {

enum class PlyFormat { Ascii, BinaryLittleEndian, BinaryBigEndian };

enum class PlyType : std::uint8_t { Int8, UInt8, Int16, UInt16, Int32, UInt32, Float32, Float64 };

/// Size of one binary value of the type, in bytes.
std::size_t plyTypeSize(PlyType type);
bool isPlyIntegerType(PlyType type);
/// The type's name in the header ("char", "uchar", ... "double").
const char* plyTypeName(PlyType type);

/// The values an integer type holds.
struct PlyIntegerRange {
  std::int64_t lowest = 0;
  std::int64_t highest = 0;
};
PlyIntegerRange plyIntegerRange(PlyType integerType);

struct PlyProperty {
  std::string name;
  PlyType type = PlyType::Float32; // the entries' type for a list
  bool isList = false;
  PlyType countType = PlyType::UInt8; // lists only
};

struct PlyElement {
  std::string name;
  std::uint64_t count = 0;
  std::vector<PlyProperty> properties;
  std::size_t headerLine = 0; // line of the "element" keyword

  /// The fewest bytes one record can take in the body (lists empty).
  std::uint64_t minimumRecordBytes(PlyFormat format) const;
  /// Index of the named property, or -1.
  int propertyIndex(std::string_view propertyName) const;
};

struct PlyHeader {
  PlyFormat format = PlyFormat::Ascii;
  std::vector<PlyElement> elements;
  std::size_t bodyOffset = 0; // first byte after the "end_header" line
  std::size_t bodyLine = 0;   // line number of the body's first line (ASCII)
};

/// Reads the header (after a UTF-8 byte order mark, if any; lines end at LF,
/// CR LF or a lone CR). Throws InvalidInputError naming "sourceName:line" for a
/// malformed header, and rejects element counts that the rest of the file
/// cannot hold, so that nothing is allocated for counts the file cannot back.
PlyHeader parsePlyHeader(std::string_view bytes, const std::string& sourceName);

} // namespace vornel
