// The real program's environment, its run and the Win32 entry.
#include "shell/host/program.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "gfx/d3d7/direct3d_driver.h"
#include "platform/win32/win32_host.h"
#include "platform/win32/win32_system.h"
#include "platform/win32/win32_window.h"
#include "shell/memory_tracker.h"
#include "shell/show_timeline.h"
#include "shell/video_setup_dialog.h"

namespace {

void listModes(const Direct3DDriver& driver, std::FILE* err) {
  for (int a = 0; a < driver.adapterCount; ++a) {
    const AdapterInfo& adapter = driver.adapters[a];
    std::fprintf(err, "Adapter %d: %s\n", a, adapter.description);
    if (adapter.modeCount == 0) std::fprintf(err, "  (no display modes)\n");
    for (int m = 0; m < adapter.modeCount; ++m) {
      const DDSURFACEDESC2& mode = adapter.modes[m];
      std::fprintf(err, "  %lux%lux%lu\n", static_cast<unsigned long>(mode.dwWidth),
                   static_cast<unsigned long>(mode.dwHeight),
                   static_cast<unsigned long>(mode.ddpfPixelFormat.dwRGBBitCount));
    }
  }
}

// The program's driver. With --max-fps (and no --vsync) each present waits for the frame's slot, so that a show does
// not take every core it can.
class ProgramDriver : public Direct3DDriver {
 public:
  ProgramDriver(HINSTANCE module, const char* title, int maxFps, ProgramRun* owner)
      : Direct3DDriver(module, title), period(maxFps > 0 ? 1000000000LL / maxFps : 0), run(owner) {
    run->driver = this;
  }
  ~ProgramDriver() override {
    if (run->driver == this) run->driver = nullptr;
  }
  void present(bool wait) override {
    Direct3DDriver::present(wait);
    if (period.count() == 0) return;
    const Clock::time_point now = Clock::now();
    if (next > now) std::this_thread::sleep_until(next);
    // A late frame starts the count afresh instead of hurrying the ones after it.
    next = std::max(next, now) + period;
  }

 private:
  using Clock = std::chrono::steady_clock;
  std::chrono::nanoseconds period;
  Clock::time_point next{};
  ProgramRun* run;
};

GraphicsDriver* createProgramDriver(HINSTANCE instance, const char* title, void* context) {
  ProgramRun* run = static_cast<ProgramRun*>(context);
  const ProgramOptions& options = run->options;
  const char* shown = run->windowTitle.empty() ? title : run->windowTitle.c_str();
  Direct3DDriver* driver = TRACKED_NEW ProgramDriver(instance, shown, options.vsync ? 0 : options.maxFps, run);
  Direct3DDriver::setVideoSetupDialog(runVideoSetupDialog);
  if (options.videoOptionGiven) {
    VideoPreset preset;
    preset.adapter = options.adapter;
    if (options.hasMode) {
      preset.width = options.width;
      preset.height = options.height;
      preset.bitsPerPixel = options.bitsPerPixel;
    }
    preset.fullscreen = options.fullscreen;
    preset.waitForRetrace = options.vsync;
    preset.lowBppTextures = options.lowBppTextures;
    preset.dither = !options.noDither;
    driver->presetVideoOptions(preset);
  } else if (!run->setupDialog) {
    driver->presetVideoOptions(VideoPreset{});
  }
  return driver;
}

int afterProgramVideoChoice(GraphicsDriver*, void* context) {
  const ProgramRun* run = static_cast<const ProgramRun*>(context);
  // The setup dialog was closed from the desktop: the program ends without a show.
  if (videoSetupDialogQuit()) return 0;
  return run->driver != nullptr ? checkVideoChoice(*run->driver, run->options, stderr) : -1;
}

}  // namespace

int checkVideoChoice(const Direct3DDriver& driver, const ProgramOptions& options, std::FILE* err) {
  switch (driver.videoChoice) {
    case VideoChoice::kChosen:
      return -1;
    case VideoChoice::kUnknownAdapter:
      std::fprintf(err, "vellumite: there is no display adapter %d\n", options.adapter);
      listModes(driver, err);
      return 2;
    case VideoChoice::kUnknownMode:
      std::fprintf(err, "vellumite: the display mode %dx%dx%d is not available\n", options.width, options.height,
                   options.bitsPerPixel);
      listModes(driver, err);
      return 2;
    case VideoChoice::kNoModes:
    default:
      std::fprintf(err, "vellumite: no usable display mode\n");
      listModes(driver, err);
      return 1;
  }
}

void ProgramRun::setTitle(const char* title, void* context) {
  const ProgramRun* run = static_cast<const ProgramRun*>(context);
  if (run->driver != nullptr && run->driver->window != nullptr) SetWindowTextA(run->driver->window, title);
}

EntryEnvironment ProgramRun::environment(ShowHooks* show) {
  EntryEnvironment environment{};
  environment.createDriver = createProgramDriver;
  environment.afterVideoChoice = afterProgramVideoChoice;
  environment.querySystemInfo = querySystemInfo;
  environment.show = show;
  environment.context = this;
  if (options.author) environment.clock = &author;
  return environment;
}

void runProgram(HINSTANCE instance, const ProgramOptions& options) {
  if (instance == nullptr) instance = GetModuleHandleA(nullptr);
  // The desktop is opened first, so that a display that cannot be reached makes the whole
  // run headless from the start.
  win32EnsureVideo();
  if (win32DisplayUnreachable()) {
    // Nothing could be shown: say so rather than play the show to nobody.
    const char* display = std::getenv("DISPLAY");
    std::fprintf(stderr, "vellumite: cannot open the display %s (%s); --headless runs without one\n",
                 display != nullptr ? display : "", win32DisplayError());
    MessageBoxA(nullptr, "DirectX failed to intalize!", "Error!", MB_OK);
    ExitProcess(0);
  }
  ProgramRun run(options);
  ShowHooks* show = createShow(&run.services);
  int code = runEntry(instance, run.environment(show));
  ExitProcess(static_cast<UINT>(code));
}

// The Win32 entry as the platform's start-up calls it runs the show with the default
// options; main hands the parsed ones to runProgram itself.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) { runProgram(instance, ProgramOptions{}); }
