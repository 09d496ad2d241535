#pragma once
// How the text formats (OBJ, OFF, ASCII PLY, the attribute file) frame their
// lines: a line ends at LF, CR LF or a lone CR (old editors write CR alone),
// and a UTF-8 byte order mark that some editors put before the first line is
// not content. Line numbers in messages count lines this way in every reader.

#include <string>
#include <string_view>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace vornel {

/// text without its leading UTF-8 byte order mark, if it has one.
inline std::string_view withoutByteOrderMark(std::string_view text) {
  constexpr std::string_view mark = "\xEF\xBB\xBF";
  return text.substr(0, mark.size()) == mark ? text.substr(mark.size()) : text;
}

/// The white space between words in every text format: C's isspace in the
/// "C" locale.
inline bool isWordSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

inline bool isLineBreak(char c) {
  return c == '\n' || c == '\r';
}

/// True when text[i] ends a line: a LF, or a CR that no LF follows (in a
/// CR LF pair, the LF ends the line). For readers that count lines as they
/// pass white space.
inline bool endsLine(std::string_view text, std::size_t i) {
  return text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'));
}

/// True when text holds a CR that is not part of a CR LF pair.
inline bool hasLoneCarriageReturn(std::string_view text) {
  for (std::size_t i = text.find('\r'); i != std::string_view::npos; i = text.find('\r', i + 1)) {
    if (endsLine(text, i)) {
      return true;
    }
  }
  return false;
}

/// A copy of text with a LF in place of every lone CR, for readers that end
/// lines at LF only.
inline std::string withLineFeedsForLoneCarriageReturns(std::string_view text) {
  std::string copy(text);
  for (std::size_t i = copy.find('\r'); i != std::string::npos; i = copy.find('\r', i + 1)) {
    copy[i] = endsLine(copy, i) ? '\n' : '\r';
  }
  return copy;
}

/// The first LF or CR in [p, end), or end. Sixteen bytes at a time where
/// the processor allows: the OBJ reader splits files of millions of lines
/// with it, and a byte loop would cost it a sixth of its time.
inline const char* findLineBreak(const char* p, const char* const end) {
#ifdef __SSE2__
  const __m128i lineFeeds = _mm_set1_epi8('\n');
  const __m128i carriageReturns = _mm_set1_epi8('\r');
  for (; end - p >= 16; p += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const int found = _mm_movemask_epi8(
        _mm_or_si128(_mm_cmpeq_epi8(bytes, lineFeeds), _mm_cmpeq_epi8(bytes, carriageReturns)));
    if (found != 0) {
      return p + __builtin_ctz(static_cast<unsigned>(found));
    }
  }
#endif
  while (p != end && !isLineBreak(*p)) {
    ++p;
  }
  return p;
}

/// Where the next line starts after the line break at lineBreak (or end): a
/// CR LF pair is one line end.
inline const char* nextLineStart(const char* lineBreak, const char* const end) {
  if (lineBreak == end) {
    return end;
  }
  return (*lineBreak == '\r' && lineBreak + 1 != end && lineBreak[1] == '\n') ? lineBreak + 2
                                                                              : lineBreak + 1;
}

/// The first position at or after pos where a line starts, or text.size():
/// pieces of a text cut there hold whole lines, framed as in the whole text.
inline std::size_t lineStartAtOrAfter(std::string_view text, std::size_t pos) {
  if (pos == 0 || pos >= text.size()) {
    return pos < text.size() ? pos : text.size();
  }
  if (text[pos - 1] == '\n') {
    return pos;
  }
  if (text[pos - 1] == '\r') {
    return text[pos] == '\n' ? pos + 1 : pos; // inside a CR LF pair, or after a lone CR
  }
  const char* const end = text.data() + text.size();
  return static_cast<std::size_t>(nextLineStart(findLineBreak(text.data() + pos, end), end) -
                                  text.data());
}

} // namespace vornel
