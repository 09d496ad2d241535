#include "mesh/io/FloatWord.hpp"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>
#include <system_error>

namespace vornel {

FloatWordStatus readFloatWord(std::string_view word, float& value) {
  const char* const first = word.data();
  const char* const last = first + word.size();
  const char* body = first;
  if (*body == '+' || *body == '-') {
    ++body;
  }
  if (body == last || *body == '+' || *body == '-') {
    return FloatWordStatus::NotANumber;
  }
  const bool hex = body + 1 < last && body[0] == '0' && (body[1] == 'x' || body[1] == 'X');
  if (!hex) {
    const auto [end, ec] = std::from_chars(body, last, value, std::chars_format::general);
    if (ec == std::errc() && end == last) {
      if (!std::isfinite(value)) {
        return FloatWordStatus::NotFinite;
      }
      value = (*first == '-') ? -value : value;
      return FloatWordStatus::Number;
    }
    if (ec != std::errc::result_out_of_range) {
      return FloatWordStatus::NotANumber;
    }
  }
  // Hexadecimal forms and values beyond the float range: let strtof decide
  // (underflow rounds towards zero as "%f" does; overflow gives infinity).
  // Mapped text has no terminating zero: convert a copy of the word.
  const std::string copy(word);
  char* end = nullptr;
  value = std::strtof(copy.c_str(), &end);
  if (end != copy.c_str() + copy.size()) {
    return FloatWordStatus::NotANumber;
  }
  return std::isfinite(value) ? FloatWordStatus::Number : FloatWordStatus::NotFinite;
}

} // namespace vornel
