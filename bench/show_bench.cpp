// The real show's frame rate at 640 x 480, scene window by scene window: each second of a
// window is rendered headless at 60 frames per second of show time (frames read back and
// dropped) and timed; a window reports its slowest second and its mean, in frames per second.
// Two clocks: the wall clock, and the processor time of the whole process (every rendering
// thread included) which a busy machine disturbs far less: 1 / (processor seconds per frame)
// is the rate one core would reach, so a quiet two-core machine renders at least that.
// VELLUMITE_SHOW_STRIDE=N times every Nth second only (quicker, less thorough);
// VELLUMITE_SHOW_BENCH_DIR=DIR times another show.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <ctime>

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

double processSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

struct Timing {
  double wallPerFrame = -1;  // seconds per frame after the first (the first carries the loading)
  double cpu = -1;           // processor seconds of the whole call
  int frames = 0;
};

Timing timeSpan(double from, double length) {
  CaptureOptions options;
  options.outDirectory = "/tmp/vellumite_show_bench";
  options.fps = 60;
  options.from = from;
  options.to = from + length;
  options.frames = CaptureFrames::kDiscard;
  options.writeAudio = false;
  options.progress = nullptr;
  CaptureResult result;
  Timing timing;
  const double start = processSeconds();
  if (runCapture(options, &result) != kRunOk) return timing;
  timing.cpu = processSeconds() - start;
  timing.frames = result.frames;
  if (result.frames > 1) timing.wallPerFrame = (result.seconds - result.secondsToFirstFrame) / (result.frames - 1);
  return timing;
}

void BM_ShowWindow(benchmark::State& state) {
  const Window& window = kWindows[state.range(0)];
  state.SetLabel(window.name);
  const char* other = std::getenv("VELLUMITE_SHOW_BENCH_DIR");
  if (chdir(other != nullptr ? other : VELLUMITE_SHOW_DIR) != 0) {
    state.SkipWithError("the show's folder is missing: build the target vellumite-show");
    return;
  }
  const char* strideText = std::getenv("VELLUMITE_SHOW_STRIDE");
  const int stride = std::max(1, strideText != nullptr ? std::atoi(strideText) : 1);
  double slowest = 1e9, slowestCpu = 1e9, sum = 0, sumCpu = 0, worstSecond = window.from, worstCpuSecond = window.from;
  int seconds = 0;
  for (auto _ : state) {
    // The processor time of loading and of the first frame, taken off every second's.
    const Timing start = timeSpan(window.from, 1.0 / 60.0);
    for (double s = window.from; s < window.to; s += stride) {
      const Timing t = timeSpan(s, 1.0);
      if (t.wallPerFrame <= 0 || t.cpu <= 0 || start.cpu <= 0) {
        state.SkipWithError("capture failed");
        return;
      }
      const double fps = 1.0 / t.wallPerFrame;
      const double cpuFps = (t.frames - 1) / std::max(1e-6, t.cpu - start.cpu);
      if (fps < slowest) slowest = fps, worstSecond = s;
      if (cpuFps < slowestCpu) slowestCpu = cpuFps, worstCpuSecond = s;
      sum += fps;
      sumCpu += cpuFps;
      ++seconds;
    }
  }
  state.counters["wall_slowest_fps"] = slowest;
  state.counters["wall_slowest_at_s"] = worstSecond;
  state.counters["wall_mean_fps"] = sum / std::max(1, seconds);
  state.counters["cpu_slowest_fps"] = slowestCpu;
  state.counters["cpu_slowest_at_s"] = worstCpuSecond;
  state.counters["cpu_mean_fps"] = sumCpu / std::max(1, seconds);
}
BENCHMARK(BM_ShowWindow)->DenseRange(0, 6)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
