#include "mesh/io/PlyBinaryRanges.hpp"

#include "core/PrefaultPages.hpp"
#include "mesh/io/PlyValues.hpp"
#include "mesh/io/TextChunks.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace vornel {
namespace {

/// Walks the records of a binary element from a given offset.
class RecordWalker {
public:
  RecordWalker(std::string_view bytes, PlyFormat format, std::size_t position)
      : bytes_(bytes), format_(format), position_(position) {}

  std::size_t position() const { return position_; }

  /// The start of the next size bytes, or nullptr when the body ends first.
  const char* take(std::uint64_t size) {
    if (bytes_.size() - position_ < size) {
      return nullptr;
    }
    const char* const start = bytes_.data() + position_;
    position_ += static_cast<std::size_t>(size);
    return start;
  }

  /// A list's length; false when it is missing or negative.
  bool listCount(const PlyProperty& property, std::uint64_t& count) {
    const char* const at = take(plyTypeSize(property.countType));
    if (at == nullptr) {
      return false;
    }
    const std::int64_t value = plyBinaryInteger(at, property.countType, format_);
    count = static_cast<std::uint64_t>(value);
    return value >= 0;
  }

  /// Passes over a property; false when the body ends first.
  bool skip(const PlyProperty& property) {
    std::uint64_t count = 1;
    if (property.isList && !listCount(property, count)) {
      return false;
    }
    const std::uint64_t size = plyTypeSize(property.type);
    return count <= (bytes_.size() - position_) / size && take(count * size) != nullptr;
  }

private:
  std::string_view bytes_;
  PlyFormat format_;
  std::size_t position_;
};

/// Where the ranges of a face element's records start: their first record and
/// its offset, then the element's record count and end.
struct FacetRanges {
  std::size_t element = 0;
  std::size_t firstFacet = 0; // the element's first facet in the soup
  std::vector<std::uint64_t> firstRecords;
  std::vector<std::size_t> starts;
};

class BinaryBodyReader {
public:
  BinaryBodyReader(std::string_view bytes, const PlyBodyPlan& plan, std::size_t rangeBytes,
                   PolygonSoup& soup, std::vector<float>* values)
      : bytes_(bytes), plan_(plan), format_(plan.header->format), rangeBytes_(rangeBytes),
        soup_(soup), values_(values) {}

  bool run() {
    std::size_t position = plan_.header->bodyOffset;
    std::size_t vertexStart = 0;
    std::vector<FacetRanges> faces;
    std::uint64_t corners = 0;
    for (std::size_t e = 0; e < plan_.header->elements.size(); ++e) {
      const PlyElement& element = plan_.header->elements[e];
      bool scanned = true;
      if (&element == plan_.vertices) {
        vertexStart = position;
        scanned = skipVertices(position);
      } else if (plan_.faceCorners[e] >= 0) {
        faces.push_back({e, soup_.facetCount(), {}, {}});
        scanned = scanFacets(element, plan_.faceCorners[e], position, faces.back(), corners);
      } else {
        scanned = skipRecords(element, position);
      }
      if (!scanned) {
        return false;
      }
    }
    bool read = readVertices(vertexStart);
    for (const FacetRanges& ranges : faces) {
      read = read && readFacets(ranges);
    }
    return read;
  }

private:
  std::size_t vertexBytes() const {
    std::size_t size = 0;
    for (const PlyProperty& property : plan_.vertices->properties) {
      size += plyTypeSize(property.type);
    }
    return size;
  }

  bool skipVertices(std::size_t& position) const {
    for (const PlyProperty& property : plan_.vertices->properties) {
      if (property.isList) {
        return false;
      }
    }
    const std::uint64_t count = plan_.vertices->count;
    if (count > (bytes_.size() - position) / vertexBytes()) {
      return false;
    }
    position += static_cast<std::size_t>(count) * vertexBytes();
    return true;
  }

  bool skipRecords(const PlyElement& element, std::size_t& position) const {
    RecordWalker walker(bytes_, format_, position);
    for (std::uint64_t r = 0; r < element.count; ++r) {
      for (const PlyProperty& property : element.properties) {
        if (!walker.skip(property)) {
          return false;
        }
      }
    }
    position = walker.position();
    return true;
  }

