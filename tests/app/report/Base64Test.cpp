#include "app/report/Base64.hpp"

#include "app/report/JsonReader.hpp"

#include <gtest/gtest.h>

#include <cstring>

namespace vornel {
namespace {

std::string encode(const std::string& text) {
  return base64(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

TEST(Base64, EncodesTheStandardExamples) {
  EXPECT_EQ(encode(""), "");
  EXPECT_EQ(encode("f"), "Zg==");
  EXPECT_EQ(encode("fo"), "Zm8=");
  EXPECT_EQ(encode("foo"), "Zm9v");
  EXPECT_EQ(encode("foob"), "Zm9vYg==");
  EXPECT_EQ(encode("fooba"), "Zm9vYmE=");
  EXPECT_EQ(encode("foobar"), "Zm9vYmFy");
}

TEST(Base64, WordsAreWrittenLeastSignificantByteFirst) {
  const std::vector<std::uint8_t> bytes =
      testing::decodeBase64(base64OfUnsigned({0x04030201u, 0xA0B0C0D0u}));
  EXPECT_EQ(bytes, (std::vector<std::uint8_t>{1, 2, 3, 4, 0xD0, 0xC0, 0xB0, 0xA0}));
}

TEST(Base64, FloatsKeepTheirExactBits) {
  const std::vector<float> values{1.0f, -0.1f, 3.4028235e38f, 1e-45f};
  const std::vector<std::uint8_t> bytes = testing::decodeBase64(base64OfFloats(values));
  ASSERT_EQ(bytes.size(), 16u);
  for (std::size_t i = 0; i < values.size(); ++i) {
    const std::uint32_t bits = bytes[4 * i] | (bytes[4 * i + 1] << 8) | (bytes[4 * i + 2] << 16) |
                               (std::uint32_t{bytes[4 * i + 3]} << 24);
    float back = 0.0f;
    std::memcpy(&back, &bits, sizeof back);
    EXPECT_EQ(back, values[i]);
  }
}

} // namespace
} // namespace vornel
