#pragma once
// One PLY value converted from its word (ASCII) or its bytes (binary): the
// one-pass reader and the chunked readers convert every value here, so that
// both read the same numbers.

#include "mesh/io/PlyHeader.hpp"

#include <cstdint>
#include <string>
#include <string_view>

namespace vornel {

enum class PlyIntegerWordStatus { Integer, NotAnInteger, OutOfRange };

/// Reads word as a decimal integer with an optional sign ('+' as C's number
/// reading allows it) within the range of its declared type.
PlyIntegerWordStatus readPlyIntegerWord(std::string_view word, PlyType type, std::int64_t& value);

/// Why word is not an integer of type, for messages.
std::string plyIntegerWordProblem(std::string_view word, PlyType type, PlyIntegerWordStatus status);

/// size bytes at bytes as an unsigned number in the file's byte order.
std::uint64_t plyRawValue(const char* bytes, std::size_t size, PlyFormat format);

/// The integer of the type held at bytes.
std::int64_t plyBinaryInteger(const char* bytes, PlyType type, PlyFormat format);

/// The number of the type held at bytes, rounded to float once.
float plyBinaryCoordinate(const char* bytes, PlyType type, PlyFormat format);

} // namespace vornel