  // The sequential pass: each facet's corner count, into the offsets, and
  // where each range of records starts: a range ends at the first record end
  // rangeBytes or more after its start, so that ranges hold about as many
  // bytes whatever the lists' lengths.
  bool scanFacets(const PlyElement& element, int cornerProperty, std::size_t& position,
                  FacetRanges& ranges, std::uint64_t& corners) const {
    RecordWalker walker(bytes_, format_, position);
    resizePrefaulted(soup_.facetOffsets, soup_.facetOffsets.size() + element.count);
    std::uint32_t* offset = soup_.facetOffsets.data() + ranges.firstFacet;
    for (std::uint64_t r = 0; r < element.count; ++r) {
      if (r == 0 || walker.position() - ranges.starts.back() >= rangeBytes_) {
        ranges.firstRecords.push_back(r);
        ranges.starts.push_back(walker.position());
      }
      for (std::size_t p = 0; p < element.properties.size(); ++p) {
        const PlyProperty& property = element.properties[p];
        if (static_cast<int>(p) == cornerProperty) {
          std::uint64_t count = 0;
          const RecordWalker before = walker;
          if (!walker.listCount(property, count) || count < 3 ||
              count >= std::numeric_limits<std::uint32_t>::max() - corners) {
            return false;
          }
          corners += count;
          walker = before;
        }
        if (!walker.skip(property)) {
          return false;
        }
      }
      *++offset = static_cast<std::uint32_t>(corners);
    }
    ranges.firstRecords.push_back(element.count);
    ranges.starts.push_back(walker.position());
    position = walker.position();
    return true;
  }

  bool readVertices(std::size_t start) {
    const PlyElement& element = *plan_.vertices;
    const std::size_t count = static_cast<std::size_t>(element.count);
    std::vector<std::size_t> at(element.properties.size() + 1, 0); // each property's offset
    for (std::size_t p = 0; p < element.properties.size(); ++p) {
      at[p + 1] = at[p] + plyTypeSize(element.properties[p].type);
    }
    resizePrefaulted(soup_.points, count);
    if (values_ != nullptr) {
      resizePrefaulted(*values_, count);
    }
    const PlyVertexLayout& layout = plan_.layout;
    const auto value = [&](const char* record, int property) {
      const auto p = static_cast<std::size_t>(property);
      return plyBinaryCoordinate(record + at[p], element.properties[p].type, format_);
    };
    const std::size_t perRange = std::max<std::size_t>(1, rangeBytes_ / at.back());
    return everyRange(count, perRange, [&](std::size_t begin, std::size_t end) {
      for (std::size_t v = begin; v < end; ++v) {
        const char* const record = bytes_.data() + start + v * at.back();
        const Point3 point(value(record, layout.x), value(record, layout.y),
                           value(record, layout.z));
        if (!std::isfinite(point.x()) || !std::isfinite(point.y()) || !std::isfinite(point.z())) {
          return false;
        }
        soup_.points[v] = point;
        if (values_ != nullptr) {
          (*values_)[v] = value(record, layout.value);
          if (!std::isfinite((*values_)[v])) {
            return false;
          }
        }
      }
      return true;
    });
  }

  bool readFacets(const FacetRanges& ranges) {
    const PlyElement& element = plan_.header->elements[ranges.element];
    const auto cornerProperty = static_cast<std::size_t>(plan_.faceCorners[ranges.element]);
    resizePrefaulted(soup_.corners, soup_.facetOffsets.back());
    return everyRange(ranges.starts.size() - 1, 1, [&](std::size_t range, std::size_t) {
      RecordWalker walker(bytes_, format_, ranges.starts[range]);
      for (std::uint64_t f = ranges.firstRecords[range]; f < ranges.firstRecords[range + 1]; ++f) {
        for (std::size_t p = 0; p < element.properties.size(); ++p) {
          const PlyProperty& property = element.properties[p];
          if (p != cornerProperty) {
            walker.skip(property);
            continue;
          }
          std::uint64_t count = 0;
          walker.listCount(property, count);
          std::uint32_t* const corners =
              soup_.corners.data() + soup_.facetOffsets[ranges.firstFacet + f];
          for (std::uint64_t i = 0; i < count; ++i) {
            const std::int64_t corner =
                plyBinaryInteger(walker.take(plyTypeSize(property.type)), property.type, format_);
            if (corner < 0 || static_cast<std::uint64_t>(corner) >= plan_.vertices->count) {
              return false;
            }
            corners[i] = static_cast<std::uint32_t>(corner);
          }
        }
      }
      return true;
    });
  }

  /// Runs read(begin, end) on every range of perRange items of count, on the
  /// threads; true when every range was read.
  template <class Read>
  static bool everyRange(std::size_t count, std::size_t perRange, Read&& read) {
    std::vector<char> done(blockCount(count, perRange), 0);
    forEachBlock(
        count,
        [&](std::size_t begin, std::size_t end, std::size_t range) {
          done[range] = read(begin, end) ? 1 : 0;
        },
        perRange);
    return std::all_of(done.begin(), done.end(), [](char d) { return d != 0; });
  }

  std::string_view bytes_;
  const PlyBodyPlan& plan_;
  PlyFormat format_;
  std::size_t rangeBytes_;
  PolygonSoup& soup_;
  std::vector<float>* values_;
};

} // namespace

bool readPlyBinaryInRanges(std::string_view bytes, const PlyBodyPlan& plan, std::size_t rangeBytes,
                           PolygonSoup& soup, std::vector<float>* values) {
  return BinaryBodyReader(bytes, plan, rangeBytes, soup, values).run();
}

} // namespace vornel
