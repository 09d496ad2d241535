#include "app/ProgressLine.hpp"

namespace vornel {

namespace {

// Carriage return, then clear to the end of the line.
constexpr const char* eraseLine = "\r\033[K";
constexpr auto stepInterval = std::chrono::milliseconds(100);

} // namespace

ProgressLine::~ProgressLine() {
  erase();
}

void ProgressLine::erase() {
  if (!shown_)
    return;
  std::fputs(eraseLine, stream_);
  std::fflush(stream_);
  shown_ = false;
  stage_.clear(); // shown again at the next step
}

void ProgressLine::show(const std::string& stage, int done, int total) {
  const auto now = std::chrono::steady_clock::now();
  const bool newStage = stage != stage_;
  if (!newStage && done < total && now - lastWrite_ < stepInterval)
    return;
  stage_ = stage;
  lastWrite_ = now;
  std::string text = "vornel: " + stage;
  if (total > 0)
    text += ": sweep " + std::to_string(done) + " of " + std::to_string(total);
  write(text);
}

ProgressSink ProgressLine::sink() {
  return [this](const std::string& stage, int done, int total) { show(stage, done, total); };
}

void ProgressLine::write(const std::string& text) {
  std::fputs(eraseLine, stream_);
  std::fputs(text.c_str(), stream_);
  std::fflush(stream_);
  shown_ = true;
}

} // namespace vornel
