// The PLY body: records of each element in header order, values either as
// white-space separated text or as packed binary values of the declared sizes.

#include "mesh/io/PlyReader.hpp"

#include "core/Errors.hpp"
#include "core/PrintableText.hpp"
#include "mesh/io/FloatWord.hpp"
#include "mesh/io/MappedFile.hpp"
#include "mesh/io/PlyHeader.hpp"
#include "mesh/io/TextLines.hpp"
#include "mesh/io/VertexPropertyError.hpp"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>

namespace vornel {
namespace {

/// Reads the values of the body one by one, in either encoding.
class BodyCursor {
public:
  BodyCursor(std::string_view bytes, const PlyHeader& header, const std::string& sourceName)
      : bytes_(bytes), format_(header.format), position_(header.bodyOffset), line_(header.bodyLine),
        sourceName_(sourceName) {}

  /// Notes the record being read, for messages.
  void startRecord(const std::string& element, std::uint64_t index) {
    if (format_ == PlyFormat::Ascii) {
      skipSpace();
    }
    recordElement_ = &element;
    recordIndex_ = index;
    recordLine_ = line_;
  }
  std::size_t line() const { return line_; }

  /// Names the line (ASCII) or the record (binary) being read.
  [[noreturn]] void fail(const std::string& reason) const {
    if (format_ == PlyFormat::Ascii) {
      throw InvalidInputError(sourceName_ + ":" + std::to_string(recordLine_) + ": " + reason);
    }
    throw InvalidInputError(sourceName_ + ": " + printableText(*recordElement_) + " " +
                            std::to_string(recordIndex_ + 1) + ": " + reason);
  }

  std::int64_t readInteger(PlyType type) {
    if (format_ == PlyFormat::Ascii) {
      return parseInteger(token(), type);
    }
    const std::uint64_t raw = readRaw(plyTypeSize(type));
    switch (type) {
    case PlyType::Int8:
      return static_cast<std::int8_t>(raw);
    case PlyType::Int16:
      return static_cast<std::int16_t>(raw);
    case PlyType::Int32:
      return static_cast<std::int32_t>(raw);
    default:
      return static_cast<std::int64_t>(raw);
    }
  }

  /// A coordinate of any type, rounded to float once.
  float readCoordinate(PlyType type) {
    if (isPlyIntegerType(type)) {
      return static_cast<float>(readInteger(type));
    }
    if (format_ == PlyFormat::Ascii) {
      return parseReal(token());
    }
    const std::uint64_t raw = readRaw(plyTypeSize(type));
    if (type == PlyType::Float32) {
      const auto bits = static_cast<std::uint32_t>(raw);
      float value = 0.0f;
      std::memcpy(&value, &bits, sizeof value);
      return value;
    }
    double value = 0.0;
    std::memcpy(&value, &raw, sizeof value);
    return static_cast<float>(value);
  }

  /// Skips a value; an ASCII integer is still checked against its type.
  void skip(PlyType type) {
    if (format_ == PlyFormat::Ascii) {
      const std::string_view text = token();
      if (isPlyIntegerType(type)) {
        parseInteger(text, type);
      }
    } else {
      readRaw(plyTypeSize(type));
    }
  }

  /// A list's entry count, checked to be non-negative and to fit what is left.
  std::uint64_t readListCount(const PlyProperty& property) {
    const std::int64_t count = readInteger(property.countType);
    if (count < 0) {
      fail("negative list length " + std::to_string(count));
    }
    const std::uint64_t entryBytes = format_ == PlyFormat::Ascii ? 1 : plyTypeSize(property.type);
    if (static_cast<std::uint64_t>(count) > (bytes_.size() - position_) / entryBytes + 1) {
      fail("list length " + std::to_string(count) + " runs past the end of the file");
    }
    return static_cast<std::uint64_t>(count);
  }

private:
  void skipSpace() {
    while (position_ < bytes_.size()) {
      const char c = bytes_[position_];
      if (c != ' ' && c != '\n' && c != '\t' && c != '\r' && c != '\v' && c != '\f') {
        return;
      }
      line_ += endsLine(bytes_, position_) ? 1 : 0;
      ++position_;
    }
  }

  std::string_view token() {
    skipSpace();
    const std::size_t start = position_;
    while (position_ < bytes_.size()) {
      const char c = bytes_[position_];
      if (c == ' ' || c == '\n' || c == '\t' || c == '\r' || c == '\v' || c == '\f') {
        break;
      }
      ++position_;
    }
    if (start == position_) {
      fail("the data end early");
    }
    return bytes_.substr(start, position_ - start);
  }

