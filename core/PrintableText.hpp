#pragma once
// Bytes from a file's content, made safe to show in a message: a terminal
// must never receive an escape or control byte from a file the user did not
// write, so every byte that could start a control sequence is shown as '?'.

#include <cstddef>
#include <string>
#include <string_view>

namespace vornel {

/// The length of the well-formed UTF-8 character at text[i] when it is a
/// printable one (U+00A0 or above: the C1 controls, surrogates and overlong
/// forms are not); 0 otherwise.
inline std::size_t printableUtf8Length(std::string_view text, std::size_t i) {
  const auto lead = static_cast<unsigned char>(text[i]);
  const std::size_t length = lead > 0xF4    ? 0
                             : lead >= 0xF0 ? 4
                             : lead >= 0xE0 ? 3
                             : lead >= 0xC2 ? 2
                                            : 0;
  if (length == 0 || text.size() - i < length) {
    return 0;
  }
  char32_t code = lead & (0x7Fu >> length);
  for (std::size_t k = 1; k < length; ++k) {
    const auto next = static_cast<unsigned char>(text[i + k]);
    if ((next & 0xC0u) != 0x80u) {
      return 0;
    }
    code = (code << 6) | (next & 0x3Fu);
  }
  constexpr char32_t smallest[] = {0, 0, 0xA0, 0x800, 0x10000};
  const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
  return code >= smallest[length] && code <= 0x10FFFF && !surrogate ? length : 0;
}

/// text with every byte that is neither printable ASCII nor part of a
/// printable UTF-8 character shown as '?'.
inline std::string printableText(std::string_view text) {
  std::string shown;
  shown.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    const std::size_t length = c >= 0x20 && c < 0x7F ? 1
                               : c >= 0x80           ? printableUtf8Length(text, i)
                                                     : 0;
    if (length == 0) {
      shown += '?';
      ++i;
    } else {
      shown.append(text.substr(i, length));
      i += length;
    }
  }
  return shown;
}

/// A word from a file as messages quote it: in single quotes, printable, and
/// cut after 40 bytes (marked "...") so that a long run of garbage stays short.
inline std::string quotedWord(std::string_view word) {
  constexpr std::size_t shownBytes = 40;
  const bool cut = word.size() > shownBytes;
  return "'" + printableText(word.substr(0, shownBytes)) + (cut ? "...'" : "'");
}

} // namespace vornel
