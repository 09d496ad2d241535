#include "app/report/JsonReader.hpp"

#include <cctype>
#include <cstdlib>
#include <stdexcept>

namespace vornel::testing {

namespace {

class Parser {
public:
  explicit Parser(const std::string& text) : text_(text) {}

  JsonValue document() {
    JsonValue value = parseValue();
    skipSpace();
    if (at_ != text_.size())
      fail("text after the document");
    return value;
  }

private:
  [[noreturn]] void fail(const std::string& what) const {
    throw std::runtime_error("JSON: " + what + " at offset " + std::to_string(at_));
  }

  void skipSpace() {
    while (at_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[at_])))
      ++at_;
  }

  bool consume(char c) {
    skipSpace();
    if (at_ < text_.size() && text_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }

  void expect(char c) {
    if (!consume(c))
      fail(std::string("expected '") + c + "'");
  }

  bool consumeWord(const std::string& word) {
    if (text_.compare(at_, word.size(), word) != 0)
      return false;
    at_ += word.size();
    return true;
  }

  std::string parseString() {
    expect('"');
    std::string result;
    while (at_ < text_.size() && text_[at_] != '"') {
      char c = text_[at_++];
      if (c == '\\') {
        const char escape = text_.at(at_++);
        if (escape == 'u') {
          const unsigned code = std::stoul(text_.substr(at_, 4), nullptr, 16);
          at_ += 4;
          if (code > 0x7F)
            fail("non-ASCII escape");
          c = static_cast<char>(code);
        } else {
          c = escape == 'n' ? '\n' : escape == 't' ? '\t' : escape;
        }
      }
      result.push_back(c);
    }
    expect('"');
    return result;
  }

  JsonValue parseValue() {
    skipSpace();
    JsonValue value;
    if (at_ >= text_.size())
      fail("unexpected end");
    const char c = text_[at_];
    if (c == '{') {
      value.kind = JsonValue::Kind::Object;
      ++at_;
      if (consume('}'))
        return value;
      do {
        skipSpace();
        std::string name = parseString();
        expect(':');
        value.members.emplace_back(std::move(name), parseValue());
      } while (consume(','));
      expect('}');
    } else if (c == '[') {
      value.kind = JsonValue::Kind::Array;
      ++at_;
      if (consume(']'))
        return value;
      do
        value.items.push_back(parseValue());
      while (consume(','));
      expect(']');
    } else if (c == '"') {
      value.kind = JsonValue::Kind::String;
      value.text = parseString();
    } else if (consumeWord("true") || consumeWord("false")) {
      value.kind = JsonValue::Kind::Bool;
      value.flag = c == 't';
    } else if (consumeWord("null")) {
      value.kind = JsonValue::Kind::Null;
    } else {
      char* end = nullptr;
      value.kind = JsonValue::Kind::Number;
      value.number = std::strtod(text_.c_str() + at_, &end);
      if (end == text_.c_str() + at_)
        fail("unexpected character");
      at_ = static_cast<std::size_t>(end - text_.c_str());
    }
    return value;
  }

  const std::string& text_;
  std::size_t at_ = 0;
};

} // namespace

const JsonValue& JsonValue::operator[](const std::string& name) const {
  for (const auto& member : members)
    if (member.first == name)
      return member.second;
  throw std::runtime_error("JSON: no member \"" + name + "\"");
}

std::vector<double> JsonValue::numbers() const {
  std::vector<double> result;
  for (const JsonValue& item : items)
    result.push_back(item.number);
  return result;
}

JsonValue parseJson(const std::string& text) {
  return Parser(text).document();
}

std::vector<std::uint8_t> decodeBase64(const std::string& text) {
  const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::vector<std::uint8_t> bytes;
  std::uint32_t group = 0;
  int bits = 0;
  for (const char c : text) {
    if (c == '=')
      break;
    const std::size_t digit = alphabet.find(c);
    if (digit == std::string::npos)
      throw std::runtime_error("base64: bad character");
    group = (group << 6) | static_cast<std::uint32_t>(digit);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      bytes.push_back(static_cast<std::uint8_t>(group >> bits));
    }
  }
  return bytes;
}

} // namespace vornel::testing
