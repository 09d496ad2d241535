#pragma once
// The white-space separated words of one line of text, in order.

#include "mesh/io/TextLines.hpp"

#include <string_view>

namespace vornel {

/// True when line holds a word.
inline bool hasWord(std::string_view line) {
  for (const char c : line) {
    if (!isWordSpace(c)) {
      return true;
    }
  }
  return false;
}

class LineWords {
public:
  explicit LineWords(std::string_view line) : rest_(line) {}

  /// Sets word to the next word; false when the line has no more.
  bool next(std::string_view& word) {
    std::size_t start = 0;
    while (start < rest_.size() && isWordSpace(rest_[start])) {
      ++start;
    }
    std::size_t end = start;
    while (end < rest_.size() && !isWordSpace(rest_[end])) {
      ++end;
    }
    word = rest_.substr(start, end - start);
    rest_ = rest_.substr(end);
    return !word.empty();
  }

  /// True when no word is left.
  bool done() const { return !hasWord(rest_); }

private:
  std::string_view rest_;
};

} // namespace vornel
