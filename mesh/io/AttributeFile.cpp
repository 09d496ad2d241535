// Reading the attribute file. The file is mapped and read only as far as the
// values needed plus a bounded tail, so that a huge or endless file cannot
// hold a run up.

#include "mesh/io/AttributeFile.hpp"

#include "core/Errors.hpp"
#include "mesh/LabeledMesh.hpp"
#include "mesh/io/MappedFile.hpp"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <system_error>

namespace vornel {
namespace {

// Words after the values needed are counted in at most this many bytes.
constexpr std::size_t tailBytes = std::size_t{1} << 20;

bool isSpace(char c) {
  return c == ' ' || c == '\n' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

enum class TokenStatus { Number, NotANumber, NotFinite };

/// Converts one whole token with the rounding of strtof.
TokenStatus parseToken(const char* first, const char* last, float& value) {
  const char* body = first;
  if (*body == '+' || *body == '-') {
    ++body;
  }
  if (body == last || *body == '+' || *body == '-') {
    return TokenStatus::NotANumber;
  }
  const bool hex = body + 1 < last && body[0] == '0' && (body[1] == 'x' || body[1] == 'X');
  if (!hex) {
    const auto [end, ec] = std::from_chars(body, last, value, std::chars_format::general);
    if (ec == std::errc() && end == last) {
      if (!std::isfinite(value)) {
        return TokenStatus::NotFinite;
      }
      value = (*first == '-') ? -value : value;
      return TokenStatus::Number;
    }
    if (ec != std::errc::result_out_of_range) {
      return TokenStatus::NotANumber;
    }
  }
  // Hexadecimal forms and values beyond the float range: let strtof decide
  // (underflow rounds towards zero as "%f" does; overflow gives infinity).
  // The mapped text has no terminating zero: convert a copy of the token.
  const std::string token(first, last);
  char* end = nullptr;
  value = std::strtof(token.c_str(), &end);
  if (end != token.c_str() + token.size()) {
    return TokenStatus::NotANumber;
  }
  return std::isfinite(value) ? TokenStatus::Number : TokenStatus::NotFinite;
}

/// The token as shown in a message: at most 40 bytes, control bytes as '?'.
std::string quoted(const char* first, const char* last) {
  constexpr std::ptrdiff_t shown = 40;
  const bool cut = last - first > shown;
  std::string text(first, cut ? first + shown : last);
  for (char& c : text) {
    c = (static_cast<unsigned char>(c) < 0x20) ? '?' : c;
  }
  return "'" + text + (cut ? "...'" : "'");
}

class AttributeParser {
public:
  AttributeParser(std::string_view text, const std::string& path) : text_(text), path_(path) {}

  AttributeValues run(std::size_t wanted) {
    AttributeValues result;
    result.values.reserve(wanted);
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
      line_ += text_[position_] == '\n' ? 1 : 0;
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
    const TokenStatus status = parseToken(token.data(), token.data() + token.size(), value);
    if (status != TokenStatus::Number) {
      throw InvalidInputError(
          path_ + ":" + std::to_string(line_) + ": value " + std::to_string(number) + " " +
          quoted(token.data(), token.data() + token.size()) +
          (status == TokenStatus::NotFinite ? " is not a finite number" : " is not a number"));
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
  return AttributeParser(file.text(), path).run(count);
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
