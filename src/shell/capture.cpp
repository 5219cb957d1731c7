// The capture session: the show run through the entry on a headless Direct3D driver whose
// present reads each frame back, a clock the session moves on by whole frames, and the
// offline sound track written frame by frame with the volume the show set in that frame.
#include "shell/capture.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "gfx/d3d7/direct3d_driver.h"
#include "platform/dx7/dx7_platform.h"
#include "platform/win32/win32_sdl.h"
#include "platform/win32/win32_system.h"
#include "platform/win32/win32_window.h"
#include "scene/particle_system.h"
#include "shell/entry.h"
#include "shell/memory_tracker.h"
#include "image/png_writer.h"
#include "shell/show_timeline.h"
#include "shell/wav_writer.h"

namespace {

constexpr int kSampleRate = 44100;
constexpr int kMaxFps = 1000;
constexpr int kMaxSide = 8192;

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string shellQuote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

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

// Where the frames of a capture go, one after another.
class FrameSink {
 public:
  virtual ~FrameSink() = default;
  virtual bool write(const std::uint32_t* pixels, int width, int height, int index) = 0;
  // After the last frame. False when the output could not be finished.
  virtual bool finish() { return true; }
};

class DiscardSink : public FrameSink {
 public:
  bool write(const std::uint32_t*, int, int, int) override { return true; }
};

class PngSequenceSink : public FrameSink {
 public:
  explicit PngSequenceSink(std::string folder) : directory(std::move(folder)) {}
  bool write(const std::uint32_t* pixels, int width, int height, int index) override {
    char name[32];
    std::snprintf(name, sizeof name, "/frame_%05d.png", index);
    return writePngArgb((directory + name).c_str(), pixels, width, height);
  }
  std::string directory;
};

class SinglePngSink : public FrameSink {
 public:
  explicit SinglePngSink(std::string file) : path(std::move(file)) {}
  bool write(const std::uint32_t* pixels, int width, int height, int) override {
    return writePngArgb(path.c_str(), pixels, width, height);
  }
  std::string path;
};

// Raw frames piped into ffmpeg (H.264 wants even sides: odd ones get a black edge); the sound
// track is joined once it is complete.
class EncoderSink : public FrameSink {
 public:
  EncoderSink(std::string folder, int width, int height, int fps, bool withAudio)
      : directory(std::move(folder)), audio(withAudio) {
    std::string command = "ffmpeg -hide_banner -loglevel error -y -f rawvideo -pix_fmt bgra -s " +
                          std::to_string(width) + "x" + std::to_string(height) + " -framerate " +
                          std::to_string(fps) + " -i - -vf 'pad=ceil(iw/2)*2:ceil(ih/2)*2' -c:v libx264 -preset veryfast -crf 18 -pix_fmt yuv420p " +
                          shellQuote(videoOnlyPath());
    pipe = popen(command.c_str(), "w");
  }
  ~EncoderSink() override {
    if (pipe != nullptr) pclose(pipe);
  }
  bool opened() const { return pipe != nullptr; }
  bool write(const std::uint32_t* pixels, int width, int height, int) override {
    if (pipe == nullptr) return false;
    std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    return std::fwrite(pixels, sizeof(std::uint32_t), count, pipe) == count;
  }
  bool finish() override {
    if (pipe == nullptr) return false;
    int status = pclose(pipe);
    pipe = nullptr;
    if (status != 0) return false;
    std::string final = directory + "/show.mp4";
    if (!audio) return std::rename(videoOnlyPath().c_str(), final.c_str()) == 0;
    std::string command = "ffmpeg -hide_banner -loglevel error -y -i " + shellQuote(videoOnlyPath()) + " -i " +
                          shellQuote(directory + "/audio.wav") + " -c:v copy -c:a aac -b:a 192k " +
                          shellQuote(final);
    bool ok = std::system(command.c_str()) == 0;
    std::remove(videoOnlyPath().c_str());
    return ok;
  }
  std::string videoOnlyPath() const { return directory + "/video-only.mp4"; }

  std::string directory;
  bool audio;
  std::FILE* pipe = nullptr;
};

struct CaptureSession;

// The millisecond clock the entry reads while a session runs.
DWORD sessionClock(void* context);

// The Direct3D driver, with each frame read back after it is presented.
class CaptureDriver : public Direct3DDriver {
 public:
  CaptureDriver(HINSTANCE instance, const char* title, CaptureSession* owner)
      : Direct3DDriver(instance, title), session(owner) {}
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

struct CaptureSession {
  // Settings.
  int fps = 30;
  std::uint32_t fromMilliseconds = 0;
  // Frames rendered ahead of the first kept one and not kept, from warmUpMilliseconds
  // before it, so that what builds up from frame to frame, like the fire, is under way.
  int unsavedFrames = 0;
  std::uint32_t warmUpMilliseconds = 0;
  int frameLimit = INT_MAX;
  int width = 640;
  int height = 480;
  int bitsPerPixel = 32;
  FrameSink* sink = nullptr;
  WavWriter* wav = nullptr;
  CaptureMusic* music = nullptr;
  std::FILE* progress = nullptr;
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
  int frames = 0;
  bool failed = false;
  const char* failure = nullptr;
  int failureError = 0;  // errno of a failed write, 0 when none applies
  std::vector<std::uint32_t> pixels;
  CaptureResult result;
  double lastProgress = -1.0;
  bool progressFinished = false;

