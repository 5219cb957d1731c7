// Entry and main loop.
#include "shell/entry.h"

#include <cstdio>
#include <cstring>

#include "gfx/graphics_driver.h"
#include "math/camera.h"
#include "math/matrix4.h"
#include "platform/win32/win32_system.h"
#include "platform/win32/win32_window.h"
#include "shell/memory_tracker.h"
#include "shell/show_hooks.h"

namespace {

ShowHooks noShow;

// One frame, in its fixed order. Returns the advanced show clock; with a steered clock the
// elapsed time goes through it (paused, seeked, restarted, looped).
void renderFrame(GraphicsDriver* driver, ShowHooks* show, float& showTime, DWORD& lastTick, SteeredClock* clock) {
  driver->clear(0, 1.0f, 0, nullptr, true);

  Camera camera;
  placeFrameCamera(camera);
  driver->setCamera(camera);

  // The elapsed milliseconds in unsigned 32-bit arithmetic (the counter's wrap is
  // harmless), converted exactly, scaled by the single-precision 0.001, summed and
  // rounded to single precision. The next step is measured from a fresh reading.
  DWORD now = timeGetTime();
  double elapsed = static_cast<double>(static_cast<DWORD>(now - lastTick));
  if (clock != nullptr)
    showTime = static_cast<float>(clock->advance(elapsed * static_cast<double>(0.001f)));
  else
    showTime = static_cast<float>(static_cast<double>(showTime) + elapsed * static_cast<double>(0.001f));
  lastTick = timeGetTime();

  if (showTime > kShowLength && (clock == nullptr || clock->endsWithTheShow())) PostQuitMessage(0);

  Matrix4 identity;
  identity.setIdentity();
  driver->setWorldMatrix(identity);
  driver->beginScene();
  show->drawFrame(driver, showTime, camera);
  driver->endScene();
  driver->present(false);
}

}  // namespace

void formatFeatureList(const SystemInfo& info, char (&out)[512]) {
  out[0] = '\0';
  if (info.has3DNow) std::strcat(out, "3DNow ");
  if (info.hasSse) std::strcat(out, "SSE ");
  if (info.hasMmx) std::strcat(out, "MMX ");
}

void formatWindowTitle(const SystemInfo& info, const char* features, char (&out)[512]) {
  char name[sizeof info.cpuName + 1];
  std::memcpy(name, info.cpuName, sizeof info.cpuName);
  name[sizeof info.cpuName] = '\0';
  // The title is cut at the buffer's end, like every fixed text buffer of the shell.
  if (std::snprintf(out, sizeof out, "[VELLUMITE] %s ( %s) @ %dMhz", name, features, info.cpuMhz) < 0) out[0] = '\0';
}

void placeFrameCamera(Camera& camera) {
  camera.setPosition(0.0f, 1.0f, -3.0f);
  camera.lookAt(Vector3{0.0f, 0.0f, 0.0f}, 0.0f);
}

bool dispatchPendingMessages() {
  MSG message{};
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) return false;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return true;
}

int runEntry(HINSTANCE instance, const EntryEnvironment& environment) {
  ShowHooks* show = environment.show != nullptr ? environment.show : &noShow;

  if (environment.querySystemInfo != nullptr) environment.querySystemInfo();
  char features[512];
  formatFeatureList(systemInfo, features);
  char title[512];
  formatWindowTitle(systemInfo, features, title);

  GraphicsDriver* driver = environment.createDriver(instance, title, environment.context);
  if (driver != nullptr) {
    driver->chooseVideoMode(1, 0);
    if (environment.afterVideoChoice != nullptr) {
      int code = environment.afterVideoChoice(driver, environment.context);
      if (code >= 0) {
        delete driver;
        reportMemoryStatus(false, 512);
        return code;
      }
    }
  }
  if (driver == nullptr || !driver->initialize()) {
    MessageBoxA(nullptr, "DirectX failed to intalize!", "Error!", MB_OK);
    // The driver gives back the display (and its mode) before the process ends.
    delete driver;
    return 0;
  }
  driver->enableLighting();
  show->load(driver);

  float showTime = 0.0f;
  show->startMusic();
  DWORD lastTick = timeGetTime();

  SteeredClock* clock = environment.clock;
  if (clock == nullptr) {
    while (dispatchPendingMessages()) renderFrame(driver, show, showTime, lastTick, nullptr);
  } else {
    while (clock->dispatchMessages()) {
      renderFrame(driver, show, showTime, lastTick, clock);
      if (!clock->afterFrame(driver, show, showTime)) break;
    }
  }

  show->shutdown();
  delete driver;
  reportMemoryStatus(false, 512);
  return 0;
}
