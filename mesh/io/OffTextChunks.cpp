#include "mesh/io/OffTextChunks.hpp"

#include "core/PrefaultPages.hpp"
#include "mesh/io/LineWords.hpp"
#include "mesh/io/RecordLineChunks.hpp"

#include <charconv>
#include <cmath>
#include <cstdint>

namespace vornel {
namespace {

/// Reads a word of the plain decimal form ([sign] digits [. digits]
/// [e [sign] digits]) as a double, correctly rounded as the one-pass reader's
/// stream extraction rounds it. Other forms, which that extraction may read
/// differently or in part, are refused.
bool readDecimal(LineWords& words, double& value) {
  std::string_view word;
  if (!words.next(word)) {
    return false;
  }
  const bool negative = word[0] == '-';
  if (word[0] == '-' || word[0] == '+') {
    word.remove_prefix(1);
  }
  if (word.empty() || !(word[0] == '.' || (word[0] >= '0' && word[0] <= '9'))) {
    return false;
  }
  const auto result =
      std::from_chars(word.data(), word.data() + word.size(), value, std::chars_format::general);
  if (result.ec != std::errc() || result.ptr != word.data() + word.size()) {
    return false;
  }
  value = negative ? -value : value;
  return true;
}

/// A whole number in [0, limit).
bool readCount(LineWords& words, double limit, std::size_t& count) {
  double value = 0.0;
  if (!readDecimal(words, value) || !(value > -1.0 && value < limit) ||
      std::floor(value) != value) {
    return false;
  }
  count = static_cast<std::size_t>(value);
  return true;
}

bool isRecordLine(std::string_view line) {
  for (const char c : line) {
    if (!isWordSpace(c)) {
      return c != '#';
    }
  }
  return false;
}

class OffRecordLines {
public:
  OffRecordLines(std::size_t vertexCount, PolygonSoup& soup)
      : vertexCount_(vertexCount), soup_(soup) {}

  bool read(const RecordLine& at, ChunkFacets& facets) const {
    const std::string_view text = at.text.substr(0, at.text.find('#'));
    LineWords words(text);
    return at.record < vertexCount_ ? readVertex(words, at.record) : readFacet(words, facets);
  }

private:
  bool readVertex(LineWords& words, std::uint64_t index) const {
    double xyz[3] = {0.0, 0.0, 0.0};
    for (double& coordinate : xyz) {
      if (!readDecimal(words, coordinate)) {
        return false;
      }
    }
    // Rounded from double to float, as the one-pass reader's point type does.
    const Point3 point(static_cast<float>(xyz[0]), static_cast<float>(xyz[1]),
                       static_cast<float>(xyz[2]));
    if (!std::isfinite(point.x()) || !std::isfinite(point.y()) || !std::isfinite(point.z())) {
      return false;
    }
    soup_.points[index] = point;
    return true;
  }

  bool readFacet(LineWords& words, ChunkFacets& facets) const {
    constexpr double countLimit = 0x1p32;
    std::size_t count = 0;
    if (!readCount(words, countLimit, count) || count < 3) {
      return false;
    }
    for (std::size_t i = 0; i < count; ++i) {
      std::size_t corner = 0;
      if (!readCount(words, static_cast<double>(vertexCount_), corner)) {
        return false;
      }
      facets.corners.push_back(static_cast<std::uint32_t>(corner));
    }
    facets.ends.push_back(static_cast<std::uint32_t>(facets.corners.size()));
    return true;
  }

  std::size_t vertexCount_;
  PolygonSoup& soup_;
};

} // namespace

bool readOffTextInChunks(std::string_view body, std::size_t vertexCount, std::size_t facetCount,
                         std::size_t chunkBytes, PolygonSoup& soup) {
  resizePrefaulted(soup.points, vertexCount);
  const OffRecordLines records(vertexCount, soup);
  return readRecordLinesInChunks(
      body, 1, vertexCount + facetCount, chunkBytes, false, isRecordLine,
      [&](const RecordLine& at, ChunkFacets& facets) { return records.read(at, facets); }, soup);
}

} // namespace vornel