  /// A decimal integer with an optional sign ('+' as C's number reading
  /// allows it), within the range of its declared type.
  std::int64_t parseInteger(std::string_view text, PlyType type) const {
    const std::string_view digits =
        text.size() > 1 && text[0] == '+' && text[1] != '-' ? text.substr(1) : text;
    std::int64_t value = 0;
    const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (result.ptr != digits.data() + digits.size() ||
        (result.ec != std::errc() && result.ec != std::errc::result_out_of_range)) {
      fail("\"" + printableText(text) + "\" is not an integer");
    }
    const PlyIntegerRange range = plyIntegerRange(type);
    if (result.ec != std::errc() || value < range.lowest || value > range.highest) {
      fail(std::string(text) + " is outside the range of " + plyTypeName(type) + " (" +
           std::to_string(range.lowest) + " to " + std::to_string(range.highest) + ")");
    }
    return value;
  }

  /// A real number of either type, rounded from the text to float once, as
  /// the attribute file's values are (not or not finite: left to the caller).
  float parseReal(std::string_view text) const {
    float value = 0.0f;
    if (readFloatWord(text, value) == FloatWordStatus::NotANumber) {
      fail("\"" + printableText(text) + "\" is not a number");
    }
    return value;
  }

  /// size bytes as an unsigned number in the file's byte order.
  std::uint64_t readRaw(std::size_t size) {
    if (bytes_.size() - position_ < size) {
      fail("the data end early");
    }
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < size; ++i) {
      const std::size_t k = format_ == PlyFormat::BinaryLittleEndian ? size - 1 - i : i;
      value = (value << 8) | static_cast<unsigned char>(bytes_[position_ + k]);
    }
    position_ += size;
    return value;
  }

  std::string_view bytes_;
  PlyFormat format_;
  std::size_t position_;
  std::size_t line_;
  const std::string& sourceName_;
  const std::string* recordElement_ = nullptr;
  std::uint64_t recordIndex_ = 0;
  std::size_t recordLine_ = 0;
};

/// Where the wanted properties sit in their element.
struct VertexLayout {
  int x = -1, y = -1, z = -1;
  int value = -1; // the property read as each vertex's value, when asked for
};

VertexLayout vertexLayout(const PlyElement& element, const std::string& sourceName) {
  VertexLayout layout{element.propertyIndex("x"), element.propertyIndex("y"),
                      element.propertyIndex("z")};
  for (const int index : {layout.x, layout.y, layout.z}) {
    if (index < 0 || element.properties[static_cast<std::size_t>(index)].isList) {
      throw InvalidInputError(sourceName + ":" + std::to_string(element.headerLine) +
                              ": the vertex element needs scalar properties x, y and z");
    }
  }
  return layout;
}

int faceCornerProperty(const PlyElement& element, const std::string& sourceName) {
  int index = element.propertyIndex("vertex_indices");
  if (index < 0) {
    index = element.propertyIndex("vertex_index");
  }
  const std::string place = sourceName + ":" + std::to_string(element.headerLine);
  if (index < 0 || !element.properties[static_cast<std::size_t>(index)].isList) {
    throw InvalidInputError(place + ": the face element needs a vertex_indices list");
  }
  if (!isPlyIntegerType(element.properties[static_cast<std::size_t>(index)].type)) {
    throw InvalidInputError(place + ": vertex_indices must hold integers");
  }
  return index;
}

void skipProperty(BodyCursor& cursor, const PlyProperty& property) {
  if (!property.isList) {
    cursor.skip(property.type);
    return;
  }
  const std::uint64_t count = cursor.readListCount(property);
  for (std::uint64_t i = 0; i < count; ++i) {
    cursor.skip(property.type);
  }
}

/// The index of the vertex property to read as values. Throws VertexPropertyError,
/// listing the vertex properties the file has, when it is missing or a list.
int valueProperty(const PlyElement& element, const std::string& name,
                  const std::string& sourceName) {
  const int index = element.propertyIndex(name);
  std::string available;
  for (const PlyProperty& property : element.properties) {
    available += (available.empty() ? "" : ", ") + printableText(property.name) +
                 (property.isList ? " (list)" : "");
  }
  if (index < 0) {
    throw VertexPropertyError(sourceName + " has no vertex property \"" + name +
                              "\"; its vertex properties are: " + available);
  }
  if (element.properties[static_cast<std::size_t>(index)].isList) {
    throw VertexPropertyError(
        "the vertex property \"" + name + "\" of " + sourceName +
        " is a list; a scalar property is needed (the vertex properties are: " + available + ")");
  }
  return index;
}

void readVertices(BodyCursor& cursor, const PlyElement& element, const VertexLayout& layout,
                  PolygonSoup& soup, PlyVertexValues* values) {
  soup.points.reserve(static_cast<std::size_t>(element.count));
  if (values != nullptr) {
    values->values.reserve(static_cast<std::size_t>(element.count));
  }
  float xyz[3] = {0.0f, 0.0f, 0.0f};
  for (std::uint64_t v = 0; v < element.count; ++v) {
    cursor.startRecord(element.name, v);
    for (std::size_t p = 0; p < element.properties.size(); ++p) {
      const int index = static_cast<int>(p);
      const int axis = index == layout.x ? 0 : index == layout.y ? 1 : index == layout.z ? 2 : -1;
      if (index == layout.value) {
        // Read like a coordinate: rounded to float once, as the attribute file's values are.
        const float value = cursor.readCoordinate(element.properties[p].type);
        if (!std::isfinite(value)) {
          cursor.fail("vertex property " + values->property + " is not a finite number");
        }
        values->values.push_back(value);
        if (axis >= 0) {
          xyz[axis] = value;
        }
      } else if (axis < 0) {
        skipProperty(cursor, element.properties[p]);
      } else {
        xyz[axis] = cursor.readCoordinate(element.properties[p].type);
        if (!std::isfinite(xyz[axis])) {
          cursor.fail("vertex coordinate is not a finite number");
        }
      }
    }
    soup.points.emplace_back(xyz[0], xyz[1], xyz[2]);
  }
}

void readFacetCorners(BodyCursor& cursor, const PlyProperty& property, std::uint64_t vertexCount,
                      PolygonSoup& soup) {
  const std::uint64_t count = cursor.readListCount(property);
  if (count < 3) {
    cursor.fail("facet has " + std::to_string(count) + " corners; at least 3 are needed");
  }
  if (soup.corners.size() + count > std::numeric_limits<std::uint32_t>::max()) {
    cursor.fail("too many facet corners");
  }
  for (std::uint64_t i = 0; i < count; ++i) {
    const std::int64_t corner = cursor.readInteger(property.type);
    if (corner < 0 || static_cast<std::uint64_t>(corner) >= vertexCount) {
      cursor.fail("facet corner " + std::to_string(corner) + " is outside the " +
                  std::to_string(vertexCount) + " vertices (numbered from 0)");
    }
    soup.corners.push_back(static_cast<std::uint32_t>(corner));
  }
  soup.facetOffsets.push_back(static_cast<std::uint32_t>(soup.corners.size()));
}

void readFacets(BodyCursor& cursor, const PlyElement& element, int cornerProperty,
                std::uint64_t vertexCount, bool ascii, PolygonSoup& soup) {
  soup.facetOffsets.reserve(static_cast<std::size_t>(element.count) + 1);
  for (std::uint64_t f = 0; f < element.count; ++f) {
    cursor.startRecord(element.name, f);
    if (ascii) {
      soup.facetLines.push_back(cursor.line());
    }
    for (std::size_t p = 0; p < element.properties.size(); ++p) {
      if (static_cast<int>(p) == cornerProperty) {
        readFacetCorners(cursor, element.properties[p], vertexCount, soup);
      } else {
        skipProperty(cursor, element.properties[p]);
      }
    }
  }
}

const PlyElement* findElement(const PlyHeader& header, const std::string& name) {
  for (const PlyElement& element : header.elements) {
    if (element.name == name) {
      return &element;
    }
  }
  return nullptr;
}

} // namespace

