// The capture session: the show run through the entry on a Direct3D driver whose present
// starts reading each frame back, a clock the session moves on by whole frames, and the
// offline sound track rendered frame by frame with the volume the show set in that frame;
// both go to a frame sink. Also the frame arithmetic of captures.
#include "shell/host/capture_session.h"

#include <climits>
#include <cmath>

#include "gfx/d3d7/direct3d_driver.h"
#include "platform/dx7/dx7_platform.h"
#include "platform/win32/win32_host.h"
#include "platform/win32/win32_system.h"
#include "platform/win32/win32_window.h"
#include "scene/particle_system.h"
#include "shell/entry.h"
#include "shell/host/capture_progress.h"
#include "shell/host/capture_sinks.h"
#include "shell/memory_tracker.h"

namespace {

constexpr int kSampleRate = 44100;
constexpr int kMaxSide = 8192;

double secondsSince(CaptureSession::Clock::time_point start) {
  return std::chrono::duration<double>(CaptureSession::Clock::now() - start).count();
}

// The millisecond clock the entry reads while a session runs.
DWORD sessionClock(void* context) { return static_cast<CaptureSession*>(context)->readClock(); }

// The Direct3D driver, with each frame read back after it is presented.
class CaptureDriver : public Direct3DDriver {
 public:
  CaptureDriver(HINSTANCE module, const char* title, CaptureSession* owner)
      : Direct3DDriver(module, title), session(owner) {}
  void present(bool wait) override {
    Direct3DDriver::present(wait);
    session->framePresented();
  }
  CaptureSession* session;
};

// The show, with the session told when a frame is being drawn and when the clock starts.
class CaptureShow : public ShowHooks {
 public:
  CaptureShow(ShowHooks* shown, CaptureSession* owner) : inner(shown), session(owner) {}
  void load(GraphicsDriver* driver) override { inner->load(driver); }
  void startMusic() override {
    inner->startMusic();
    session->jumpAfterNextReading = true;
  }
  void drawFrame(GraphicsDriver* driver, float showTime, Camera& camera) override {
    session->inFrame = true;
    session->frameTime = showTime;
    inner->drawFrame(driver, showTime, camera);
  }
  // The progress line is finished before the shutdown, ahead of the memory report.
  void shutdown() override {
    session->takeAllFrames();
    session->finishProgress();
    inner->shutdown();
  }

  ShowHooks* inner;
  CaptureSession* session;
};

GraphicsDriver* createCaptureDriver(HINSTANCE instance, const char* title, void* context) {
  CaptureSession* session = static_cast<CaptureSession*>(context);
  CaptureDriver* driver = TRACKED_NEW CaptureDriver(instance, title, session);
  VideoPreset preset;
  preset.width = session->width;
  preset.height = session->height;
  preset.bitsPerPixel = session->bitsPerPixel;
  driver->presetVideoOptions(preset);
  return driver;
}

int afterCaptureVideoChoice(GraphicsDriver* driver, void* context) {
  CaptureSession* session = static_cast<CaptureSession*>(context);
  if (static_cast<Direct3DDriver*>(driver)->videoChoice == VideoChoice::kChosen) return -1;
  std::fprintf(session->err, "vellumite: cannot render at %dx%dx%d\n", session->width, session->height,
               session->bitsPerPixel);
  return kRunFailed;
}

}  // namespace

volatile std::sig_atomic_t captureStopRequested = 0;

void captureRequestStop(int signal) {
  captureStopRequested = signal;
  // A second one ends the process at once.
  std::signal(signal, SIG_DFL);
}

DWORD CaptureSession::readClock() {
  DWORD value = now;
  if (jumpAfterNextReading) {
    jumpAfterNextReading = false;
    now += fromMilliseconds - warmUpMilliseconds;
  }
  return value;
}

void CaptureSession::fail(const std::string& what) {
  if (!failed) failure = what;
  failed = true;
  PostQuitMessage(0);
}

void CaptureSession::renderSound(std::int64_t frame) {
  std::vector<std::int16_t> samples;
  if (sound) {
    std::uint64_t count = captureAudioFrameStart(frame + 1, fps) - captureAudioFrameStart(frame, fps);
    samples.assign(static_cast<std::size_t>(count) * 2, 0);
    if (musicLoaded) music->render(samples.data(), static_cast<std::size_t>(count), volume);
    result.audioFrames += count;
  }
  pendingSound.push_back(std::move(samples));
}

CaptureProgressState CaptureSession::progressState() const {
  CaptureProgressState state;
  state.frames = frames;
  state.totalFrames = totalFrames;
  state.fps = fps;
  state.elapsed = secondsSince(started);
  return state;
}

void CaptureSession::finishProgress() {
  if (progress != nullptr) progress->finish(progressState());
}

void CaptureSession::takeFrame() {
  int w = 0;
  int h = 0;
  bool read = dx7TakeFrameRead(pixels, &w, &h) && w > 0 && h > 0;
  std::vector<std::int16_t> samples;
  if (!pendingSound.empty()) {
    samples.swap(pendingSound.front());
    pendingSound.pop_front();
  }
  if (failed) return;
  if (!read) {
    fail("cannot read the rendered frame back");
    return;
  }
  if (!sink->write(pixels, w, h, samples.empty() ? nullptr : samples.data(), samples.size() / 2)) fail(sink->error());
}

void CaptureSession::takeAllFrames() {
  while (dx7PendingFrameReads() > 0) takeFrame();
  pendingSound.clear();
}