  // Sound.
  bool musicLoaded = false;
  int volume = 100;
  std::vector<std::int16_t> samples;

  DWORD readClock() {
    DWORD value = now;
    if (jumpAfterNextReading) {
      jumpAfterNextReading = false;
      now += fromMilliseconds - warmUpMilliseconds;
    }
    return value;
  }

  void fail(const char* what, int error = 0) {
    if (!failed) {
      failure = what;
      failureError = error;
    }
    failed = true;
    PostQuitMessage(0);
  }

  void writeSound(std::int64_t frame) {
    if (wav == nullptr) return;
    std::uint64_t count = captureAudioFrameStart(frame + 1, fps) - captureAudioFrameStart(frame, fps);
    samples.assign(static_cast<std::size_t>(count) * 2, 0);
    if (musicLoaded) music->render(samples.data(), static_cast<std::size_t>(count), volume);
    if (!wav->write(samples.data(), static_cast<std::size_t>(count))) fail("cannot write the sound track", errno);
    result.audioFrames += count;
  }

  void showProgress(bool last) {
    if (progress == nullptr || progressFinished) return;
    progressFinished = last;
    double elapsed = secondsSince(started);
    if (!last && lastProgress >= 0.0 && elapsed - lastProgress < 0.25) return;
    lastProgress = elapsed;
    double shown = static_cast<double>(frames) / fps;
    std::fprintf(progress, "\rframe %d  show %.2f s  %.1f frames/s  %.2fx real time   ", frames, frameTime,
                 elapsed > 0.0 ? frames / elapsed : 0.0, elapsed > 0.0 ? shown / elapsed : 0.0);
    if (last) std::fputc('\n', progress);
    std::fflush(progress);
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
    int w = 0;
    int h = 0;
    if (!dx7ReadPresentedFrame(pixels, &w, &h) || w <= 0 || h <= 0) {
      fail("cannot read the rendered frame back");
      return;
    }
    if (frames == 0) {
      result.secondsToFirstFrame = secondsSince(started);
      result.firstShowTime = frameTime;
    }
    result.lastShowTime = frameTime;
    if (!sink->write(pixels.data(), w, h, frames)) {
      fail("cannot write a frame", errno);
      return;
    }
    writeSound(frames);
    ++frames;
    showProgress(false);
    now = fromMilliseconds + captureFrameMilliseconds(frames, fps);
    if (frames >= frameLimit) PostQuitMessage(0);
  }
};

DWORD sessionClock(void* context) { return static_cast<CaptureSession*>(context)->readClock(); }

void CaptureDriver::present(bool wait) {
  Direct3DDriver::present(wait);
  session->framePresented();
}

// Without a session (a screenshot) there is no sound at all.
bool CaptureServices::initMusic(GraphicsDriver*) {
  return session != nullptr && session->music != nullptr && session->wav != nullptr;
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
  session->showProgress(true);
  inner->shutdown();
}

void CaptureShow::drawFrame(GraphicsDriver* driver, float showTime, Camera& camera) {
  session->inFrame = true;
  session->frameTime = showTime;
  inner->drawFrame(driver, showTime, camera);
}

char captureInstance;

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
  int code = runEntry(reinterpret_cast<HINSTANCE>(&captureInstance), environment);

  win32SetClockSource(nullptr, nullptr);
  win32ClearMessageQueue();
  dx7SetAdapterProfile(previous);

