#include "app/report/Base64.hpp"

#include <cstring>

namespace vornel {

namespace {

constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

bool littleEndianHost() {
  const std::uint32_t one = 1;
  std::uint8_t first = 0;
  std::memcpy(&first, &one, 1);
  return first == 1;
}

/// The base64 text of the words' bytes, least significant first whatever the
/// host's order (encoded in place on a little-endian host).
template <class Word> std::string base64OfWords(const std::vector<Word>& words) {
  static_assert(sizeof(Word) == 4, "32-bit words only");
  if (littleEndianHost())
    return base64(reinterpret_cast<const std::uint8_t*>(words.data()), words.size() * 4);
  std::vector<std::uint8_t> bytes;
  bytes.reserve(words.size() * 4);
  for (const Word word : words) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, &word, sizeof bits);
    for (int shift = 0; shift < 32; shift += 8)
      bytes.push_back(static_cast<std::uint8_t>(bits >> shift));
  }
  return base64(bytes.data(), bytes.size());
}

} // namespace

std::string base64(const std::uint8_t* bytes, std::size_t size) {
  std::string text((size + 2) / 3 * 4, '=');
  char* out = text.data();
  std::size_t i = 0;
  for (; i + 2 < size; i += 3) {
    const std::uint32_t group =
        (std::uint32_t{bytes[i]} << 16) | (std::uint32_t{bytes[i + 1]} << 8) | bytes[i + 2];
    *out++ = alphabet[group >> 18];
    *out++ = alphabet[(group >> 12) & 63u];
    *out++ = alphabet[(group >> 6) & 63u];
    *out++ = alphabet[group & 63u];
  }
  if (i < size) { // one or two bytes left: the '=' already in place pad the group
    const bool two = i + 1 < size;
    const std::uint32_t group =
        (std::uint32_t{bytes[i]} << 16) | (two ? std::uint32_t{bytes[i + 1]} << 8 : 0u);
    *out++ = alphabet[group >> 18];
    *out++ = alphabet[(group >> 12) & 63u];
    if (two)
      *out = alphabet[(group >> 6) & 63u];
  }
  return text;
}

std::string base64OfFloats(const std::vector<float>& values) {
  return base64OfWords(values);
}

std::string base64OfUnsigned(const std::vector<std::uint32_t>& values) {
  return base64OfWords(values);
}

std::string base64OfBytes(const std::vector<std::uint8_t>& values) {
  return base64(values.data(), values.size());
}

} // namespace vornel
