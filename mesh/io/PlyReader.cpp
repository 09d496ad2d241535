// The PLY body: records of each element in header order, values either as
// white-space separated text or as packed binary values of the declared sizes.

#include "mesh/io/PlyReader.hpp"

#include "core/Errors.hpp"
#include "core/Parallel.hpp"
#include "core/PrintableText.hpp"
#include "mesh/io/FloatWord.hpp"
#include "mesh/io/MappedFile.hpp"
#include "mesh/io/PlyBinaryRanges.hpp"
#include "mesh/io/PlyBodyPlan.hpp"
#include "mesh/io/PlyHeader.hpp"
#include "mesh/io/PlyTextChunks.hpp"
#include "mesh/io/PlyValues.hpp"
#include "mesh/io/TextLines.hpp"

#include <cmath>
#include <cstdint>
#include <limits>

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
    return plyBinaryInteger(take(plyTypeSize(type)), type, format_);
  }

  /// A coordinate of any type, rounded to float once.
  float readCoordinate(PlyType type) {
    if (isPlyIntegerType(type)) {
      return static_cast<float>(readInteger(type));
    }
    if (format_ == PlyFormat::Ascii) {
      return parseReal(token());
    }
    return plyBinaryCoordinate(take(plyTypeSize(type)), type, format_);
  }

  /// Skips a value; an ASCII integer is still checked against its type.
  void skip(PlyType type) {
    if (format_ == PlyFormat::Ascii) {
      const std::string_view text = token();
      if (isPlyIntegerType(type)) {
        parseInteger(text, type);
      }
    } else {
      take(plyTypeSize(type));
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
      if (!isWordSpace(c)) {
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
      if (isWordSpace(c)) {
        break;
      }
      ++position_;
    }
    if (start == position_) {
      fail("the data end early");
    }
    return bytes_.substr(start, position_ - start);
  }

  std::int64_t parseInteger(std::string_view text, PlyType type) const {
    std::int64_t value = 0;
    const PlyIntegerWordStatus status = readPlyIntegerWord(text, type, value);
    if (status != PlyIntegerWordStatus::Integer) {
      fail(plyIntegerWordProblem(text, type, status));
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

  /// The next size bytes of the body.
  const char* take(std::size_t size) {
    if (bytes_.size() - position_ < size) {
      fail("the data end early");
    }
    const char* const start = bytes_.data() + position_;
    position_ += size;
    return start;
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

void readVertices(BodyCursor& cursor, const PlyElement& element, const PlyVertexLayout& layout,
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

PolygonSoup parsePlyInOnePass(std::string_view bytes, const PlyBodyPlan& plan,
                              const std::string& sourceName, PlyVertexValues* values) {
  const PlyHeader& header = *plan.header;
  PolygonSoup soup;
  soup.firstVertexNumber = 0;
  BodyCursor cursor(bytes, header, sourceName);
  for (const PlyElement& element : header.elements) {
    if (&element == plan.vertices) {
      readVertices(cursor, element, plan.layout, soup, values);
    } else if (element.name == "face") {
      readFacets(cursor, element, plyFaceCornerProperty(element, sourceName), plan.vertices->count,
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

} // namespace

PolygonSoup parsePly(std::string_view bytes, const std::string& sourceName, PlyVertexValues* values,
                     std::size_t chunkBytes) {
  const PlyHeader header = parsePlyHeader(bytes, sourceName);
  const PlyBodyPlan plan =
      plyBodyPlan(header, values != nullptr ? &values->property : nullptr, sourceName);
  if (values != nullptr) {
    values->values.clear();
  }
  // Several chunks, or nothing to share between threads. ASCII chunks cost a
  // fifth more work than one pass (the line count, the facets' copy), so one
  // thread reads them in one pass; binary ranges cost less. A body that the
  // chunks cannot read alone (a fault, records across lines) is read again in
  // one pass, which names the first fault in file order.
  const bool worthChunks = header.format != PlyFormat::Ascii || severalThreads();
  if (bytes.size() - header.bodyOffset >= 2 * chunkBytes && worthChunks && plan.facesReadable()) {
    PolygonSoup soup;
    soup.firstVertexNumber = 0;
    std::vector<float> read;
    std::vector<float>* const readValues = values != nullptr ? &read : nullptr;
    const bool done = header.format == PlyFormat::Ascii
                          ? readPlyTextInChunks(bytes, plan, chunkBytes, soup, readValues)
                          : readPlyBinaryInRanges(bytes, plan, chunkBytes, soup, readValues);
    if (done) {
      if (values != nullptr) {
        values->values = std::move(read);
      }
      return soup;
    }
  }
  return parsePlyInOnePass(bytes, plan, sourceName, values);
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
