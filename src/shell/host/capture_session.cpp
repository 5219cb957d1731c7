// The capture session: the show run through the entry on a headless Direct3D driver whose
// present starts reading each frame back, a clock the session moves on by whole frames, and
// the offline sound track rendered frame by frame with the volume the show set in that
// frame; both go to a frame sink, and Ctrl+C ends the session cleanly.
#include "shell/host/capture.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <vector>

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
#include "shell/show_timeline.h"

namespace {

constexpr int kSampleRate = 44100;
constexpr int kMaxFps = 1000;
constexpr int kMaxSide = 8192;

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// mkdir -p.
bool makeDirectories(const std::string& path) {
  if (path.empty()) return false;
  std::string partial;
  std::size_t at = 0;
  while (at != std::string::npos) {
    at = path.find('/', at + 1);
    partial = path.substr(0, at);
    if (partial.empty()) continue;
    if (mkdir(partial.c_str(), 0777) != 0 && errno != EEXIST) return false;
  }
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

struct CaptureSession;

// The millisecond clock the entry reads while a session runs.
DWORD sessionClock(void* context);

// The Direct3D driver, with each frame read back after it is presented.
class CaptureDriver : public Direct3DDriver {
 public:
  CaptureDriver(HINSTANCE module, const char* title, CaptureSession* owner)
      : Direct3DDriver(module, title), session(owner) {}
  void present(bool wait) override;
  CaptureSession* session;
};

// Music for the show during a capture: nothing is played, the session renders it.
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

// The show, with the session told when a frame is being drawn and when the clock starts.
class CaptureShow : public ShowHooks {
 public:
  CaptureShow(ShowHooks* shown, CaptureSession* owner) : inner(shown), session(owner) {}
  void load(GraphicsDriver* driver) override { inner->load(driver); }
  void startMusic() override;
  void drawFrame(GraphicsDriver* driver, float showTime, Camera& camera) override;
  // The progress line is finished before the shutdown, ahead of the memory report.
  void shutdown() override;

  ShowHooks* inner;
  CaptureSession* session;
};

// A screenshot's frame follows frames at this rate, as in a capture at the default rate.
constexpr int kScreenshotWarmUpFps = 30;

// The signal (Ctrl+C's SIGINT, or SIGTERM) that asked a running capture to stop; the session
// ends after the frame being rendered.
volatile std::sig_atomic_t stopRequested = 0;

void requestStop(int signal) {
  stopRequested = signal;
  // A second one ends the process at once.
  std::signal(signal, SIG_DFL);
}

struct CaptureSession {
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

  DWORD readClock() {
    DWORD value = now;
    if (jumpAfterNextReading) {
      jumpAfterNextReading = false;
      now += fromMilliseconds - warmUpMilliseconds;
    }
    return value;
  }

  void fail(const std::string& what) {
    if (!failed) failure = what;
    failed = true;
    PostQuitMessage(0);
  }

  void renderSound(std::int64_t frame) {
    std::vector<std::int16_t> samples;
    if (sound) {
      std::uint64_t count = captureAudioFrameStart(frame + 1, fps) - captureAudioFrameStart(frame, fps);
      samples.assign(static_cast<std::size_t>(count) * 2, 0);
      if (musicLoaded) music->render(samples.data(), static_cast<std::size_t>(count), volume);
      result.audioFrames += count;
    }
    pendingSound.push_back(std::move(samples));
  }

  CaptureProgressState progressState() const {
    CaptureProgressState state;
    state.frames = frames;
    state.totalFrames = totalFrames;
    state.fps = fps;
    state.elapsed = secondsSince(started);
    return state;
  }

  void finishProgress() {
    if (progress != nullptr) progress->finish(progressState());
  }

  // Hands the oldest frame being read back, with its sound, to the sink.
  void takeFrame() {
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

  // Every frame still being read back, to the sink.
  void takeAllFrames() {
    while (dx7PendingFrameReads() > 0) takeFrame();
    pendingSound.clear();
  }

  // After the driver presented a frame of the show.
  void framePresented() {
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
    } else if (stopOnSignal && stopRequested != 0) {
      interrupted = true;
      PostQuitMessage(0);
    }
  }
};

DWORD sessionClock(void* context) { return static_cast<CaptureSession*>(context)->readClock(); }

void CaptureDriver::present(bool wait) {
  Direct3DDriver::present(wait);
  session->framePresented();
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

void CaptureShow::startMusic() {
  inner->startMusic();
  session->jumpAfterNextReading = true;
}

void CaptureShow::shutdown() {
  session->takeAllFrames();
  session->finishProgress();
  inner->shutdown();
}

void CaptureShow::drawFrame(GraphicsDriver* driver, float showTime, Camera& camera) {
  session->inFrame = true;
  session->frameTime = showTime;
  inner->drawFrame(driver, showTime, camera);
}

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

// Runs a show through the entry with the session's clock, driver and sound. Returns the
// exit code; the session holds the result.
int runSession(CaptureSession& session, ShowHooks* shown) {
  AdapterProfile previous = dx7AdapterProfile();
  AdapterProfile profile = previous;
  AdapterEntry adapter;
  adapter.description = "Capture";
  adapter.driverName = "display";
  adapter.modes = {{static_cast<DWORD>(session.width), static_cast<DWORD>(session.height), 16},
                   {static_cast<DWORD>(session.width), static_cast<DWORD>(session.height), 32}};
  profile.adapters = {adapter};
  win32SetHeadless(true);
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

bool checkSize(const CaptureOptions& options) {
  if (options.width < 1 || options.height < 1 || options.width > kMaxSide || options.height > kMaxSide ||
      (options.bitsPerPixel != 16 && options.bitsPerPixel != 32)) {
    std::fprintf(options.err, "vellumite: the frame size %dx%dx%d cannot be rendered\n", options.width, options.height,
                 options.bitsPerPixel);
    return false;
  }
  return true;
}

// The show's services are the caller's (the program's own, or a test's).
bool hasServices(const CaptureOptions& options) {
  if (options.services != nullptr) return true;
  std::fprintf(options.err, "vellumite: a capture needs the show's services\n");
  return false;
}

}  // namespace

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

bool captureInBuild() { return true; }

int captureShowFrameCount(double from, int fps) {
  if (fps <= 0 || from > static_cast<double>(kShowLength)) return 1;
  // Every frame up to the show's length, and the first one past it.
  double within = std::floor((static_cast<double>(kShowLength) - from) * fps + 1e-9) + 1.0;
  return static_cast<int>(within) + 1;
}

int runCapture(const CaptureOptions& options, CaptureResult* result) {
  Clock::time_point started = Clock::now();
  if (!hasServices(options)) return kRunBadRequest;
  if (options.outDirectory.empty()) {
    std::fprintf(options.err, "vellumite: --capture needs an output folder or file\n");
    return kRunBadRequest;
  }
  if (options.fps < 1 || options.fps > kMaxFps) {
    std::fprintf(options.err, "vellumite: --fps must be a whole number from 1 to %d\n", kMaxFps);
    return kRunBadRequest;
  }
  if (!(options.from >= 0.0) || options.from > 3600.0) {
    std::fprintf(options.err, "vellumite: --from must be a show time in seconds, 0 or later\n");
    return kRunBadRequest;
  }
  if (options.to >= 0.0 && !(options.to > options.from)) {
    std::fprintf(options.err, "vellumite: --to must be later than --from\n");
    return kRunBadRequest;
  }
  if (options.crf > videoMaxCrf(options.codec)) {
    std::fprintf(options.err, "vellumite: --crf must be from 0 to %d for this codec\n", videoMaxCrf(options.codec));
    return kRunBadRequest;
  }
  if (!checkSize(options)) return kRunBadRequest;
  if (!makeDirectories(options.outDirectory)) {
    std::fprintf(options.err, "vellumite: cannot create the capture folder %s: %s\n", options.outDirectory.c_str(),
                 std::strerror(errno));
    return kRunFailed;
  }

  CaptureSession session;
  session.started = started;
  session.fps = options.fps;
  session.fromMilliseconds = static_cast<std::uint32_t>(std::llround(options.from * 1000.0));
  session.frameLimit = options.to >= 0.0 ? captureFrameCount(options.from, options.to, options.fps) : INT_MAX;
  session.totalFrames = options.to >= 0.0 ? session.frameLimit : captureShowFrameCount(options.from, options.fps);
  session.width = options.width;
  session.height = options.height;
  session.bitsPerPixel = options.bitsPerPixel;
  session.sound = options.writeAudio;
  session.stopOnSignal = true;
  session.err = options.err;
  // A capture that starts after the fade hears the music as the whole show leaves it: at
  // the volume set in the fade's last frame on this capture's frame grid.
  if (options.from >= static_cast<double>(kShowClosingTime)) {
    std::int64_t last = captureFrameCount(0.0, static_cast<double>(kShowClosingTime), options.fps) - 1;
    float time = static_cast<float>(captureFrameMilliseconds(last, options.fps) * 0.001);
    if (time > kShowFadeStart) session.volume = showFadeVolume(time);
  }

  std::unique_ptr<CaptureMusic> ownMusic;
  if (options.music != nullptr) {
    session.music = options.music;
  } else {
    ownMusic.reset(createLibraryCaptureMusic());
    session.music = ownMusic.get();
  }

  std::string wavPath = options.writeAudio ? options.outDirectory + "/audio.wav" : std::string();
  std::string error;
  std::unique_ptr<FrameSink> sink;
  if (options.frames == CaptureFrames::kDiscard) {
    sink = createDiscardSink(wavPath, &error);
  } else if (options.frames == CaptureFrames::kPng) {
    sink = createPngSequenceSink(options.outDirectory, wavPath, &error);
  } else {
    VideoSettings video;
    video.path =
        options.outDirectory + "/" +
        (options.videoName.empty() ? std::string("show") + videoFileExtension(options.codec) : options.videoName);
    video.codec = options.codec;
    video.width = options.width;
    video.height = options.height;
    video.fps = options.fps;
    video.crf = options.crf;
    video.sound = options.writeAudio;
    sink = createVideoSink(video, &error);
  }
  if (sink == nullptr) {
    std::fprintf(options.err, "vellumite: %s\n", error.c_str());
    return kRunFailed;
  }
  session.sink = sink.get();

  std::unique_ptr<CaptureProgress> progress;
  if (options.progress != nullptr)
    progress = std::make_unique<CaptureProgress>(options.progress, isatty(fileno(options.progress)) == 1);
  session.progress = progress.get();

  // Ctrl+C or SIGTERM ends the capture after the frame being rendered, with a complete file;
  // a file size limit shows as a failed write, not as a signal.
  stopRequested = 0;
  void (*previousInterruptHandler)(int) = std::signal(SIGINT, requestStop);
  void (*previousTerminateHandler)(int) = std::signal(SIGTERM, requestStop);
  void (*previousSizeHandler)(int) = std::signal(SIGXFSZ, SIG_IGN);
  CaptureServices services(options.services, &session);
  ShowTimeline timeline(&services);
  int code = runSession(session, &timeline);
  session.finishProgress();
  if (code == kRunOk && !sink->finish()) {
    std::fprintf(options.err, "vellumite: %s\n", sink->error().c_str());
    code = kRunFailed;
  }
  if (code != kRunOk) sink->abandon();
  std::signal(SIGXFSZ, previousSizeHandler);
  std::signal(SIGTERM, previousTerminateHandler);
  std::signal(SIGINT, previousInterruptHandler);
  if (code == kRunOk && session.interrupted) code = 128 + static_cast<int>(stopRequested);

  session.result.output = sink->output().empty() ? options.outDirectory : sink->output();
  session.result.interrupted = session.interrupted;
  session.result.seconds = secondsSince(started);
  if (result != nullptr) *result = session.result;
  return code;
}

int runScreenshot(double time, const std::string& path, const CaptureOptions& options) {
  // The show quits after its last frame: a later time would render nothing.
  if (time > static_cast<double>(kShowLength)) {
    std::fprintf(options.err, "vellumite: the show ends at %.1f s; --screenshot needs a time from 0 to %.1f\n",
                 static_cast<double>(kShowLength), static_cast<double>(kShowLength));
    return kRunBadRequest;
  }
  if (!hasServices(options)) return kRunBadRequest;
  CaptureSession* none = nullptr;
  CaptureServices services(options.services, none);
  ShowTimeline timeline(&services);
  return runShowScreenshot(&timeline, time, path, options);
}

int runShowScreenshot(ShowHooks* show, double time, const std::string& path, const CaptureOptions& options) {
  if (!(time >= 0.0) || time > 3600.0) {
    std::fprintf(options.err, "vellumite: --screenshot needs a time in seconds, 0 or later\n");
    return kRunBadRequest;
  }
  if (path.empty()) {
    std::fprintf(options.err, "vellumite: --screenshot needs a file name for the picture\n");
    return kRunBadRequest;
  }
  if (!checkSize(options)) return kRunBadRequest;
  // The picture file must be writable before anything is rendered.
  bool existed = access(path.c_str(), F_OK) == 0;
  std::FILE* probe = std::fopen(path.c_str(), "ab");
  if (probe == nullptr) {
    std::fprintf(options.err, "vellumite: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
    return kRunBadRequest;
  }
  std::fclose(probe);
  if (!existed) std::remove(path.c_str());

  CaptureSession session;
  session.started = Clock::now();
  // The frame at `time` comes after up to five seconds of frames at the capture rate.
  const std::uint32_t milliseconds = static_cast<std::uint32_t>(std::llround(time * 1000.0));
  session.fps = kScreenshotWarmUpFps;
  while (session.unsavedFrames < 5 * kScreenshotWarmUpFps &&
         captureFrameMilliseconds(session.unsavedFrames + 1, session.fps) <= milliseconds)
    ++session.unsavedFrames;
  session.fromMilliseconds = milliseconds;
  session.warmUpMilliseconds = captureFrameMilliseconds(session.unsavedFrames, session.fps);
  session.frameLimit = 1;
  session.width = options.width;
  session.height = options.height;
  session.bitsPerPixel = options.bitsPerPixel;
  session.err = options.err;
  std::unique_ptr<FrameSink> sink = createSinglePngSink(path);
  session.sink = sink.get();
  return runSession(session, show);
}
