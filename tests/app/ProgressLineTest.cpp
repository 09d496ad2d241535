// The --progress line: what it shows, that it is rewritten in place, and that
// it leaves nothing behind.

#include "app/ProgressLine.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

namespace vornel {
namespace {

const std::string erase = "\r\033[K";

/// Everything the line wrote to a stream, after it went away.
template <class Use> std::string writtenBy(Use use) {
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> stream(std::tmpfile(), &std::fclose);
  {
    ProgressLine line(stream.get());
    use(line);
  }
  std::string text(4096, '\0');
  std::rewind(stream.get());
  text.resize(std::fread(text.data(), 1, text.size(), stream.get()));
  return text;
}

TEST(ProgressLine, ShowsTheStageAndTheSweepOnOneLineThenErasesIt) {
  const std::string text = writtenBy([](ProgressLine& line) {
    line.show("k-means", 0, 0);
    line.show("annealing", 0, 3);
    for (int sweep = 1; sweep <= 3; ++sweep)
      line.show("annealing", sweep, 3);
  });
  EXPECT_EQ(text.find('\n'), std::string::npos);
  EXPECT_EQ(text.rfind(erase + "vornel: k-means", 0), 0u);
  EXPECT_NE(text.find(erase + "vornel: annealing: sweep 0 of 3"), std::string::npos);
  // The last sweep always shows, however soon it follows the one before.
  const std::string last = erase + "vornel: annealing: sweep 3 of 3";
  ASSERT_NE(text.find(last), std::string::npos);
  EXPECT_EQ(text.substr(text.find(last) + last.size()), erase);
}

TEST(ProgressLine, NothingShownLeavesNothing) {
  EXPECT_EQ(writtenBy([](ProgressLine&) {}), "");
  // Erased for a warning, and not erased twice.
  EXPECT_EQ(writtenBy([](ProgressLine& line) {
              line.show("segments", 0, 0);
              line.erase();
            }),
            erase + "vornel: segments" + erase);
}

TEST(ProgressLine, TheSinkShowsOnTheLine) {
  const std::string text = writtenBy([](ProgressLine& line) { line.sink()("writing a.lb", 0, 0); });
  EXPECT_EQ(text, erase + "vornel: writing a.lb" + erase);
}

} // namespace
} // namespace vornel
