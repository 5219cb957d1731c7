// Progress bar and progress lines of a capture.
#include "shell/host/capture_progress.h"

#include <cmath>

namespace {

constexpr double kBarInterval = 0.2;  // seconds between redraws of the bar

double speed(const CaptureProgressState& s) {
  return s.elapsed > 0.0 && s.fps > 0 ? (static_cast<double>(s.frames) / s.fps) / s.elapsed : 0.0;
}

// Seconds until the last frame at the speed so far; negative when unknown.
double secondsLeft(const CaptureProgressState& s) {
  if (s.totalFrames <= 0 || s.frames <= 0 || s.elapsed <= 0.0) return -1.0;
  int left = s.totalFrames > s.frames ? s.totalFrames - s.frames : 0;
  return s.elapsed * left / s.frames;
}

int percent(const CaptureProgressState& s) {
  if (s.totalFrames <= 0) return 0;
  long long p = 100LL * s.frames / s.totalFrames;
  return p > 100 ? 100 : static_cast<int>(p);
}

}  // namespace

std::string formatDuration(double seconds) {
  if (!std::isfinite(seconds) || seconds < 0.0) return "?";
  long long total = std::llround(seconds);
  char text[32];
  if (total >= 3600) {
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", total / 3600, total / 60 % 60, total % 60);
  } else {
    std::snprintf(text, sizeof text, "%lld:%02lld", total / 60, total % 60);
  }
  return text;
}

std::string captureProgressBar(const CaptureProgressState& state, int barWidth) {
  std::string bar = "[";
  int filled = state.totalFrames > 0 ? percent(state) * barWidth / 100 : 0;
  bar.append(static_cast<std::size_t>(filled), '#');
  bar.append(static_cast<std::size_t>(barWidth - filled), '.');
  char text[160];
  if (state.totalFrames > 0) {
    std::snprintf(text, sizeof text, "] %3d%%  frame %d/%d  %.2fx real time  %s left", percent(state), state.frames,
                  state.totalFrames, speed(state), formatDuration(secondsLeft(state)).c_str());
  } else {
    std::snprintf(text, sizeof text, "]  frame %d  %.2fx real time", state.frames, speed(state));
  }
  return bar + text;
}

std::string captureProgressLine(const CaptureProgressState& state) {
  char text[200];
  double shown = state.fps > 0 ? static_cast<double>(state.frames) / state.fps : 0.0;
  if (state.totalFrames > 0) {
    std::snprintf(text, sizeof text,
                  "vellumite: frame %d of %d (%d%%), %.1f s of the show, %.2fx real time, about %s left", state.frames,
                  state.totalFrames, percent(state), shown, speed(state), formatDuration(secondsLeft(state)).c_str());
  } else {
    std::snprintf(text, sizeof text, "vellumite: frame %d, %.1f s of the show, %.2fx real time", state.frames, shown,
                  speed(state));
  }
  return text;
}

CaptureProgress::CaptureProgress(std::FILE* stream, bool terminal, double lineInterval)
    : stream_(stream), terminal_(terminal), interval_(lineInterval) {}

void CaptureProgress::update(const CaptureProgressState& state) {
  if (stream_ == nullptr || finished_) return;
  double interval = terminal_ ? kBarInterval : interval_;
  if (lastShown_ >= 0.0 && state.elapsed - lastShown_ < interval) return;
  // The first plain line waits for an interval too: a short capture prints only its summary.
  if (!terminal_ && lastShown_ < 0.0) {
    lastShown_ = state.elapsed;
    return;
  }
  lastShown_ = state.elapsed;
  show(state);
}

void CaptureProgress::finish(const CaptureProgressState& state) {
  if (stream_ == nullptr || finished_) return;
  finished_ = true;
  // A plain log gets no closing line of its own: the caller reports the result.
  if (!terminal_) return;
  show(state);
  std::fputc('\n', stream_);
  std::fflush(stream_);
}

void CaptureProgress::show(const CaptureProgressState& state) {
  if (terminal_) {
    // The line is redrawn in place and cleared to its end.
    std::fprintf(stream_, "\r%s\033[K", captureProgressBar(state, 30).c_str());
  } else {
    std::fprintf(stream_, "%s\n", captureProgressLine(state).c_str());
  }
  std::fflush(stream_);
}
