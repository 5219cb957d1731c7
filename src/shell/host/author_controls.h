// The author's controls of a playing scene or show: a clock that pauses, seeks and
// restarts from the keyboard (Space, Left/Right ±1 s, with Shift ±10 s, Home, R to
// reload), the message pump that hands it the keys, the window title with the time, and
// the show steered by them through the entry (--author).
#pragma once

#include <string>

#include "platform/win32/win32_types.h"
#include "shell/entry.h"

class AuthorClock {
 public:
  // One window message; key messages change the clock. True when it asks for a reload (R).
  bool handleMessage(UINT message, WPARAM key);
  // Moves the clock on by elapsed seconds unless paused and applies the keys since the
  // last call; the time never goes below 0. Returns the new time.
  double advance(double elapsed);
  // Sets the time (a looping preview wraps it); keys pending stay pending.
  void setTime(double value) { now = value < 0.0 ? 0.0 : value; }
  double time() const { return now; }
  bool paused() const { return isPaused; }
  // How many times Home was pressed (a show restarts its music on each).
  int restarts() const { return restartCount; }

 private:
  double now = 0.0;
  double seek = 0.0;
  bool restart = false;
  bool isPaused = false;
  bool shift = false;
  int restartCount = 0;
};

// "[VELLUMITE] name  12.3 s" with " (paused)" while paused.
std::string authorTitle(const std::string& name, double time, bool paused);

// Translates and dispatches every queued message, key messages shown to the clock first
// (Escape still reaches the window and quits). False once the quit message is taken;
// *reload becomes true when R was pressed (reload may be null).
bool pumpAuthorMessages(AuthorClock& clock, bool* reload);

// The show on the author's clock (--author): the keys pause, seek and restart it, Home
// starts the music again with the pictures, a pause stops the music, and the title shows
// the show time.
class AuthorShowClock : public SteeredClock {
 public:
  // Sets the window title; null: the title stays.
  using TitleSink = void (*)(const char* title, void* context);
  explicit AuthorShowClock(TitleSink setTitle = nullptr, void* context = nullptr)
      : titleSink(setTitle), titleContext(context) {}
  bool dispatchMessages() override { return pumpAuthorMessages(clock, nullptr); }
  double advance(double elapsed) override { return clock.advance(elapsed); }
  bool afterFrame(GraphicsDriver* driver, ShowHooks* show, float showTime) override;

  AuthorClock clock;

 private:
  TitleSink titleSink;
  void* titleContext;
  int restarts = 0;
  bool paused = false;
  std::string title;
};
