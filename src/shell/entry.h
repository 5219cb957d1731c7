// Entry and main loop: start-up (processor query and title, driver, video mode, device,
// loading), the message loop that renders a frame whenever the queue is empty while the
// show clock advances, the quit above 146.5 s, and the ordered shutdown.
#pragma once

#include "platform/win32/win32_types.h"
#include "shell/system_info.h"

class Camera;
class GraphicsDriver;
class ShowHooks;

// The show quits in the first frame whose clock is above this (seconds).
constexpr float kShowLength = 146.5f;

// A clock that steers the show instead of the frame timer alone (the author's keys, the
// scene preview's loop): the entry hands it the message queue, the elapsed time of every
// frame and every presented frame.
class SteeredClock {
 public:
  virtual ~SteeredClock() = default;
  // Translates and dispatches every queued message, key messages shown to the clock first;
  // false once the quit message is taken.
  virtual bool dispatchMessages() = 0;
  // The show time after `elapsed` more seconds.
  virtual double advance(double elapsed) = 0;
  // After each presented frame, drawn at showTime; false ends the loop.
  virtual bool afterFrame(GraphicsDriver* driver, ShowHooks* show, float showTime) = 0;
  // False for a clock that never reaches the show's end (a looping scene): the entry then
  // does not quit above kShowLength.
  virtual bool endsWithTheShow() const { return true; }
};

// What the entry is run with. The program's own (programEnvironment) creates the
// Direct3DDriver; tests give fakes and a controlled clock.
struct EntryEnvironment {
  // Creates the driver on the heap (deleted by the entry).
  GraphicsDriver* (*createDriver)(HINSTANCE instance, const char* title, void* context);
  // Called after chooseVideoMode; -1 goes on, any other value ends the program with that
  // exit code before initialize (options naming a mode the adapter lacks, or the setup
  // dialog closed from the desktop). Null: always go on.
  int (*afterVideoChoice)(GraphicsDriver* driver, void* context);
  // Fills systemInfo; null leaves it as it is.
  bool (*querySystemInfo)();
  ShowHooks* show;
  void* context;
  // The clock that steers the show (the author's keys with --author, a scene preview's
  // loop). Null: the show runs on the frame timer alone.
  SteeredClock* clock = nullptr;
};

// The feature list: "3DNow ", "SSE ", "MMX " for each instruction set reported, in that order.
void formatFeatureList(const SystemInfo& info, char (&out)[512]);
// "[VELLUMITE] %s ( %s) @ %dMhz" from the brand, the feature list and the clock rate.
void formatWindowTitle(const SystemInfo& info, const char* features, char (&out)[512]);

// The frame camera: the default camera at (0, 1, -3) looking at the origin, no roll.
void placeFrameCamera(Camera& camera);
// Translates and dispatches every queued message; false once the quit message is taken.
bool dispatchPendingMessages();

// Runs start-up, the loop and shutdown; returns the process exit code (0 after the show,
// and after a failing initialize, which shows "DirectX failed to intalize!" first).
int runEntry(HINSTANCE instance, const EntryEnvironment& environment);

// The Win32 entry: runs the program's environment and ends the process with its code.
[[noreturn]] int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand);
