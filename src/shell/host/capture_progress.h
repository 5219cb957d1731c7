// The progress of a capture as the user sees it: a bar redrawn in place on a terminal, plain
// lines now and then when the messages go to a file or a pipe.
#pragma once

#include <cstdio>
#include <string>

struct CaptureProgressState {
  int frames = 0;       // frames rendered so far
  int totalFrames = 0;  // frames expected in all; 0 when not known
  int fps = 30;
  double elapsed = 0.0;  // seconds since the capture started
};

// "[#########...........]  45%  frame 1980/4396  1.31x real time  0:42 left"
// (`barWidth` characters between the brackets).
std::string captureProgressBar(const CaptureProgressState& state, int barWidth);
// "vellumite: frame 1980 of 4396 (45%), 66.0 s of the show, 1.31x real time, about 0:42 left"
std::string captureProgressLine(const CaptureProgressState& state);
// "0:42", "1:02:03"; negative or not finite: "?".
std::string formatDuration(double seconds);

class CaptureProgress {
 public:
  // `stream` null: quiet. A terminal gets the bar, anything else a line every `lineInterval` s.
  CaptureProgress(std::FILE* stream, bool terminal, double lineInterval = 10.0);
  // After a frame; shown when enough time has passed since the last update.
  void update(const CaptureProgressState& state);
  // The last state shown in full, the bar's line ended. Once.
  void finish(const CaptureProgressState& state);

 private:
  void show(const CaptureProgressState& state);

  std::FILE* stream_;
  bool terminal_;
  double interval_;
  double lastShown_ = -1.0;
  bool finished_ = false;
};
