#include "app/report/Base64.hpp"

#include <cstring>

namespace vornel {

namespace {

constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

/// The elements' bytes, least significant first whatever the host's order.
template <class Word> std::vector<std::uint8_t> littleEndianBytes(const std::vector<Word>& words) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(words.size() * 4);
  for (const Word word : words) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, &word, sizeof bits);
    for (int shift = 0; shift < 32; shift += 8)
      bytes.push_back(static_cast<std::uint8_t>(bits >> shift));
  }
  return bytes;
}

} // namespace

std::string base64(const std::uint8_t* bytes, std::size_t size) {
  std::string text;
  text.reserve((size + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 2 < size; i += 3) {
    const std::uint32_t group =
        (std::uint32_t{bytes[i]} << 16) | (std::uint32_t{bytes[i + 1]} << 8) | bytes[i + 2];
    text.push_back(alphabet[group >> 18]);
    text.push_back(alphabet[(group >> 12) & 63u]);
    text.push_back(alphabet[(group >> 6) & 63u]);
    text.push_back(alphabet[group & 63u]);
  }
  if (i < size) {
    const bool two = i + 1 < size;
    const std::uint32_t group =
        (std::uint32_t{bytes[i]} << 16) | (two ? std::uint32_t{bytes[i + 1]} << 8 : 0u);
    text.push_back(alphabet[group >> 18]);
    text.push_back(alphabet[(group >> 12) & 63u]);
    text.push_back(two ? alphabet[(group >> 6) & 63u] : '=');
    text.push_back('=');
  }
  return text;
}

std::string base64OfFloats(const std::vector<float>& values) {
  static_assert(sizeof(float) == 4, "float must be 32 bits");
  const std::vector<std::uint8_t> bytes = littleEndianBytes(values);
  return base64(bytes.data(), bytes.size());
}

std::string base64OfUnsigned(const std::vector<std::uint32_t>& values) {
  const std::vector<std::uint8_t> bytes = littleEndianBytes(values);
  return base64(bytes.data(), bytes.size());
}

std::string base64OfBytes(const std::vector<std::uint8_t>& values) {
  return base64(values.data(), values.size());
}

} // namespace vornel