PolygonSoup parsePly(std::string_view bytes, const std::string& sourceName,
                     PlyVertexValues* values) {
  const PlyHeader header = parsePlyHeader(bytes, sourceName);
  const PlyElement* const vertices = findElement(header, "vertex");
  if (vertices == nullptr) {
    throw InvalidInputError(sourceName + ": the PLY file has no vertex element");
  }
  if (vertices->count > std::numeric_limits<std::uint32_t>::max()) {
    throw InvalidInputError(sourceName + ": too many vertices");
  }
  VertexLayout layout = vertexLayout(*vertices, sourceName);
  if (values != nullptr) {
    layout.value = valueProperty(*vertices, values->property, sourceName);
    values->values.clear();
  }
  PolygonSoup soup;
  soup.firstVertexNumber = 0;
  BodyCursor cursor(bytes, header, sourceName);
  for (const PlyElement& element : header.elements) {
    if (&element == vertices) {
      readVertices(cursor, element, layout, soup, values);
    } else if (element.name == "face") {
      readFacets(cursor, element, faceCornerProperty(element, sourceName), vertices->count,
                 header.format == PlyFormat::Ascii, soup);
    } else {
      for (std::uint64_t r = 0; r < element.count; ++r) {
        cursor.startRecord(element.name, r);
        for (const PlyProperty& property : element.properties) {
          skipProperty(cursor, property);
        }
      }
    }
  }
  return soup;
}

PolygonSoup readPlySoup(const std::string& path, PlyVertexValues* values) {
  PolygonSoup soup;
  {
    const MappedFile file(path, "mesh");
    soup = parsePly(file.text(), path, values);
  }
  soup.corners.shrink_to_fit();
  return soup;
}

} // namespace vornel
