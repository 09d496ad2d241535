#include "mesh/io/StlText.hpp"

#include "core/Errors.hpp"
#include "core/PrintableText.hpp"
#include "mesh/io/FloatWord.hpp"
#include "mesh/io/TextLines.hpp"

#include <cctype>
#include <cmath>
#include <cstdint>
#include <limits>

namespace vornel {
namespace {

bool sameWordIgnoringCase(std::string_view word, std::string_view keyword) {
  if (word.size() != keyword.size()) {
    return false;
  }
  for (std::size_t i = 0; i < word.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(word[i])) != keyword[i]) {
      return false;
    }
  }
  return true;
}

/// Average bytes of text per corner of a typical file (a facet takes about
/// 250), to size the welder.
constexpr std::size_t textBytesPerCorner = 80;

class StlTextReader {
public:
  StlTextReader(std::string_view text, const std::string& sourceName)
      : text_(withoutByteOrderMark(text)), sourceName_(sourceName),
        welder_(text_.size() / textBytesPerCorner) {
    soup_.firstVertexNumber = 0;
  }

  StlSoup read() {
    expect("solid");
    skipRestOfLine(); // the solid's name
    for (;;) {
      const std::string_view word = nextWord();
      if (sameWordIgnoringCase(word, "facet")) {
        readFacet();
      } else if (sameWordIgnoringCase(word, "endsolid")) {
        skipRestOfLine();
        if (!startsAnotherSolid()) {
          break;
        }
      } else {
        failFound("\"facet\" or \"endsolid\"", word);
      }
    }
    StlSoup result;
    result.weld = CornerWeld{soup_.corners.size(), welder_.vertexCount()};
    result.soup = std::move(soup_);
    result.soup.points = welder_.takePoints();
    return result;
  }

private:
  void readFacet() {
    expect("normal");
    for (int axis = 0; axis < 3; ++axis) {
      number(); // normals are not used; a degenerate facet's may be nan
    }
    expect("outer");
    expect("loop");
    if (soup_.corners.size() + 3 > std::numeric_limits<std::uint32_t>::max()) {
      fail("too many facet corners");
    }
    for (int corner = 0; corner < 3; ++corner) {
      const std::string_view word = nextWord();
      if (!sameWordIgnoringCase(word, "vertex")) {
        failFound("\"vertex\"", word, corner == 0 ? "" : " (an STL facet has three vertices)");
      }
      const float x = coordinate();
      const float y = coordinate();
      const float z = coordinate();
      soup_.corners.push_back(welder_.vertexAt(x, y, z));
    }
    const std::string_view word = nextWord();
    if (!sameWordIgnoringCase(word, "endloop")) {
      failFound("\"endloop\"", word,
                sameWordIgnoringCase(word, "vertex") ? " (an STL facet has three vertices)" : "");
    }
    expect("endfacet");
    soup_.facetOffsets.push_back(static_cast<std::uint32_t>(soup_.corners.size()));
  }

  /// After "endsolid": true when a further "solid" starts (its name skipped),
  /// false at the end of the text.
  bool startsAnotherSolid() {
    const std::string_view word = nextWord();
    if (word.empty()) {
      return false;
    }
    if (!sameWordIgnoringCase(word, "solid")) {
      failFound("nothing or another \"solid\" after \"endsolid\"", word);
    }
    skipRestOfLine();
    return true;
  }

  float coordinate() {
    const float value = number();
    if (!std::isfinite(value)) {
      fail("vertex coordinate is not a finite number");
    }
    return value;
  }

  float number() {
    const std::string_view word = nextWord();
    if (word.empty()) {
      fail("the file ends inside a facet");
    }
    float value = 0.0f;
    if (readFloatWord(word, value) == FloatWordStatus::NotANumber) {
      fail(quotedWord(word) + " is not a number");
    }
    return value;
  }

  void expect(std::string_view keyword) {
    const std::string_view word = nextWord();
    if (!sameWordIgnoringCase(word, keyword)) {
      failFound("\"" + std::string(keyword) + "\"", word);
    }
  }

  /// The next word, empty at the end of the text; wordLine_ is its line.
  std::string_view nextWord() {
    while (position_ < text_.size() && isWordSpace(text_[position_])) {
      line_ += endsLine(text_, position_) ? 1 : 0;
      ++position_;
    }
    wordLine_ = line_;
    const std::size_t start = position_;
    while (position_ < text_.size() && !isWordSpace(text_[position_])) {
      ++position_;
    }
    return text_.substr(start, position_ - start);
  }

  void skipRestOfLine() {
    while (position_ < text_.size() && !isLineBreak(text_[position_])) {
      ++position_;
    }
  }

  [[noreturn]] void failFound(const std::string& expected, std::string_view word,
                              const std::string& note = "") const {
    if (word.empty()) {
      fail("expected " + expected + ", but the file ends" + note);
    }
    fail("expected " + expected + ", found " + quotedWord(word) + note);
  }

  [[noreturn]] void fail(const std::string& reason) const {
    throw InvalidInputError(sourceName_ + ":" + std::to_string(wordLine_) + ": " + reason);
  }

  std::string_view text_;
  const std::string& sourceName_;
  std::size_t position_ = 0;
  std::size_t line_ = 1;
  std::size_t wordLine_ = 1;
  PointWelder welder_;
  PolygonSoup soup_;
};

} // namespace

StlSoup parseStlText(std::string_view text, const std::string& sourceName) {
  return StlTextReader(text, sourceName).read();
}

} // namespace vornel