void CaptureSession::framePresented() {
  if (!inFrame || failed) return;
  inFrame = false;
  if (unsavedFrames > 0) {
    --unsavedFrames;
    ++warmUpFrame;
    now = fromMilliseconds - warmUpMilliseconds + captureFrameMilliseconds(warmUpFrame, fps);
    return;
  }
  if (frames == 0) result.firstShowTime = frameTime;
  result.lastShowTime = frameTime;
  // The oldest read makes room for this frame's.
  if (dx7PendingFrameReads() >= dx7FrameReadRing()) takeFrame();
  if (failed) return;
  if (!dx7BeginFrameRead()) {
    fail("cannot read the rendered frame back");
    return;
  }
  renderSound(frames);
  if (frames == 0) result.secondsToFirstFrame = secondsSince(started);
  ++frames;
  if (progress != nullptr) progress->update(progressState());
  now = fromMilliseconds + captureFrameMilliseconds(frames, fps);
  if (frames >= frameLimit) {
    PostQuitMessage(0);
  } else if (stopOnSignal && captureStopRequested != 0) {
    interrupted = true;
    PostQuitMessage(0);
  }
}

// Without a session (a screenshot) there is no sound at all.
bool CaptureServices::initMusic(GraphicsDriver*) {
  return session != nullptr && session->music != nullptr && session->sound;
}

std::uint32_t CaptureServices::loadMusic(const char* file) {
  session->musicLoaded = session->music->load(file);
  return session->musicLoaded ? 1u : 0u;
}

bool CaptureServices::startMusic(std::uint32_t) {
  if (!session->musicLoaded) return false;
  // The sound track starts at the first frame's show time.
  std::uint64_t skip = static_cast<std::uint64_t>(session->fromMilliseconds) * kSampleRate / 1000;
  std::vector<std::int16_t> scratch(2 * 4096);
  while (skip > 0) {
    std::size_t n = skip < 4096 ? static_cast<std::size_t>(skip) : 4096;
    session->music->render(scratch.data(), n, 100);
    skip -= n;
  }
  return true;
}

void CaptureServices::setGlobalVolumes(int music, int, int) {
  if (session != nullptr && music >= 0) session->volume = music > 100 ? 100 : music;
}

int runCaptureSession(CaptureSession& session, ShowHooks* shown) {
  AdapterProfile previous = dx7AdapterProfile();
  AdapterProfile profile = previous;
  AdapterEntry adapter;
  adapter.description = "Capture";
  adapter.driverName = "display";
  adapter.modes = {{static_cast<DWORD>(session.width), static_cast<DWORD>(session.height), 16},
                   {static_cast<DWORD>(session.width), static_cast<DWORD>(session.height), 32}};
  profile.adapters = {adapter};
#if !defined(VELLUMITE_WEB)
  win32SetHeadless(true);
#endif
  dx7SetAdapterProfile(profile);
  win32ClearMessageQueue();
  win32SetClockSource(sessionClock, &session);
  dx7ResetFrameReads();
  // The particles' random sequence starts as in a fresh program, so that every capture and
  // screenshot of the same show is the same, however many ran before it in this process.
  seedParticleRandom(1);

  CaptureShow show(shown, &session);
  EntryEnvironment environment{};
  environment.createDriver = createCaptureDriver;
  environment.afterVideoChoice = afterCaptureVideoChoice;
  environment.querySystemInfo = nullptr;  // no processor clock measurement
  environment.show = &show;
  environment.context = &session;
  int code = runEntry(GetModuleHandleA(nullptr), environment);
  session.takeAllFrames();
  dx7ResetFrameReads();

  win32SetClockSource(nullptr, nullptr);
  win32ClearMessageQueue();
  dx7SetAdapterProfile(previous);

  session.result.frames = session.frames;
  if (code != 0) return code;
  if (session.failed) {
    std::fprintf(session.err, "vellumite: %s\n", session.failure.c_str());
    return kRunFailed;
  }
  if (session.frames == 0) {
    std::fprintf(session.err, "vellumite: no frame was rendered\n");
    return kRunFailed;
  }
  return kRunOk;
}

bool captureSizeUsable(const CaptureOptions& options) {
  if (options.width < 1 || options.height < 1 || options.width > kMaxSide || options.height > kMaxSide ||
      (options.bitsPerPixel != 16 && options.bitsPerPixel != 32)) {
    std::fprintf(options.err, "vellumite: the frame size %dx%dx%d cannot be rendered\n", options.width, options.height,
                 options.bitsPerPixel);
    return false;
  }
  return true;
}

// The show's services are the caller's (the program's own, or a test's).
bool captureHasServices(const CaptureOptions& options) {
  if (options.services != nullptr) return true;
  std::fprintf(options.err, "vellumite: a capture needs the show's services\n");
  return false;
}

int captureFrameCount(double from, double to, int fps) {
  if (fps <= 0 || to <= from) return 0;
  // Frame k lies at from + k / fps; a tiny margin keeps whole products whole.
  double frames = std::ceil((to - from) * fps - 1e-9);
  return frames >= INT_MAX ? INT_MAX : static_cast<int>(frames);
}

std::uint32_t captureFrameMilliseconds(std::int64_t frame, int fps) {
  return static_cast<std::uint32_t>(frame * 1000 / fps);
}

std::uint64_t captureAudioFrameStart(std::int64_t frame, int fps) {
  return static_cast<std::uint64_t>(frame) * kSampleRate / static_cast<std::uint64_t>(fps);
}

int captureShowFrameCount(double from, int fps) {
  if (fps <= 0 || from > static_cast<double>(kShowLength)) return 1;
  // Every frame up to the show's length, and the first one past it.
  double within = std::floor((static_cast<double>(kShowLength) - from) * fps + 1e-9) + 1.0;
  return static_cast<int>(within) + 1;
}
