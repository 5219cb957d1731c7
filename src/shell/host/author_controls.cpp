// The author's clock and keys.
#include "shell/host/author_controls.h"

#include <cstdio>

#include "platform/bass/bass.h"
#include "platform/win32/win32_window.h"
#include "shell/show_hooks.h"

bool AuthorClock::handleMessage(UINT message, WPARAM key) {
  const bool down = message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
  const bool up = message == WM_KEYUP || message == WM_SYSKEYUP;
  if (!down && !up) return false;
  if (key == VK_SHIFT) {
    shift = down;
    return false;
  }
  if (!down) return false;
  const double step = shift ? 10.0 : 1.0;
  switch (key) {
    case VK_SPACE:
      isPaused = !isPaused;
      break;
    case VK_LEFT:
      seek -= step;
      break;
    case VK_RIGHT:
      seek += step;
      break;
    case VK_HOME:
      restart = true;
      seek = 0.0;
      ++restartCount;
      break;
    case 'R':
      return true;
    default:
      break;
  }
  return false;
}

double AuthorClock::advance(double elapsed) {
  if (restart)
    now = 0.0;
  else if (!isPaused && elapsed > 0.0)
    now += elapsed;
  now += seek;
  if (now < 0.0) now = 0.0;
  seek = 0.0;
  restart = false;
  return now;
}

std::string authorTitle(const std::string& name, double time, bool paused) {
  char text[64];
  std::snprintf(text, sizeof text, "  %.1f s%s", time, paused ? " (paused)" : "");
  return "[VELLUMITE] " + name + text;
}

bool pumpAuthorMessages(AuthorClock& clock, bool* reload) {
  MSG message{};
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) return false;
    if (clock.handleMessage(message.message, message.wParam) && reload != nullptr) *reload = true;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return true;
}

bool AuthorShowClock::afterFrame(GraphicsDriver*, ShowHooks* show, float showTime) {
  if (clock.restarts() != restarts) {  // Home: the music from its start, with the pictures
    restarts = clock.restarts();
    show->startMusic();
    if (clock.paused()) BASS_Stop();
  }
  if (clock.paused() != paused) {
    paused = clock.paused();
    if (paused)
      BASS_Stop();
    else
      BASS_Start();
  }
  const std::string shown = authorTitle("show", showTime, paused);
  if (titleSink != nullptr && shown != title) titleSink(shown.c_str(), titleContext);
  title = shown;
  return true;
}
