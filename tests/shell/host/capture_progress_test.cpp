// The capture's progress: the bar and the plain lines, and when each is shown.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "shell/host/capture_progress.h"

namespace {

CaptureProgressState at(int frames, int total, double elapsed) {
  CaptureProgressState state;
  state.frames = frames;
  state.totalFrames = total;
  state.fps = 30;
  state.elapsed = elapsed;
  return state;
}

std::string written(std::FILE* f) {
  std::string text(static_cast<std::size_t>(std::ftell(f)), '\0');
  std::rewind(f);
  text.resize(std::fread(text.data(), 1, text.size(), f));
  std::fclose(f);
  return text;
}

TEST(CaptureProgressText, BarAndLineGivePercentFramesSpeedAndTimeLeft) {
  // 900 of 3600 frames (30 s of the show) in 20 s: 1.5x real time, 60 s left.
  CaptureProgressState state = at(900, 3600, 20.0);
  EXPECT_EQ(captureProgressBar(state, 20), "[#####...............]  25%  frame 900/3600  1.50x real time  1:00 left");
  EXPECT_EQ(captureProgressLine(state),
            "vellumite: frame 900 of 3600 (25%), 30.0 s of the show, 1.50x real time, about 1:00 left");

  // More frames than expected (the show's end is an estimate) stay at 100 %, nothing left.
  EXPECT_EQ(captureProgressBar(at(50, 40, 5.0), 4), "[####] 100%  frame 50/40  0.33x real time  0:00 left");
  // Without a known total: no percentage, no time left.
  EXPECT_EQ(captureProgressLine(at(60, 0, 1.0)), "vellumite: frame 60, 2.0 s of the show, 2.00x real time");
  // Before the first frame nothing can be estimated.
  EXPECT_NE(captureProgressBar(at(0, 100, 0.0), 10).find("? left"), std::string::npos);

  EXPECT_EQ(formatDuration(59.4), "0:59");
  EXPECT_EQ(formatDuration(3723.0), "1:02:03");
  EXPECT_EQ(formatDuration(-1.0), "?");
}

TEST(CaptureProgressOutput, ATerminalGetsOneBarRedrawnInPlaceAndEndedOnce) {
  std::FILE* f = std::tmpfile();
  CaptureProgress progress(f, true);
  progress.update(at(1, 10, 0.0));
  progress.update(at(2, 10, 0.05));  // too soon after the last redraw
  progress.update(at(5, 10, 0.5));
  progress.finish(at(10, 10, 1.0));
  progress.finish(at(10, 10, 1.0));
  progress.update(at(10, 10, 5.0));
  std::string text = written(f);
  EXPECT_EQ(text.find('\n'), text.size() - 1);
  int redraws = 0;
  for (char c : text) redraws += c == '\r' ? 1 : 0;
  EXPECT_EQ(redraws, 3);
  EXPECT_NE(text.find("100%"), std::string::npos);
}

TEST(CaptureProgressOutput, ALogGetsWholeLinesAtTheIntervalAndNoCarriageReturns) {
  std::FILE* f = std::tmpfile();
  CaptureProgress progress(f, false, 10.0);
  for (int second = 0; second <= 35; ++second) progress.update(at(second * 30, 36 * 30, second));
  progress.finish(at(36 * 30, 36 * 30, 36.0));
  std::string text = written(f);
  EXPECT_EQ(text.find('\r'), std::string::npos);
  EXPECT_EQ(text.find('\033'), std::string::npos);
  int lines = 0;
  for (char c : text) lines += c == '\n' ? 1 : 0;
  EXPECT_EQ(lines, 3);  // at 10, 20 and 30 s
  EXPECT_EQ(text.rfind("vellumite: frame 300 of 1080", 0), 0u);

  // Quiet without a stream.
  CaptureProgress quiet(nullptr, false);
  quiet.update(at(1, 1, 100.0));
  quiet.finish(at(1, 1, 100.0));
}

}  // namespace
