// Capture speed on the small test show: frames per second of a headless capture at
// 640 x 480 and 1280 x 720 with PNG writing on and off, and the time from the start of a
// capture to its first frame (no processor clock measurement happens in a capture).
#include <benchmark/benchmark.h>

#include <string>

#include "shell/capture.h"
#include "support/scene_files.h"
#include "support/show_fakes.h"
#include "support/show_test_files.h"

namespace {

CaptureOptions benchCapture(const SceneTempDir& dir, int width, int height, bool png) {
  static QuietShowServices quiet;
  static VolumeCaptureMusic music;
  CaptureOptions options;
  options.outDirectory = dir.file("out");
  options.fps = 30;
  options.to = 1.0;  // 30 frames
  options.frames = png ? CaptureFrames::kPng : CaptureFrames::kDiscard;
  options.width = width;
  options.height = height;
  options.progress = nullptr;
  options.services = &quiet;
  options.music = &music;
  return options;
}

// Arguments: width, height, PNG on (1) or off (0).
void BM_CaptureFramesPerSecond(benchmark::State& state) {
  SceneTempDir dir;
  if (!writeShowTestScene(dir)) {
    state.SkipWithError("cannot write the test show");
    return;
  }
  CaptureOptions options = benchCapture(dir, static_cast<int>(state.range(0)), static_cast<int>(state.range(1)),
                                        state.range(2) != 0);
  int frames = 0;
  for (auto _ : state) {
    CaptureResult result;
    if (runCapture(options, &result) != kRunOk) {
      state.SkipWithError("capture failed");
      return;
    }
    frames += result.frames;
  }
  state.counters["frames/s"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_CaptureFramesPerSecond)
    ->Args({640, 480, 0})
    ->Args({640, 480, 1})
    ->Args({1280, 720, 0})
    ->Args({1280, 720, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

// Start-up to the first frame read back: set-up of the headless device, loading the show,
// one frame.
void BM_CaptureTimeToFirstFrame(benchmark::State& state) {
  SceneTempDir dir;
  if (!writeShowTestScene(dir)) {
    state.SkipWithError("cannot write the test show");
    return;
  }
  CaptureOptions options = benchCapture(dir, 640, 480, false);
  options.to = 1.0 / 30.0;
  for (auto _ : state) {
    CaptureResult result;
    if (runCapture(options, &result) != kRunOk) {
      state.SkipWithError("capture failed");
      return;
    }
    state.SetIterationTime(result.secondsToFirstFrame);
  }
}
BENCHMARK(BM_CaptureTimeToFirstFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
