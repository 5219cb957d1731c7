// The real show's frame rate at 640 x 480, scene window by scene window: each second of a
// window is rendered headless at 60 frames per second of show time (frames read back and
// dropped) and timed; a window reports its slowest second and its mean, in frames per second.
// VELLUMITE_SHOW_STRIDE=N times every Nth second only (quicker, less thorough).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "shell/capture.h"

#ifndef VELLUMITE_SHOW_DIR
#define VELLUMITE_SHOW_DIR "show"
#endif

namespace {

struct Window {
  const char* name;
  double from, to;
};
constexpr Window kWindows[] = {
    {"grand", 0, 33},   {"grand+text", 33, 40},     {"design", 40, 68},      {"dance2", 68, 94},
    {"dass", 94, 134},  {"Slut+skitdemo", 134, 143}, {"closing picture", 143, 146},
};

// Seconds per frame of the frames after the first (the first carries the loading).
double secondPerFrame(double from) {
  CaptureOptions options;
  options.outDirectory = "/tmp/vellumite_show_bench";
  options.fps = 60;
  options.from = from;
  options.to = from + 1.0;
  options.frames = CaptureFrames::kDiscard;
  options.writeAudio = false;
  options.progress = nullptr;
  CaptureResult result;
  if (runCapture(options, &result) != kRunOk || result.frames < 2) return -1.0;
  return (result.seconds - result.secondsToFirstFrame) / (result.frames - 1);
}

void BM_ShowWindow(benchmark::State& state) {
  const Window& window = kWindows[state.range(0)];
  state.SetLabel(window.name);
  if (chdir(VELLUMITE_SHOW_DIR) != 0) {
    state.SkipWithError("the show's folder is missing: build the target vellumite-show");
    return;
  }
  const char* strideText = std::getenv("VELLUMITE_SHOW_STRIDE");
  const int stride = std::max(1, strideText != nullptr ? std::atoi(strideText) : 1);
  double slowest = 1e9, sum = 0, worstSecond = window.from;
  int seconds = 0;
  for (auto _ : state) {
    for (double s = window.from; s < window.to; s += stride) {
      const double spf = secondPerFrame(s);
      if (spf <= 0) {
        state.SkipWithError("capture failed");
        return;
      }
      const double fps = 1.0 / spf;
      if (fps < slowest) slowest = fps, worstSecond = s;
      sum += fps;
      ++seconds;
    }
  }
  state.counters["slowest_fps"] = slowest;
  state.counters["slowest_at_s"] = worstSecond;
  state.counters["mean_fps"] = sum / std::max(1, seconds);
}
BENCHMARK(BM_ShowWindow)->DenseRange(0, 6)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
