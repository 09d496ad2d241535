#include "mesh/io/PlyValues.hpp"

#include "core/PrintableText.hpp"

#include <charconv>
#include <cstring>

namespace vornel {

PlyIntegerWordStatus readPlyIntegerWord(std::string_view word, PlyType type, std::int64_t& value) {
  const std::string_view digits =
      word.size() > 1 && word[0] == '+' && word[1] != '-' ? word.substr(1) : word;
  value = 0;
  const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (result.ptr != digits.data() + digits.size() ||
      (result.ec != std::errc() && result.ec != std::errc::result_out_of_range)) {
    return PlyIntegerWordStatus::NotAnInteger;
  }
  const PlyIntegerRange range = plyIntegerRange(type);
  if (result.ec != std::errc() || value < range.lowest || value > range.highest) {
    return PlyIntegerWordStatus::OutOfRange;
  }
  return PlyIntegerWordStatus::Integer;
}

std::string plyIntegerWordProblem(std::string_view word, PlyType type,
                                  PlyIntegerWordStatus status) {
  if (status == PlyIntegerWordStatus::NotAnInteger) {
    return "\"" + printableText(word) + "\" is not an integer";
  }
  const PlyIntegerRange range = plyIntegerRange(type);
  return std::string(word) + " is outside the range of " + plyTypeName(type) + " (" +
         std::to_string(range.lowest) + " to " + std::to_string(range.highest) + ")";
}

std::uint64_t plyRawValue(const char* bytes, std::size_t size, PlyFormat format) {
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < size; ++i) {
    const std::size_t k = format == PlyFormat::BinaryLittleEndian ? size - 1 - i : i;
    value = (value << 8) | static_cast<unsigned char>(bytes[k]);
  }
  return value;
}

std::int64_t plyBinaryInteger(const char* bytes, PlyType type, PlyFormat format) {
  const std::uint64_t raw = plyRawValue(bytes, plyTypeSize(type), format);
  switch (type) {
  case PlyType::Int8:
    return static_cast<std::int8_t>(raw);
  case PlyType::Int16:
    return static_cast<std::int16_t>(raw);
  case PlyType::Int32:
    return static_cast<std::int32_t>(raw);
  default:
    return static_cast<std::int64_t>(raw);
  }
}

float plyBinaryCoordinate(const char* bytes, PlyType type, PlyFormat format) {
  if (isPlyIntegerType(type)) {
    return static_cast<float>(plyBinaryInteger(bytes, type, format));
  }
  const std::uint64_t raw = plyRawValue(bytes, plyTypeSize(type), format);
  if (type == PlyType::Float32) {
    const auto bits = static_cast<std::uint32_t>(raw);
    float value = 0.0f;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }
  double value = 0.0;
  std::memcpy(&value, &raw, sizeof value);
  return static_cast<float>(value);
}

} // namespace vornel
