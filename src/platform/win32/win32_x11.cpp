// The X11 side of the desktop: an error handler that survives windows vanishing under a
// window manager, and the destruction of our windows by someone else.
#include "platform/win32/win32_x11.h"

#include <SDL.h>
#include <SDL_syswm.h>

#include <atomic>
#include <cstdio>
#include <cstring>

#include "platform/win32/win32_system.h"

#ifdef VELLUMITE_HAVE_X11
#include <X11/Xlib.h>
#endif

namespace {

std::atomic<std::uint64_t> toleratedErrors{0};

// X protocol numbers (fixed by the protocol): error codes and the focus request.
constexpr int kBadWindow = 3;
constexpr int kBadMatch = 8;
constexpr int kBadDrawable = 9;
constexpr int kSetInputFocusRequest = 42;

#ifdef VELLUMITE_HAVE_X11
XErrorHandler previousHandler = nullptr;
bool attached = false;

int tolerantHandler(Display* display, XErrorEvent* error) {
  if (win32X11ErrorIsVanishedWindow(error->error_code, error->request_code)) {
    ++toleratedErrors;
    char line[160];
    std::snprintf(line, sizeof line, "X request %d on the vanished window 0x%lx (error %d) ignored\n",
                  error->request_code, static_cast<unsigned long>(error->resourceid), error->error_code);
    OutputDebugStringA(line);
    return 0;
  }
  return previousHandler != nullptr ? previousHandler(display, error) : 0;
}

bool videoIsX11() {
  const char* driver = SDL_GetCurrentVideoDriver();
  return driver != nullptr && std::strcmp(driver, "x11") == 0;
}
#endif

}  // namespace

bool win32X11ErrorIsVanishedWindow(int errorCode, int requestCode) {
  if (errorCode == kBadWindow || errorCode == kBadDrawable) return true;
  // Focus given to a window the window manager has just unmapped.
  return errorCode == kBadMatch && requestCode == kSetInputFocusRequest;
}

std::uint64_t win32X11ToleratedErrors() { return toleratedErrors.load(); }

void win32X11Attach() {
#ifdef VELLUMITE_HAVE_X11
  if (attached || SDL_WasInit(SDL_INIT_VIDEO) == 0 || !videoIsX11()) return;
  attached = true;
  // SDL sets handlers of its own around a few requests and restores ours afterwards.
  previousHandler = XSetErrorHandler(tolerantHandler);
  SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
#endif
}

void win32X11ReleaseLostWindow(SDL_Window* window) {
#ifdef VELLUMITE_HAVE_X11
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (window == nullptr || SDL_GetWindowWMInfo(window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11) return;
  XEvent unmap;
  std::memset(&unmap, 0, sizeof unmap);
  unmap.xunmap.type = UnmapNotify;
  unmap.xunmap.display = info.info.x11.display;
  unmap.xunmap.event = info.info.x11.window;
  unmap.xunmap.window = info.info.x11.window;
  XPutBackEvent(info.info.x11.display, &unmap);
#else
  (void)window;
#endif
}

SDL_Window* win32X11DestroyedWindow(const SDL_Event& event, SDL_Window* const* windows, int count) {
#ifdef VELLUMITE_HAVE_X11
  if (event.type != SDL_SYSWMEVENT || event.syswm.msg == nullptr || event.syswm.msg->subsystem != SDL_SYSWM_X11)
    return nullptr;
  const XEvent& x = event.syswm.msg->msg.x11.event;
  if (x.type != DestroyNotify) return nullptr;
  for (int i = 0; i < count; ++i) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (windows[i] != nullptr && SDL_GetWindowWMInfo(windows[i], &info) == SDL_TRUE &&
        info.subsystem == SDL_SYSWM_X11 && info.info.x11.window == x.xdestroywindow.window)
      return windows[i];
  }
#else
  (void)event;
  (void)windows;
  (void)count;
#endif
  return nullptr;
}
