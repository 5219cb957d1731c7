// The real program's environment and the Win32 entry.
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
#include "shell/host/author_controls.h"
#include "shell/memory_tracker.h"
#include "shell/host/show_services.h"
#include "shell/show_timeline.h"
#include "shell/video_setup_dialog.h"

namespace {

// The driver of the show, for the author's window title.
Direct3DDriver* showDriver = nullptr;

void setShowTitle(const char* title, void*) {
  if (showDriver != nullptr && showDriver->window != nullptr) SetWindowTextA(showDriver->window, title);
}

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

// The program's driver, handed to the show's services for its back buffer and window. With
// --max-fps (and no --vsync) each present waits for the frame's slot, so that a show does
// not take every core it can.
class ProgramDriver : public Direct3DDriver {
 public:
  ProgramDriver(HINSTANCE instance, const char* title, int maxFps)
      : Direct3DDriver(instance, title), period(maxFps > 0 ? 1000000000LL / maxFps : 0) {
    setShowDriver(this);
  }
  ~ProgramDriver() override { forgetShowDriver(this); }
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
};

GraphicsDriver* createProgramDriver(HINSTANCE instance, const char* title, void*) {
  const ProgramOptions& options = programOptions();
  Direct3DDriver* driver = TRACKED_NEW ProgramDriver(instance, title, options.vsync ? 0 : options.maxFps);
  showDriver = driver;
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
  }
  return driver;
}

int afterProgramVideoChoice(GraphicsDriver* driver, void*) {
  // The setup dialog was closed from the desktop: the program ends without a show.
  if (videoSetupDialogQuit()) return 0;
  return checkVideoChoice(*static_cast<Direct3DDriver*>(driver), stderr);
}

}  // namespace

int checkVideoChoice(const Direct3DDriver& driver, std::FILE* err) {
  const ProgramOptions& options = programOptions();
  switch (driver.videoChoice) {
    case VideoChoice::kChosen: return -1;
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

EntryEnvironment programEnvironment(ShowHooks* show) {
  EntryEnvironment environment{};
  environment.createDriver = createProgramDriver;
  environment.afterVideoChoice = afterProgramVideoChoice;
  environment.querySystemInfo = querySystemInfo;
  environment.show = show;
  environment.context = nullptr;
  if (programOptions().author) {
    static AuthorShowClock author(setShowTitle, nullptr);
    environment.clock = &author;
  }
  return environment;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
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
  ShowHooks* show = createShow();
  int code = runEntry(instance, programEnvironment(show));
  ExitProcess(static_cast<UINT>(code));
}
