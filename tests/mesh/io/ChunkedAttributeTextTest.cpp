// Attribute text converted in small chunks on several threads against the
// one-thread reader: the same values and extra count, or the same message
// naming the same line and value.

#include "core/Errors.hpp"
#include "core/Parallel.hpp"
#include "mesh/io/AttributeFile.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace vornel {
namespace {

struct Parsed {
  std::vector<float> values;
  std::size_t extra = 0;
  bool extraIsLowerBound = false;
  std::string error;
  bool operator==(const Parsed& o) const {
    return values == o.values && extra == o.extra && extraIsLowerBound == o.extraIsLowerBound &&
           error == o.error;
  }
};

Parsed parsed(const std::string& text, std::size_t count, unsigned threads, std::size_t chunk) {
  Parsed result;
  StageThreads(threads).run([&] {
    try {
      AttributeValues values = parseAttributeText(text, "values.att", count, chunk);
      result.values = std::move(values.values);
      result.extra = values.extra;
      result.extraIsLowerBound = values.extraIsLowerBound;
    } catch (const InvalidInputError& error) {
      result.error = error.what();
    }
  });
  return result;
}

/// n numbers in assorted spellings, separated by assorted white space and
/// line ends (LF, CR LF, lone CR).
std::string numbers(std::size_t n, unsigned seed) {
  std::mt19937 random(seed);
  const std::vector<std::string> separators{" ", "\n", "\r\n", "\r", "\t", "   ", " \n\n "};
  const std::vector<std::string> spellings{"1.5", "-2", "3e-3", "+0.25", "-0x1p3", "7.", ".5"};
  std::string text = random() % 2 ? "\n" : "";
  for (std::size_t i = 0; i < n; ++i) {
    const std::string word =
        i % 3 == 0 ? std::to_string(random() % 1000) : spellings[random() % spellings.size()];
    text += word + separators[random() % separators.size()];
  }
  return text;
}

void expectSameAsOneThread(const std::string& text, std::size_t count, const std::string& what) {
  const Parsed reference = parsed(text, count, 1, attributeChunkBytes);
  for (const unsigned threads : {2u, 3u, 8u})
    for (const std::size_t chunk : {std::size_t{1}, std::size_t{7}, std::size_t{64}})
      EXPECT_TRUE(parsed(text, count, threads, chunk) == reference)
          << what << ", " << threads << " threads, chunks of " << chunk << " bytes";
}

TEST(ChunkedAttributeText, EveryThreadCountReadsTheValuesAndTheTailOfOneThread) {
  const std::string text = numbers(3000, 1);
  expectSameAsOneThread(text, 3000, "every value");
  expectSameAsOneThread(text, 2500, "values left over");
  expectSameAsOneThread(text, 1, "one value");
  EXPECT_EQ(parsed(text, 2500, 2, 7).extra, 500u);
  EXPECT_EQ(parsed(text, 3000, 3, 7).values.size(), 3000u);
  // A word after the values needed is only counted, never converted.
  expectSameAsOneThread(text + "oops 4\n", 3000, "a bad word after the values needed");
  EXPECT_TRUE(parsed(text + "oops 4\n", 3000, 2, 7).error.empty());
}

TEST(ChunkedAttributeText, EveryThreadCountNamesTheFirstFaultOfOneThread) {
  const std::string text = numbers(3000, 2);
  const std::string late = text + "9\r\n1.0x\n2 inf\n";
  expectSameAsOneThread(late, 3003, "a bad word in the last chunk");
  EXPECT_NE(parsed(late, 3003, 8, 7).error.find(": value 3002 '1.0x' is not a number"),
            std::string::npos);
  const std::string twoFaults = numbers(700, 3) + "nan " + numbers(700, 4) + "zz ";
  expectSameAsOneThread(twoFaults, 1402, "two bad words: the first counts");
  EXPECT_NE(parsed(twoFaults, 1402, 3, 1).error.find("value 701 'nan' is not a finite number"),
            std::string::npos);
  expectSameAsOneThread(text, 3001, "too few values");
  EXPECT_NE(parsed(text, 3001, 2, 64).error.find("holds 3000 values"), std::string::npos);
  expectSameAsOneThread("", 1, "no text");
  expectSameAsOneThread(" \r\n \t", 2, "white space only");
}

} // namespace
} // namespace vornel
