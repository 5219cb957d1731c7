// Win32 system services on SDL2 and the C library: headless detection, the millisecond
// clock, message boxes, screen metrics and process exit.
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/win32/win32_sdl.h"
#include "platform/win32/win32_system.h"
#include "platform/win32/win32_x11.h"

namespace {

// Headless state: -1 not decided yet, 0 display, 1 headless.
int headlessState = -1;
bool displayUnreachable = false;
char displayError[256] = "";

void applyHeadlessEnvironment() {
  const char* video = std::getenv("SDL_VIDEODRIVER");
  if (video == nullptr || std::strcmp(video, "dummy") != 0) setenv("SDL_VIDEODRIVER", "offscreen", 1);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
}

bool environmentHasDisplay() {
#if defined(__EMSCRIPTEN__)
  return true;  // the web page's canvas
#endif
  const char* video = std::getenv("SDL_VIDEODRIVER");
  if (video != nullptr && (std::strcmp(video, "offscreen") == 0 || std::strcmp(video, "dummy") == 0)) return false;
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (x11 != nullptr && *x11 != '\0') || (wayland != nullptr && *wayland != '\0');
}

Win32ClockSource clockSource = nullptr;
void* clockContext = nullptr;

Win32MessageBoxSink messageBoxSink = nullptr;
void* messageBoxContext = nullptr;

}  // namespace

bool win32IsHeadless() {
  if (headlessState < 0) {
    headlessState = environmentHasDisplay() ? 0 : 1;
    if (headlessState == 1) applyHeadlessEnvironment();
  }
  return headlessState == 1;
}

void win32SetHeadless(bool headless) {
  headlessState = headless ? 1 : 0;
  if (headless) applyHeadlessEnvironment();
}

bool win32EnsureVideo() {
  if (SDL_WasInit(SDL_INIT_VIDEO) != 0) return true;
  bool headless = win32IsHeadless();
#if defined(SDL_HINT_VIDEODRIVER) && !defined(__EMSCRIPTEN__)
  // An X11 display and no Wayland one: X11 straight away (no noise from probing Wayland).
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  if (!headless && std::getenv("SDL_VIDEODRIVER") == nullptr && (wayland == nullptr || *wayland == '\0'))
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
#endif
  if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) == 0) {
    const char* driver = SDL_GetCurrentVideoDriver();
    bool desktop = driver != nullptr && (std::strcmp(driver, "x11") == 0 || std::strcmp(driver, "wayland") == 0 ||
                                         std::strcmp(driver, "emscripten") == 0);
    // A driver asked for by name (SDL_VIDEODRIVER) is taken as it is.
    if (headless || desktop || std::getenv("SDL_VIDEODRIVER") != nullptr) {
      win32X11Attach();
      return true;
    }
    // SDL settled on a driver that shows nothing on a desktop: the display named by the
    // environment was not reached.
    SDL_SetError("no X11 or Wayland display could be opened (SDL chose its %s driver)",
                 driver != nullptr ? driver : "no");
    std::snprintf(displayError, sizeof displayError, "%s", SDL_GetError());
    SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
    displayUnreachable = true;
    win32SetHeadless(true);
    return SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) == 0;
  }
  if (headless) return false;
  // The display could not be opened: carry on without one (the caller may rather end).
  displayUnreachable = true;
  std::snprintf(displayError, sizeof displayError, "%s", SDL_GetError());
  win32SetHeadless(true);
#ifdef SDL_HINT_VIDEODRIVER
  SDL_SetHint(SDL_HINT_VIDEODRIVER, nullptr);
#endif
  return SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) == 0;
}

bool win32DisplayUnreachable() { return displayUnreachable; }
const char* win32DisplayError() { return displayError; }

void win32SetClockSource(Win32ClockSource source, void* context) {
  clockSource = source;
  clockContext = context;
}

DWORD timeGetTime() {
  if (clockSource != nullptr) return clockSource(clockContext);
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  std::uint64_t ms =
      static_cast<std::uint64_t>(now.tv_sec) * 1000u + static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<DWORD>(ms);
}

UINT timeBeginPeriod(UINT) { return 0; }
UINT timeEndPeriod(UINT) { return 0; }

void Sleep(DWORD milliseconds) {
  timespec pause{};
  pause.tv_sec = milliseconds / 1000;
  pause.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
  nanosleep(&pause, nullptr);
}

struct Win32Instance {
  int unused = 0;
};

HMODULE GetModuleHandleA(LPCSTR moduleName) {
  static Win32Instance program;
  return moduleName == nullptr ? &program : nullptr;
}

void win32SetMessageBoxSink(Win32MessageBoxSink sink, void* context) {
  messageBoxSink = sink;
  messageBoxContext = context;
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  if (text == nullptr) text = "";
  if (caption == nullptr) caption = "Error";
  if (messageBoxSink != nullptr) return messageBoxSink(owner, text, caption, type, messageBoxContext);
  UINT buttons = type & 0xF;
  int accept = buttons == MB_YESNO ? IDYES : IDOK;
  if (!win32IsHeadless() && win32EnsureVideo()) {
    Uint32 flags = SDL_MESSAGEBOX_INFORMATION;
    UINT icon = type & 0xF0;
    if (icon == MB_ICONERROR) flags = SDL_MESSAGEBOX_ERROR;
    if (icon == MB_ICONWARNING) flags = SDL_MESSAGEBOX_WARNING;
    SDL_MessageBoxButtonData choices[2] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, accept, buttons == MB_YESNO ? "Yes" : "OK"},
        {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, buttons == MB_YESNO ? IDNO : IDCANCEL,
         buttons == MB_YESNO ? "No" : "Cancel"}};
    bool twoButtons = buttons == MB_YESNO || buttons == MB_OKCANCEL;
    if (!twoButtons) choices[0].flags |= SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
    SDL_MessageBoxData box{};
    box.flags = flags;
    box.title = caption;
    box.message = text;
    box.numbuttons = twoButtons ? 2 : 1;
    box.buttons = choices;
    int pressed = 0;
    if (SDL_ShowMessageBox(&box, &pressed) == 0)
      return pressed < 0 ? (twoButtons ? choices[1].buttonid : accept) : pressed;
  }
  std::fprintf(stderr, "%s: %s\n", caption, text);
  std::fflush(stderr);
  return accept;
}

int GetSystemMetrics(int index) {
  if (index != 0 && index != 1) return 0;
  if (!win32IsHeadless() && win32EnsureVideo() && !win32IsHeadless()) {
    SDL_DisplayMode mode{};
    if (SDL_GetDesktopDisplayMode(0, &mode) == 0) return index == 0 ? mode.w : mode.h;
  }
  return index == 0 ? kWin32VirtualScreenWidth : kWin32VirtualScreenHeight;
}

void ExitProcess(UINT exitCode) {
  std::fflush(nullptr);
  // Closes the debug output's file.
  win32SetDebugSink(nullptr, nullptr);
  if (SDL_WasInit(0) != 0) SDL_Quit();
  std::_Exit(static_cast<int>(exitCode));
}
