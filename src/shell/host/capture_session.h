// The session that the capture and the screenshot share: the show run through the entry on a
// Direct3D driver whose present starts reading each frame back, on a clock the session moves
// on by whole frames, with the offline sound track rendered frame by frame at the volume the
// show set in that frame; frames and sound go to a frame sink. Needs no video encoder and no
// picture writer: what a sink does with a frame is its own affair.
#pragma once

#include <chrono>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <string>
#include <vector>

#include "platform/win32/win32_types.h"
#include "shell/host/capture.h"
#include "shell/show_timeline.h"

class CaptureProgress;
struct CaptureProgressState;
class FrameSink;

struct CaptureSession {
  using Clock = std::chrono::steady_clock;

  // Settings.
  int fps = 30;
  std::uint32_t fromMilliseconds = 0;
  // Frames rendered ahead of the first kept one and not kept, from warmUpMilliseconds
  // before it, so that what builds up from frame to frame, like the fire, is under way.
  int unsavedFrames = 0;
  std::uint32_t warmUpMilliseconds = 0;
  int frameLimit = INT_MAX;
  int totalFrames = 0;  // for the progress: frameLimit, or the frames to the show's end
  int width = 640;
  int height = 480;
  int bitsPerPixel = 32;
  FrameSink* sink = nullptr;
  bool sound = false;
  bool stopOnSignal = false;
  CaptureMusic* music = nullptr;
  CaptureProgress* progress = nullptr;
  std::FILE* err = stderr;
  Clock::time_point started;

  // Clock: `now` is what timeGetTime answers; the first reading after the music start is
  // the clock's start, after which it jumps to the first frame's show time.
  DWORD now = 0;
  bool jumpAfterNextReading = false;

  // Frames.
  std::int64_t warmUpFrame = 0;
  bool inFrame = false;
  float frameTime = 0.0f;
  int frames = 0;  // frames kept, read back or being read back
  bool failed = false;
  bool interrupted = false;
  std::string failure;
  std::vector<std::uint32_t> pixels;
  CaptureResult result;

  // Sound: each kept frame's share, waiting with its frame while the frame is read back.
  bool musicLoaded = false;
  int volume = 100;
  std::deque<std::vector<std::int16_t>> pendingSound;

  DWORD readClock();
  void fail(const std::string& what);
  void renderSound(std::int64_t frame);
  CaptureProgressState progressState() const;
  void finishProgress();
  // Hands the oldest frame being read back, with its sound, to the sink.
  void takeFrame();
  // Every frame still being read back, to the sink.
  void takeAllFrames();
  // After the driver presented a frame of the show.
  void framePresented();
};

// The show's services during a session: scenes, pictures and file reports from the caller's,
// the music from the session (none without a session or its music: a screenshot is silent).
class CaptureServices : public ShowServices {
 public:
  CaptureServices(ShowServices* inner, CaptureSession* owner) : scenes(inner), session(owner) {}
  Scene* createScene(GraphicsDriver* driver, const char* file) override { return scenes->createScene(driver, file); }
  Texture* backBuffer(GraphicsDriver* driver) override { return scenes->backBuffer(driver); }
  void reportMissingFiles(const char* const* names, int count) override { scenes->reportMissingFiles(names, count); }
  void reportUnreadableFiles(const char* const* names, const char* const* reasons, int count) override {
    scenes->reportUnreadableFiles(names, reasons, count);
  }
  bool initMusic(GraphicsDriver*) override;
  std::uint32_t loadMusic(const char* file) override;
  bool startMusic(std::uint32_t music) override;
  bool stopMusic(std::uint32_t) override { return true; }
  void setGlobalVolumes(int music, int, int) override;

  ShowServices* scenes;
  CaptureSession* session;
};

// Runs a show through the entry with the session's clock, driver and sound. Returns the exit
// code; the session holds the result. Natively the session renders without a display; on the
// page its frames are drawn on the canvas, the only place the page can draw.
int runCaptureSession(CaptureSession& session, ShowHooks* shown);

// The checks the capture and the screenshot share; each says what is wrong on options.err.
bool captureSizeUsable(const CaptureOptions& options);
bool captureHasServices(const CaptureOptions& options);

// The signal (Ctrl+C's SIGINT, or SIGTERM) that asked a running capture to stop; a session
// with stopOnSignal ends after the frame being rendered. captureRequestStop is the handler.
extern volatile std::sig_atomic_t captureStopRequested;
void captureRequestStop(int signal);
