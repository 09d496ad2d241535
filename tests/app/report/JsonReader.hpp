#pragma once
// A small JSON reader for the tests of the report's data: enough to walk the
// document the report writes and to read its numbers back exactly.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace vornel::testing {

struct JsonValue {
  enum class Kind { Null, Bool, Number, String, Array, Object };
  Kind kind = Kind::Null;
  bool flag = false;
  double number = 0.0;
  std::string text;
  std::vector<JsonValue> items;
  std::vector<std::pair<std::string, JsonValue>> members;

  /// The member called name; throws std::runtime_error when there is none.
  const JsonValue& operator[](const std::string& name) const;
  const JsonValue& operator[](std::size_t index) const { return items.at(index); }
  std::size_t size() const { return items.size(); }
  std::vector<double> numbers() const;
};

/// Throws std::runtime_error on malformed text.
JsonValue parseJson(const std::string& text);

/// The bytes of base64 text.
std::vector<std::uint8_t> decodeBase64(const std::string& text);

} // namespace vornel::testing
