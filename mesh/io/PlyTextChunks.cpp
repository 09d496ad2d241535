#include "mesh/io/PlyTextChunks.hpp"

#include "core/PrefaultPages.hpp"
#include "mesh/io/FloatWord.hpp"
#include "mesh/io/LineWords.hpp"
#include "mesh/io/PlyValues.hpp"
#include "mesh/io/RecordLineChunks.hpp"

#include <cmath>

namespace vornel {
namespace {

bool readInteger(LineWords& words, PlyType type, std::int64_t& value) {
  std::string_view word;
  return words.next(word) && readPlyIntegerWord(word, type, value) == PlyIntegerWordStatus::Integer;
}

/// A finite number of any type, rounded to float once.
bool readFinite(LineWords& words, PlyType type, float& value) {
  if (isPlyIntegerType(type)) {
    std::int64_t integer = 0;
    if (!readInteger(words, type, integer)) {
      return false;
    }
    value = static_cast<float>(integer);
    return true;
  }
  std::string_view word;
  return words.next(word) && readFloatWord(word, value) == FloatWordStatus::Number &&
         std::isfinite(value);
}

/// Passes over a value, checking an integer against its type.
bool skipValue(LineWords& words, PlyType type) {
  std::int64_t integer = 0;
  std::string_view word;
  return isPlyIntegerType(type) ? readInteger(words, type, integer) : words.next(word);
}

bool readListCount(LineWords& words, const PlyProperty& property, std::int64_t& count) {
  return readInteger(words, property.countType, count) && count >= 0;
}

bool skipProperty(LineWords& words, const PlyProperty& property) {
  if (!property.isList) {
    return skipValue(words, property.type);
  }
  std::int64_t count = 0;
  if (!readListCount(words, property, count)) {
    return false;
  }
  for (std::int64_t i = 0; i < count; ++i) {
    if (!skipValue(words, property.type)) {
      return false;
    }
  }
  return true;
}

class PlyRecordReader {
public:
  PlyRecordReader(const PlyBodyPlan& plan, PolygonSoup& soup, std::vector<float>* values)
      : plan_(plan), soup_(soup), values_(values) {
    std::uint64_t start = 0;
    for (const PlyElement& element : plan.header->elements) {
      elementStarts_.push_back(start);
      start += element.count;
    }
    elementStarts_.push_back(start);
  }

  std::uint64_t recordCount() const { return elementStarts_.back(); }

  bool read(const RecordLine& at, ChunkFacets& facets) const {
    std::size_t e = 0;
    while (at.record >= elementStarts_[e + 1]) {
      ++e;
    }
    const PlyElement& element = plan_.header->elements[e];
    const std::uint64_t index = at.record - elementStarts_[e];
    LineWords words(at.text);
    bool read = false;
    if (&element == plan_.vertices) {
      read = readVertex(words, index);
    } else if (plan_.faceCorners[e] >= 0) {
      read = readFacet(words, element, plan_.faceCorners[e], facets);
      facets.lines.push_back(at.line);
    } else {
      read = skipRecord(words, element);
    }
    return read && words.done();
  }

private:
  bool readVertex(LineWords& words, std::uint64_t index) const {
    const PlyElement& element = *plan_.vertices;
    const PlyVertexLayout& layout = plan_.layout;
    float xyz[3] = {0.0f, 0.0f, 0.0f};
    for (std::size_t p = 0; p < element.properties.size(); ++p) {
      const int property = static_cast<int>(p);
      const int axis = property == layout.x   ? 0
                       : property == layout.y ? 1
                       : property == layout.z ? 2
                                              : -1;
      if (property == layout.value || axis >= 0) {
        float value = 0.0f;
        if (!readFinite(words, element.properties[p].type, value)) {
          return false;
        }
        if (property == layout.value) {
          (*values_)[index] = value;
        }
        if (axis >= 0) {
          xyz[axis] = value;
        }
      } else if (!skipProperty(words, element.properties[p])) {
        return false;
      }
    }
    soup_.points[index] = Point3(xyz[0], xyz[1], xyz[2]);
    return true;
  }

  bool readFacet(LineWords& words, const PlyElement& element, int cornerProperty,
                 ChunkFacets& facets) const {
    for (std::size_t p = 0; p < element.properties.size(); ++p) {
      const PlyProperty& property = element.properties[p];
      if (static_cast<int>(p) != cornerProperty) {
        if (!skipProperty(words, property)) {
          return false;
        }
        continue;
      }
      std::int64_t count = 0;
      if (!readListCount(words, property, count) || count < 3) {
        return false;
      }
      for (std::int64_t i = 0; i < count; ++i) {
        std::int64_t corner = 0;
        if (!readInteger(words, property.type, corner) || corner < 0 ||
            static_cast<std::uint64_t>(corner) >= plan_.vertices->count) {
          return false;
        }
        facets.corners.push_back(static_cast<std::uint32_t>(corner));
      }
      facets.ends.push_back(static_cast<std::uint32_t>(facets.corners.size()));
    }
    return true;
  }

  static bool skipRecord(LineWords& words, const PlyElement& element) {
    for (const PlyProperty& property : element.properties) {
      if (!skipProperty(words, property)) {
        return false;
      }
    }
    return true;
  }

  const PlyBodyPlan& plan_;
  PolygonSoup& soup_;
  std::vector<float>* values_;
  std::vector<std::uint64_t> elementStarts_; // each element's first record, then the total
};

} // namespace

bool readPlyTextInChunks(std::string_view bytes, const PlyBodyPlan& plan, std::size_t chunkBytes,
                         PolygonSoup& soup, std::vector<float>* values) {
  const PlyHeader& header = *plan.header;
  resizePrefaulted(soup.points, static_cast<std::size_t>(plan.vertices->count));
  if (values != nullptr) {
    resizePrefaulted(*values, static_cast<std::size_t>(plan.vertices->count));
  }
  const PlyRecordReader reader(plan, soup, values);
  return readRecordLinesInChunks(
      bytes.substr(header.bodyOffset), header.bodyLine, reader.recordCount(), chunkBytes, true,
      [](std::string_view line) { return hasWord(line); },
      [&](const RecordLine& at, ChunkFacets& facets) { return reader.read(at, facets); }, soup);
}

} // namespace vornel