  session.result.frames = session.frames;
  if (code != 0) return code;
  if (session.failed) {
    if (session.failureError != 0) {
      std::fprintf(session.err, "\nvellumite: %s: %s\n", session.failure, std::strerror(session.failureError));
    } else {
      std::fprintf(session.err, "\nvellumite: %s\n", session.failure);
    }
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
    std::fprintf(options.err, "vellumite: the frame size %dx%dx%d cannot be rendered\n", options.width,
                 options.height, options.bitsPerPixel);
    return false;
  }
  return true;
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

bool captureHasEncoder() {
  const char* path = std::getenv("PATH");
  if (path == nullptr) return false;
  const char* start = path;
  for (;;) {
    const char* end = std::strchr(start, ':');
    std::size_t length = end != nullptr ? static_cast<std::size_t>(end - start) : std::strlen(start);
    char candidate[4096];
    // An empty entry is the current folder.
    int written = length == 0 ? std::snprintf(candidate, sizeof candidate, "./ffmpeg")
                              : std::snprintf(candidate, sizeof candidate, "%.*s/ffmpeg", static_cast<int>(length), start);
    if (written > 0 && static_cast<std::size_t>(written) < sizeof candidate && access(candidate, X_OK) == 0) return true;
    if (end == nullptr) return false;
    start = end + 1;
  }
}

int runCapture(const CaptureOptions& options, CaptureResult* result) {
  Clock::time_point started = Clock::now();
  if (options.outDirectory.empty()) {
    std::fprintf(options.err, "vellumite: --capture needs an output folder\n");
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
  if (!checkSize(options)) return kRunBadRequest;
  if (!makeDirectories(options.outDirectory)) {
    std::fprintf(options.err, "vellumite: cannot create the capture folder %s: %s\n", options.outDirectory.c_str(),
                 std::strerror(errno));
    return kRunBadRequest;
  }
  std::string probe = options.outDirectory + "/.vellumite-write-test";
  std::FILE* probeFile = std::fopen(probe.c_str(), "wb");
  if (probeFile == nullptr) {
    std::fprintf(options.err, "vellumite: cannot write into the capture folder %s: %s\n",
                 options.outDirectory.c_str(), std::strerror(errno));
    return kRunBadRequest;
  }
  std::fclose(probeFile);
  std::remove(probe.c_str());

  CaptureSession session;
  session.started = started;
  session.fps = options.fps;
  session.fromMilliseconds = static_cast<std::uint32_t>(std::llround(options.from * 1000.0));
  session.frameLimit = options.to >= 0.0 ? captureFrameCount(options.from, options.to, options.fps) : INT_MAX;
  session.width = options.width;
  session.height = options.height;
  session.bitsPerPixel = options.bitsPerPixel;
  session.progress = options.progress;
  session.err = options.err;
  // A capture that starts after the fade hears the music as the whole show leaves it: at
  // the volume set in the fade's last frame on this capture's frame grid.
  if (options.from >= static_cast<double>(kShowClosingTime)) {
    std::int64_t last = captureFrameCount(0.0, static_cast<double>(kShowClosingTime), options.fps) - 1;
    float time = static_cast<float>(captureFrameMilliseconds(last, options.fps) * 0.001);
    if (time > kShowFadeStart) session.volume = showFadeVolume(time);
  }

  WavWriter wav;
  if (options.writeAudio) {
    std::string audioPath = options.outDirectory + "/audio.wav";
    if (!wav.open(audioPath, kSampleRate, 2)) {
      std::fprintf(options.err, "vellumite: cannot write %s: %s\n", audioPath.c_str(), std::strerror(errno));
      return kRunBadRequest;
    }
    session.wav = &wav;
  }
  std::unique_ptr<CaptureMusic> ownMusic;
  if (options.music != nullptr) {
    session.music = options.music;
  } else {
    ownMusic.reset(createLibraryCaptureMusic());
    session.music = ownMusic.get();
  }

  std::unique_ptr<FrameSink> sink;
  std::string output = options.outDirectory;
  if (options.frames == CaptureFrames::kDiscard) {
    sink = std::make_unique<DiscardSink>();
  } else if (options.frames == CaptureFrames::kAuto && captureHasEncoder()) {
    auto encoder = std::make_unique<EncoderSink>(options.outDirectory, options.width, options.height, options.fps,
                                                 options.writeAudio);
    if (!encoder->opened()) {
      std::fprintf(options.err, "vellumite: cannot start ffmpeg\n");
      return kRunFailed;
    }
    output = options.outDirectory + "/show.mp4";
    sink = std::move(encoder);
  } else {
    sink = std::make_unique<PngSequenceSink>(options.outDirectory);
  }
  session.sink = sink.get();

  // A closed encoder pipe shows as a failed write, not as a signal.
  void (*previousPipeHandler)(int) = std::signal(SIGPIPE, SIG_IGN);
  CaptureServices services(options.services != nullptr ? options.services : &defaultShowServices(), &session);
  ShowTimeline timeline(&services);
  int code = runSession(session, &timeline);
  session.showProgress(true);
  // The sound track is complete before the encoder joins it to the video.
  if (options.writeAudio && !wav.close() && code == kRunOk) {
    std::fprintf(options.err, "vellumite: cannot finish %s/audio.wav\n", options.outDirectory.c_str());
    code = kRunFailed;
  }
  if (code == kRunOk && !sink->finish()) {
    std::fprintf(options.err, "vellumite: ffmpeg could not encode %s\n", output.c_str());
    code = kRunFailed;
  }
  std::signal(SIGPIPE, previousPipeHandler);

  session.result.output = output;
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
  CaptureSession* none = nullptr;
  CaptureServices services(options.services != nullptr ? options.services : &defaultShowServices(), none);
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
  SinglePngSink sink(path);
  session.sink = &sink;
  return runSession(session, show);
}
