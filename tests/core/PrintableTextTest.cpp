// Bytes of a file's content as messages show them: nothing a terminal could
// take for a control sequence gets through; readable text does.

#include "core/PrintableText.hpp"

#include <gtest/gtest.h>

#include <string>

namespace vornel {
namespace {

TEST(PrintableText, ControlAndEscapeBytesBecomeQuestionMarks) {
  EXPECT_EQ(printableText("a\x1b[2J\tb\x7f\r\n"), "a?[2J?b???");
  EXPECT_EQ(printableText(std::string("x\0y", 3)), "x?y");
  // The C1 controls, raw or UTF-8 encoded (U+009B is a one-character CSI).
  EXPECT_EQ(printableText("\x9b"
                          "31m"),
            "?31m");
  EXPECT_EQ(printableText("\xc2\x9b"
                          "31m"),
            "??31m");
}

TEST(PrintableText, MalformedUtf8BecomesQuestionMarks) {
  EXPECT_EQ(printableText("\xc3"), "?");                // cut short
  EXPECT_EQ(printableText("\xe0\x82\x9b"), "???");      // overlong form of U+009B
  EXPECT_EQ(printableText("\xed\xa0\x80"), "???");      // a surrogate
  EXPECT_EQ(printableText("\xf8\x90\x80\x80"), "????"); // no such lead byte
  EXPECT_EQ(printableText("\xf4\x90\x80\x80"), "????"); // beyond U+10FFFF
}

TEST(PrintableText, ReadableTextStaysAsItIs) {
  EXPECT_EQ(printableText("qualit\xc3\xa9 \xe2\x82\xac \xf0\x9f\x99\x82 ~"),
            "qualit\xc3\xa9 \xe2\x82\xac \xf0\x9f\x99\x82 ~");
  EXPECT_EQ(printableText("\xc2\xa0"), "\xc2\xa0"); // U+00A0, the first after the C1 controls
}

TEST(PrintableText, QuotedWordsAreCutAfterFortyBytes) {
  EXPECT_EQ(quotedWord("nan"), "'nan'");
  EXPECT_EQ(quotedWord(std::string(40, 'x')), "'" + std::string(40, 'x') + "'");
  EXPECT_EQ(quotedWord(std::string(41, 'x')), "'" + std::string(40, 'x') + "...'");
  // A cut through a character leaves no stray lead byte.
  EXPECT_EQ(quotedWord(std::string(39, 'x') + "\xc3\xa9"), "'" + std::string(39, 'x') + "?...'");
}

} // namespace
} // namespace vornel
