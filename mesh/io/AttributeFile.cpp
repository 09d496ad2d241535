// Reading the attribute file: one number per vertex in vertex order, in the
// syntax of the C library's "%f" conversion, separated by any white space.
// Each number is rounded to float and widened to the vertex's double field.

#include "mesh/Errors.hpp"
#include "mesh/LabeledMesh.hpp"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

namespace vornel {
namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

/// The whole file followed by one terminating zero byte.
std::vector<char> readWholeFile(const std::string& path) {
  const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) {
    throw IOError("cannot open attribute file " + path + ": " + std::strerror(errno));
  }
  std::vector<char> text;
  constexpr std::size_t chunk = std::size_t{1} << 20;
  std::size_t used = 0;
  for (;;) {
    text.resize(used + chunk);
    const std::size_t got = std::fread(text.data() + used, 1, chunk, file.get());
    used += got;
    if (got < chunk) {
      break;
    }
  }
  if (std::ferror(file.get()) != 0) {
    throw IOError("cannot read attribute file " + path + ": " + std::strerror(errno));
  }
  text.resize(used);
  text.push_back('\0');
  return text;
}

bool isSpace(char c) {
  return c == ' ' || c == '\n' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

enum class TokenStatus { Number, NotANumber, NotFinite };

/// Converts one whole token with the rounding of strtof. The token is followed
/// by white space or the terminating zero, so strtof may read it in place.
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
  char* end = nullptr;
  value = std::strtof(first, &end);
  if (end != last) {
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

/// Every number of the text; values beyond the first `wanted` are checked and
/// counted but not kept.
struct ParsedValues {
  std::vector<float> values;
  std::size_t extra = 0;
};

ParsedValues parseValues(const std::vector<char>& text, const std::string& path,
                         std::size_t wanted) {
  ParsedValues parsed;
  parsed.values.reserve(wanted);
  std::uint64_t line = 1;
  const char* p = text.data();
  const char* const end = text.data() + text.size() - 1;
  while (p != end) {
    if (isSpace(*p)) {
      line += (*p == '\n') ? 1 : 0;
      ++p;
      continue;
    }
    const char* const first = p;
    while (p != end && !isSpace(*p) && *p != '\0') {
      ++p;
    }
    if (p == first) { // a zero byte inside the file
      ++p;
    }
    float value = 0.0f;
    const TokenStatus status = parseToken(first, p, value);
    if (status != TokenStatus::Number) {
      const std::size_t number = parsed.values.size() + parsed.extra + 1;
      throw InvalidInputError(path + ":" + std::to_string(line) + ": value " +
                              std::to_string(number) + " " + quoted(first, p) +
                              (status == TokenStatus::NotFinite ? " is not a finite number"
                                                                : " is not a number"));
    }
    if (parsed.values.size() < wanted) {
      parsed.values.push_back(value);
    } else {
      ++parsed.extra;
    }
  }
  return parsed;
}

} // namespace

std::size_t LabeledMesh::readAttributes(const std::string& path) {
  const std::size_t vertices = vertexCount();
  if (vertices == 0) {
    throw InvalidInputError("cannot read attribute file " + path + ": the mesh has no vertices");
  }
  const ParsedValues parsed = parseValues(readWholeFile(path), path, vertices);
  if (parsed.values.size() < vertices) {
    throw InvalidInputError(path + " holds " + std::to_string(parsed.values.size()) +
                            " values; the mesh has " + std::to_string(vertices) + " vertices");
  }
  attributeMin = 1000.0;
  attributeMax = -1000.0;
  auto value = parsed.values.begin();
  for (auto v = surface.vertices_begin(); v != surface.vertices_end(); ++v, ++value) {
    v->attribute = static_cast<double>(*value);
    if (v->attribute < attributeMin) {
      attributeMin = v->attribute;
    }
    if (attributeMax < v->attribute) {
      attributeMax = v->attribute;
    }
  }
  return parsed.extra;
}

} // namespace vornel
