// Reading the attribute file. The file is mapped and read only as far as the
// values needed plus a bounded tail, so that a huge or endless file cannot
// hold a run up.

#include "mesh/io/AttributeFile.hpp"

#include "core/Errors.hpp"
#include "core/PrintableText.hpp"
#include "mesh/LabeledMesh.hpp"
#include "mesh/io/FloatWord.hpp"
#include "mesh/io/MappedFile.hpp"
#include "mesh/io/TextLines.hpp"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

namespace vornel {
namespace {

// Words after the values needed are counted in at most this many bytes.
constexpr std::size_t tailBytes = std::size_t{1} << 20;

bool isSpace(char c) {
  return c == ' ' || c == '\n' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

class AttributeParser {
public:
  AttributeParser(std::string_view text, const std::string& path) : text_(text), path_(path) {}

  AttributeValues run(std::size_t wanted) {
    AttributeValues result;
    // Each value but the last takes at least two bytes: a short file must not
    // reserve room for a huge count it cannot hold.
    result.values.reserve(std::min(wanted, text_.size() / 2 + 1));
    while (result.values.size() < wanted) {
      const std::string_view token = nextToken();
      if (token.empty()) {
        throw InvalidInputError(path_ + " holds " + std::to_string(result.values.size()) +
                                " values; the mesh has " + std::to_string(wanted) + " vertices");
      }
      result.values.push_back(convert(token, result.values.size() + 1));
    }
    countTail(result);
    return result;
  }

private:
  /// The next word, or an empty view at the end; counts the lines passed.
  std::string_view nextToken() {
    while (position_ < text_.size() && isSpace(text_[position_])) {
      line_ += endsLine(text_, position_) ? 1 : 0;
      ++position_;
    }
    const std::size_t first = position_;
    while (position_ < text_.size() && !isSpace(text_[position_])) {
      ++position_;
    }
    return text_.substr(first, position_ - first);
  }

  float convert(std::string_view token, std::size_t number) const {
    float value = 0.0f;
    const FloatWordStatus status = readFloatWord(token, value);
    if (status != FloatWordStatus::Number) {
      throw InvalidInputError(
          path_ + ":" + std::to_string(line_) + ": value " + std::to_string(number) + " " +
          quotedWord(token) +
          (status == FloatWordStatus::NotFinite ? " is not a finite number" : " is not a number"));
    }
    return value;
  }

  void countTail(AttributeValues& result) {
    const std::size_t limit = position_ + std::min(tailBytes, text_.size() - position_);
    bool inWord = false;
    for (; position_ < limit; ++position_) {
      const bool space = isSpace(text_[position_]);
      result.extra += (!space && !inWord) ? 1 : 0;
      inWord = !space;
    }
    result.extraIsLowerBound = position_ < text_.size();
  }

  std::string_view text_;
  const std::string& path_;
  std::size_t position_ = 0;
  std::uint64_t line_ = 1;
};

} // namespace

AttributeValues readAttributeFile(const std::string& path, std::size_t count) {
  const MappedFile file(path, "attribute file", false);
  return AttributeParser(withoutByteOrderMark(file.text()), path).run(count);
}

std::string describeExtraValues(const std::string& path, const AttributeValues& values) {
  return path + " holds " + (values.extraIsLowerBound ? "at least " : "") +
         std::to_string(values.extra) + " more values than the mesh has vertices; they are ignored";
}

std::size_t readMeshAttributes(LabeledMesh& mesh, const std::string& path) {
  const std::size_t vertices = mesh.vertexCount();
  if (vertices == 0) {
    throw InvalidInputError("cannot read attribute file " + path + ": the mesh has no vertices");
  }
  const AttributeValues parsed = readAttributeFile(path, vertices);
  mesh.attributeMin = 1000.0;
  mesh.attributeMax = -1000.0;
  auto value = parsed.values.begin();
  for (auto v = mesh.surface.vertices_begin(); v != mesh.surface.vertices_end(); ++v, ++value) {
    v->attribute = static_cast<double>(*value);
    if (v->attribute < mesh.attributeMin) {
      mesh.attributeMin = v->attribute;
    }
    if (mesh.attributeMax < v->attribute) {
      mesh.attributeMax = v->attribute;
    }
  }
  return parsed.extra;
}

} // namespace vornel
