#include "app/report/JsonWriter.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace vornel {

void JsonWriter::separate() {
  if (needsComma_)
    text_.push_back(',');
  needsComma_ = true;
}

JsonWriter& JsonWriter::beginObject() {
  separate();
  text_.push_back('{');
  needsComma_ = false;
  return *this;
}

JsonWriter& JsonWriter::endObject() {
  text_.push_back('}');
  needsComma_ = true;
  return *this;
}

JsonWriter& JsonWriter::beginArray() {
  separate();
  text_.push_back('[');
  needsComma_ = false;
  return *this;
}

JsonWriter& JsonWriter::endArray() {
  text_.push_back(']');
  needsComma_ = true;
  return *this;
}

JsonWriter& JsonWriter::key(const std::string& name) {
  value(name);
  text_.push_back(':');
  needsComma_ = false;
  return *this;
}

JsonWriter& JsonWriter::value(const std::string& text) {
  separate();
  text_.push_back('"');
  std::size_t plainFrom = 0; // characters are copied in runs that need no escape
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const auto byte = static_cast<unsigned char>(c);
    const bool quoted = c == '"' || c == '\\';
    if (!quoted && byte >= 0x20 && c != '<' && c != '>' && c != '&')
      continue;
    text_.append(text, plainFrom, i - plainFrom);
    plainFrom = i + 1;
    if (quoted) {
      text_.push_back('\\');
      text_.push_back(c);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      text_ += escaped;
    }
  }
  text_.append(text, plainFrom, std::string::npos);
  text_.push_back('"');
  return *this;
}

JsonWriter& JsonWriter::value(double number) {
  if (!std::isfinite(number))
    return null();
  separate();
  char digits[32];
  const auto result = std::to_chars(digits, digits + sizeof digits, number);
  text_.append(digits, result.ptr);
  return *this;
}

JsonWriter& JsonWriter::value(std::int64_t number) {
  separate();
  text_ += std::to_string(number);
  return *this;
}

JsonWriter& JsonWriter::value(bool flag) {
  separate();
  text_ += flag ? "true" : "false";
  return *this;
}

JsonWriter& JsonWriter::null() {
  separate();
  text_ += "null";
  return *this;
}

JsonWriter& JsonWriter::array(const std::vector<std::string>& texts) {
  beginArray();
  for (const std::string& text : texts)
    value(text);
  return endArray();
}

} // namespace vornel
