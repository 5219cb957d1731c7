// Capture speed on the small test show: frames per second of a headless capture at
// 640 x 480 and 1280 x 720 with PNG writing on and off, and the time from the start of a
// capture to its first frame (no processor clock measurement happens in a capture).
// With VELLUMITE_BENCH_SHOW=DIR (a show's folder, e.g. one written by vellumite-sample) also
// the show itself at 640 x 480, 1280 x 720 and 1920 x 1080, 30 frames per second, into an MP4
// file and, in the same run, rendered only (frames read back and dropped): frames per second
// and the speed as a multiple of real time. VELLUMITE_BENCH_SECONDS=S captures only the
// first S seconds of the show.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "shell/host/capture.h"
#include "shell/host/video_encoder.h"
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
  CaptureOptions options =
      benchCapture(dir, static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), state.range(2) != 0);
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

// The encoder alone (colour conversion, H.264, AAC, MP4) on 3 s of synthetic frames at 30
// frames per second: a gradient sliding under a square that moves across it. Arguments:
// width, height.
void BM_VideoEncoder(benchmark::State& state) {
  SceneTempDir dir;
  VideoSettings settings;
  settings.width = static_cast<int>(state.range(0));
  settings.height = static_cast<int>(state.range(1));
  const std::size_t w = static_cast<std::size_t>(settings.width);
  const std::size_t h = static_cast<std::size_t>(settings.height);
  std::vector<std::vector<std::uint32_t>> frames(30, std::vector<std::uint32_t>(w * h));
  for (std::size_t f = 0; f < frames.size(); ++f) {
    for (std::size_t y = 0; y < h; ++y) {
      for (std::size_t x = 0; x < w; ++x) {
        bool square = x - f * w / 40 < w / 5 && y - h / 3 < h / 4;
        std::uint32_t v = static_cast<std::uint32_t>((x + 4 * f) * 255 / (w + 120)) & 0xFF;
        frames[f][y * w + x] = square ? 0xFFF0D020u : 0xFF000000u | (v << 16) | (((y * 255) / h) << 8) | 0x40u;
      }
    }
  }
  std::vector<std::int16_t> sound(2 * 1470, 1000);
  int written = 0;
  for (auto _ : state) {
    settings.path = dir.file("bench.mp4");
    VideoEncoder encoder;
    if (!encoder.open(settings)) {
      state.SkipWithError(encoder.error().c_str());
      return;
    }
    for (int f = 0; f < 90; ++f) {
      if (!encoder.writeFrame(frames[static_cast<std::size_t>(f) % frames.size()].data()) ||
          !encoder.writeSound(sound.data(), 1470)) {
        state.SkipWithError(encoder.error().c_str());
        return;
      }
    }
    if (!encoder.finish()) state.SkipWithError(encoder.error().c_str());
    written += 90;
  }
  state.counters["frames/s"] = benchmark::Counter(written, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_VideoEncoder)
    ->Args({640, 480})
    ->Args({1280, 720})
    ->Args({1920, 1080})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

// Processor seconds of the whole process, every thread (the renderer's, the encoder's).
double processSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

// Arguments: width, height, MP4 (1) or rendered only (0). Besides the rate, the processor
// time a frame costs in all threads: on a shared machine the figure that other work
// disturbs least.
void BM_ShowCapture(benchmark::State& state) {
  const char* show = std::getenv("VELLUMITE_BENCH_SHOW");
  if (show == nullptr || *show == '\0') {
    state.SkipWithError("set VELLUMITE_BENCH_SHOW to a show's folder (vellumite-sample DIR writes one)");
    return;
  }
  // The output folder first: it makes itself the current folder.
  SceneTempDir dir;
  char previous[4096];
  if (getcwd(previous, sizeof previous) == nullptr || chdir(show) != 0) {
    state.SkipWithError("cannot enter VELLUMITE_BENCH_SHOW");
    return;
  }
  CaptureOptions options;
  options.outDirectory = dir.file("out");
  options.fps = 30;
  const char* seconds = std::getenv("VELLUMITE_BENCH_SECONDS");
  if (seconds != nullptr && std::atof(seconds) > 0.0) options.to = std::atof(seconds);
  options.frames = state.range(2) != 0 ? CaptureFrames::kVideo : CaptureFrames::kDiscard;
  // Both write the sound track (rendered only: into a WAV file), so the difference is the encoding.
  options.width = static_cast<int>(state.range(0));
  options.height = static_cast<int>(state.range(1));
  options.progress = nullptr;
  int frames = 0;
  double wall = 0.0;
  double processor = 0.0;
  for (auto _ : state) {
    CaptureResult result;
    double before = processSeconds();
    if (runCapture(options, &result) != kRunOk) {
      state.SkipWithError("capture failed");
      break;
    }
    frames += result.frames;
    wall += result.seconds;
    processor += processSeconds() - before;
  }
  if (chdir(previous) != 0) state.SkipWithError("cannot go back to the previous folder");
  state.counters["frames/s"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
  state.counters["x_realtime"] = wall > 0.0 ? frames / 30.0 / wall : 0.0;
  state.counters["cpu_ms/frame"] = frames > 0 ? processor * 1000.0 / frames : 0.0;
}
BENCHMARK(BM_ShowCapture)
    ->ArgNames({"w", "h", "mp4"})
    ->Args({1280, 720, 0})
    ->Args({1280, 720, 1})
    ->Args({640, 480, 0})
    ->Args({640, 480, 1})
    ->Args({1920, 1080, 0})
    ->Args({1920, 1080, 1})
    ->Unit(benchmark::kSecond)
    ->UseRealTime()
    ->Iterations(1);

}  // namespace
