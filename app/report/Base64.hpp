#pragma once
// Arrays embedded in the report page: the little-endian bytes of each element,
// base64 encoded (the page decodes them straight into typed arrays).

#include <cstdint>
#include <string>
#include <vector>

namespace vornel {

std::string base64(const std::uint8_t* bytes, std::size_t size);

std::string base64OfFloats(const std::vector<float>& values);
std::string base64OfUnsigned(const std::vector<std::uint32_t>& values);
std::string base64OfBytes(const std::vector<std::uint8_t>& values);

} // namespace vornel
