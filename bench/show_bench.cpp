// Playing a whole show headless with the frames rendered, read back and thrown away: frames per
// second in each scene window of the timeline and in the slowest second of show time, at
// 640 x 480, 1280 x 720 and 1920 x 1080, with the main thread's time per frame split into the engine, the
// GL driver (drawing, clearing, blitting) and waiting for the rasteriser (presenting and
// reading back). Each size plays the show three times and reports the medians.
//
// The show comes from the environment's VELLUMITE_SHOW_DIR, else it is the show the build makes,
// else the sample show written into a temporary folder with the vellumite-sample tool built
// next to this benchmark. VELLUMITE_SHOW_FPS sets
// the show frames rendered per second of show time (default 10); VELLUMITE_SHOW_FROM and
// VELLUMITE_SHOW_TO play a part of it (seconds of show time); VELLUMITE_SHOW_FRAMES=1 also prints
// every frame's time of each play.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/dx7/dx7_frame_timing.h"
#include "shell/host/capture.h"
#include "shell/host/show_services.h"
#include "shell/show_timeline.h"

namespace {

struct Window {
  std::string name;
  double from;
  double to;
};

// The stretches of show time in which the same scenes render, from the timeline.
std::vector<Window> sceneWindows() {
  static const char* const kNames[kShowSceneCount] = {"grand", "text", "design", "dass", "dance2", "slut", "skitdemo"};
  std::vector<double> edges{0.0};
  for (const ShowSceneWindow& w : kShowWindows) {
    if (w.hasFrom) edges.push_back(w.from);
    edges.push_back(w.to);
  }
  std::sort(edges.begin(), edges.end());
  edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
  edges.push_back(1e9);
  std::vector<Window> windows;
  for (std::size_t i = 0; i + 1 < edges.size(); ++i) {
    const double a = edges[i], b = edges[i + 1];
    std::string name;
    for (const ShowSceneWindow& w : kShowWindows) {
      const double from = w.hasFrom ? w.from : 0.0;
      if (from <= a && b <= w.to) name += std::string(name.empty() ? "" : "+") + kNames[w.scene];
    }
    windows.push_back({name.empty() ? "closing" : name, a, b});
  }
  return windows;
}

std::string showDirectory() {
  if (const char* dir = std::getenv("VELLUMITE_SHOW_DIR")) return dir;
#ifdef VELLUMITE_SHOW_DIR
  if (std::filesystem::exists(std::filesystem::path(VELLUMITE_SHOW_DIR) / "grand.lws")) return VELLUMITE_SHOW_DIR;
#endif
  static std::string made;
  if (!made.empty()) return made;
  std::error_code ec;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return "";
  const std::filesystem::path tool = self.parent_path().parent_path() / "tools" / "sample" / "vellumite-sample";
  char pattern[] = "/tmp/vellumite-show-bench-XXXXXX";
  if (mkdtemp(pattern) == nullptr) return "";
  const std::string command = "'" + tool.string() + "' '" + pattern + "' > /dev/null";
  if (std::system(command.c_str()) != 0) return "";
  made = pattern;
  return made;
}

double envNumber(const char* name, double fallback) {
  const char* text = std::getenv(name);
  if (text == nullptr) return fallback;
  char* end = nullptr;
  const double v = std::strtod(text, &end);
  return end != text && v > 0 ? v : fallback;
}

double median(std::vector<double> v) {
  if (v.empty()) return 0.0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

struct WindowResult {
  double fps = 0.0;
  double slowestFps = 0.0;
  double slowestSecond = 0.0;
  double engineMs = 0.0;
  double driverMs = 0.0;
  double waitMs = 0.0;
  double draws = 0.0;
};

std::vector<WindowResult> summarise(const std::vector<Dx7FrameTiming>& frames, const std::vector<Window>& windows,
                                    int fps, double from) {
  std::vector<WindowResult> results(windows.size());
  for (std::size_t w = 0; w < windows.size(); ++w) {
    double seconds = 0.0, driver = 0.0, wait = 0.0, draws = 0.0;
    int count = 0;
    std::vector<double> secondTime;
    std::vector<int> secondFrames;
    for (std::size_t i = 0; i < frames.size(); ++i) {
      const double t = from + static_cast<double>(i) / fps;
      if (t < windows[w].from || t >= windows[w].to) continue;
      ++count;
      seconds += frames[i].seconds;
      driver += frames[i].driverSeconds;
      wait += frames[i].waitSeconds;
      draws += frames[i].draws;
      const auto s = static_cast<std::size_t>(t - windows[w].from);
      if (secondTime.size() <= s) {
        secondTime.resize(s + 1, 0.0);
        secondFrames.resize(s + 1, 0);
      }
      secondTime[s] += frames[i].seconds;
      ++secondFrames[s];
    }
    if (count == 0) continue;
    WindowResult& r = results[w];
    r.fps = count / seconds;
    r.engineMs = 1000.0 * (seconds - driver - wait) / count;
    r.driverMs = 1000.0 * driver / count;
    r.waitMs = 1000.0 * wait / count;
    r.draws = draws / count;
    r.slowestFps = 1e9;
    for (std::size_t s = 0; s < secondTime.size(); ++s) {
      // Only whole seconds of show time count (a frame of rounding short is still whole).
      if (secondFrames[s] < fps - 1 || secondTime[s] <= 0.0) continue;
      const double f = secondFrames[s] / secondTime[s];
      if (f < r.slowestFps) {
        r.slowestFps = f;
        r.slowestSecond = windows[w].from + static_cast<double>(s);
      }
    }
    if (r.slowestFps == 1e9) r.slowestFps = r.fps;
  }
  return results;
}

// Arguments: width, height.
void BM_ShowPlayback(benchmark::State& state) {
  const std::string dir = showDirectory();
  if (dir.empty() || chdir(dir.c_str()) != 0) {
    state.SkipWithError("no show folder (set VELLUMITE_SHOW_DIR)");
    return;
  }
  const int fps = static_cast<int>(envNumber("VELLUMITE_SHOW_FPS", 10));
  ProgramShowServices services;
  CaptureOptions options;
  options.services = &services;
  options.outDirectory = dir + "/bench-out";
  options.fps = fps;
  options.from = std::getenv("VELLUMITE_SHOW_FROM") ? envNumber("VELLUMITE_SHOW_FROM", 0.0) : 0.0;
  options.to = envNumber("VELLUMITE_SHOW_TO", -1.0);
  options.frames = CaptureFrames::kDiscard;
  options.width = static_cast<int>(state.range(0));
  options.height = static_cast<int>(state.range(1));
  options.writeAudio = false;
  options.progress = nullptr;
  const std::vector<Window> windows = sceneWindows();
  std::vector<std::vector<WindowResult>> runs;
  int frames = 0;
  for (auto _ : state) {
    std::vector<Dx7FrameTiming> log;
    log.reserve(4096);
    dx7SetFrameTimingLog(&log);
    CaptureResult result;
    const int code = runCapture(options, &result);
    dx7SetFrameTimingLog(nullptr);
    if (code != kRunOk) {
      state.SkipWithError("the show did not play");
      return;
    }
    frames += result.frames;
    runs.push_back(summarise(log, windows, fps, options.from));
    if (std::getenv("VELLUMITE_SHOW_FRAMES") != nullptr) {
      // Every frame's time, to see where a slow second loses it.
      std::printf("\nplay %zu, frame times (ms) from %.1f s:", runs.size(), options.from);
      for (std::size_t i = 0; i < log.size(); ++i)
        std::printf("%s%.1f", i % 20 == 0 ? "\n  " : " ", 1000.0 * log[i].seconds);
      std::printf("\n");
    }
  }
  state.counters["frames"] = frames;
  std::printf("\n%dx%d, %d show frames per second, median of %zu plays\n", options.width, options.height, fps,
              runs.size());
  std::printf("%-22s %8s %8s %10s %8s %8s %8s %8s\n", "window (s)", "fps", "slowest", "at second", "engine", "driver",
              "wait", "draws");
  for (std::size_t w = 0; w < windows.size(); ++w) {
    std::vector<double> f, slow, at, engine, driver, wait, draws;
    for (const auto& run : runs) {
      if (run[w].fps <= 0.0) continue;
      f.push_back(run[w].fps);
      slow.push_back(run[w].slowestFps);
      at.push_back(run[w].slowestSecond);
      engine.push_back(run[w].engineMs);
      driver.push_back(run[w].driverMs);
      wait.push_back(run[w].waitMs);
      draws.push_back(run[w].draws);
    }
    if (f.empty()) continue;
    char label[64];
    std::snprintf(label, sizeof label, "%s %.0f-%s", windows[w].name.c_str(), windows[w].from,
                  windows[w].to > 1e8 ? "end" : std::to_string(static_cast<int>(windows[w].to)).c_str());
    std::printf("%-22s %8.1f %8.1f %10.0f %6.2fms %6.2fms %6.2fms %8.0f\n", label, median(f), median(slow), median(at),
                median(engine), median(driver), median(wait), median(draws));
  }
  std::fflush(stdout);
}
BENCHMARK(BM_ShowPlayback)
    ->Args({640, 480})
    ->Args({1280, 720})
    ->Args({1920, 1080})
    ->Unit(benchmark::kSecond)
    ->UseRealTime()
    ->Iterations(3);

}  // namespace
