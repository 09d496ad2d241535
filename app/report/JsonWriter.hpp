#pragma once
// A small writer of JSON text for the data the report page reads. The text is
// safe inside an HTML <script> element: '<', '>' and '&' are always escaped.

#include <cstdint>
#include <string>
#include <vector>

namespace vornel {

class JsonWriter {
public:
  JsonWriter& beginObject();
  JsonWriter& endObject();
  JsonWriter& beginArray();
  JsonWriter& endArray();
  /// The member name of the next value inside an object.
  JsonWriter& key(const std::string& name);

  JsonWriter& value(const std::string& text);
  JsonWriter& value(const char* text) { return value(std::string(text)); }
  /// Shortest text that reads back to the same double; null when not finite.
  JsonWriter& value(double number);
  JsonWriter& value(std::int64_t number);
  JsonWriter& value(int number) { return value(std::int64_t{number}); }
  JsonWriter& value(unsigned number) { return value(std::int64_t{number}); }
  JsonWriter& value(bool flag);
  JsonWriter& null();

  template <class Number> JsonWriter& array(const std::vector<Number>& numbers) {
    beginArray();
    for (const Number number : numbers)
      value(number);
    return endArray();
  }
  JsonWriter& array(const std::vector<std::string>& texts);

  const std::string& text() const { return text_; }

private:
  void separate();
  std::string text_;
  bool needsComma_ = false;
};

} // namespace vornel
